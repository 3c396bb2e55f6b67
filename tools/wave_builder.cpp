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
  std::string body = le16(formatTag) + le16(channels) + le32(sampleRate) +
                     le32(sampleRate * blockAlign) + le16(blockAlign) + le16(bitsPerSample);
  if (extraBytes >= 2) body += le16(static_cast<std::uint16_t>(extraBytes - 2));
  body.resize(16 + extraBytes, '\0');
  return chunk("fmt ", body);
}

WaveBuilder& WaveBuilder::chunk(std::string_view id, std::string_view body) {
  return chunkDeclaring(id, static_cast<std::uint32_t>(body.size()), body);
}

WaveBuilder& WaveBuilder::chunkDeclaring(std::string_view id, std::uint32_t declaredSize,
                                         std::string_view body, bool pad) {
  body_.append(id);
  body_.append(le32(declaredSize));
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
  return riffId_ + le32(riffSize_.value_or(size)) + formType_ + body_;
}

std::string canonicalWave(std::uint32_t dataSize) {
  return WaveBuilder().fmt(1, 2, 44100, 16).data(dataSize).bytes();
}

void writeFile(const std::string& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

}  // namespace pelorin
