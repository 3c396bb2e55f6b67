#include "cli/cli.h"

#include "cli/batch.h"
#include "cli/inputs.h"
#include "cli/options.h"
#include "cli/output.h"
#include "runtime/text.h"
#include "version/version.h"

namespace pelorin::cli {

namespace {

int writeError(const Output& output, std::ostream& err) {
  err << "pelorin-cli: error: cannot write output: " << output.writeError() << '\n';
  return kOutputFailed;
}

int writeText(Output& output, std::string_view text, std::ostream& err) {
  output.buffer().append(text);
  output.flush();
  return output.writeError().empty() ? kAllInformation : writeError(output, err);
}

// The usage error of a file list that could not be opened or read to its end: the run did not
// see every path.
int listError(const PathList& list, std::ostream& err) {
  err << "pelorin-cli: error: cannot read the file list '" << list.name() << "': " << list.error()
      << '\n';
  return kUsageError;
}

// The number of files of a run whose inputs are all on the command line: each path is one file
// unless folders are walked or lists are read.
std::optional<std::uint64_t> knownTotal(const Options& options) {
  if (options.recursive || !options.filesFrom.empty()) return std::nullopt;
  return options.paths.size();
}

// A folder named without -r gets the open-failure report; once a run, stderr says why.
void noteFolder(const std::string& folder, std::ostream& err) {
  std::string shown;
  appendDisplayLine(shown, folder);
  err << "pelorin-cli: note: '" << shown << "' is a folder; -r walks it\n";
}

}  // namespace

int run(const std::vector<std::string>& args, OutputStream& out, std::ostream& err,
        OutputStream* progressStream) {
  const std::optional<Options> options = parseArgs(args, err);
  if (!options) return kUsageError;
  Output output(out);
  if (options->help) return writeText(output, kHelp, err);
  if (options->version) {
    return writeText(output, "pelorin-cli " + std::string(kVersion) + "\n", err);
  }

  Inputs inputs(*options);
  if (!inputs.open(out.regularFile())) return listError(*inputs.failedList(), err);
  Progress progress(options->progress, progressStream, out, knownTotal(*options));
  const Tally tally = probeAll(inputs, *options, output, progress);
  if (!tally.firstFolder.empty()) noteFolder(tally.firstFolder, err);
  if (!output.writeError().empty()) return writeError(output, err);
  if (const PathList* failed = inputs.failedList()) return listError(*failed, err);
  const bool warned = options->strict && tally.filesWithWarnings > 0;
  return tally.allInformation() && !warned ? kAllInformation : kOtherReport;
}

}  // namespace pelorin::cli
