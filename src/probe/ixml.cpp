// The iXML chunk: a production recorder's XML document (project, scene, take, timestamp, the
// tracks), read with expat, which both builds share so that they read every document alike.
#include "probe/ixml.h"

#include <expat.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>
#include <string_view>

#include "probe/details.h"
#include "probe/field_text.h"

namespace pelorin {

namespace {

// Bytes handed to the parser at a time, and looked at at a time for the padding at the end.
constexpr std::size_t kParsePiece = 64 * 1024;
constexpr std::size_t kTailPiece = 4 * 1024;

// The elements read: those of the document, then those of each TRACK.
enum DocumentField : std::size_t {
  kVersion,
  kProject,
  kScene,
  kTake,
  kTape,
  kCircled,
  kNote,
  kFileUid,
  kTimecodeRate,
  kTimecodeFlag,
  kTimestampHi,
  kTimestampLo,
  kTimestampRate,
  kTrackCount,
  kTotalFiles,
  kFamilyUid,
  kFileSetIndex,
  kDocumentFields
};
enum TrackField : std::size_t {
  kChannelIndex,
  kInterleaveIndex,
  kTrackName,
  kTrackFunction,
  kTrackFields
};

// An element whose text is a field: its path from the root, and the field.
struct Leaf {
  std::string_view path;
  std::size_t field;
  bool inTrack = false;
};
constexpr Leaf kLeaves[] = {
    {"BWFXML/IXML_VERSION", kVersion},
    {"BWFXML/PROJECT", kProject},
    {"BWFXML/SCENE", kScene},
    {"BWFXML/TAKE", kTake},
    {"BWFXML/TAPE", kTape},
    {"BWFXML/CIRCLED", kCircled},
    {"BWFXML/NOTE", kNote},
    {"BWFXML/FILE_UID", kFileUid},
    {"BWFXML/SPEED/TIMECODE_RATE", kTimecodeRate},
    {"BWFXML/SPEED/TIMECODE_FLAG", kTimecodeFlag},
    {"BWFXML/SPEED/TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI", kTimestampHi},
    {"BWFXML/SPEED/TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO", kTimestampLo},
    {"BWFXML/SPEED/TIMESTAMP_SAMPLE_RATE", kTimestampRate},
    {"BWFXML/TRACK_LIST/TRACK_COUNT", kTrackCount},
    {"BWFXML/FILE_SET/TOTAL_FILES", kTotalFiles},
    {"BWFXML/FILE_SET/FAMILY_UID", kFamilyUid},
    {"BWFXML/FILE_SET/FILE_SET_INDEX", kFileSetIndex},
    {"BWFXML/TRACK_LIST/TRACK/CHANNEL_INDEX", kChannelIndex, true},
    {"BWFXML/TRACK_LIST/TRACK/INTERLEAVE_INDEX", kInterleaveIndex, true},
    {"BWFXML/TRACK_LIST/TRACK/NAME", kTrackName, true},
    {"BWFXML/TRACK_LIST/TRACK/FUNCTION", kTrackFunction, true},
};
// No element deeper than the leaves matters: the path is kept only this deep.
constexpr int kDeepestLeaf = 4;
// Text kept of one element: past the cap of a field's text, so that the cut is seen, and then
// up to a character's end.
constexpr std::size_t kMostTextKept = kMaxFieldTextBytes + 8;

const Leaf* leafAt(std::string_view path) {
  for (const Leaf& leaf : kLeaves) {
    if (leaf.path == path) return &leaf;
  }
  return nullptr;
}

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Appends expat's UTF-8 `piece` to `text`, keeping no more than kMostTextKept bytes and never
// half a character.
void appendBounded(std::string& text, const char* piece, std::size_t length) {
  if (text.size() >= kMostTextKept) return;
  std::size_t take = std::min(length, kMostTextKept - text.size());
  while (take < length && take > 0 && isContinuationByte(piece[take])) --take;
  text.append(piece, take);
}

using RawFields = std::array<std::optional<std::string>, kDocumentFields>;
using RawTrack = std::array<std::optional<std::string>, kTrackFields>;

// The elements' texts as the document has them, the first of each; filled by expat's calls.
class IxmlCollector {
 public:
  explicit IxmlCollector(XML_Parser parser) : parser_(parser) {
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &IxmlCollector::onStart, &IxmlCollector::onEnd);
    XML_SetCharacterDataHandler(parser, &IxmlCollector::onText);
    XML_SetStartDoctypeDeclHandler(parser, &IxmlCollector::onDoctype);
  }

  RawFields fields;
  bool trackList = false;
  std::vector<RawTrack> tracks;
  bool fileSet = false;

 private:
  static void onStart(void* self, const XML_Char* name, const XML_Char**) {
    static_cast<IxmlCollector*>(self)->start(name);
  }
  static void onEnd(void* self, const XML_Char*) { static_cast<IxmlCollector*>(self)->end(); }
  static void onText(void* self, const XML_Char* text, int length) {
    auto* collector = static_cast<IxmlCollector*>(self);
    if (collector->leaf_ && collector->depth_ == collector->leafDepth_) {
      appendBounded(collector->text_, text, static_cast<std::size_t>(length));
    }
  }
  // A DOCTYPE could declare entities; no document a recorder writes has one.
  static void onDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    XML_StopParser(static_cast<IxmlCollector*>(self)->parser_, XML_FALSE);
  }

