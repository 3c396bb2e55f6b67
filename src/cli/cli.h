#pragma once

#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/standard_input.h"
#include "cli/stream.h"

namespace pelorin::cli {

/// Exit statuses of pelorin-cli.
enum ExitStatus : int {
  kAllInformation = 0,  // every path got the information report
  kOtherReport = 1,     // some path got another report
  kUsageError = 2,      // the arguments were wrong; usage went to stderr
  kOutputFailed = 3,    // the reports could not be written
  // The run was stopped (a signal, Ctrl+C); the programs then end as the signal asks.
  kInterrupted = 130,
};

/// Runs pelorin-cli with the command line `argv` (its texts live as long as the run): probes
/// each path and writes one report per path to `out`; usage and the program's own errors go to
/// `err`, and the progress of a long run to `progress` (null: none); a path "-" reads
/// `standardInput`. Returns the exit status.
int run(CommandLine argv, OutputStream& out, OutputStream& err, OutputStream* progress = nullptr,
        StandardInput& standardInput = systemStandardInput());

/// run() with the arguments `args`, after the program's name.
int run(std::vector<std::string> args, OutputStream& out, OutputStream& err,
        OutputStream* progress = nullptr, StandardInput& standardInput = systemStandardInput());

}  // namespace pelorin::cli
