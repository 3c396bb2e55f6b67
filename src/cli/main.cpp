#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
  // A closed pipe shows as EPIPE from write(), so that `pelorin-cli ... | head` ends quietly.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return pelorin::cli::run(args, 1, std::cerr, 2);
}
