#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/options.h"
#include "probe/sondur.h"

namespace pelorin::cli {

/// Counts of a run's reports, and the total length of its information reports.
struct Tally {
  std::uint64_t files = 0;
  std::array<std::uint64_t, 4> reports{};  // by Report
  double totalLengthSeconds = 0;           // finite lengths only

  /// Counts a report; adds its length to the total when it is an information report's finite
  /// length. Reports are added in input order, so that the total is the same however they were
  /// probed.
  void add(Report report, double lengthSeconds);
  bool allInformation() const { return reports[static_cast<int>(Report::kInformation)] == files; }
};

/// How reports are written: the format, and whether in text each report begins with a line
/// that names its file, as runs that can give several files do.
struct ReportStyle {
  Format format = Format::kText;
  bool namePaths = false;
};

/// Working storage of the formatters, kept from report to report so that its room is reused.
struct FormatScratch {
  std::string line;  // room to build a line in
  std::string text;  // a path or an identifier as text
};

/// Appends one text report: an empty line (the writer drops the run's very first), the line
/// "==> PATH <==" where `path` is given, the title on its own line, the prompt, and a line feed.
void appendTextReport(std::string& out, const std::string* path, std::string_view title,
                      PromptView prompt);

/// Appends `text` as a JSON string, quotes included.
void appendJsonString(std::string& out, std::string_view text);

/// Appends one report as a JSON object on one line, ending in a line feed.
void appendJsonReport(std::string& out, const std::string& path, const ProbeOutcome& outcome,
                      FormatScratch& scratch);

/// The header line of --tsv output.
void appendTsvHeader(std::string& out);

/// Appends one report as a tab-separated line: path, report, formatTag, channels, sampleRate,
/// bitsPerSample, dataSize, lengthSeconds. The path shows in its display form, so a tab or a
/// line break in a name cannot break the columns or the rows.
void appendTsvReport(std::string& out, const std::string& path, const ProbeOutcome& outcome);

/// Appends the summary record in `format`.
void appendSummary(std::string& out, Format format, const Tally& tally);

/// Appends one report in `format`.
void appendReport(std::string& out, const ReportStyle& style, const std::string& path,
                  const ProbeOutcome& outcome, FormatScratch& scratch);

/// Report names as the command line writes them ("information", "open-failure", ...).
std::string_view reportName(Report report);

}  // namespace pelorin::cli
