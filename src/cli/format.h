#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/options.h"
#include "probe/details.h"
#include "probe/sondur.h"

namespace pelorin::cli {

/// Counts of a run's reports, and the total length of its information reports.
struct Tally {
  std::uint64_t files = 0;
  std::array<std::uint64_t, 4> reports{};  // by Report
  double totalLengthSeconds = 0;           // finite lengths only
  std::uint64_t filesWithWarnings = 0;     // whose details have a warning
  std::string firstFolder;  // the first folder that got the open-failure report, not walked

  /// Counts a report, and whether its details have a warning; adds its length to the total when
  /// it is an information report's finite length. Reports are added in input order, so that the
  /// total is the same however they were probed.
  void add(Report report, double lengthSeconds, bool warned = false);
  bool allInformation() const { return reports[static_cast<int>(Report::kInformation)] == files; }
};

/// How reports are written: the format, whether in text each report begins with a line that
/// names its file, as runs that can give several files do, and whether details follow.
struct ReportStyle {
  Format format = Format::kText;
  bool namePaths = false;
  bool details = false;
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

/// Appends the block of details that follows a text report: each line indented by two spaces or
/// more, so that no line can pass for the prompt's, and every text in its display form.
void appendTextDetails(std::string& out, const WaveDetails& details);

/// Appends one report as a JSON object on one line, ending in a line feed; with `details`, their
/// keys follow the report's.
void appendJsonReport(std::string& out, const std::string& path, const ProbeOutcome& outcome,
                      FormatScratch& scratch, const WaveDetails* details = nullptr);

/// The header line of --tsv output, with the detail columns where asked for.
void appendTsvHeader(std::string& out, bool detailColumns = false);

/// Appends one report as a tab-separated line: path, report, formatTag, channels, sampleRate,
/// bitsPerSample, dataSize, lengthSeconds; with `detailColumns`, then formatName, frames,
/// durationSeconds and warnings (comma-separated codes) from `details`, each empty where it
/// has no value or there are no details. The path shows in its display form, so a tab or a line
/// break in a name cannot break the columns or the rows.
void appendTsvReport(std::string& out, const std::string& path, const ProbeOutcome& outcome,
                     bool detailColumns = false, const WaveDetails* details = nullptr);

/// Appends the summary record in `format`; with `warnings` (a run with details), it also counts
/// the files that have a warning.
void appendSummary(std::string& out, Format format, const Tally& tally, bool warnings = false);
/// The summary as a JSON record.
void appendJsonSummary(std::string& out, const Tally& tally, bool warnings);
/// The summary as a line of text, after an empty line in text runs.
void appendTextSummary(std::string& out, Format format, const Tally& tally, bool warnings);

/// Appends one report in the style asked for, with `details` where the style wants them and
/// there are any.
void appendReport(std::string& out, const ReportStyle& style, const std::string& path,
                  const ProbeOutcome& outcome, FormatScratch& scratch,
                  const WaveDetails* details = nullptr);

/// Report names as the command line writes them ("information", "open-failure", ...).
std::string_view reportName(Report report);

}  // namespace pelorin::cli
