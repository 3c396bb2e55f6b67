#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/stream.h"

namespace pelorin::testing {

/// An output stream that keeps what it is given, in memory; never a terminal.
class MemoryStream final : public cli::OutputStream {
 public:
  std::optional<std::uint64_t> terminal() const override { return std::nullopt; }
  cli::WriteResult write(std::string_view bytes) override {
    text.append(bytes);
    return {};
  }
  void writeIfReady(std::string_view bytes) override { text.append(bytes); }

  std::string text;
};

/// The path of every report of a --tsv run, in order.
inline std::vector<std::string> reportedPaths(const std::string& tsv) {
  std::vector<std::string> paths;
  std::size_t start = tsv.find('\n') + 1;  // after the header
  while (start < tsv.size()) {
    const std::size_t end = tsv.find('\n', start);
    paths.push_back(tsv.substr(start, tsv.find('\t', start) - start));
    start = end + 1;
  }
  return paths;
}

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

/// `path` as it stands inside a JSON string: the tests' paths hold no character that JSON
/// escapes but the backslash, Windows' separator.
inline std::string jsonText(const std::string& path) {
  std::string text;
  for (const char c : path) {
    if (c == '\\') text.push_back('\\');
    text.push_back(c);
  }
  return text;
}

/// Runs the command line in-process with its output in memory.
inline CliRun runCli(const std::vector<std::string>& args) {
  CliRun result;
  MemoryStream out;
  MemoryStream err;
  result.status = cli::run(args, out, err);
  result.err = std::move(err.text);
  result.out = std::move(out.text);
  return result;
}

}  // namespace pelorin::testing
