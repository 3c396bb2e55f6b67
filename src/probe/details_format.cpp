// The format family of the details: "fmt ", "ds64" and "fact", and the frames, duration and
// format warnings that follow from them.
#include <algorithm>
#include <bitset>

#include "probe/detail_parts.h"

namespace pelorin {

namespace detail {

namespace {

constexpr std::uint16_t kMsAdpcmCode = 0x02;
constexpr std::uint16_t kImaAdpcmCode = 0x11;
constexpr std::uint16_t kGsmCode = 0x31;
constexpr std::uint16_t kMpegCode = 0x50;
constexpr std::uint16_t kMpegLayer3Code = 0x55;
constexpr std::uint16_t kGsmSamplesPerBlock = 320;
constexpr std::uint64_t kGsmBlockBytes = 65;

// Body lengths read: the format chunk's 18 bytes and the 22 an extensible format adds; the
// ds64 chunk's three sizes and its table's length; the fact chunk's count.
constexpr std::size_t kFormatBody = 40;
constexpr std::size_t kExtensibleExtra = 22;
constexpr std::size_t kDs64Body = 28;
constexpr std::size_t kDs64Entry = 12;
constexpr std::size_t kFactBody = 4;

std::string fmtId() {
  return "fmt ";
}

// A RIFX file stores the first three fields of a GUID big-endian; the details keep every GUID
// in the usual order, those fields little-endian.
void guidToLittleEndian(std::array<unsigned char, 16>& guid) {
  std::reverse(guid.begin(), guid.begin() + 4);
  std::reverse(guid.begin() + 4, guid.begin() + 6);
  std::reverse(guid.begin() + 6, guid.begin() + 8);
}

// The extensible part; it counts where both the chunk and its own size field hold all of it.
void readExtensible(const char* body, const ChunkHeader& chunk, ByteOrder order, WaveDetails& d) {
  const FormatFields& f = *d.format;
  if (chunk.bodySize < kFormatBody || readU16(body + 16, order) < kExtensibleExtra) {
    d.warn(Warning::kExtensibleInvalid, chunk.offset, fmtId());
    return;
  }
  ExtensibleFields& x = d.extensible.emplace();
  x.validBitsPerSample = readU16(body + 18, order);
  x.channelMask = readU32(body + 20, order);
  std::copy(body + 24, body + 40, x.subFormat.begin());
  if (order == ByteOrder::kBig) guidToLittleEndian(x.subFormat);
  const std::size_t speakers = std::bitset<32>(x.channelMask).count();
  warnIf(d, x.validBitsPerSample > f.bitsPerSample || speakers > f.channels,
         Warning::kExtensibleInvalid, chunk.offset, fmtId());
}

// The samples of one block of a block format: from the extra bytes of MS ADPCM and IMA ADPCM
// (after their size field), fixed for GSM 6.10.
std::optional<std::uint16_t> samplesPerBlock(const char* body, const ChunkHeader& chunk,
                                             ByteOrder order) {
  const std::uint16_t code = readU16(body, order);
  if (code == kGsmCode) return kGsmSamplesPerBlock;
  if (code != kMsAdpcmCode && code != kImaAdpcmCode) return std::nullopt;
  if (chunk.bodySize < 20 || readU16(body + 16, order) < 2) return std::nullopt;
  return readU16(body + 18, order);
}

// The block a frame format's frames are counted in, and whether it comes from channels and
// bytes per sample rather than the block align; 0 when there is none.
std::pair<std::uint64_t, bool> frameBlock(const FormatFields& f) {
  const std::uint64_t unit = std::uint64_t{f.channels} * ((f.bitsPerSample + 7u) / 8u);
  if (f.blockAlign != 0 && (f.blockAlign == unit || unit == 0)) return {f.blockAlign, false};
  return {unit, unit != 0};
}

// The data size the file declares, or what counts where it is a placeholder.
std::uint64_t declaredData(const DataChunk& data) {
  return data.placeholder ? data.present : data.declared;
}

bool isFrameFormat(const WaveDetails& d) {
  const std::optional<std::uint16_t> code = d.effectiveFormat();
  return code && isSampleFormat(*code);
}

// A block format's frames: the fact count, or what the whole blocks present hold where the
// fact chunk claims more.
void blockFormatFrames(WaveDetails& d, const Found& found) {
  if (!found.factCount) return;
  const bool inDs64 = *found.factCount == kAllOnes && found.ds64;
  d.frames = inDs64 ? found.ds64->sampleCount : *found.factCount;
  d.durationSource = DurationSource::kFact;
  const FormatFields& f = *d.format;
  const std::uint64_t blockBytes = f.formatCode == kGsmCode ? kGsmBlockBytes : f.blockAlign;
  if (!f.samplesPerBlock || !d.data || blockBytes == 0) return;
  const std::uint64_t holds = d.data->present / blockBytes * *f.samplesPerBlock;
  if (*d.frames <= holds) return;
  d.warn(Warning::kFactMismatch, found.factOffset, "fact", holds, *d.frames);
  d.frames = holds;
  d.durationSource = DurationSource::kBlocks;
}

// The frames of the declared data compared with the fact and ds64 counts of a frame format.
void checkFrameCounts(WaveDetails& d, const Found& found) {
  const std::uint64_t block = frameBlock(*d.format).first;
  if (!d.data || block == 0) return;
  const std::uint64_t frames = declaredData(*d.data) / block;
  const bool factInDs64 = found.factCount == kAllOnes && found.ds64;
  warnIf(d, found.factCount && !factInDs64 && *found.factCount != frames, Warning::kFactMismatch,
         found.factOffset, "fact", frames, std::uint64_t{found.factCount.value_or(0)});
  if (!found.ds64) return;
  const std::uint64_t count = found.ds64->sampleCount;
  warnIf(d, count != 0 && count != frames, Warning::kDs64SampleCountMismatch, found.ds64->offset,
         "ds64", frames, count);
}

}  // namespace

void readFormat(Reader& reader, const ChunkHeader& chunk, WaveDetails& d) {
  const std::array<char, kFormatBody> bytes = reader.fixedBody<kFormatBody>(chunk);
  const char* body = bytes.data();
  const ByteOrder order = reader.order;
  FormatFields& f = d.format.emplace();
  f.formatCode = readU16(body, order);
  f.channels = readU16(body + 2, order);
  f.sampleRate = readU32(body + 4, order);
  f.byteRate = readU32(body + 8, order);
  f.blockAlign = readU16(body + 12, order);
  f.bitsPerSample = readU16(body + 14, order);
  f.samplesPerBlock = samplesPerBlock(body, chunk, order);
  if (f.formatCode == kExtensibleFormatCode) readExtensible(body, chunk, order, d);
}

// The three sizes, then the table: a count and entries of an identifier and a 64-bit size, as
// many as the chunk holds, up to kMaxDetailChunks.
void readDs64(Reader& reader, const ChunkHeader& chunk, Found& found) {
  const std::size_t cap = kDs64Body + kDs64Entry * kMaxDetailChunks;
  std::string_view body = reader.body(chunk, cap);
  std::array<char, kDs64Body> sizes{};
  std::copy_n(body.begin(), std::min(body.size(), sizes.size()), sizes.begin());
  Ds64& ds64 = found.ds64.emplace();
  ds64.offset = chunk.offset;
  ds64.riffSize = readU64(sizes.data(), reader.order);
  ds64.dataSize = readU64(sizes.data() + 8, reader.order);
  ds64.sampleCount = readU64(sizes.data() + 16, reader.order);
  const std::uint32_t entries = readU32(sizes.data() + 24, reader.order);
  body.remove_prefix(std::min(body.size(), kDs64Body));
  for (std::uint32_t i = 0; i < entries && body.size() >= kDs64Entry; ++i) {
    std::array<char, 4> id;
    std::copy_n(body.begin(), 4, id.begin());
    ds64.table.emplace_back(id, readU64(body.data() + 4, reader.order));
    body.remove_prefix(kDs64Entry);
  }
}

void readFact(Reader& reader, const ChunkHeader& chunk, Found& found) {
  found.factCount = readU32(reader.fixedBody<kFactBody>(chunk).data(), reader.order);
  found.factOffset = chunk.offset;
}

void workOutDuration(WaveDetails& d, const Found& found) {
  if (!d.effectiveFormat() || d.format->sampleRate == 0) return;
  if (isFrameFormat(d)) {
    const auto [block, byFormat] = frameBlock(*d.format);
    if (!d.data || block == 0) return;
    d.frames = d.data->present / block;
    d.durationSource = byFormat ? DurationSource::kFramesByFormat : DurationSource::kFrames;
  } else {
    blockFormatFrames(d, found);
    if (!d.frames) return;
  }
  d.durationSeconds = static_cast<double>(*d.frames) / d.format->sampleRate;
}

// Block align and byte rate follow from the other fields only for formats of plain samples;
// compressed formats declare an average rate and blocks of their own.
void checkFormat(WaveDetails& d, const Found& found) {
  if (!d.format) return;
  const FormatFields& f = *d.format;
  const std::int64_t at = found.fmtOffset.value_or(0);
  const std::optional<std::uint16_t> code = d.effectiveFormat();
  // MPEG frames vary in length (a padding slot every few frames): their block align is nominal.
  const bool mpeg = code == kMpegCode || code == kMpegLayer3Code;
  if (d.data && f.blockAlign != 0 && !mpeg) {
    warnIf(d, declaredData(*d.data) % f.blockAlign != 0, Warning::kDataNotFrameAligned,
           d.data->offset, "data");
  }
  if (!isFrameFormat(d)) return;
  const std::uint64_t unit = std::uint64_t{f.channels} * ((f.bitsPerSample + 7u) / 8u);
  warnIf(d, f.blockAlign != unit, Warning::kBlockAlignMismatch, at, fmtId(), unit,
         std::uint64_t{f.blockAlign});
  const std::uint64_t rate = std::uint64_t{f.sampleRate} * f.blockAlign;
  warnIf(d, f.byteRate != rate, Warning::kByteRateMismatch, at, fmtId(), rate,
         std::uint64_t{f.byteRate});
  checkFrameCounts(d, found);
}

}  // namespace detail

namespace {

// The registered formats' GUIDs: the format code, then 0000-0010-8000-00aa00389b71.
constexpr unsigned char kRegisteredTail[] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// The ambisonic B-format GUIDs: 1 (PCM) or 3 (IEEE float), then 0000-0721-11d3-8644-c8c1ca000000.
constexpr unsigned char kAmbisonicTail[] = {0x00, 0x00, 0x21, 0x07, 0xD3, 0x11, 0x86,
                                            0x44, 0xC8, 0xC1, 0xCA, 0x00, 0x00, 0x00};

bool hasTail(const std::array<unsigned char, 16>& guid, const unsigned char (&tail)[14]) {
  return std::equal(std::begin(tail), std::end(tail), guid.begin() + 2);
}

}  // namespace

bool WaveDetails::ambisonic() const {
  if (!extensible || !hasTail(extensible->subFormat, kAmbisonicTail)) return false;
  const unsigned char code = extensible->subFormat[0];
  return extensible->subFormat[1] == 0 && (code == 1 || code == 3);
}

std::optional<std::uint16_t> WaveDetails::effectiveFormat() const {
  if (!format) return std::nullopt;
  if (!extensible) return format->formatCode;
  const auto& guid = extensible->subFormat;
  if (!hasTail(guid, kRegisteredTail) && !ambisonic()) return std::nullopt;
  return static_cast<std::uint16_t>(guid[0] | (guid[1] << 8));
}

std::string_view WaveDetails::effectiveFormatName() const {
  const std::optional<std::uint16_t> code = effectiveFormat();
  if (!code) return "";
  if (!ambisonic()) return formatName(*code);
  return *code == 1 ? "PCM (ambisonic B-format)" : "IEEE float (ambisonic B-format)";
}

bool isSampleFormat(std::uint16_t formatCode) {
  return formatCode == 1 || formatCode == 3 || formatCode == 6 || formatCode == 7;
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

}  // namespace pelorin
