#include "cli/format.h"

#include <cmath>

namespace pelorin::cli {

void Tally::add(Report report, double lengthSeconds, bool warned) {
  ++files;
  if (warned) ++filesWithWarnings;
  ++reports[static_cast<int>(report)];
  if (report == Report::kInformation && std::isfinite(lengthSeconds)) {
    totalLengthSeconds += lengthSeconds;
  }
}

void appendSummary(std::string& out, Format format, const Tally& tally, bool warnings) {
  if (format == Format::kJson) return appendJsonSummary(out, tally, warnings);
  appendTextSummary(out, format, tally, warnings);
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
