#pragma once

// What the chunks beyond the format and the tags hold: markers and their labels, sampler loops,
// instrument ranges, loop tempo, the rest of the broadcast-wave description, ADM tracks, radio
// cart data, peak levels, ID3 text frames and the sizes of the XML chunks. Each chunk is decoded
// by a pure function of its body's bytes; the details' walk reads the bodies within a budget.

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/byte_order.h"

namespace pelorin {

/// Most bytes of one chunk's body the details read; more would only be cut texts.
inline constexpr std::size_t kMaxBodyBytes = 1 << 20;
/// Most bytes of an iXML chunk the details read: recorders write long track lists.
inline constexpr std::size_t kMaxIxmlBodyBytes = 16 << 20;
/// Most bytes of chunk bodies the details keep per file, in file order.
inline constexpr std::size_t kMaxKeptBodyBytes = 16 << 20;

/// The bytes the details read of a file's bodies: each chunk up to its cap, all of them up to
/// kMaxKeptBodyBytes, granted in file order.
class BodyBudget {
 public:
  /// How many of the `available` bytes of a body to read, at most `cap`; counts them as kept.
  std::size_t grant(std::uint64_t available, std::size_t cap);
  /// Whether a body was refused in full because the budget was spent; the first one counts.
  bool spent() const { return spent_; }

 private:
  std::size_t kept_ = 0;
  bool spent_ = false;
};

/// What the texts and lists decoded from one file may weigh in all, so that its record stays a
/// few MiB whatever its bodies hold. A text weighs its bytes of UTF-8, and six for each control
/// character, which the writers show as a six-byte escape or a control picture; an item of a
/// list (a cue point, a loop, a track, a peak, a frame ID, a finding about one of them) weighs
/// kItemWeight besides its texts.
inline constexpr std::size_t kMaxRecordWeight = 4 << 20;
inline constexpr std::size_t kItemWeight = 128;

/// Texts of one body through fieldText(), within the file's allowance of text weight (see
/// kMaxRecordWeight): a text that would exceed it is kept as "…" alone. Remembers whether any
/// text was cut.
class BodyTexts {
 public:
  explicit BodyTexts(std::size_t& allowance) : allowance_(allowance) {}
  std::string operator()(std::string_view bytes);
  /// Takes kItemWeight from the allowance for one item of a list; false when it cannot.
  bool affordItem();
  bool cut() const { return cut_; }

