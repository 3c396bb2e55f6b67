#include "probe/details.h"

#include <algorithm>
#include <cstring>

#include "probe/chunk_bodies.h"
#include "probe/detail_parts.h"

namespace pelorin {

namespace {

using detail::Found;
using detail::Reader;
using detail::warnIf;

// Where the form type and the first chunk are: in the RIFF family, and in Wave64.
constexpr std::int64_t kFormTypeOffset = 8;
constexpr std::int64_t kFirstChunkOffset = 12;
constexpr std::int64_t kWave64FormTypeOffset = 24;
constexpr std::int64_t kWave64FirstChunkOffset = 40;

bool startsWith(const char* bytes, const Guid& guid) {
  return std::equal(guid.begin(), guid.end(), reinterpret_cast<const unsigned char*>(bytes));
}

// The container's size: the whole file in Wave64, the rest after its first 8 bytes elsewhere;
// the ds64 chunk's in RF64 and BW64. 0 and 0xFFFFFFFF are placeholders.
void checkRiffSize(WaveDetails& d, const Found& found) {
  const bool wave64 = d.container == Container::kWave64;
  std::int64_t at = wave64 ? 16 : 4;
  std::optional<std::string> chunk;
  if (found.ds64) {
    d.riffSize = found.ds64->riffSize;
    at = found.ds64->offset + 8;
    chunk = "ds64";
  }
  if (d.riffSize == 0 || d.riffSize == detail::kAllOnes) return;
  const auto length = static_cast<std::uint64_t>(d.fileLength);
  const std::uint64_t expected = wave64 ? length : length - std::min<std::uint64_t>(8, length);
  warnIf(d, d.riffSize != expected || length < 8, Warning::kRiffSizeMismatch, at, chunk, expected,
         d.riffSize);
}

void checkDataAndSizes(WaveDetails& d, const Found& found) {
  warnIf(d, !found.fmtOffset, Warning::kNoFmtChunk, 0);
  warnIf(d, !d.data, Warning::kNoDataChunk, 0);
  if (d.data) {
    const DataChunk& data = *d.data;
    warnIf(d, found.fmtOffset > data.offset, Warning::kFmtAfterData, found.fmtOffset.value_or(0),
           "fmt ");
    warnIf(d, !data.placeholder && data.declared > data.present, Warning::kDataTruncated,
           data.offset, "data", data.declared, data.present);
    warnIf(d, data.placeholder, Warning::kSizePlaceholder, data.offset, "data");
  }
  checkRiffSize(d, found);
}

// RF64 and BW64 need a ds64 chunk, first; one found later still counts.
void checkDs64(WaveDetails& d, const Found& found) {
  if (d.container != Container::kRf64 && d.container != Container::kBw64) return;
  if (!found.ds64) return d.warn(Warning::kDs64Missing, kFirstChunkOffset);
  warnIf(d, d.chunks.front().offset != found.ds64->offset, Warning::kDs64NotFirst,
         found.ds64->offset, "ds64");
}

// Back to the starting values, keeping the storage of the lists.
void resetKeepingStorage(WaveDetails& d) {
  std::vector<ChunkHeader> chunks = std::move(d.chunks);
  std::vector<InfoTag> info = std::move(d.info);
  std::vector<Finding> findings = std::move(d.findings);
  chunks.clear();
  info.clear();
  findings.clear();
  d = WaveDetails{};
  d.chunks = std::move(chunks);
  d.info = std::move(info);
  d.findings = std::move(findings);
}

void sortFindings(WaveDetails& d) {
  std::stable_sort(d.findings.begin(), d.findings.end(), [](const Finding& a, const Finding& b) {
    return a.code != b.code ? a.code < b.code : a.offset < b.offset;
  });
}

}  // namespace

namespace detail {

bool readContainer(Reader& reader, WaveDetails& d) {
  std::array<char, kWave64FirstChunkOffset> header{};
  reader.read(0, header.data(), header.size());
  std::copy_n(header.begin(), 4, d.firstBytes.begin());
  if (startsWith(header.data(), wave64Guid("riff"))) {
    d.container = Container::kWave64;
    d.riffSize = readU64LE(header.data() + 16);
    return startsWith(header.data() + kWave64FormTypeOffset, wave64Guid("wave"));
  }
  const std::string_view id(header.data(), 4);
  if (id == "RIFF") d.container = Container::kRiff;
  if (id == "RIFX") d.container = Container::kRifx;
  if (id == "RF64") d.container = Container::kRf64;
  if (id == "BW64") d.container = Container::kBw64;
  if (d.container == Container::kUnknown) return false;
  reader.order = d.container == Container::kRifx ? ByteOrder::kBig : ByteOrder::kLittle;
  d.riffSize = readU32(header.data() + 4, reader.order);
  return std::string_view(header.data() + kFormTypeOffset, 4) == "WAVE";
}

bool isId(const std::array<char, 4>& id, std::string_view name) {
  return std::string_view(id.data(), id.size()) == name;
}

bool Reader::fromWindow(std::int64_t offset, char* out, std::size_t count) const {
  const std::int64_t windowEnd = windowAt_ + static_cast<std::int64_t>(window_.size());
  const bool toFileEnd = windowEnd == file_.length();
  const auto end = offset + static_cast<std::int64_t>(count);
  if (window_.empty() || offset < windowAt_ || (end > windowEnd && !toFileEnd)) return false;
  const auto held = static_cast<std::size_t>(
      std::clamp<std::int64_t>(windowEnd - offset, 0, static_cast<std::int64_t>(count)));
  if (held > 0) std::memcpy(out, window_.data() + (offset - windowAt_), held);
  std::memset(out + held, 0, count - held);
  return true;
}

bool Reader::fillWindow(std::int64_t offset) {
  const std::int64_t left = std::max<std::int64_t>(file_.length() - offset, 0);
  window_.resize(static_cast<std::size_t>(std::min<std::int64_t>(left, kWindow)));
  windowAt_ = offset;
  if (file_.read(offset, window_.data(), window_.size())) return true;
  window_.clear();
  return false;
}

bool Reader::readFromFile(std::int64_t offset, char* out, std::size_t count, bool smallBody) {
  if (fromWindow(offset, out, count)) return true;
  const bool pastMemory = offset >= file_.inMemory() && offset < file_.length();
  if (!smallBody || !pastMemory || !file_.mayReadAhead()) return file_.read(offset, out, count);
  return fillWindow(offset) && fromWindow(offset, out, count);
}

bool Reader::read(std::int64_t offset, char* out, std::size_t count, bool smallBody) {
  if (!failed_ && readFromFile(offset, out, count, smallBody)) return true;
  if (!failed_) failedAt_ = offset;
  failed_ = true;
  std::memset(out, 0, count);
  return false;
}

std::size_t Reader::bodyLength(const ChunkHeader& chunk, std::size_t cap) const {
  const auto inFile =
      static_cast<std::uint64_t>(std::max<std::int64_t>(0, file_.length() - chunk.bodyOffset));
  return static_cast<std::size_t>(std::min<std::uint64_t>({cap, chunk.bodySize, inFile}));
}

std::size_t Reader::readBody(const ChunkHeader& chunk, char* out, std::size_t cap) {
  const std::size_t count = bodyLength(chunk, cap);
  const bool smallBody = chunk.bodySize < kWindow;
  return read(chunk.bodyOffset, out, count, smallBody) ? count : 0;
}

std::string_view Reader::body(const ChunkHeader& chunk, std::size_t cap) {
  buffer_.resize(bodyLength(chunk, cap));
  buffer_.resize(readBody(chunk, buffer_.data(), buffer_.size()));
  return buffer_;
}

}  // namespace detail

WaveDetails readWaveDetails(ByteSource& file, WaveDetails reuse) {
  WaveDetails d = std::move(reuse);
  resetKeepingStorage(d);
  d.fileLength = file.length();
  Reader reader(file);
  if (!detail::readContainer(reader, d)) {
    // A file whose first bytes cannot be read is not known to be anything.
    if (reader.failed()) {
      d.readFailed = true;
      d.warn(Warning::kReadFailed, reader.failedAt());
      return d;
    }
    const bool wave64 = d.container == Container::kWave64;
    d.warn(Warning::kNotWave, d.container == Container::kUnknown ? 0
                              : wave64                           ? kWave64FormTypeOffset
                                                                 : kFormTypeOffset);
    return d;
  }
  Found found;
  detail::walkChunks(reader, d, found);
  detail::workOutDuration(d, found);
  checkDataAndSizes(d, found);
  checkDs64(d, found);
  detail::checkFormat(d, found);
  finishMetadata(d);
  checkIxml(d);
  d.readFailed = reader.failed();
  warnIf(d, d.readFailed, Warning::kReadFailed, reader.failedAt());
  sortFindings(d);
  return d;
}

std::string_view containerName(Container container) {
  switch (container) {
    case Container::kRiff:
      return "RIFF";
    case Container::kRifx:
      return "RIFX";
    case Container::kRf64:
      return "RF64";
    case Container::kBw64:
      return "BW64";
    case Container::kWave64:
      return "W64";
    default:
      return "";
  }
}

namespace {

// The code of each warning, by Warning.
constexpr std::string_view kWarningCodes[kWarningCount] = {
    "no-fmt-chunk",
    "no-data-chunk",
    "fmt-after-data",
    "data-truncated",
    "size-placeholder",
    "riff-size-mismatch",
    "data-not-frame-aligned",
    "block-align-mismatch",
    "byte-rate-mismatch",
    "chunk-runs-past-end",
    "ds64-missing",
    "ds64-not-first",
    "ds64-sample-count-mismatch",
    "not-wave",
    "fact-mismatch",
    "missing-pad-byte",
    "pad-byte-not-zero",
    "chunk-id-not-printable",
    "duplicate-chunk",
    "extensible-invalid",
    "chunk-limit-reached",
    "read-failed",
    "cue-past-end",
    "loop-past-end",
    "loop-start-after-end",
    "duplicate-cue-id",
    "label-without-cue",
    "bext-too-short",
    "bext-version-unknown",
    "bext-date-invalid",
    "bext-time-invalid",
    "bext-loudness-before-v2",
    "ixml-not-well-formed",
    "ixml-timestamp-mismatch",
    "ixml-track-count-mismatch",
    "ixml-sample-rate-mismatch",
    "chna-track-out-of-range",
    "md5-mismatch",
    "body-not-read",
};

}  // namespace

std::string_view warningCode(Warning warning) {
  return kWarningCodes[static_cast<std::size_t>(warning)];
}

void appendChannelLayout(std::string& out, std::uint32_t channelMask) {
  static constexpr std::string_view kSpeakers[] = {
      "FL", "FR", "FC", "LFE", "BL",  "BR",  "FLC", "FRC", "BC",
      "SL", "SR", "TC", "TFL", "TFC", "TFR", "TBL", "TBC", "TBR",
  };
  bool first = true;
  for (std::size_t bit = 0; bit < std::size(kSpeakers); ++bit) {
    if ((channelMask >> bit & 1) == 0) continue;
    if (!first) out.push_back(' ');
    out.append(kSpeakers[bit]);
    first = false;
  }
}

void appendGuid(std::string& out, const std::array<unsigned char, 16>& guid) {
  constexpr char kHex[] = "0123456789abcdef";
  // The first three groups are little-endian numbers; the last eight bytes stand as they are.
  static constexpr int kOrder[] = {3,  2, 1, 0,  -1, 5,  4,  -1, 7,  6,
                                   -1, 8, 9, -1, 10, 11, 12, 13, 14, 15};
  for (const int index : kOrder) {
    if (index < 0) {
      out.push_back('-');
      continue;
    }
    out.push_back(kHex[guid[index] >> 4]);
    out.push_back(kHex[guid[index] & 0xF]);
  }
}

std::string chunkIdText(const WalkedChunk& chunk) {
  if (chunk.named) return std::string(chunk.id.data(), chunk.id.size());
  std::string text;
  appendGuid(text, *chunk.guid);
  return text;
}

}  // namespace pelorin
