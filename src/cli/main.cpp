#include <csignal>
#include <cstddef>

#include "cli/cli.h"
#include "cli/posix_stream.h"

int main(int argc, char** argv) {
  // A closed pipe shows as EPIPE from write(), so that `pelorin-cli ... | head` ends quietly.
  std::signal(SIGPIPE, SIG_IGN);
  pelorin::cli::FdStream out(1);
  // The program's own messages and the progress line. No C++ stream is made: the first one
  // sets up the library's locales, which would add a good part of a millisecond to every start.
  pelorin::cli::FdStream errors(2);
  pelorin::cli::stopOnSignals();
  // The command line as it came: a long one is neither copied nor reordered.
  const int status =
      pelorin::cli::run({argv, static_cast<std::size_t>(argc)}, out, errors, &errors);
  // A run stopped by a signal ends by it, so that the shell and the parent see why.
  if (const int signalNumber = pelorin::cli::stoppingSignal()) {
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
  }
  return status;
}