 private:
  std::size_t& allowance_;
  bool cut_ = false;
};

/// A `ltxt` entry: a stretch of frames from a cue point, what it is for, and its text.
struct Region {
  std::uint32_t frames = 0;
  std::string purpose;  // the four-character code, "rgn " for a region
  std::optional<std::string> text;
};

/// One cue point joined with its label, note and region by its ID.
struct Marker {
  std::uint32_t id = 0;
  std::uint32_t frame = 0;     // the sample offset
  std::uint32_t position = 0;  // the play-order position
  std::optional<std::string> label;
  std::optional<std::string> note;
  std::optional<Region> region;
};

/// The texts of LIST/adtl chunks by cue ID, the first of each kind for an ID.
struct AssociatedData {
  std::map<std::uint32_t, std::string> labels;
  std::map<std::uint32_t, std::string> notes;
  std::map<std::uint32_t, Region> regions;
  std::map<std::uint32_t, std::int64_t> firstList;  // each ID met, with its first LIST's offset
  bool full = false;  // entries the allowance did not pay for were left out
};

struct SamplerLoop {
  std::uint32_t cueId = 0;
  std::uint32_t type = 0;  // 0 forward, 1 alternating, 2 backward
  std::uint32_t start = 0;
  std::uint32_t end = 0;  // inclusive
  std::uint32_t fraction = 0;
  std::uint32_t playCount = 0;  // 0: forever
};

/// A `smpl` chunk.
struct Sampler {
  std::uint32_t manufacturer = 0;
  std::uint32_t product = 0;
  std::uint32_t samplePeriod = 0;  // ns
  std::uint32_t unityNote = 0;
  std::uint32_t pitchFraction = 0;  // of a semitone, over 2^32
  std::uint32_t smpteFormat = 0;
  std::uint32_t smpteOffset = 0;
  std::vector<SamplerLoop> loops;
};

/// An `inst` chunk.
struct Instrument {
  std::uint8_t unshiftedNote = 0;
  std::int8_t fineTuneCents = 0;
  std::int8_t gainDb = 0;
  std::uint8_t lowNote = 0;
  std::uint8_t highNote = 0;
  std::uint8_t lowVelocity = 0;
  std::uint8_t highVelocity = 0;
};

/// An `acid` chunk.
struct Acid {
  std::uint32_t flags = 0;
  std::uint16_t rootNote = 0;
  std::uint32_t beats = 0;
  std::uint16_t meterDenominator = 0;
  std::uint16_t meterNumerator = 0;
  float tempo = 0;
  bool oneShot() const { return (flags & 0x01) != 0; }
  bool hasRootNote() const { return (flags & 0x02) != 0; }
};

/// The loudness of a version 2 `bext` chunk, in LUFS, LU and dBTP; none where 0x7FFF says so.
struct Loudness {
  std::optional<double> integrated;
  std::optional<double> range;
  std::optional<double> maxTruePeak;
  std::optional<double> maxMomentary;
  std::optional<double> maxShortTerm;
};

/// What a `bext` chunk holds beyond its fixed texts and time reference.
struct BroadcastExtras {
  std::optional<std::string> umid;  // 128 lower-case hex digits
  std::optional<Loudness> loudness;
  std::vector<std::string> codingHistory;
};

/// One track of a `chna` chunk.
struct AdmTrack {
  std::uint16_t index = 0;
  std::string uid;
  std::string trackRef;
  std::string packRef;
};

/// The ADM chunks: the `chna` tracks and the size of the `axml` chunk.
struct Adm {
  std::vector<AdmTrack> tracks;
  std::optional<std::uint64_t> axmlBytes;
};

struct PostTimer {
  std::string usage;
  std::uint32_t value = 0;
};

/// A `cart` chunk; texts end at their first NUL.
struct Cart {
  std::string version, title, artist, cutId, clientId, category, classification, outCue;
  std::string startDate, startTime, endDate, endTime, producerApp, producerAppVersion, userDef;
  std::int32_t levelReference = 0;
  std::vector<PostTimer> postTimers;
  std::string url, tagText;
};

struct PeakChannel {
  float value = 0;
  std::uint32_t position = 0;  // the frame of the peak
};

/// A `PEAK` chunk.
struct Peak {
  std::uint32_t version = 0;
  std::uint32_t timestamp = 0;  // seconds since 1970
  std::vector<PeakChannel> channels;
};

/// An `id3 ` chunk: its version, its text frames and comment by frame ID, the IDs of the rest.
struct Id3 {
  std::string version;  // "2.3.0"
  std::vector<std::pair<std::string, std::string>> frames;
  std::vector<std::string> otherFrames;
};

/// Every chunk decoded beyond the format, the tags and the bext texts; each absent without its
/// chunk. Cue points keep the offset of their chunk for the checks that follow the walk.
struct ChunkMetadata {
  BodyBudget budget;                         // what the details read of the bodies
  std::size_t allowance = kMaxRecordWeight;  // what the texts and lists still may weigh
  std::optional<std::vector<Marker>> markers;
  std::int64_t cueOffset = 0;
  AssociatedData associated;
  std::optional<Sampler> sampler;
  std::int64_t samplerOffset = 0;
  std::optional<Instrument> instrument;
  std::optional<Acid> acid;
  std::optional<BroadcastExtras> broadcast;
  std::optional<Adm> adm;
  std::int64_t chnaOffset = 0;
  std::optional<Cart> cart;
  std::optional<Peak> peak;
  std::optional<Id3> id3;
  std::optional<std::uint64_t> xmpBytes;
};

// The decoders: each reads what `body` holds, zeros past its end, numbers in `order`.

/// `cue `: the points in order, without their texts.
std::vector<Marker> decodeCue(std::string_view body, ByteOrder order);
/// The `labl`, `note` and `ltxt` entries of a LIST/adtl body (after its type) into `data`.
void decodeAssociatedData(std::string_view body, ByteOrder order, std::int64_t listOffset,
                          BodyTexts& texts, AssociatedData& data);
Sampler decodeSampler(std::string_view body, ByteOrder order);
Instrument decodeInstrument(std::string_view body);
Acid decodeAcid(std::string_view body, ByteOrder order);
std::vector<AdmTrack> decodeChna(std::string_view body, ByteOrder order, BodyTexts& texts);
Cart decodeCart(std::string_view body, ByteOrder order, BodyTexts& texts);
Peak decodePeak(std::string_view body, ByteOrder order);
Id3 decodeId3(std::string_view body, BodyTexts& texts);

/// A fixed-width text field: its bytes up to the first NUL.
std::string_view untilNul(std::string_view field);
/// `count` bytes of `body` from `at`, fewer (or none) where the body ends.
std::string_view slice(std::string_view body, std::size_t at, std::size_t count);

/// The number of `Width` bytes at `at` in `body`, in `order`; bytes past the body's end read 0.
template <std::size_t Width>
std::uint64_t numberAt(std::string_view body, std::size_t at, ByteOrder order) {
  char bytes[8] = {};
  const std::string_view present = slice(body, at, Width);
  std::copy(present.begin(), present.end(), bytes);
  if constexpr (Width == 1) return static_cast<unsigned char>(bytes[0]);
  if constexpr (Width == 2) return readU16(bytes, order);
  if constexpr (Width == 4) return readU32(bytes, order);
  return readU64(bytes, order);
}
inline std::uint16_t u16At(std::string_view body, std::size_t at, ByteOrder order) {
  return static_cast<std::uint16_t>(numberAt<2>(body, at, order));
}
inline std::uint32_t u32At(std::string_view body, std::size_t at, ByteOrder order) {
  return static_cast<std::uint32_t>(numberAt<4>(body, at, order));
}
/// A 32-bit IEEE float at `at`.
float floatAt(std::string_view body, std::size_t at, ByteOrder order);

}  // namespace pelorin
