#include "cli/format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/number_text.h"

namespace pelorin::cli {

namespace {

template <typename Integer>
void appendInteger(std::string& out, Integer value) {
  std::array<char, 24> digits;
  const auto end = std::to_chars(digits.begin(), digits.end(), value).ptr;
  out.append(digits.begin(), end);
}

// Number text without the space that stands before a value that is not negative.
void appendPlainNumber(std::string& out, double value) {
  const std::size_t start = out.size();
  appendStr(out, value);
  if (out[start] == ' ') out.erase(start, 1);
}

}  // namespace

void Tally::add(Report report, double lengthSeconds, bool warned) {
  ++files;
  if (warned) ++filesWithWarnings;
  ++reports[static_cast<int>(report)];
  if (report == Report::kInformation && std::isfinite(lengthSeconds)) {
    totalLengthSeconds += lengthSeconds;
  }
}

void appendTextReport(std::string& out, const std::string* path, std::string_view title,
                      PromptView prompt) {
  out.push_back('\n');
  if (path) {
    out.append("==> ");
    appendDisplayLine(out, *path);
    out.append(" <==\n");
  }
  appendDisplayLine(out, title);
  out.push_back('\n');
  appendDisplayText(out, prompt.text, prompt.lineBreaks);
  out.push_back('\n');
}

namespace {

// Each byte as JSON writes it inside a string: itself, or its escape. Eight bytes an entry, so
// that an entry is copied with one move.
struct JsonByte {
  std::array<char, 7> text;
  std::uint8_t length;
};

constexpr std::array<JsonByte, 256> kJsonBytes = [] {
  constexpr char kHex[] = "0123456789abcdef";
  std::array<JsonByte, 256> bytes{};
  for (int c = 0; c < 256; ++c) {
    JsonByte& entry = bytes[c];
    const auto named = [&](char letter) {
      entry.text = {'\\', letter};
      entry.length = 2;
    };
    switch (c) {
      case '"':
      case '\\':
        named(static_cast<char>(c));
        break;
      case '\b':
        named('b');
        break;
      case '\f':
        named('f');
        break;
      case '\n':
        named('n');
        break;
      case '\r':
        named('r');
        break;
      case '\t':
        named('t');
        break;
      default:
        if (c < 0x20) {
          entry.text = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
          entry.length = 6;
        } else {
          entry.text = {static_cast<char>(c)};
          entry.length = 1;
        }
    }
  }
  return bytes;
}();

// No escape is longer than the six characters of \u00XX; and the writer below may store up to
// eight bytes past where it stops, which the room of any text but the empty one covers.
constexpr std::size_t kLongestEscape = 6;

// The most room `text` can take as a JSON string, quotes included, with room to spare.
std::size_t jsonStringRoom(std::string_view text) {
  return 2 + kLongestEscape * text.size() + 8;
}

constexpr std::uint64_t kOnes = 0x0101010101010101;
constexpr std::uint64_t kHighs = 0x8080808080808080;

// Marks, in the high bit of each byte, the bytes of `word` that JSON must escape: control
// characters, the quote and the backslash. (w - 0x01..01 * n) & ~w & 0x80..80 marks the bytes
// below n; a borrow can mark a byte above a true mark as well, but never below one, so the
// lowest mark is always right, which is all the writer uses.
std::uint64_t escapeMarks(std::uint64_t word) {
  const std::uint64_t quote = word ^ (kOnes * '"');
  const std::uint64_t backslash = word ^ (kOnes * '\\');
  return (((word - kOnes * 0x20) & ~word) | ((quote - kOnes) & ~quote) |
          ((backslash - kOnes) & ~backslash)) &
         kHighs;
}

// Writes `text` as a JSON string at `to`, which has jsonStringRoom(text) bytes of room; returns
// the end of what was written. Eight bytes at a time are stored as they are and kept up to the
// first one that needs an escape.
char* writeJsonString(char* to, std::string_view text) {
  *to++ = '"';
  const char* from = text.data();
  const char* const end = from + text.size();
  for (;;) {
    if constexpr (std::endian::native == std::endian::little) {
      while (end - from >= 8) {
        std::uint64_t word;
        std::memcpy(&word, from, sizeof word);
        std::memcpy(to, &word, sizeof word);
        const std::uint64_t marks = escapeMarks(word);
        if (marks != 0) {
          const auto plain = static_cast<std::size_t>(std::countr_zero(marks) / 8);
          from += plain;
          to += plain;
          break;
        }
        from += 8;
        to += 8;
      }
    }
    if (from == end) break;
    // One byte: the one that needs an escape, or one of the last few.
    const JsonByte& entry = kJsonBytes[static_cast<unsigned char>(*from++)];
    std::memcpy(to, entry.text.data(), entry.text.size());
    to += entry.length;
  }
  *to++ = '"';
  return to;
}

// Whether every byte is below 0x80.
bool isAscii(std::string_view bytes) {
  std::size_t at = 0;
  for (; at + 8 <= bytes.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + at, sizeof word);
    if (word & kHighs) return false;
  }
  for (; at < bytes.size(); ++at) {
    if (static_cast<unsigned char>(bytes[at]) >= 0x80) return false;
  }
  return true;
}

// Builds one JSON object in `buffer`, a string whose size only grows and serves as room to
// write in: each piece makes room for its worst case and is written through a pointer, so no
// byte is appended one call at a time and no room is filled twice.
class JsonLine {
 public:
  explicit JsonLine(FormatScratch& scratch) : scratch_(scratch) {}

