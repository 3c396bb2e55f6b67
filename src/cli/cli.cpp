#include "cli/cli.h"

#include <cstring>

#include "cli/batch.h"
#include "cli/inputs.h"
#include "cli/options.h"
#include "cli/output.h"
#include "version/version.h"

namespace pelorin::cli {

namespace {

int writeError(const Output& output, std::ostream& err) {
  err << "pelorin-cli: error: cannot write output: " << std::strerror(output.writeError()) << '\n';
  return kOutputFailed;
}

int writeText(Output& output, std::string_view text, std::ostream& err) {
  output.buffer().append(text);
  output.flush();
  return output.writeError() != 0 ? writeError(output, err) : kAllInformation;
}

}  // namespace

int run(const std::vector<std::string>& args, int outFd, std::ostream& err, int errFd) {
  const std::optional<Options> options = parseArgs(args, err);
  if (!options) return kUsageError;
  Output output(outFd);
  if (options->help) return writeText(output, kHelp, err);
  if (options->version) {
    return writeText(output, "pelorin-cli " + std::string(kVersion) + "\n", err);
  }

  Inputs inputs(*options);
  if (!inputs.open()) {
    err << "pelorin-cli: error: cannot read the file list '" << *options->filesFrom
        << "': " << std::strerror(errno) << '\n';
    return kUsageError;
  }
  Progress progress(options->progress, errFd, outFd);
  const Tally tally = probeAll(inputs, *options, output, progress);
  if (output.writeError() != 0) return writeError(output, err);
  if (inputs.listError() != 0) {
    err << "pelorin-cli: error: cannot read the file list '" << *options->filesFrom
        << "': " << std::strerror(inputs.listError()) << '\n';
    return kUsageError;  // as for a list that cannot be opened: the run did not see every path
  }
  const bool warned = options->strict && tally.filesWithWarnings > 0;
  return tally.allInformation() && !warned ? kAllInformation : kOtherReport;
}

}  // namespace pelorin::cli