  void start(std::string_view name) {
    if (++depth_ > kDeepestLeaf) return;
    lengths_.push_back(path_.size());
    if (!path_.empty()) path_.push_back('/');
    path_.append(name);
    if (path_ == "BWFXML/TRACK_LIST") trackList = true;
    if (path_ == "BWFXML/TRACK_LIST/TRACK") tracks.emplace_back();
    if (path_ == "BWFXML/FILE_SET") fileSet = true;
    if (const Leaf* leaf = leafAt(path_)) {
      leaf_ = leaf;
      leafDepth_ = depth_;
      text_.clear();
    }
  }

  void end() {
    if (leaf_ && depth_ == leafDepth_) {
      std::optional<std::string>& field =
          leaf_->inTrack ? tracks.back()[leaf_->field] : fields[leaf_->field];
      if (!field) field = text_;
      leaf_ = nullptr;
    }
    if (depth_-- > kDeepestLeaf) return;
    path_.resize(lengths_.back());
    lengths_.pop_back();
  }

  XML_Parser parser_;
  int depth_ = 0;
  std::string path_;  // the open elements' names down to kDeepestLeaf, joined by '/'
  std::vector<std::size_t> lengths_;
  const Leaf* leaf_ = nullptr;  // the field element being read, if any
  int leafDepth_ = 0;
  std::string text_;
};

