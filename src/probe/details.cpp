#include "probe/details.h"

#include <algorithm>

#include "probe/detail_parts.h"
#include "runtime/little_endian.h"

namespace pelorin {

namespace {

using detail::Found;
using detail::isId;
using detail::kAllOnes;
using detail::kHeaderLength;
using detail::Reader;
using detail::setWarning;

constexpr std::int64_t kFirstChunkOffset = 12;

bool isPlaceholder(std::uint64_t size) {
  return size == 0 || size == kAllOnes;
}

// Reads the body of `chunk` where a detail needs it: the first of each kind, every INFO list.
void readBodyOf(Reader& reader, const ChunkHeader& chunk, WaveDetails& d, Found& found) {
  const bool sixtyFour = d.container == Container::kRf64 || d.container == Container::kBw64;
  if (isId(chunk.id, "fmt ") && !found.fmtOffset) {
    found.fmtOffset = chunk.offset;
    detail::readFormat(reader, chunk, d);
  } else if (isId(chunk.id, "ds64") && sixtyFour && !found.ds64DataSize) {
    detail::readDs64(reader, chunk, found);
  } else if (isId(chunk.id, "fact") && !found.factCount) {
    detail::readFact(reader, chunk, found);
  } else if (isId(chunk.id, "LIST")) {
    detail::readList(reader, chunk, d);
  } else if (isId(chunk.id, "bext") && !d.bext) {
    detail::readBext(reader, chunk, d);
  }
}

// The size of the data chunk `chunk`: the ds64 chunk's in a 64-bit file that has one.
std::uint64_t dataSizeOf(const ChunkHeader& chunk, const Found& found) {
  return found.ds64DataSize ? *found.ds64DataSize : chunk.size;
}

DataChunk dataChunkAt(const ChunkHeader& chunk, std::uint64_t declared, std::int64_t fileLength) {
  DataChunk data;
  data.offset = chunk.offset;
  data.declared = declared;
  const auto after = static_cast<std::uint64_t>(fileLength - chunk.offset - kHeaderLength);
  data.placeholder = isPlaceholder(declared) && after > 0;
  data.present = data.placeholder ? after : std::min(declared, after);
  return data;
}

// Walks the chunk headers to the end of the file; see readWaveDetails().
void walkChunks(Reader& reader, WaveDetails& d, Found& found) {
  std::int64_t offset = kFirstChunkOffset;
  while (offset + kHeaderLength <= d.fileLength) {
    if (d.chunks.size() == kMaxDetailChunks) {
      d.chunkLimitReached = true;
      return;
    }
    char header[kHeaderLength];
    if (!reader.read(offset, header, sizeof header)) return;
    ChunkHeader& chunk = d.chunks.emplace_back();
    std::copy(header, header + 4, chunk.id.begin());
    chunk.offset = offset;
    chunk.size = readU32LE(header + 4);
    const auto room = static_cast<std::uint64_t>(d.fileLength - offset - kHeaderLength);
    std::uint64_t size = chunk.size;
    if (isId(chunk.id, "data")) {
      size = dataSizeOf(chunk, found);
      if (!d.data) d.data = dataChunkAt(chunk, size, d.fileLength);
      if (isPlaceholder(size)) return;  // its data runs to the end of the file
    } else {
      setWarning(d, Warning::kChunkRunsPastEnd, size > room);
      readBodyOf(reader, chunk, d, found);
    }
    if (size > room || (size & 1) > room - size) return;  // the next header would not fit
    offset += kHeaderLength + static_cast<std::int64_t>(size + (size & 1));
  }
}

void readContainer(Reader& reader, WaveDetails& d) {
  char header[kHeaderLength];
  reader.read(0, header, sizeof header);
  std::copy(header, header + 4, d.firstBytes.begin());
  const std::string_view id(header, 4);
  if (id == "RIFF") d.container = Container::kRiff;
  if (id == "RF64") d.container = Container::kRf64;
  if (id == "BW64") d.container = Container::kBw64;
  d.riffSize = readU32LE(header + 4);
}

void checkDataAndSizes(WaveDetails& d, const Found& found) {
  setWarning(d, Warning::kNoFmtChunk, !found.fmtOffset);
  setWarning(d, Warning::kNoDataChunk, !d.data);
  if (d.data) {
    setWarning(d, Warning::kFmtAfterData, found.fmtOffset && *found.fmtOffset > d.data->offset);
    setWarning(d, Warning::kDataTruncated,
               !d.data->placeholder && d.data->declared > d.data->present);
    setWarning(d, Warning::kSizePlaceholder, d.data->placeholder);
  }
  const bool riffSizeKnown = d.container != Container::kUnknown && !isPlaceholder(d.riffSize);
  setWarning(d, Warning::kRiffSizeMismatch,
             riffSizeKnown &&
                 (d.fileLength < 8 || d.riffSize != static_cast<std::uint64_t>(d.fileLength - 8)));
}

// Back to the starting values, keeping the storage of the lists.
void resetKeepingStorage(WaveDetails& d) {
  std::vector<ChunkHeader> chunks = std::move(d.chunks);
  std::vector<InfoTag> info = std::move(d.info);
  chunks.clear();
  info.clear();
  d = WaveDetails{};
  d.chunks = std::move(chunks);
  d.info = std::move(info);
}

}  // namespace

namespace detail {

bool isId(const std::array<char, 4>& id, std::string_view name) {
  return std::string_view(id.data(), id.size()) == name;
}

}  // namespace detail

WaveDetails readWaveDetails(ByteSource& file, WaveDetails reuse) {
  WaveDetails d = std::move(reuse);
  resetKeepingStorage(d);
  d.fileLength = file.length();
  Reader reader(file);
  readContainer(reader, d);
  Found found;
  walkChunks(reader, d, found);
  if (found.ds64RiffSize) d.riffSize = *found.ds64RiffSize;
  detail::workOutDuration(d, found);
  checkDataAndSizes(d, found);
  detail::checkFormat(d);
  d.readFailed = reader.failed();
  return d;
}

std::string_view containerName(Container container) {
  switch (container) {
    case Container::kRiff:
      return "RIFF";
    case Container::kRf64:
      return "RF64";
    case Container::kBw64:
      return "BW64";
    default:
      return "";
  }
}

std::string_view warningCode(Warning warning) {
  static constexpr std::string_view kCodes[kWarningCount] = {
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
  return kCodes[static_cast<std::size_t>(warning)];
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

}  // namespace pelorin
