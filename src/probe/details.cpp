#include "probe/details.h"

#include <algorithm>
#include <cstring>

#include "probe/field_text.h"
#include "runtime/little_endian.h"
#include "runtime/text.h"

namespace pelorin {

namespace {

constexpr std::int64_t kFirstChunkOffset = 12;
constexpr std::int64_t kHeaderLength = 8;
constexpr std::uint32_t kAllOnes = 0xFFFFFFFF;
constexpr std::uint16_t kMpegCode = 0x50;
constexpr std::uint16_t kMpegLayer3Code = 0x55;

// Body lengths read: the format chunk's 18 bytes and the 22 an extensible format adds; the
// ds64 chunk's three sizes; the fact chunk's count; the bext chunk up to its version.
constexpr std::size_t kFormatBody = 40;
constexpr std::size_t kExtensibleExtra = 22;
constexpr std::size_t kDs64Body = 24;
constexpr std::size_t kFactBody = 4;
constexpr std::size_t kBextBody = 348;

bool isId(const std::array<char, 4>& id, std::string_view name) {
  return std::string_view(id.data(), id.size()) == name;
}

bool isPlaceholder(std::uint64_t size) {
  return size == 0 || size == kAllOnes;
}

// Reads of one file that remember a failure of the device: the walk stops at the first one.
class Reader {
 public:
  explicit Reader(ByteSource& file) : file_(file) {}

  // Fills `out` with `count` bytes at `offset`, zeros past the end; false once the device failed.
  bool read(std::int64_t offset, char* out, std::size_t count) {
    if (!failed_ && file_.read(offset, out, count)) return true;
    failed_ = true;
    std::memset(out, 0, count);
    return false;
  }

  // Fills `out` (of `room` bytes) with the first bytes of `chunk`'s body, no more than it
  // declares; the rest of `out` is zeros.
  bool readBody(const ChunkHeader& chunk, char* out, std::size_t room) {
    std::memset(out, 0, room);
    const std::size_t count = std::min<std::size_t>(room, chunk.size);
    return read(chunk.offset + kHeaderLength, out, count);
  }

  bool failed() const { return failed_; }

