#include "cli/json_details.h"
#include "cli/json_line.h"

namespace pelorin::cli {

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
  line.prompt(outcome.prompt);
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

void appendJsonSummary(std::string& out, const Tally& tally, bool warnings) {
  const auto count = [&](Report report) { return tally.reports[static_cast<int>(report)]; };
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
  if (warnings) {
    line.key("withWarnings");
    line.integer(tally.filesWithWarnings);
  }
  line.key("totalLengthSeconds");
  line.number(tally.totalLengthSeconds);
  line.raw("}\n");
  out.append(line.text());
}

}  // namespace pelorin::cli