  void raw(std::string_view text) {
    std::memcpy(room(text.size()), text.data(), text.size());
    length_ += text.size();
  }

  // `,"key":` for a literal key.
  template <std::size_t N>
  void key(const char (&name)[N]) {
    char* to = room(N + 3);
    to[0] = ',';
    to[1] = '"';
    std::memcpy(to + 2, name, N - 1);
    to[N + 1] = '"';
    to[N + 2] = ':';
    length_ += N + 3;
  }

  void string(std::string_view text) {
    char* to = room(jsonStringRoom(text));
    length_ += static_cast<std::size_t>(writeJsonString(to, text) - to);
  }

  // A path as its text: the same bytes where they are UTF-8, which ASCII always is.
  // A path that is not UTF-8 also gets "pathBytes", its bytes in base64, since its text shows
  // U+FFFD for the bytes it cannot show and no longer tells such names apart.
  void path(const std::string& path) {
    if (isAscii(path)) return string(path);
    scratch_.text.clear();
    appendPathText(scratch_.text, path);
    string(scratch_.text);
    if (isUtf8(path)) return;
    key("pathBytes");
    base64(path);
  }

  // `bytes` in base64 (RFC 4648: the standard alphabet, with padding), as a JSON string.
  void base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    char* to = room((bytes.size() + 2) / 3 * 4 + 2);
    char* const start = to;
    *to++ = '"';
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
      const std::size_t left = bytes.size() - i;
      const auto byte = [&](std::size_t k) {
        return k < left ? static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + k])) : 0u;
      };
      const std::uint32_t group = byte(0) << 16 | byte(1) << 8 | byte(2);
      *to++ = kAlphabet[group >> 18];
      *to++ = kAlphabet[(group >> 12) & 0x3F];
      *to++ = left > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=';
      *to++ = left > 2 ? kAlphabet[group & 0x3F] : '=';
    }
    *to++ = '"';
    length_ += static_cast<std::size_t>(to - start);
  }

  // An identifier's bytes as characters U+0000 to U+00FF.
  void identifier(std::string_view bytes) {
    if (isAscii(bytes)) return string(bytes);
    scratch_.text.clear();
    appendBytesText(scratch_.text, bytes);
    string(scratch_.text);
  }

  template <typename Integer>
  void integer(Integer value) {
    constexpr std::size_t kDigits = 24;
    char* to = room(kDigits);
    length_ += static_cast<std::size_t>(std::to_chars(to, to + kDigits, value).ptr - to);
  }

  void null() { raw("null"); }

  // A text of the table's own, or null when it is empty.
  void nameOrNull(std::string_view name) {
    if (name.empty()) return null();
    string(name);
  }

  // The shortest decimal that reads back as the same double; null when it is not finite.
  void number(double value) {
    if (!std::isfinite(value)) return raw("null");
    constexpr std::size_t kDigits = 32;
    char* to = room(kDigits);
    length_ += static_cast<std::size_t>(std::to_chars(to, to + kDigits, value).ptr - to);
  }

  std::string_view text() const { return {scratch_.line.data(), length_}; }
  std::string& scratchText() { return scratch_.text; }

 private:
  char* room(std::size_t bytes) {
    if (length_ + bytes > scratch_.line.size()) [[unlikely]]
      grow(length_ + bytes);
    return scratch_.line.data() + length_;
  }

  void grow(std::size_t size) { scratch_.line.resize(std::max(size, 2 * scratch_.line.size())); }

  FormatScratch& scratch_;
  std::size_t length_ = 0;
};