bool isPadding(char c) {
  return c == '\0' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The length of the body without the NULs and white space that end it.
std::uint64_t withoutPadding(const BodyRead& read, std::int64_t offset, std::uint64_t length) {
  char piece[kTailPiece];
  while (length > 0) {
    const std::size_t count = std::min<std::uint64_t>(kTailPiece, length);
    const std::int64_t start = offset + static_cast<std::int64_t>(length - count);
    if (!read(start, piece, count)) return length;
    for (std::size_t i = count; i > 0; --i) {
      if (!isPadding(piece[i - 1])) return length - (count - i);
    }
    length -= count;
  }
  return 0;
}

enum class ParseEnd { kWellFormed, kNotWellFormed, kReadFailed };

// Hands the body to the parser piece by piece, straight into the parser's own buffer.
ParseEnd parse(XML_Parser parser, const BodyRead& read, std::int64_t offset, std::uint64_t length) {
  std::uint64_t done = 0;
  for (;;) {
    const std::size_t count = std::min<std::uint64_t>(kParsePiece, length - done);
    void* buffer = XML_GetBuffer(parser, static_cast<int>(count));
    if (buffer == nullptr) return ParseEnd::kNotWellFormed;
    if (!read(offset + static_cast<std::int64_t>(done), static_cast<char*>(buffer), count)) {
      return ParseEnd::kReadFailed;
    }
    done += count;
    const bool last = done == length;
    if (XML_ParseBuffer(parser, static_cast<int>(count), last) != XML_STATUS_OK) {
      return ParseEnd::kNotWellFormed;
    }
    if (last) return ParseEnd::kWellFormed;
  }
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isPadding(text.front())) text.remove_prefix(1);
  while (!text.empty() && isPadding(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::uint64_t> numberOf(const std::optional<std::string>& raw) {
  if (!raw) return std::nullopt;
  const std::string_view text = trimmed(*raw);
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<bool> flagOf(const std::optional<std::string>& raw) {
  if (!raw) return std::nullopt;
  const std::string_view text = trimmed(*raw);
  const auto is = [&](std::string_view word) {
    return std::equal(text.begin(), text.end(), word.begin(), word.end(),
                      [](char a, char b) { return (a & ~0x20) == b; });
  };
  if (is("TRUE")) return true;
  if (is("FALSE")) return false;
  return std::nullopt;
}

// HI × 2³² + LO, where both are 32-bit numbers.
std::optional<std::uint64_t> timestampOf(const RawFields& raw) {
  const std::optional<std::uint64_t> hi = numberOf(raw[kTimestampHi]);
  const std::optional<std::uint64_t> lo = numberOf(raw[kTimestampLo]);
  if (!hi || !lo || *hi > 0xFFFFFFFF || *lo > 0xFFFFFFFF) return std::nullopt;
  return *hi << 32 | *lo;
}

// Turns the texts into fields; `cut` is set when a text was longer than a field holds.
class Converter {
 public:
  std::optional<std::string> text(const std::optional<std::string>& raw) {
    if (!raw) return std::nullopt;
    FieldText field = fieldText(*raw);
    cut = cut || field.cut;
    return std::move(field.text);
  }

  IxmlTrack track(const RawTrack& raw) {
    return {numberOf(raw[kChannelIndex]), numberOf(raw[kInterleaveIndex]), text(raw[kTrackName]),
            text(raw[kTrackFunction])};
  }

  bool cut = false;
};

void convert(const IxmlCollector& found, IxmlFields& x, Converter& to) {
  const RawFields& raw = found.fields;
  x.version = to.text(raw[kVersion]);
  x.project = to.text(raw[kProject]);
  x.scene = to.text(raw[kScene]);
  x.take = to.text(raw[kTake]);
  x.tape = to.text(raw[kTape]);
  x.circled = flagOf(raw[kCircled]);
  x.note = to.text(raw[kNote]);
  x.fileUid = to.text(raw[kFileUid]);
  x.timecodeRate = to.text(raw[kTimecodeRate]);
  x.timecodeFlag = to.text(raw[kTimecodeFlag]);
  x.timestampSamples = timestampOf(raw);
  x.timestampSampleRate = numberOf(raw[kTimestampRate]);
  x.trackCount = numberOf(raw[kTrackCount]);
  if (found.trackList) {
    x.tracks.emplace();
    for (const RawTrack& track : found.tracks) x.tracks->push_back(to.track(track));
  }
  if (found.fileSet) {
    x.fileSet = IxmlFileSet{numberOf(raw[kTotalFiles]), to.text(raw[kFamilyUid]),
                            to.text(raw[kFileSetIndex])};
  }
}

// The iXML timestamp in samples at `rate`, rounded down, at most 2⁶⁴ - 1.
std::uint64_t samplesAtRate(std::uint64_t samples, std::uint64_t from, std::uint64_t rate) {
  __extension__ using Wide = unsigned __int128;
  const Wide scaled = static_cast<Wide>(samples) * rate / from;
  return static_cast<std::uint64_t>(std::min<Wide>(scaled, ~std::uint64_t{0}));
}

// The two timestamps as seconds, each over its own rate, differ by more than one sample of the
// format's rate: |ref / rate - samples / from| > 1 / rate, in whole numbers.
void checkTimestamp(WaveDetails& d, std::uint64_t reference, std::uint32_t rate) {
  __extension__ using Wide = unsigned __int128;
  const IxmlFields& x = *d.ixml;
  const std::uint64_t from = *x.timestampSampleRate;
  const Wide bext = static_cast<Wide>(reference) * from;
  const Wide ixml = static_cast<Wide>(*x.timestampSamples) * rate;
  if ((bext > ixml ? bext - ixml : ixml - bext) <= from) return;
  d.warn(Warning::kIxmlTimestampMismatch, x.offset, "iXML", reference,
         samplesAtRate(*x.timestampSamples, from, rate));
}

struct ParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

}  // namespace

void readIxml(const BodyRead& read, const ChunkHeader& chunk, WaveDetails& d) {
  IxmlFields& x = d.ixml.emplace();
  x.offset = chunk.offset;
  const std::int64_t bodyOffset = chunk.bodyOffset;
  const auto inFile =
      static_cast<std::uint64_t>(std::max<std::int64_t>(d.fileLength - bodyOffset, 0));
  const std::uint64_t available = std::min(chunk.bodySize, inFile);
  // iXML is streamed, never kept whole, but what it reads counts against the file's budget of
  // bodies like every other chunk's.
  BodyBudget& budget = d.metadata.budget;
  const bool spentBefore = budget.spent();
  const std::uint64_t granted = budget.grant(available, kMaxIxmlBytes);
  const std::uint64_t length = withoutPadding(read, bodyOffset, granted);
  const std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
  if (!parser) return;
  IxmlCollector found(parser.get());
  const ParseEnd end = parse(parser.get(), read, bodyOffset, length);
  Converter to;
  convert(found, x, to);
  // A read that failed leaves a document neither whole nor faulty: it is not checked.
  x.wellFormed = end == ParseEnd::kWellFormed;
  if (end == ParseEnd::kNotWellFormed) d.warn(Warning::kIxmlNotWellFormed, chunk.offset, "iXML");
  const bool cutByBudget = granted < available && !spentBefore;
  if (cutByBudget || to.cut) d.warn(Warning::kBodyNotRead, chunk.offset, "iXML");
}

void checkIxml(WaveDetails& d) {
  if (!d.ixml || !d.ixml->wellFormed || !d.format) return;
  const IxmlFields& x = *d.ixml;
  const FormatFields& f = *d.format;
  const bool timestamped = x.timestampSamples && x.timestampSampleRate.value_or(0) != 0;
  if (d.bext && timestamped && f.sampleRate != 0) {
    checkTimestamp(d, d.bext->timeReference, f.sampleRate);
  }
  if (x.tracks) {
    const std::uint64_t count = x.trackCount.value_or(x.tracks->size());
    if (count != f.channels) {
      d.warn(Warning::kIxmlTrackCountMismatch, x.offset, "iXML", std::uint64_t{f.channels}, count);
    }
  }
  if (x.timestampSampleRate && *x.timestampSampleRate != f.sampleRate) {
    d.warn(Warning::kIxmlSampleRateMismatch, x.offset, "iXML", std::uint64_t{f.sampleRate},
           *x.timestampSampleRate);
  }
}

}  // namespace pelorin