 private:
  ByteSource& file_;
  bool failed_ = false;
};

// What the walk found on the way that only later steps need.
struct Found {
  std::optional<std::int64_t> fmtOffset;
  std::optional<std::uint64_t> ds64RiffSize;
  std::optional<std::uint64_t> ds64DataSize;
  std::optional<std::uint64_t> ds64SampleCount;
  std::optional<std::uint32_t> factCount;
};

void setWarning(WaveDetails& d, Warning warning, bool applies = true) {
  if (applies) d.warnings.set(static_cast<std::size_t>(warning));
}

// A tag's or a field's bytes as text: UTF-8 as it is, anything else one character per byte.
std::string bytesAsText(std::string_view bytes) {
  return fieldText(bytes).text;
}

std::string_view withoutTrailingNuls(std::string_view bytes) {
  while (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
  return bytes;
}

// A fixed-width text field of a bext chunk: its text ends at the first NUL, if any.
std::string fixedField(const char* field, std::size_t width) {
  return bytesAsText(std::string_view(field, std::find(field, field + width, '\0')));
}

void readFormat(Reader& reader, const ChunkHeader& chunk, WaveDetails& d) {
  char body[kFormatBody];
  reader.readBody(chunk, body, sizeof body);
  FormatFields& f = d.format.emplace();
  f.formatCode = readU16LE(body);
  f.channels = readU16LE(body + 2);
  f.sampleRate = readU32LE(body + 4);
  f.byteRate = readU32LE(body + 8);
  f.blockAlign = readU16LE(body + 12);
  f.bitsPerSample = readU16LE(body + 14);
  // The extensible part counts where both the chunk and its own size field hold all of it.
  const std::uint16_t extraSize = readU16LE(body + 16);
  if (f.formatCode != kExtensibleFormatCode || chunk.size < kFormatBody ||
      extraSize < kExtensibleExtra) {
    return;
  }
  ExtensibleFields& x = d.extensible.emplace();
  x.validBitsPerSample = readU16LE(body + 18);
  x.channelMask = readU32LE(body + 20);
  std::memcpy(x.subFormat.data(), body + 24, x.subFormat.size());
}

void readDs64(Reader& reader, const ChunkHeader& chunk, Found& found) {
  char body[kDs64Body];
  reader.readBody(chunk, body, sizeof body);
  found.ds64RiffSize = readU64LE(body);
  found.ds64DataSize = readU64LE(body + 8);
  found.ds64SampleCount = readU64LE(body + 16);
}

void readFact(Reader& reader, const ChunkHeader& chunk, Found& found) {
  char body[kFactBody];
  reader.readBody(chunk, body, sizeof body);
  found.factCount = readU32LE(body);
}

void readBext(Reader& reader, const ChunkHeader& chunk, WaveDetails& d) {
  char body[kBextBody];
  reader.readBody(chunk, body, sizeof body);
  BroadcastFields& b = d.bext.emplace();
  b.description = fixedField(body, 256);
  b.originator = fixedField(body + 256, 32);
  b.originatorReference = fixedField(body + 288, 32);
  b.originationDate = fixedField(body + 320, 10);
  b.originationTime = fixedField(body + 330, 8);
  b.timeReference = readU64LE(body + 338);
  b.version = readU16LE(body + 346);
}

bool hasTag(const std::vector<InfoTag>& tags, std::string_view id) {
  return std::any_of(tags.begin(), tags.end(), [&](const InfoTag& tag) {
    return std::string_view(tag.id.data(), tag.id.size()) == id;
  });
}

// The tags of a LIST chunk of type INFO, each an identifier, a size and text, padded to an even
// size. A tag met again keeps its first text.
void readInfo(Reader& reader, const ChunkHeader& chunk, WaveDetails& d) {
  const std::int64_t bodyOffset = chunk.offset + kHeaderLength;
  const auto inFile = static_cast<std::uint64_t>(d.fileLength - bodyOffset);
  const std::size_t length =
      std::min<std::uint64_t>({chunk.size, inFile, static_cast<std::uint64_t>(kMaxListBytes)});
  std::string bytes(length, '\0');
  if (!reader.read(bodyOffset, bytes.data(), length)) return;
  std::string_view body(bytes);
  body.remove_prefix(std::min<std::size_t>(4, body.size()));  // the list type, "INFO"
  while (body.size() >= kHeaderLength) {
    const std::string_view id = body.substr(0, 4);
    const std::uint64_t size = readU32LE(body.data() + 4);
    body.remove_prefix(kHeaderLength);
    const std::string_view text = body.substr(0, std::min<std::uint64_t>(size, body.size()));
    body.remove_prefix(std::min<std::uint64_t>(size + (size & 1), body.size()));
    if (hasTag(d.info, id)) continue;
    InfoTag& tag = d.info.emplace_back();
    std::copy(id.begin(), id.end(), tag.id.begin());
    tag.text = bytesAsText(withoutTrailingNuls(text));
  }
}

void readList(Reader& reader, const ChunkHeader& chunk, WaveDetails& d) {
  char type[4];
  reader.readBody(chunk, type, sizeof type);
  if (std::string_view(type, 4) == "INFO") readInfo(reader, chunk, d);
}

// Reads the body of `chunk` where a detail needs it: the first of each kind, every INFO list.
void readBodyOf(Reader& reader, const ChunkHeader& chunk, WaveDetails& d, Found& found) {
  const bool sixtyFour = d.container == Container::kRf64 || d.container == Container::kBw64;
  if (isId(chunk.id, "fmt ") && !found.fmtOffset) {
    found.fmtOffset = chunk.offset;
    readFormat(reader, chunk, d);
  } else if (isId(chunk.id, "ds64") && sixtyFour && !found.ds64DataSize) {
    readDs64(reader, chunk, found);
  } else if (isId(chunk.id, "fact") && !found.factCount) {
    readFact(reader, chunk, found);
  } else if (isId(chunk.id, "LIST")) {
    readList(reader, chunk, d);
  } else if (isId(chunk.id, "bext") && !d.bext) {
    readBext(reader, chunk, d);
  } else if (isId(chunk.id, "iXML") && !d.ixml) {
    readIxml([&reader](auto... read) { return reader.read(read...); }, chunk, d);
  } else if (isId(chunk.id, "MD5 ") && !d.md5) {
    readMd5Chunk([&reader](auto... read) { return reader.read(read...); }, chunk, d);
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

void workOutDuration(WaveDetails& d, const Found& found) {
  const std::optional<std::uint16_t> code = d.effectiveFormat();
  if (!code || d.format->sampleRate == 0) return;
  if (isSampleFormat(*code)) {
    if (!d.data || d.format->blockAlign == 0) return;
    d.frames = d.data->present / d.format->blockAlign;
    d.durationSource = DurationSource::kFrames;
  } else {
    if (!found.factCount) return;
    const bool inDs64 = *found.factCount == kAllOnes && found.ds64SampleCount;
    d.frames = inDs64 ? *found.ds64SampleCount : *found.factCount;
    d.durationSource = DurationSource::kFact;
  }
  d.durationSeconds = static_cast<double>(*d.frames) / d.format->sampleRate;
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

// Block align and byte rate follow from the other fields only for formats of plain samples;
// compressed formats declare an average rate and blocks of their own.
void checkFormat(WaveDetails& d) {
  if (!d.format) return;
  const FormatFields& f = *d.format;
  const std::optional<std::uint16_t> code = d.effectiveFormat();
  // MPEG frames vary in length (a padding slot every few frames): their block align is nominal.
  const bool mpeg = code == kMpegCode || code == kMpegLayer3Code;
  if (d.data && f.blockAlign != 0 && !mpeg) {
    const std::uint64_t size = d.data->placeholder ? d.data->present : d.data->declared;
    setWarning(d, Warning::kDataNotFrameAligned, size % f.blockAlign != 0);
  }
  if (!code || !isSampleFormat(*code)) return;
  const unsigned bytesPerSample = (f.bitsPerSample + 7u) / 8u;
  setWarning(d, Warning::kBlockAlignMismatch, f.blockAlign != f.channels * bytesPerSample);
  setWarning(d, Warning::kByteRateMismatch,
             f.byteRate != static_cast<std::uint64_t>(f.sampleRate) * f.blockAlign);
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

std::optional<std::uint16_t> WaveDetails::effectiveFormat() const {
  if (!format) return std::nullopt;
  if (!extensible) return format->formatCode;
  // The registered formats' GUIDs: the format code, then 0000-0010-8000-00aa00389b71.
  static constexpr unsigned char kRegisteredTail[] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  const auto& guid = extensible->subFormat;
  if (!std::equal(std::begin(kRegisteredTail), std::end(kRegisteredTail), guid.begin() + 2)) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(guid[0] | (guid[1] << 8));
}

WaveDetails readWaveDetails(ByteSource& file, WaveDetails reuse) {
  WaveDetails d = std::move(reuse);
  resetKeepingStorage(d);
  d.fileLength = file.length();
  Reader reader(file);
  readContainer(reader, d);
  Found found;
  walkChunks(reader, d, found);
  if (found.ds64RiffSize) d.riffSize = *found.ds64RiffSize;
  workOutDuration(d, found);
  checkDataAndSizes(d, found);
  checkFormat(d);
  checkIxml(d);
  d.readFailed = reader.failed();
  return d;
}

bool isSampleFormat(std::uint16_t formatCode) {
  return formatCode == 1 || formatCode == 3 || formatCode == 6 || formatCode == 7;
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

std::string_view formatName(std::uint16_t formatCode) {
  switch (formatCode) {
    case 0x01:
      return "PCM";
    case 0x02:
      return "MS ADPCM";
    case 0x03:
      return "IEEE float";
    case 0x06:
      return "A-law";
    case 0x07:
      return "mu-law";
    case 0x11:
      return "IMA ADPCM";
    case 0x31:
      return "GSM 6.10";
    case 0x50:
      return "MPEG";
    case 0x55:
      return "MPEG Layer 3";
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
