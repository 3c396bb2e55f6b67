#include "cli/cli.h"

#include "cli/batch.h"
#include "cli/inputs.h"
#include "cli/options.h"
#include "cli/output.h"
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
int listError(const Options& options, const Inputs& inputs, std::ostream& err) {
  err << "pelorin-cli: error: cannot read the file list '" << *options.filesFrom
      << "': " << inputs.listError() << '\n';
  return kUsageError;
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
  if (!inputs.open()) return listError(*options, inputs, err);
  Progress progress(options->progress, progressStream, out);
  const Tally tally = probeAll(inputs, *options, output, progress);
  if (output.interrupted()) return kInterrupted;
  if (!output.writeError().empty()) return writeError(output, err);
  if (!inputs.listError().empty()) return listError(*options, inputs, err);
  const bool warned = options->strict && tally.filesWithWarnings > 0;
  return tally.allInformation() && !warned ? kAllInformation : kOtherReport;
}

}  // namespace pelorin::cli
