#include "cli/cli.h"

#include <cstring>
#include <optional>

#include "cli/format.h"
#include "cli/output.h"
#include "probe/sondur.h"
#include "runtime/context.h"

namespace pelorin::cli {

namespace {

constexpr std::string_view kUsage = "Usage: pelorin-cli [--json] [--] PATH...\n";

constexpr std::string_view kHelp =
    "Usage: pelorin-cli [--json] [--] PATH...\n"
    "Reports what the header of each RIFF/WAVE file says and how long its sound plays,\n"
    "one report per path, in the order given.\n"
    "\n"
    "  --json     write one JSON object per line instead of text\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "  --         treat every later argument as a path\n"
    "\n"
    "Exit status: 0 when every path got the information report, 1 when any got another\n"
    "report, 2 for a usage error, 3 when the output could not be written.\n";

constexpr std::string_view kVersion = "pelorin-cli 1.00\n";

struct Options {
  bool json = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> paths;
};

// Parses `args`; on a usage error returns nothing and says why on `err`.
std::optional<Options> parseArgs(const std::vector<std::string>& args, std::ostream& err) {
  Options options;
  bool pathsOnly = false;
  for (const std::string& arg : args) {
    if (pathsOnly || arg.size() < 2 || arg[0] != '-') {
      options.paths.push_back(arg);
    } else if (arg == "--") {
      pathsOnly = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else {
      err << "pelorin-cli: error: unknown option '" << arg << "'\n" << kUsage;
      return std::nullopt;
    }
  }
  if (options.paths.empty() && !options.help && !options.version) {
    err << "pelorin-cli: error: no path given\n" << kUsage;
    return std::nullopt;
  }
  return options;
}

// The command line's message-box sink: keeps the box's title and prompt for the report writer.
class ReportCapture : public MessageBoxSink {
 public:
  int show(std::string_view prompt, std::int32_t, std::optional<std::string_view> title) override {
    prompt_.assign(prompt);
    title_.assign(title.value_or(kApplicationTitle));
    return kOkAnswer;
  }
  const std::string& prompt() const { return prompt_; }
  const std::string& title() const { return title_; }

 private:
  std::string prompt_;
  std::string title_;
};

int writeAndReturn(Output& output, std::string_view text, std::ostream& err, int status) {
  output.buffer().append(text);
  output.flush();
  if (output.writeError() != 0) {
    err << "pelorin-cli: error: cannot write output: " << std::strerror(output.writeError())
        << '\n';
    return kOutputFailed;
  }
  return status;
}

}  // namespace

int run(const std::vector<std::string>& args, int outFd, std::ostream& err) {
  const std::optional<Options> options = parseArgs(args, err);
  if (!options) return kUsageError;
  Output output(outFd);
  if (options->help) return writeAndReturn(output, kHelp, err, kAllInformation);
  if (options->version) return writeAndReturn(output, kVersion, err, kAllInformation);

  ReportCapture capture;
  RuntimeContext ctx(capture);
  ProbeOutcome outcome;
  int status = kAllInformation;
  bool first = true;
  for (const std::string& path : options->paths) {
    GetSondur(ctx, path, &outcome);
    if (outcome.report != Report::kInformation) status = kOtherReport;
    std::string& out = output.buffer();
    if (options->json) {
      appendJsonReport(out, path, outcome, capture.title(), capture.prompt());
    } else {
      if (!first) out.push_back('\n');
      appendTextReport(out, capture.title(), capture.prompt());
    }
    first = false;
    output.endReport();
    if (output.failed()) break;
  }
  return writeAndReturn(output, {}, err, status);
}

}  // namespace pelorin::cli
