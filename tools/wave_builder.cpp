#include "wave_builder.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace pelorin {

std::string le16(std::uint16_t value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string le32(std::uint32_t value) {
  return le16(static_cast<std::uint16_t>(value & 0xFFFF)) +
         le16(static_cast<std::uint16_t>(value >> 16));
}

std::string le64(std::uint64_t value) {
  return le32(static_cast<std::uint32_t>(value)) + le32(static_cast<std::uint32_t>(value >> 32));
}

namespace {

// `text` in a field of `width` bytes, NULs after it.
std::string fixedWidth(std::string_view text, std::size_t width) {
  std::string field(text.substr(0, width));
  field.resize(width, '\0');
  return field;
}

}  // namespace

WaveBuilder& WaveBuilder::bigEndian() {
  riffId_ = "RIFX";
  big_ = true;
  return *this;
}

std::string WaveBuilder::n16(std::uint16_t value) const {
  const std::string bytes = le16(value);
  return big_ ? std::string(bytes.rbegin(), bytes.rend()) : bytes;
}

std::string WaveBuilder::n32(std::uint32_t value) const {
  const std::string bytes = le32(value);
  return big_ ? std::string(bytes.rbegin(), bytes.rend()) : bytes;
}

std::string WaveBuilder::n64(std::uint64_t value) const {
  const std::string bytes = le64(value);
  return big_ ? std::string(bytes.rbegin(), bytes.rend()) : bytes;
}

WaveBuilder& WaveBuilder::riffId(std::string_view id) {
  riffId_ = id;
  return *this;
}

WaveBuilder& WaveBuilder::formType(std::string_view id) {
  formType_ = id;
  return *this;
}

WaveBuilder& WaveBuilder::riffSize(std::uint32_t size) {
  riffSize_ = size;
  return *this;
}

WaveBuilder& WaveBuilder::fmt(std::uint16_t formatTag, std::uint16_t channels,
                              std::uint32_t sampleRate, std::uint16_t bitsPerSample,
                              std::uint16_t extraBytes) {
  const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels * bitsPerSample / 8);
  std::string body = n16(formatTag) + n16(channels) + n32(sampleRate) +
                     n32(sampleRate * blockAlign) + n16(blockAlign) + n16(bitsPerSample);
  if (extraBytes >= 2) body += n16(static_cast<std::uint16_t>(extraBytes - 2));
  body.resize(16 + extraBytes, '\0');
  return chunk("fmt ", body);
}

WaveBuilder& WaveBuilder::fmtFields(std::uint16_t formatTag, std::uint16_t channels,
                                    std::uint32_t sampleRate, std::uint32_t byteRate,
                                    std::uint16_t blockAlign, std::uint16_t bitsPerSample,
                                    std::string_view extra) {
  return chunk("fmt ", n16(formatTag) + n16(channels) + n32(sampleRate) + n32(byteRate) +
                           n16(blockAlign) + n16(bitsPerSample) + std::string(extra));
}

WaveBuilder& WaveBuilder::fmtExtensible(std::uint16_t channels, std::uint32_t sampleRate,
                                        std::uint16_t containerBits, std::uint16_t validBits,
                                        std::uint32_t channelMask, std::uint16_t subFormat) {
  const auto blockAlign = static_cast<std::uint16_t>(channels * (containerBits / 8));
  const std::string guid =
      n32(subFormat) + n16(0) + n16(0x10) + std::string("\x80\x00\x00\xaa\x00\x38\x9b\x71", 8);
  return fmtFields(0xFFFE, channels, sampleRate, sampleRate * blockAlign, blockAlign, containerBits,
                   n16(22) + n16(validBits) + n32(channelMask) + guid);
}

WaveBuilder& WaveBuilder::ds64(std::uint64_t riffSize, std::uint64_t dataSize,
                               std::uint64_t sampleCount) {
  return chunk("ds64", n64(riffSize) + n64(dataSize) + n64(sampleCount) + n32(0));
}

WaveBuilder& WaveBuilder::listInfo(
    std::initializer_list<std::pair<std::string_view, std::string_view>> tags) {
  std::string body = "INFO";
  for (const auto& [id, text] : tags) {
    body.append(id).append(n32(static_cast<std::uint32_t>(text.size()))).append(text);
    if (text.size() % 2 == 1) body.push_back('\0');
  }
  return chunk("LIST", body);
}

WaveBuilder& WaveBuilder::bext(const Bext& fields) {
  std::string body =
      fixedWidth(fields.description, 256) + fixedWidth(fields.originator, 32) +
      fixedWidth(fields.originatorReference, 32) + fixedWidth(fields.originationDate, 10) +
      fixedWidth(fields.originationTime, 8) + n64(fields.timeReference) + n16(fields.version);
  body.resize(602, '\0');
  return chunk("bext", body);
}

WaveBuilder& WaveBuilder::chunk(std::string_view id, std::string_view body) {
  return chunkDeclaring(id, static_cast<std::uint32_t>(body.size()), body);
}

WaveBuilder& WaveBuilder::chunkDeclaring(std::string_view id, std::uint32_t declaredSize,
                                         std::string_view body, bool pad) {
  body_.append(id);
  body_.append(n32(declaredSize));
  body_.append(body);
  if (pad && body.size() % 2 == 1) body_.push_back('\0');
  return *this;
}

WaveBuilder& WaveBuilder::data(std::uint32_t size) {
  return dataDeclaring(size, size);
}

WaveBuilder& WaveBuilder::dataDeclaring(std::uint32_t declaredSize, std::uint32_t presentBytes) {
  return chunkDeclaring("data", declaredSize, std::string(presentBytes, '\0'));
}

WaveBuilder& WaveBuilder::raw(std::string_view bytes) {
  body_.append(bytes);
  return *this;
}

std::string WaveBuilder::bytes() const {
  const auto size = static_cast<std::uint32_t>(4 + body_.size());
  return riffId_ + n32(riffSize_.value_or(size)) + formType_ + body_;
}

std::string canonicalWave(std::uint32_t dataSize) {
  return WaveBuilder().fmt(1, 2, 44100, 16).data(dataSize).bytes();
}

std::string wave64Guid(std::string_view fourcc) {
  const bool own = fourcc == "riff" || fourcc == "list";
  const std::string tail =
      own ? std::string("\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00", 12)
          : std::string("\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A", 12);
  std::string guid = std::string(fourcc) + tail;
  if (fourcc == "list") guid[4] = '\x2F';
  return guid;
}

std::string wave64(std::initializer_list<std::pair<std::string_view, std::string_view>> chunks) {
  std::string body;
  for (const auto& [id, chunkBody] : chunks) {
    body += id.size() == 16 ? std::string(id) : wave64Guid(id);
    body += le64(24 + chunkBody.size());
    body += chunkBody;
    body.resize((body.size() + 7) / 8 * 8, '\0');
  }
  return wave64Guid("riff") + le64(40 + body.size()) + wave64Guid("wave") + body;
}

void writeFile(const std::string& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

}  // namespace pelorin
