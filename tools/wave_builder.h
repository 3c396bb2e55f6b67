#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace pelorin {

/// Builds RIFF/WAVE files in memory, chunk by chunk, for tests, samples and benchmarks.
///
///   WaveBuilder().fmt(1, 2, 44100, 16).chunk("LIST", "...").data(176400).bytes()
///
/// The file starts with "RIFF", the RIFF size (patched to the real size unless set) and "WAVE";
/// chunks follow in the order added, each padded to an even size.
class WaveBuilder {
 public:
  WaveBuilder& riffId(std::string_view id);
  /// A RIFX file: "RIFX", and every number the builder writes big-endian.
  WaveBuilder& bigEndian();
  WaveBuilder& formType(std::string_view id);
  WaveBuilder& riffSize(std::uint32_t size);

  /// A format chunk of 16 bytes plus `extraBytes` (a cbSize field and zeros, as extensible
  /// formats carry). Block alignment and byte rate follow from the other fields.
  WaveBuilder& fmt(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t sampleRate,
                   std::uint16_t bitsPerSample, std::uint16_t extraBytes = 0);
  /// A format chunk with every field as given, whether or not they agree, then `extra` bytes.
  WaveBuilder& fmtFields(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t sampleRate,
                         std::uint32_t byteRate, std::uint16_t blockAlign,
                         std::uint16_t bitsPerSample, std::string_view extra = {});
  /// An extensible format chunk of 40 bytes: samples in slots of `containerBits` of which
  /// `validBits` hold sound, the speakers of `channelMask`, and the registered format
  /// `subFormat` (1 PCM, 3 IEEE float, ...) as its subformat GUID.
  WaveBuilder& fmtExtensible(std::uint16_t channels, std::uint32_t sampleRate,
                             std::uint16_t containerBits, std::uint16_t validBits,
                             std::uint32_t channelMask, std::uint16_t subFormat = 1);
  /// A "ds64" chunk of an RF64 or BW64 file: its RIFF size, data size and sample count, and an
  /// empty table.
  WaveBuilder& ds64(std::uint64_t riffSize, std::uint64_t dataSize, std::uint64_t sampleCount);
  /// A LIST chunk of type INFO holding the tags in order, each body exactly as given.
  WaveBuilder& listInfo(std::initializer_list<std::pair<std::string_view, std::string_view>> tags);

  /// The fields of a broadcast-wave "bext" chunk; each text fills its fixed width, NULs after it.
  struct Bext {
    std::string_view description = {};
    std::string_view originator = {};
    std::string_view originatorReference = {};
    std::string_view originationDate = {};
    std::string_view originationTime = {};
    std::uint64_t timeReference = 0;
    std::uint16_t version = 0;
  };
  /// A "bext" chunk of the 602 bytes of version 1 (UMID and the rest zeros).
  WaveBuilder& bext(const Bext& fields);

  /// A chunk with `body`, its size field the body's length.
  WaveBuilder& chunk(std::string_view id, std::string_view body);
  /// A chunk whose size field says `declaredSize` while `body` is what follows it.
  WaveBuilder& chunkDeclaring(std::string_view id, std::uint32_t declaredSize,
                              std::string_view body, bool pad = true);
  /// A data chunk of `size` zero bytes.
  WaveBuilder& data(std::uint32_t size);
  /// A data chunk declaring `declaredSize` bytes of which only `presentBytes` follow.
  WaveBuilder& dataDeclaring(std::uint32_t declaredSize, std::uint32_t presentBytes);
  /// Bytes appended as they are.
  WaveBuilder& raw(std::string_view bytes);

  std::string bytes() const;

 private:
  std::string n16(std::uint16_t value) const;  // in the file's byte order
  std::string n32(std::uint32_t value) const;
  std::string n64(std::uint64_t value) const;

  bool big_ = false;
  std::string riffId_ = "RIFF";
  std::string formType_ = "WAVE";
  std::optional<std::uint32_t> riffSize_;
  std::string body_;
};

/// The canonical 44-byte header of 16-bit stereo at 44100 samples per second followed by
/// `dataSize` zero bytes.
std::string canonicalWave(std::uint32_t dataSize = 176400);

/// Little-endian bytes of an integer.
std::string le16(std::uint16_t value);
std::string le32(std::uint32_t value);
std::string le64(std::uint64_t value);

/// Wave64's GUID of `fourcc` ("riff", "list", "wave", "fmt ", "data", ...).
std::string wave64Guid(std::string_view fourcc);

/// A Wave64 file holding `chunks` in order, each an identifier (a FOURCC, which stands for its
/// GUID, or 16 bytes of a GUID) and its body, padded to a multiple of 8 bytes.
std::string wave64(std::initializer_list<std::pair<std::string_view, std::string_view>> chunks);

/// Writes `bytes` to `path`; throws std::runtime_error when it cannot.
void writeFile(const std::string& path, std::string_view bytes);

}  // namespace pelorin
