#include "probe/sondur.h"

#include <algorithm>

#include "probe/chunk_walk.h"
#include "runtime/arithmetic.h"
#include "runtime/file.h"
#include "runtime/message_box.h"

namespace pelorin {

namespace {

constexpr std::size_t kHeaderWindowLength = 100;
constexpr std::int64_t kMinimumFileLength = 45;  // 44 bytes or fewer hold no sound

using HeaderWindowText = FixedText<kHeaderWindowLength>;

// Position of an identifier in the header window, as a 16-bit value; 0 when absent.
std::int16_t searchWindow(RuntimeContext& ctx, const HeaderWindowText& HeaderWindow,
                          std::string_view identifier) {
  return NarrowToInt16(ctx, InStr(1, HeaderWindow.view(), identifier));
}

template <typename Field>
void readAt(RuntimeContext& ctx, std::int16_t fileNumber, std::int64_t position, Field& field) {
  FileSeek(ctx, fileNumber, position);
  Get(ctx, fileNumber, field);
}

// Reads the identifiers, the format fields and the data size, each from its own position.
// A chunk is located by the chunk walk, else by the first occurrence of its identifier in the
// header window. Returns the position the data size was read after, or 0 when "data" was found
// nowhere and the size stays 0.
std::int64_t readHeader(RuntimeContext& ctx, std::int16_t fileNumber, std::int64_t fileLength,
                        SondurValues& v) {
  HeaderWindowText HeaderWindow;
  readAt(ctx, fileNumber, 1, HeaderWindow);
  readAt(ctx, fileNumber, 1, v.riffId);
  readAt(ctx, fileNumber, 9, v.formType);

  const ChunkPositions walked = WalkChunks(ctx, fileNumber, fileLength);
  // Where "fmt " is found nowhere, positioning to 0 fails and fmtId is read where the read of
  // formType left off.
  std::int64_t chunkPos = walked.fmt != 0 ? walked.fmt : searchWindow(ctx, HeaderWindow, "fmt ");
  readAt(ctx, fileNumber, chunkPos, v.fmtId);
  readAt(ctx, fileNumber, chunkPos + 4, v.fmtChunkLength);
  readAt(ctx, fileNumber, chunkPos + 8, v.formatTag);
  readAt(ctx, fileNumber, chunkPos + 10, v.channels);
  readAt(ctx, fileNumber, chunkPos + 12, v.sampleRate);
  readAt(ctx, fileNumber, chunkPos + 22, v.bitsPerSample);

  chunkPos = walked.data != 0 ? walked.data : searchWindow(ctx, HeaderWindow, "data");
  // Without a data chunk there is no size to read: the bytes at 0 + 4 belong to the RIFF
  // header, and would pass for a length of sound that is not there.
  if (chunkPos != 0) readAt(ctx, fileNumber, chunkPos + 4, v.dataSize);
  return chunkPos;
}

bool identifiersValid(const SondurValues& v) {
  return StrCmp(v.riffId.view(), "RIFF") == 0 && StrCmp(v.formType.view(), "WAVE") == 0 &&
         StrCmp(v.fmtId.view(), "fmt ") == 0;
}

// The data bytes the file really holds: a declared size that runs past the end of the file
// counts only up to the end.
double playableDataBytes(std::uint32_t dataSize, std::int64_t dataPos, std::int64_t fileLength) {
  const std::int64_t present = std::max<std::int64_t>(0, fileLength - (dataPos - 1) - 8);
  return static_cast<double>(std::min<std::int64_t>(dataSize, present));
}

// Data bytes ÷ sample rate ÷ channels, then ÷ bytes per sample worked out in single precision;
// this order fixes the rounding.
double computeLength(RuntimeContext& ctx, const SondurValues& v, double dataBytes) {
  double lengthSeconds = Divide(ctx, Divide(ctx, dataBytes, v.sampleRate), v.channels);
  const float bytesPerSample = static_cast<float>(v.bitsPerSample) / 8.0f;
  lengthSeconds = Divide(ctx, lengthSeconds, bytesPerSample);
  return lengthSeconds;
}

// Shows the report whose prompt is in `out.prompt`.
double show(RuntimeContext& ctx, ProbeOutcome& out, Report report) {
  out.report = report;
  if (report == Report::kOpenFailure || report == Report::kTooShort) {
    MsgBox(ctx, out.prompt);
  } else {
    MsgBox(ctx, out.prompt, kOkOnly, reportTitle(report));
  }
  return report == Report::kInformation ? out.values.lengthSeconds : 0;
}

}  // namespace

void ProbeOutcome::reset() {
  report = Report::kOpenFailure;
  values = SondurValues{};
  errorNumber = 0;
  errorDescription.clear();
  prompt.clear();
}

double GetSondur(RuntimeContext& ctx, const std::string& FileName, ProbeOutcome* outcome) {
  ProbeOutcome local;
  ProbeOutcome& out = outcome ? *outcome : local;
  out.reset();
  SondurValues& v = out.values;
  OnErrorResumeNext resumeNext(ctx);

  const std::int16_t fileNumber = FreeFile(ctx);
  FileOpen(ctx, fileNumber, FileName, OpenMode::kInput);
  if (ctx.Err.Number != 0) {
    out.errorNumber = ctx.Err.Number;
    out.errorDescription = ctx.Err.Description;
    openFailurePrompt(out.prompt, FileName, ctx.Err.Number, ctx.Err.Description);
    return show(ctx, out, Report::kOpenFailure);
  }
  FileClose(ctx, fileNumber);

  // A length that cannot be determined counts as too short.
  const std::int64_t fileLength = FileLen(ctx, FileName);
  if (ctx.Err.Number != 0 || fileLength < kMinimumFileLength) {
    out.prompt.assign(kTooShortPrompt);
    return show(ctx, out, Report::kTooShort);
  }

  FileOpen(ctx, fileNumber, FileName, OpenMode::kBinary);
  const std::int64_t dataPos = readHeader(ctx, fileNumber, fileLength, v);
  FileClose(ctx, fileNumber);

  if (!identifiersValid(v)) {
    invalidIdentifierPrompt(out.prompt, v);
    return show(ctx, out, Report::kInvalidIdentifier);
  }
  v.lengthSeconds = computeLength(ctx, v, playableDataBytes(v.dataSize, dataPos, fileLength));
  informationPrompt(out.prompt, FileName, v);
  return show(ctx, out, Report::kInformation);
}

}  // namespace pelorin
