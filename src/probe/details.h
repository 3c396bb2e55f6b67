#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "probe/chunk_iterator.h"
#include "runtime/file_system.h"

namespace pelorin {

/// The format code of the extensible format, whose subformat says what the samples are.
inline constexpr std::uint16_t kExtensibleFormatCode = 0xFFFE;

/// Most chunk headers the details walk lists.
inline constexpr std::size_t kMaxDetailChunks = 1024;

/// Most bytes of one LIST chunk read for its tags; tags are short, and a chunk that claims more
/// must not make the reader hold it all.
inline constexpr std::size_t kMaxListBytes = 1 << 20;

/// What the first bytes of a file name: RIFF, RIFF with big-endian numbers, the two RIFF
/// containers with 64-bit sizes in a ds64 chunk, and Wave64.
enum class Container { kUnknown, kRiff, kRifx, kRf64, kBw64, kWave64 };

/// Something a header does wrong, in the order reports list them.
enum class Warning {
  kNoFmtChunk,
  kNoDataChunk,
  kFmtAfterData,
  kDataTruncated,
  kSizePlaceholder,
  kRiffSizeMismatch,
  kDataNotFrameAligned,
  kBlockAlignMismatch,
  kByteRateMismatch,
  kChunkRunsPastEnd,
  // The container and its walk.
  kDs64Missing,
  kDs64NotFirst,
  kDs64SampleCountMismatch,
  kNotWave,
  kFactMismatch,
  kMissingPadByte,
  kPadByteNotZero,
  kChunkIdNotPrintable,
  kDuplicateChunk,
  kExtensibleInvalid,
  kChunkLimitReached,
  kReadFailed,
  // Markers and loops.
  kCuePastEnd,
  kLoopPastEnd,
  kLoopStartAfterEnd,
  kDuplicateCueId,
  kLabelWithoutCue,
  // Broadcast-wave description.
  kBextTooShort,
  kBextVersionUnknown,
  kBextDateInvalid,
  kBextTimeInvalid,
  kBextLoudnessBeforeV2,
  // iXML.
  kIxmlNotWellFormed,
  kIxmlTimestampMismatch,
  kIxmlTrackCountMismatch,
  kIxmlSampleRateMismatch,
  // The rest.
  kChnaTrackOutOfRange,
  kMd5Mismatch,
  kBodyNotRead,
  kCount  // not a warning: the number of them
};
inline constexpr std::size_t kWarningCount = static_cast<std::size_t>(Warning::kCount);

/// A value a finding compares: none, a number, or a text (a digest in hex).
using FindingValue = std::variant<std::monostate, std::uint64_t, std::string>;

/// One occurrence of a warning: where in the file it is and, where it compares two values, what
/// the file should say (`expected`) and what it says (`actual`).
struct Finding {
  Warning code = Warning::kCount;
  std::int64_t offset = 0;           // the byte the finding is about, from the file's start
  std::optional<std::string> chunk;  // the identifier of the chunk it is about
  FindingValue expected;
  FindingValue actual;
};

/// Where a duration comes from: whole blocks of the data; blocks of channels times bytes per
/// sample where the block align is 0 or contradicts them; the fact chunk's count; what the
/// blocks of a block format hold where the fact chunk claims more.
enum class DurationSource { kNone, kFrames, kFramesByFormat, kFact, kBlocks };

/// One chunk header as the file holds it; `bodySize` is the size the container declares, the
/// ds64 chunk's where the 32-bit field of an RF64 or BW64 file holds 0xFFFFFFFF.
struct ChunkHeader : WalkedChunk {
  bool sizeFromDs64 = false;
};

/// The fields of the first "fmt " chunk; those beyond its declared size read as zero.
struct FormatFields {
  std::uint16_t formatCode = 0;
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint32_t byteRate = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
  std::optional<std::uint16_t> samplesPerBlock;  // MS ADPCM, IMA ADPCM and GSM 6.10
};

/// The 22 bytes an extensible format chunk adds.
struct ExtensibleFields {
  std::uint16_t validBitsPerSample = 0;
  std::uint32_t channelMask = 0;
  std::array<unsigned char, 16> subFormat{};
};

/// The first data chunk: where it is, what it declares and what the file holds of it.
struct DataChunk {
  std::int64_t offset = 0;     // of its header
  std::uint64_t declared = 0;  // its size field, or the ds64 chunk's size in RF64 and BW64
  std::uint64_t present = 0;   // the bytes that count: see readWaveDetails()
  bool placeholder = false;    // declared 0 or 0xFFFFFFFF with bytes after the header
};

/// One LIST/INFO tag: its identifier and its text (UTF-8).
struct InfoTag {
  std::array<char, 4> id;
  std::string text;
};

/// The broadcast-wave description of a "bext" chunk, its texts as UTF-8.
struct BroadcastFields {
  std::string description;
  std::string originator;
  std::string originatorReference;
  std::string originationDate;
  std::string originationTime;
  std::uint64_t timeReference = 0;  // samples since midnight
  std::uint16_t version = 0;
};

/// What a file's header says beyond the four reports: every chunk, the format as its writer
/// meant it, the duration, the tags and what is wrong.
struct WaveDetails {
  Container container = Container::kUnknown;
  std::array<char, 4> firstBytes{};
  std::int64_t fileLength = 0;
  std::uint64_t riffSize = 0;  // the RIFF size field, the ds64 chunk's in RF64 and BW64
  std::optional<FormatFields> format;
  std::optional<ExtensibleFields> extensible;
  std::optional<DataChunk> data;
  std::optional<std::uint64_t> frames;
  double durationSeconds = 0;  // meaningful only with frames
  DurationSource durationSource = DurationSource::kNone;
  std::vector<ChunkHeader> chunks;
  bool chunkLimitReached = false;  // the walk stopped at kMaxDetailChunks headers
  bool readFailed = false;         // the device failed; the walk stopped there
  std::bitset<kWarningCount> warnings;
  std::vector<Finding> findings;  // in the order of the codes, then of the offsets
  std::vector<InfoTag> info;
  std::optional<BroadcastFields> bext;

