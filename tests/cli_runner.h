#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "runtime/unique_fd.h"

namespace pelorin::testing {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

/// Runs the command line in-process with its output in memory.
inline CliRun runCli(const std::vector<std::string>& args) {
  CliRun result;
  const UniqueFd out(::memfd_create("pelorin-cli-out", 0));
  std::ostringstream err;
  result.status = cli::run(args, out.get(), err);
  result.err = err.str();
  result.out.resize(static_cast<std::size_t>(::lseek(out.get(), 0, SEEK_END)));
  if (::pread(out.get(), result.out.data(), result.out.size(), 0) < 0) result.out.clear();
  return result;
}

}  // namespace pelorin::testing
