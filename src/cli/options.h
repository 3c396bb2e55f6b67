#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin::cli {

enum class Format { kText, kJson, kTsv };

/// What the command line asked for.
struct Options {
  Format format = Format::kText;
  bool summary = false;
  bool recursive = false;
  bool allFiles = false;                 // in folders, every regular file rather than the .wav ones
  bool nulSeparated = false;             // the file list separates paths with NUL bytes, not lines
  std::optional<std::string> filesFrom;  // "-" for standard input
  unsigned jobs = 0;                     // 0: one worker per core
  bool help = false;
  bool version = false;
  std::vector<std::string> paths;
};

inline constexpr std::string_view kUsage =
    "Usage: pelorin-cli [--json | --tsv] [--summary] [-r] [--all-files] [-j N]\n"
    "                   [--files-from FILE [-0]] [--] PATH...\n";

inline constexpr std::string_view kHelp =
    "Usage: pelorin-cli [--json | --tsv] [--summary] [-r] [--all-files] [-j N]\n"
    "                   [--files-from FILE [-0]] [--] PATH...\n"
    "Reports what the header of each RIFF/WAVE file says and how long its sound plays,\n"
    "one report per file, in the order given.\n"
    "\n"
    "  --json              one JSON object per line instead of text\n"
    "  --tsv               a header line, then one tab-separated line per file\n"
    "  --summary           end with the number of files of each report and the total length\n"
    "  -r, --recursive     walk folders: their .wav files, in any letter case, in name order\n"
    "  --all-files         with -r, every regular file in the folders, whatever its name\n"
    "  --files-from FILE   also probe the paths listed in FILE, one per line ('-': stdin)\n"
    "  -0, --null          the list separates paths with NUL bytes (find -print0)\n"
    "  -j, --jobs N        probe with N workers (default: one per core); output keeps the order\n"
    "  --help              show this help and exit\n"
    "  --version           show the version and exit\n"
    "  --                  treat every later argument as a path\n"
    "\n"
    "Exit status: 0 when every file got the information report, 1 when any got another\n"
    "report, 2 for a usage error, 3 when the output could not be written.\n";

/// Parses the arguments (without the program's name). On a usage error returns nothing and
/// says why on `err`, followed by the usage.
std::optional<Options> parseArgs(const std::vector<std::string>& args, std::ostream& err);

}  // namespace pelorin::cli
