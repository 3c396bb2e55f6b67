#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/context.h"
#include "runtime/message_box.h"
#include "runtime/text.h"

namespace pelorin {

/// Which of its four message boxes a probe ended with.
enum class Report { kOpenFailure, kTooShort, kInvalidIdentifier, kInformation };

/// The values a probe reads from a header and the length it works out. Each starts zeroed, and a
/// value never read keeps its start: zero for numbers, four zero characters for identifiers.
struct SondurValues {
  FixedText<4> riffId;
  FixedText<4> formType;
  FixedText<4> fmtId;
  std::int32_t fmtChunkLength = 0;
  std::int16_t formatTag = 0;
  std::int16_t channels = 0;
  std::int32_t sampleRate = 0;
  std::int16_t bitsPerSample = 0;
  std::uint32_t dataSize = 0;  // declared size of the data chunk, in bytes
  double lengthSeconds = 0;
};

inline constexpr std::string_view kTooShortPrompt = "Invalid .WAV file!";
inline constexpr std::string_view kInvalidIdentifierTitle = "Invalid .wav file!";
inline constexpr std::string_view kInformationTitle = "Wav file info...";

// Each prompt is written over `prompt`, whose storage is reused from probe to probe.

/// "Error opening file <path>", CR LF, the error's number text, " - ", its description.
void openFailurePrompt(Prompt& prompt, const std::string& FileName, std::int32_t errorNumber,
                       std::string_view errorDescription);

/// The three identifiers, one line each, with no line break after the last.
void invalidIdentifierPrompt(Prompt& prompt, const SondurValues& values);

/// The eleven lines of header fields and the length, with no line break after the last.
void informationPrompt(Prompt& prompt, const std::string& FileName, const SondurValues& values);

}  // namespace pelorin
