#include <algorithm>

#include "probe/detail_parts.h"
#include "runtime/little_endian.h"

namespace pelorin {

namespace detail {

namespace {

constexpr std::uint16_t kMpegCode = 0x50;
constexpr std::uint16_t kMpegLayer3Code = 0x55;

// Body lengths read: the format chunk's 18 bytes and the 22 an extensible format adds; the
// ds64 chunk's three sizes; the fact chunk's count.
constexpr std::size_t kFormatBody = 40;
constexpr std::size_t kExtensibleExtra = 22;
constexpr std::size_t kDs64Body = 24;
constexpr std::size_t kFactBody = 4;

}  // namespace

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

}  // namespace detail

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
