#include "cli/format.h"
#include "cli/number_format.h"

namespace pelorin::cli {

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
  out.push_back('\t');
  out.append(details->effectiveFormatName());
  out.push_back('\t');
  if (details->frames) appendInteger(out, *details->frames);
  out.push_back('\t');
  if (details->frames) appendPlainNumber(out, details->durationSeconds);
  out.push_back('\t');
  bool first = true;
  details->forEachWarning([&](Warning warning) {
    if (!first) out.push_back(',');
    out.append(warningCode(warning));
    first = false;
  });
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

}  // namespace pelorin::cli
