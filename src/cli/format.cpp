#include "cli/format.h"

#include <array>
#include <charconv>
#include <cmath>

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

template <std::size_t N>
void appendIdentifier(std::string& out, const FixedText<N>& id) {
  appendJsonString(out, bytesToText(id.view()));
}

void appendKey(std::string& out, std::string_view key) {
  out.append(",\"");
  out.append(key);
  out.append("\":");
}

}  // namespace

void appendTextReport(std::string& out, std::string_view title, std::string_view prompt) {
  appendDisplayText(out, title);
  out.push_back('\n');
  appendDisplayText(out, prompt);
  out.push_back('\n');
}

void appendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
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
        if (c < 0x20) {
          out.append("\\u00");
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 0xF]);
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
}

void appendJsonReport(std::string& out, const std::string& path, const ProbeOutcome& outcome,
                      std::string_view title, std::string_view prompt) {
  const SondurValues& v = outcome.values;
  out.append("{\"path\":");
  appendJsonString(out, pathToText(path));
  appendKey(out, "report");
  appendJsonString(out, reportName(outcome.report));
  appendKey(out, "title");
  appendJsonString(out, title);
  appendKey(out, "prompt");
  appendJsonString(out, prompt);
  appendKey(out, "riffId");
  appendIdentifier(out, v.riffId);
  appendKey(out, "formType");
  appendIdentifier(out, v.formType);
  appendKey(out, "fmtId");
  appendIdentifier(out, v.fmtId);
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

}  // namespace pelorin::cli
