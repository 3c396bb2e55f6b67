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
constexpr std::int64_t kFormTypeEnd = 13;        // the position after the form type "WAVE"

using HeaderWindowText = FixedText<kHeaderWindowLength>;

// Position of an identifier in the header window, as a 16-bit value; 0 when absent.
std::int16_t searchWindow(RuntimeContext& ctx, const HeaderWindowText& HeaderWindow,
                          std::string_view identifier) {
  return NarrowToInt16(ctx, InStr(1, HeaderWindow.view(), identifier));
}

// Each read is two steps, as the probe's failure handling needs: positioning, then the read at
// the position. A failed positioning leaves the read at the previous position.
template <std::size_t N>
void readTextAt(RuntimeContext& ctx, std::int16_t file, std::int64_t position, FixedText<N>& text) {
  FileSeek(ctx, file, position);
  GetText(ctx, file, text);
}

void readI16At(RuntimeContext& ctx, std::int16_t file, std::int64_t position, std::int16_t& value) {
  FileSeek(ctx, file, position);
  GetI16LE(ctx, file, value);
}

void readI32At(RuntimeContext& ctx, std::int16_t file, std::int64_t position, std::int32_t& value) {
  FileSeek(ctx, file, position);
  GetI32LE(ctx, file, value);
}

void readU32At(RuntimeContext& ctx, std::int16_t file, std::int64_t position,
               std::uint32_t& value) {
  FileSeek(ctx, file, position);
  GetU32LE(ctx, file, value);
}

// Reads the identifiers, the format fields and the data size, each from its own position.
// A chunk is located by the chunk walk, else by the first occurrence of its identifier in the
// header window. Returns the position the data size was read after, or 0 when "data" was found
// nowhere and the size stays 0.
std::int64_t readHeader(RuntimeContext& ctx, std::int16_t fileNumber, std::int64_t fileLength,
                        SondurValues& v) {
  HeaderWindowText HeaderWindow;
  readTextAt(ctx, fileNumber, 1, HeaderWindow);
  readTextAt(ctx, fileNumber, 1, v.riffId);
  readTextAt(ctx, fileNumber, 9, v.formType);

  const ChunkPositions walked = WalkChunks(ctx, fileNumber, fileLength);
  std::int64_t chunkPos = walked.fmt != 0 ? walked.fmt : searchWindow(ctx, HeaderWindow, "fmt ");
  // Where "fmt " is found nowhere its position is 0, which no read can be positioned to: the
  // identifier is then the four bytes after the form type, where the read before it ended.
  readTextAt(ctx, fileNumber, chunkPos != 0 ? chunkPos : kFormTypeEnd, v.fmtId);
  readI32At(ctx, fileNumber, chunkPos + 4, v.fmtChunkLength);
  readI16At(ctx, fileNumber, chunkPos + 8, v.formatTag);
  readI16At(ctx, fileNumber, chunkPos + 10, v.channels);
  readI32At(ctx, fileNumber, chunkPos + 12, v.sampleRate);
  readI16At(ctx, fileNumber, chunkPos + 22, v.bitsPerSample);

  chunkPos = walked.data != 0 ? walked.data : searchWindow(ctx, HeaderWindow, "data");
  // Without a data chunk there is no size to read: the bytes at 0 + 4 belong to the RIFF
  // header, and would pass for a length of sound that is not there.
  if (chunkPos != 0) readU32At(ctx, fileNumber, chunkPos + 4, v.dataSize);
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

// Reads the details of `file` into `out`, taking over the storage of earlier ones; without a
// file, or without details asked for, the outcome has none. Hashes the data where asked.
void readDetails(OpenedFile* file, WithDetails wanted, HashProgress* hashProgress,
                 ProbeOutcome& out) {
  if (!file || wanted == WithDetails::kNo) {
    out.details.reset();
    return;
  }
  out.details = readWaveDetails(*file, out.details ? std::move(*out.details) : WaveDetails{});
  if (wanted == WithDetails::kYesWithMd5) verifyDataMd5(*file, *out.details, hashProgress);
}

// Shows the report whose prompt is in `out.prompt`; the open failure and the too-short report
// give no title, so the box shows the application's. The probe ends here: the file its steps
// shared is closed before the box is shown.
ProbeOutcome show(RuntimeContext& ctx, ProbeOutcome& out, Report report) {
  ctx.keptFile.drop();
  out.report = report;
  if (report == Report::kOpenFailure || report == Report::kTooShort) {
    out.title = kApplicationTitle;
    MsgBox(ctx, out.prompt);
  } else {
    out.title = report == Report::kInformation ? kInformationTitle : kInvalidIdentifierTitle;
    MsgBox(ctx, out.prompt, kOkOnly, out.title);
  }
  out.result = report == Report::kInformation ? out.values.lengthSeconds : 0;
  return std::move(out);
}

// Back to the starting values, keeping the texts' storage.
void resetKeepingStorage(ProbeOutcome& out) {
  out.report = Report::kOpenFailure;
  out.values = SondurValues{};
  out.errorNumber = 0;
  out.errorDescription.clear();
  out.title = kApplicationTitle;
  out.prompt.clear();
  out.result = 0;
}

}  // namespace

ProbeOutcome probeWaveFile(RuntimeContext& ctx, const std::string& FileName, ProbeOutcome reuse,
                           WithDetails details, HashProgress* hashProgress) {
  ProbeOutcome out = std::move(reuse);
  resetKeepingStorage(out);
  SondurValues& v = out.values;
  OnErrorResumeNext resumeNext(ctx);

  const std::int16_t fileNumber = FreeFile(ctx);
  FileOpen(ctx, fileNumber, FileName, OpenMode::kInput);
  if (ctx.Err.Number != 0) {
    out.errorNumber = ctx.Err.Number;
    out.errorDescription = ctx.Err.Description;
    openFailurePrompt(out.prompt, FileName, ctx.Err.Number, ctx.Err.Description);
    out.details.reset();
    return show(ctx, out, Report::kOpenFailure);
  }
  FileClose(ctx, fileNumber);

  // A length that cannot be determined counts as too short.
  const std::int64_t fileLength = FileLen(ctx, FileName);
  if (ctx.Err.Number != 0 || fileLength < kMinimumFileLength) {
    readDetails(ctx.keptFile.find(FileName), details, hashProgress, out);
    out.prompt.text.assign(kTooShortPrompt);
    return show(ctx, out, Report::kTooShort);
  }

  FileOpen(ctx, fileNumber, FileName, OpenMode::kBinary);
  const std::int64_t dataPos = readHeader(ctx, fileNumber, fileLength, v);
  readDetails(FileOf(ctx, fileNumber), details, hashProgress, out);
  FileClose(ctx, fileNumber);

  if (!identifiersValid(v)) {
    invalidIdentifierPrompt(out.prompt, v);
    return show(ctx, out, Report::kInvalidIdentifier);
  }
  v.lengthSeconds = computeLength(ctx, v, playableDataBytes(v.dataSize, dataPos, fileLength));
  informationPrompt(out.prompt, FileName, v);
  return show(ctx, out, Report::kInformation);
}

double GetSondur(RuntimeContext& ctx, const std::string& FileName) {
  return probeWaveFile(ctx, FileName).result;
}

}  // namespace pelorin