std::string_view idView(const std::array<char, 4>& id) {
  return {id.data(), id.size()};
}

std::string_view durationSourceName(DurationSource source) {
  switch (source) {
    case DurationSource::kFrames:
      return "frames";
    case DurationSource::kFact:
      return "fact";
    default:
      return "";
  }
}

void appendJsonFormat(JsonLine& line, const WaveDetails& d) {
  const std::optional<std::uint16_t> effective = d.effectiveFormat();
  line.key("formatCode");
  d.format ? line.integer(d.format->formatCode) : line.null();
  line.key("formatName");
  line.nameOrNull(effective ? formatName(*effective) : "");
  line.key("blockAlign");
  d.format ? line.integer(d.format->blockAlign) : line.null();
  line.key("byteRate");
  d.format ? line.integer(d.format->byteRate) : line.null();
}

void appendJsonExtensible(JsonLine& line, const WaveDetails& d) {
  if (!d.extensible) {
    line.raw(
        ",\"validBitsPerSample\":null,\"channelMask\":null,\"channelLayout\":null,"
        "\"subFormat\":null");
    return;
  }
  const ExtensibleFields& x = *d.extensible;
  line.key("validBitsPerSample");
  line.integer(x.validBitsPerSample);
  line.key("channelMask");
  line.integer(x.channelMask);
  std::string& text = line.scratchText();
  text.clear();
  appendChannelLayout(text, x.channelMask);
  line.key("channelLayout");
  line.string(text);
  text.clear();
  appendGuid(text, x.subFormat);
  line.key("subFormat");
  line.string(text);
}

void appendJsonDuration(JsonLine& line, const WaveDetails& d) {
  if (!d.frames) {
    line.raw(",\"frames\":null,\"durationSeconds\":null,\"durationSource\":null");
    return;
  }
  line.key("frames");
  line.integer(*d.frames);
  line.key("durationSeconds");
  line.number(d.durationSeconds);
  line.key("durationSource");
  line.string(durationSourceName(d.durationSource));
}

void appendJsonChunks(JsonLine& line, const WaveDetails& d) {
  line.key("chunks");
  line.raw("[");
  for (std::size_t i = 0; i < d.chunks.size(); ++i) {
    const ChunkHeader& chunk = d.chunks[i];
    line.raw(i == 0 ? "{\"id\":" : ",{\"id\":");
    line.identifier(idView(chunk.id));
    line.key("offset");
    line.integer(chunk.offset);
    line.key("size");
    line.integer(chunk.size);
    line.raw("}");
  }
  line.raw("]");
}

