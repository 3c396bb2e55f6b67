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

// The shortest decimal that reads back as the same double; null when it is not finite.
void appendJsonDouble(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out.append("null");
    return;
  }
  std::array<char, 32> digits;
  const auto end = std::to_chars(digits.begin(), digits.end(), value).ptr;
  out.append(digits.begin(), end);
}

// Number text without the space that stands before a value that is not negative.
void appendPlainNumber(std::string& out, double value) {
  const std::size_t start = out.size();
  appendStr(out, value);
  if (out[start] == ' ') out.erase(start, 1);
}

template <std::size_t N>
void appendIdentifier(std::string& out, const FixedText<N>& id, std::string& scratch) {
  scratch.clear();
  appendBytesText(scratch, id.view());
  appendJsonString(out, scratch);
}

// Appends `,"key":` in one go; the keys are literals, so their lengths are known here.
template <std::size_t N>
void appendKey(std::string& out, const char (&key)[N]) {
  char text[N + 4] = {',', '"'};
  std::memcpy(text + 2, key, N - 1);
  text[N + 1] = '"';
  text[N + 2] = ':';
  out.append(text, N + 3);
}

}  // namespace

void Tally::add(const ProbeOutcome& outcome) {
  ++files;
  ++reports[static_cast<int>(outcome.report)];
  if (outcome.report == Report::kInformation && std::isfinite(outcome.values.lengthSeconds)) {
    totalLengthSeconds += outcome.values.lengthSeconds;
  }
}

void Tally::merge(const Tally& other) {
  files += other.files;
  for (std::size_t i = 0; i < reports.size(); ++i) reports[i] += other.reports[i];
  totalLengthSeconds += other.totalLengthSeconds;
}

void appendTextReport(std::string& out, std::string_view title, std::string_view prompt) {
  out.push_back('\n');
  appendDisplayText(out, title);
  out.push_back('\n');
  appendDisplayText(out, prompt);
  out.push_back('\n');
}

namespace {

// Which bytes a JSON string must escape: control characters, the quote and the backslash.
constexpr std::array<bool, 256> kJsonEscaped = [] {
  std::array<bool, 256> escaped{};
  for (int c = 0; c < 0x20; ++c) escaped[c] = true;
  escaped['"'] = escaped['\\'] = true;
  return escaped;
}();

// The position of the first byte at or after `from` that JSON must escape, or the end. Looks at
// eight bytes at a time: in a word, (w - 0x01..01 * n) & ~w & 0x80..80 marks the bytes below n,
// and its lowest mark is always a true one, which is all this needs.
std::size_t nextEscaped(std::string_view text, std::size_t from) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    for (; from + 8 <= text.size(); from += 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + from, sizeof word);
      const std::uint64_t quote = word ^ (kOnes * '"');
      const std::uint64_t backslash = word ^ (kOnes * '\\');
      const std::uint64_t marks = ((word - kOnes * 0x20) & ~word) | ((quote - kOnes) & ~quote) |
                                  ((backslash - kOnes) & ~backslash);
      if (const std::uint64_t found = marks & kHighs) {
        return from + static_cast<std::size_t>(std::countr_zero(found) / 8);
      }
    }
  }
  while (from < text.size() && !kJsonEscaped[static_cast<unsigned char>(text[from])]) ++from;
  return from;
}

