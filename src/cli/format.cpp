#include "cli/format.h"

#include <charconv>
#include <cmath>

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

void appendKey(std::string& out, std::string_view key) {
  out.append(",\"");
  out.append(key);
  out.append("\":");
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

// Which bytes a JSON string must escape: control characters, the quote and the backslash.
constexpr std::array<bool, 256> kJsonEscaped = [] {
  std::array<bool, 256> escaped{};
  for (int c = 0; c < 0x20; ++c) escaped[c] = true;
  escaped['"'] = escaped['\\'] = true;
  return escaped;
}();

void appendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  std::size_t plainFrom = 0;  // characters that need no escape are appended a run at a time
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!kJsonEscaped[c]) continue;
    out.append(text, plainFrom, i - plainFrom);
    plainFrom = i + 1;
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\b':
        out.append("\\b");
        break;
      case '\f':
        out.append("\\f");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      default:
        out.append("\\u00");
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 0xF]);
    }
  }
  out.append(text, plainFrom);
  out.push_back('"');
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
