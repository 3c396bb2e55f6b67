#include "cli/format.h"
#include "cli/number_format.h"

namespace pelorin::cli {

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

void appendTextSummary(std::string& out, Format format, const Tally& tally, bool warnings) {
  const auto count = [&](Report report) { return tally.reports[static_cast<int>(report)]; };
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
  out.append(" invalid-identifier, ");
  if (warnings) {
    appendInteger(out, tally.filesWithWarnings);
    out.append(" with warnings, ");
  }
  out.append("total length ");
  appendPlainNumber(out, tally.totalLengthSeconds);
  out.append(" seconds.\n");
}

}  // namespace pelorin::cli
