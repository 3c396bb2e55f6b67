#include "cli/cli.h"

#include <algorithm>

#include "cli/batch.h"
#include "cli/inputs.h"
#include "cli/options.h"
#include "cli/output.h"
#include "runtime/text.h"
#include "version/version.h"

namespace pelorin::cli {

namespace {

int writeError(const Output& output, OutputStream& err) {
  writeMessage(err, "pelorin-cli: error: cannot write output: " + output.writeError() + '\n');
  return kOutputFailed;
}

int writeText(Output& output, std::string_view text, OutputStream& err) {
  output.buffer().append(text);
  output.flush();
  return output.writeError().empty() ? kAllInformation : writeError(output, err);
}

// The usage error of a file list that could not be opened or read to its end: the run did not
// see every path.
int listError(const PathList& list, OutputStream& err) {
  writeMessage(err, "pelorin-cli: error: cannot read the file list '" + list.name() +
                        "': " + list.error() + '\n');
  return kUsageError;
}

// The number of files of a run whose inputs are all on the command line: each path is one file
// unless folders are walked or lists are read.
std::optional<std::uint64_t> knownTotal(const Options& options) {
  if (options.recursive || !options.filesFrom.empty()) return std::nullopt;
  return options.paths.size();
}

// A folder named without -r gets the open-failure report; once a run, stderr says why.
void noteFolder(const std::string& folder, OutputStream& err) {
  std::string shown;
  appendDisplayLine(shown, folder);
  writeMessage(err, "pelorin-cli: note: '" + shown + "' is a folder; -r walks it\n");
}

// A "-" on a terminal would wait for a file to be typed: refused as a usage error.
bool terminalAsFile(const Options& options, const StandardInput& standardInput, OutputStream& err) {
  const bool named =
      std::find(options.paths.begin(), options.paths.end(), "-") != options.paths.end();
  if (!named || options.help || options.version || !standardInput.isTerminal()) return false;
  writeMessage(err, "pelorin-cli: error: '-': standard input is a terminal; pipe a file into it\n" +
                        std::string(kUsage));
  return true;
}

}  // namespace

int run(CommandLine argv, OutputStream& out, OutputStream& err, OutputStream* progressStream,
        StandardInput& standardInput) {
  const std::optional<Options> options = parseArgs(argv, err);
  if (!options || terminalAsFile(*options, standardInput, err)) return kUsageError;
  Output output(out);
  if (options->help) return writeText(output, kHelp, err);
  if (options->version) {
    return writeText(output, "pelorin-cli " + std::string(kVersion) + "\n", err);
  }

  Inputs inputs(*options, standardInput);
  if (!inputs.open(out.regularFile())) return listError(*inputs.failedList(), err);
  Progress progress(options->progress, progressStream, out, knownTotal(*options));
  const Tally tally = probeAll(inputs, *options, output, progress);
  if (output.interrupted()) return kInterrupted;
  if (!tally.firstFolder.empty()) noteFolder(tally.firstFolder, err);
  if (!output.writeError().empty()) return writeError(output, err);
  if (const PathList* failed = inputs.failedList()) return listError(*failed, err);
  const bool warned = options->strict && tally.filesWithWarnings > 0;
  return tally.allInformation() && !warned ? kAllInformation : kOtherReport;
}

int run(std::vector<std::string> args, OutputStream& out, OutputStream& err,
        OutputStream* progressStream, StandardInput& standardInput) {
  const CommandLineTexts texts(std::move(args));
  return run(texts.line(), out, err, progressStream, standardInput);
}

}  // namespace pelorin::cli