void appendJsonWarnings(JsonLine& line, const WaveDetails& d) {
  line.key("warnings");
  line.raw("[");
  bool first = true;
  for (std::size_t i = 0; i < kWarningCount; ++i) {
    if (!d.warnings[i]) continue;
    if (!first) line.raw(",");
    line.string(warningCode(static_cast<Warning>(i)));
    first = false;
  }
  line.raw("]");
}

void appendJsonInfo(JsonLine& line, const WaveDetails& d) {
  line.key("info");
  if (d.info.empty()) return line.null();
  line.raw("{");
  for (std::size_t i = 0; i < d.info.size(); ++i) {
    if (i > 0) line.raw(",");
    line.identifier(idView(d.info[i].id));
    line.raw(":");
    line.string(d.info[i].text);
  }
  line.raw("}");
}

void appendJsonBext(JsonLine& line, const WaveDetails& d) {
  line.key("bext");
  if (!d.bext) return line.null();
  const BroadcastFields& b = *d.bext;
  line.raw("{\"description\":");
  line.string(b.description);
  line.key("originator");
  line.string(b.originator);
  line.key("originatorReference");
  line.string(b.originatorReference);
  line.key("originationDate");
  line.string(b.originationDate);
  line.key("originationTime");
  line.string(b.originationTime);
  line.key("timeReference");
  line.integer(b.timeReference);
  line.key("version");
  line.integer(b.version);
  line.raw("}");
}

