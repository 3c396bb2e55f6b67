#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "probe/details.h"
#include "probe/reports.h"
#include "runtime/context.h"

namespace pelorin {

/// What one probe ended with: the report it showed, the values behind it and the box's texts,
/// for front ends that show more than the message box.
struct ProbeOutcome {
  Report report = Report::kOpenFailure;
  SondurValues values;
  std::int32_t errorNumber = 0;  // the open failure's error; 0 on every other report
  std::string errorDescription;
  std::string_view title = kApplicationTitle;  // the title of the box the probe showed
  Prompt prompt;                               // the prompt of that box
  double result = 0;  // the probe's result: the length after the information report, else 0
  /// What the header says beyond the report, when asked for and the file opened.
  std::optional<WaveDetails> details;
};

/// Whether a probe also reads the file's details (readWaveDetails()), and with them hashes the
/// data (verifyDataMd5()).
enum class WithDetails { kNo, kYes, kYesWithMd5 };

/// Probes the file `FileName`: decides whether it is a RIFF/WAVE sound file, reads its format
/// fields and data size, works out how long the sound plays and shows exactly one message box
/// through `ctx`, returning once the box is dismissed. The file is read, never written, and is
/// closed before the box is shown. With details asked for, they are read through the same open
/// file once the header is read, for every report but the open failure.
///
/// `reuse` is an earlier outcome whose texts' storage the new one takes over, so that probing
/// many files allocates nothing per file: `outcome = probeWaveFile(ctx, path, std::move(outcome))`.
///
/// A hash of the data tells `hashProgress`, where given, how far it has come.
ProbeOutcome probeWaveFile(RuntimeContext& ctx, const std::string& FileName,
                           ProbeOutcome reuse = {}, WithDetails details = WithDetails::kNo,
                           HashProgress* hashProgress = nullptr);

/// Probes `FileName` as probeWaveFile() does and returns the length in seconds, or 0 when the
/// file cannot be opened, is 44 bytes or fewer, or has the wrong identifiers.
double GetSondur(RuntimeContext& ctx, const std::string& FileName);

}  // namespace pelorin