// Writes the escape of `c` at `to`; returns where the next byte goes.
char* writeJsonEscape(char* to, unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  *to++ = '\\';
  switch (c) {
    case '"':
    case '\\':
      *to++ = static_cast<char>(c);
      break;
    case '\b':
      *to++ = 'b';
      break;
    case '\f':
      *to++ = 'f';
      break;
    case '\n':
      *to++ = 'n';
      break;
    case '\r':
      *to++ = 'r';
      break;
    case '\t':
      *to++ = 't';
      break;
    default:
      for (const char part : {'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]}) *to++ = part;
  }
  return to;
}

// No escape is longer than the six characters of \u00XX.
constexpr std::size_t kLongestEscape = 6;

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
  // Room for the worst case first, then written through a pointer and cut to what was written:
  // one resize instead of an append per run and per escape.
  const std::size_t start = out.size();
  out.resize(start + 2 + kLongestEscape * text.size());
  char* to = out.data() + start;
  *to++ = '"';
  std::size_t from = 0;
  for (;;) {
    const std::size_t escaped = nextEscaped(text, from);
    std::memcpy(to, text.data() + from, escaped - from);  // a run that needs no escape
    to += escaped - from;
    if (escaped == text.size()) break;
    to = writeJsonEscape(to, static_cast<unsigned char>(text[escaped]));
    from = escaped + 1;
  }
  *to++ = '"';
  out.resize(static_cast<std::size_t>(to - out.data()));
}

void appendJsonReport(std::string& out, const std::string& path, const ProbeOutcome& outcome,
                      std::string_view title, std::string& scratch) {
  const SondurValues& v = outcome.values;
  out.append("{\"path\":");
  scratch.clear();
  appendPathText(scratch, path);
  appendJsonString(out, scratch);
  appendKey(out, "report");
  appendJsonString(out, reportName(outcome.report));
  appendKey(out, "title");
  appendJsonString(out, title);
  appendKey(out, "prompt");
  appendJsonString(out, outcome.prompt);
  appendKey(out, "riffId");
  appendIdentifier(out, v.riffId, scratch);
  appendKey(out, "formType");
  appendIdentifier(out, v.formType, scratch);
  appendKey(out, "fmtId");
  appendIdentifier(out, v.fmtId, scratch);
  appendKey(out, "fmtChunkLength");
  appendInteger(out, v.fmtChunkLength);
  appendKey(out, "formatTag");
  appendInteger(out, v.formatTag);
  appendKey(out, "channels");
  appendInteger(out, v.channels);
  appendKey(out, "sampleRate");
  appendInteger(out, v.sampleRate);
  appendKey(out, "bitsPerSample");
  appendInteger(out, v.bitsPerSample);
  appendKey(out, "dataSize");
  appendInteger(out, v.dataSize);
  appendKey(out, "lengthSeconds");
  appendJsonDouble(out, v.lengthSeconds);
  appendKey(out, "errorNumber");
  appendInteger(out, outcome.errorNumber);
  appendKey(out, "errorDescription");
  appendJsonString(out, outcome.errorDescription);
  out.append("}\n");
}

void appendTsvHeader(std::string& out) {
  out.append(
      "path\treport\tformatTag\tchannels\tsampleRate\tbitsPerSample\tdataSize\tlengthSeconds\n");
}

void appendTsvReport(std::string& out, const std::string& path, const ProbeOutcome& outcome,
                     std::string& scratch) {
  const SondurValues& v = outcome.values;
  scratch.clear();
  appendPathText(scratch, path);
  appendDisplayText(out, scratch);
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
  out.push_back('\n');
}

void appendSummary(std::string& out, Format format, const Tally& tally) {
  const auto count = [&](Report report) { return tally.reports[static_cast<int>(report)]; };
  if (format == Format::kJson) {
    out.append("{\"report\":\"summary\",\"files\":");
    appendInteger(out, tally.files);
    appendKey(out, "information");
    appendInteger(out, count(Report::kInformation));
    appendKey(out, "openFailure");
    appendInteger(out, count(Report::kOpenFailure));
    appendKey(out, "tooShort");
    appendInteger(out, count(Report::kTooShort));
    appendKey(out, "invalidIdentifier");
    appendInteger(out, count(Report::kInvalidIdentifier));
    appendKey(out, "totalLengthSeconds");
    appendJsonDouble(out, tally.totalLengthSeconds);
    out.append("}\n");
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

void appendReport(std::string& out, Format format, const std::string& path,
                  const ProbeOutcome& outcome, std::string_view title, std::string& scratch) {
  switch (format) {
    case Format::kJson:
      appendJsonReport(out, path, outcome, title, scratch);
      break;
    case Format::kTsv:
      appendTsvReport(out, path, outcome, scratch);
      break;
    case Format::kText:
      appendTextReport(out, title, outcome.prompt);
      break;
  }
}

}  // namespace pelorin::cli