// The keys of the details, after the report's own.
void appendJsonDetails(JsonLine& line, const WaveDetails& d) {
  line.key("container");
  line.nameOrNull(containerName(d.container));
  appendJsonFormat(line, d);
  appendJsonExtensible(line, d);
  appendJsonDuration(line, d);
  appendJsonChunks(line, d);
  appendJsonWarnings(line, d);
  appendJsonInfo(line, d);
  appendJsonBext(line, d);
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
  // Room for the worst case first, then written through a pointer and cut to what was written.
  const std::size_t start = out.size();
  out.resize(start + jsonStringRoom(text));
  const char* end = writeJsonString(out.data() + start, text);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

void appendJsonReport(std::string& out, const std::string& path, const ProbeOutcome& outcome,
                      FormatScratch& scratch, const WaveDetails* details) {
  const SondurValues& v = outcome.values;
  JsonLine line(scratch);
  line.raw("{\"path\":");
  line.path(path);
  line.key("report");
  line.string(reportName(outcome.report));
  line.key("title");
  line.string(outcome.title);
  line.key("prompt");
  line.string(outcome.prompt.text);
  line.key("riffId");
  line.identifier(v.riffId.view());
  line.key("formType");
  line.identifier(v.formType.view());
  line.key("fmtId");
  line.identifier(v.fmtId.view());
  line.key("fmtChunkLength");
  line.integer(v.fmtChunkLength);
  line.key("formatTag");
  line.integer(v.formatTag);
  line.key("channels");
  line.integer(v.channels);
  line.key("sampleRate");
  line.integer(v.sampleRate);
  line.key("bitsPerSample");
  line.integer(v.bitsPerSample);
  line.key("dataSize");
  line.integer(v.dataSize);
  line.key("lengthSeconds");
  line.number(v.lengthSeconds);
  line.key("errorNumber");
  line.integer(outcome.errorNumber);
  line.key("errorDescription");
  line.string(outcome.errorDescription);
  if (details) appendJsonDetails(line, *details);
  line.raw("}\n");
  out.append(line.text());
}

void appendTsvHeader(std::string& out, bool detailColumns) {
  out.append(
      "path\treport\tformatTag\tchannels\tsampleRate\tbitsPerSample\tdataSize\tlengthSeconds");
  if (detailColumns) out.append("\tformatName\tframes\tdurationSeconds\twarnings");
  out.push_back('\n');
}

namespace {

// The detail columns of a TSV line, each after a tab; all empty without details.
void appendTsvDetails(std::string& out, const WaveDetails* details) {
  if (!details) {
    out.append("\t\t\t\t");
    return;
  }
  const std::optional<std::uint16_t> effective = details->effectiveFormat();
  out.push_back('\t');
  if (effective) out.append(formatName(*effective));
  out.push_back('\t');
  if (details->frames) appendInteger(out, *details->frames);
  out.push_back('\t');
  if (details->frames) appendPlainNumber(out, details->durationSeconds);
  out.push_back('\t');
  bool first = true;
  for (std::size_t i = 0; i < kWarningCount; ++i) {
    if (!details->warnings[i]) continue;
    if (!first) out.push_back(',');
    out.append(warningCode(static_cast<Warning>(i)));
    first = false;
  }
}

}  // namespace

void appendTsvReport(std::string& out, const std::string& path, const ProbeOutcome& outcome,
                     bool detailColumns, const WaveDetails* details) {
  const SondurValues& v = outcome.values;
  appendDisplayLine(out, path);
  out.push_back('\t');
  out.append(reportName(outcome.report));
  for (const std::int64_t field :
       {std::int64_t{v.formatTag}, std::int64_t{v.channels}, std::int64_t{v.sampleRate},
        std::int64_t{v.bitsPerSample}, std::int64_t{v.dataSize}}) {
    out.push_back('\t');
    appendInteger(out, field);
  }
  out.push_back('\t');
  appendPlainNumber(out, v.lengthSeconds);
  if (detailColumns) appendTsvDetails(out, details);
  out.push_back('\n');
}

void appendSummary(std::string& out, Format format, const Tally& tally) {
  const auto count = [&](Report report) { return tally.reports[static_cast<int>(report)]; };
  if (format == Format::kJson) {
    FormatScratch scratch;
    JsonLine line(scratch);
    line.raw("{\"report\":\"summary\",\"files\":");
    line.integer(tally.files);
    line.key("information");
    line.integer(count(Report::kInformation));
    line.key("openFailure");
    line.integer(count(Report::kOpenFailure));
    line.key("tooShort");
    line.integer(count(Report::kTooShort));
    line.key("invalidIdentifier");
    line.integer(count(Report::kInvalidIdentifier));
    line.key("totalLengthSeconds");
    line.number(tally.totalLengthSeconds);
    line.raw("}\n");
    out.append(line.text());
    return;
  }
  if (format == Format::kText) out.push_back('\n');
  out.append("Summary: ");
  appendInteger(out, tally.files);
  out.append(" files, ");
  appendInteger(out, count(Report::kInformation));
  out.append(" information, ");
  appendInteger(out, count(Report::kOpenFailure));
  out.append(" open-failure, ");
  appendInteger(out, count(Report::kTooShort));
  out.append(" too-short, ");
  appendInteger(out, count(Report::kInvalidIdentifier));
  out.append(" invalid-identifier, total length ");
  appendPlainNumber(out, tally.totalLengthSeconds);
  out.append(" seconds.\n");
}

void appendReport(std::string& out, const ReportStyle& style, const std::string& path,
                  const ProbeOutcome& outcome, FormatScratch& scratch, const WaveDetails* details) {
  switch (style.format) {
    case Format::kJson:
      appendJsonReport(out, path, outcome, scratch, details);
      break;
    case Format::kTsv:
      appendTsvReport(out, path, outcome, style.details, details);
      break;
    case Format::kText:
      appendTextReport(out, style.namePaths ? &path : nullptr, outcome.title, outcome.prompt);
      if (details) appendTextDetails(out, *details);
      break;
  }
}

std::string_view reportName(Report report) {
  switch (report) {
    case Report::kOpenFailure:
      return "open-failure";
    case Report::kTooShort:
      return "too-short";
    case Report::kInvalidIdentifier:
      return "invalid-identifier";
    default:
      return "information";
  }
}

}  // namespace pelorin::cli