  bool has(Warning warning) const { return warnings[static_cast<std::size_t>(warning)]; }
  /// Calls `visit` with each warning set, in the order of the codes.
  template <typename Visit>
  void forEachWarning(Visit visit) const {
    for (std::size_t i = 0; i < kWarningCount; ++i) {
      if (warnings[i]) visit(static_cast<Warning>(i));
    }
  }
  /// Records a warning and its finding.
  void warn(Warning code, std::int64_t offset, std::optional<std::string> chunk = std::nullopt,
            FindingValue expected = {}, FindingValue actual = {}) {
    warnings.set(static_cast<std::size_t>(code));
    findings.push_back({code, offset, std::move(chunk), std::move(expected), std::move(actual)});
  }
  /// The format that the samples are in: the extensible format's subformat where it names one
  /// of the registered formats, else the format code; nothing without a format chunk or for a
  /// subformat outside the registered ones.
  std::optional<std::uint16_t> effectiveFormat() const;
  /// Whether the subformat is one of the ambisonic B-format ones (PCM or IEEE float).
  bool ambisonic() const;
  /// The name of effectiveFormat() ("PCM (ambisonic B-format)" for an ambisonic subformat), or
  /// empty where there is none or it is outside the table.
  std::string_view effectiveFormatName() const;
};

/// Reads the details of `file`, whatever it holds. A file that is not RIFF, RIFX, RF64, BW64 or
/// Wave64 with the form type WAVE gets no walk and the one warning not-wave. Otherwise walks
/// every chunk header to the end of the file, at most kMaxDetailChunks of them, in the
/// container's layout (see chunk_iterator.h), the next after the body and its padding. In RF64
/// and BW64 a 32-bit size of 0xFFFFFFFF stands for the ds64 chunk's size of that chunk. An odd
/// chunk whose pad byte is missing is walked on from where the pad should be; a walk that meets
/// an identifier that is not printable where the rest of the file is zeros ends there.
///
/// Only the bodies a detail needs are read: "fmt ", "ds64", "fact", LIST and "bext", the first
/// of each (every LIST of INFO tags). A data chunk of size 0 followed by the header of a known
/// chunk is empty; otherwise a data size that is a placeholder (0 or 0xFFFFFFFF, with no ds64
/// size in its place) ends the walk: every byte after its header is its data. Elsewhere the
/// data that counts is the declared size bounded by the file.
///
/// Frames and duration: for the frame formats (PCM, IEEE float, A-law, mu-law and the ambisonic
/// subformats), whole blocks of the data that counts over the sample rate, a block being
/// channels times bytes per sample where the block align is 0 or says otherwise; for other
/// formats, the fact chunk's sample count (the ds64 chunk's where the fact chunk holds
/// 0xFFFFFFFF), or what the blocks hold where the fact chunk claims more; none without either,
/// or with a block size or a rate of 0.
///
/// A failed read ends the walk with the warning read-failed. Findings are in the order of the
/// codes, then of the offsets. `reuse` is an earlier result whose storage the new one takes
/// over.
WaveDetails readWaveDetails(ByteSource& file, WaveDetails reuse = {});

/// Whether the data of `formatCode` is plain samples, a frame of them per block, so that the
/// data's size gives the frames: PCM, IEEE float, A-law and mu-law.
bool isSampleFormat(std::uint16_t formatCode);

/// "RIFF", "RIFX", "RF64", "BW64", "W64", or empty for an unknown container.
std::string_view containerName(Container container);

/// The name of a format code ("PCM", "MS ADPCM", ...), or empty for one outside the table.
std::string_view formatName(std::uint16_t formatCode);

/// The code of a warning as the command line writes it ("data-truncated").
std::string_view warningCode(Warning warning);

/// The speakers of a channel mask in bit order, space-separated ("FL FR FC LFE BL BR"); bits
/// beyond the eighteen named positions are left out.
void appendChannelLayout(std::string& out, std::uint32_t channelMask);

/// A GUID as lower-case text, "00000001-0000-0010-8000-00aa00389b71".
void appendGuid(std::string& out, const std::array<unsigned char, 16>& guid);

/// A chunk's identifier as text: its FOURCC, or its GUID where that carries none.
std::string chunkIdText(const WalkedChunk& chunk);

}  // namespace pelorin
