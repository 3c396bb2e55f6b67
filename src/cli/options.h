#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/stream.h"

namespace pelorin::cli {

enum class Format { kText, kJson, kTsv };

/// Whether a long run shows its progress on stderr: when stderr is a terminal, or as forced.
enum class ProgressMode { kAuto, kAlways, kNever };

/// What the command line asked for.
struct Options {
  Format format = Format::kText;
  bool summary = false;
  bool details = false;    // what the header says beyond the report
  bool strict = false;     // with details, a warning fails the run
  bool verifyMd5 = false;  // with details, hash the data and check it against its MD5 chunk
  bool recursive = false;
  bool allFiles = false;      // in folders, every regular file rather than the .wav ones
  bool nulSeparated = false;  // the file list separates paths with NUL bytes, not lines
  std::vector<std::string> filesFrom = {};  // the file lists, read in order; "-" for stdin
  unsigned jobs = 0;                        // 0: the default number of workers
  ProgressMode progress = ProgressMode::kAuto;
  bool help = false;
  bool version = false;
  std::vector<std::string_view> paths = {};  // views of the command line's texts

  bool operator==(const Options&) const = default;
};

inline constexpr std::string_view kUsage =
    "Usage: pelorin-cli [--json | --tsv] [--details [--strict] [--verify-md5]]\n"
    "                   [--summary] [-r [--all-files]] [-j N]\n"
    "                   [--files-from FILE [-0]] [--] PATH...\n";

inline constexpr std::string_view kHelp =
    "Usage: pelorin-cli [--json | --tsv] [--details [--strict] [--verify-md5]]\n"
    "                   [--summary] [-r [--all-files]] [-j N]\n"
    "                   [--files-from FILE [-0]] [--] PATH...\n"
    "Reports what the header of each RIFF/WAVE file says and how long its sound\n"
    "plays, one report per file, in the order given.\n"
    "\n"
    "      --json             one JSON object per line instead of text\n"
    "      --tsv              a header line, then one tab-separated line per file\n"
    "      --details          add what the header says beyond the report: format,\n"
    "                         duration, chunks, tags and warnings\n"
    "      --strict           with --details, exit 1 also when a file has a warning\n"
    "      --verify-md5       with --details, hash the audio data and check it against\n"
    "                         the MD5 chunk\n"
    "      --summary          end with the count of each report and the total length\n"
    "      --progress         show progress on stderr even when it is not a terminal\n"
    "      --no-progress      never show progress (by default a run of over a second\n"
    "                         shows it when stderr is a terminal)\n"
    "  -r, --recursive        walk folders: their .wav files (any case), by name\n"
    "      --all-files        with -r, every regular file in the folders\n"
    "      --files-from FILE  also probe the paths in FILE, one per line ('-': stdin);\n"
    "                         given again, each list in turn\n"
    "  -0, --null             the --files-from list is NUL-separated (find -print0)\n"
    "  -j, --jobs N           probe with N workers (1 to 1024; default: one per core)\n"
    "                         and write the reports in the order given\n"
    "  -h, --help             show this help and exit\n"
    "  -V, -v, --version      show the version and exit\n"
    "      --                 treat every later argument as a path\n"
    "\n"
    "A PATH of - is standard input (a file or a pipe), once a run.\n"
    "Options and paths may come in any order. Short options may be bundled (-rj2);\n"
    "a value follows its option (-j2, -j 2, --jobs=2, --jobs 2). Long options are\n"
    "written in full.\n"
    "\n"
    "Exit status: 0 when every file got the information report, 1 when any got\n"
    "another report (or, with --strict, a warning), 2 for a usage error, 3 when the\n"
    "output could not be written.\n";

/// A command line as main() gets it: the program's name, then its arguments. The options parsed
/// from it keep views of its texts, which must outlive them.
using CommandLine = std::span<char* const>;

/// Texts laid out as a command line, for a caller that makes its own (the Windows entry point,
/// which converts the system's UTF-16; tests): the program's name, then `args`.
class CommandLineTexts {
 public:
  explicit CommandLineTexts(std::vector<std::string> args);
  CommandLineTexts(const CommandLineTexts&) = delete;
  CommandLineTexts& operator=(const CommandLineTexts&) = delete;

  CommandLine line() const { return {pointers_.data(), texts_.size()}; }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;  // one per text, then null, as main() gets them
};

/// Parses the arguments after the program's name with getopt_long, options and paths in any
/// order; "--" makes every later argument a path, and a lone "-" is a path (standard input,
/// which a run may read once). Long options must be written in full. On a usage error returns
/// nothing and says why on `err`, followed by the usage. Not thread-safe: getopt_long keeps its
/// state in globals, which this resets.
std::optional<Options> parseArgs(CommandLine argv, OutputStream& err);

}  // namespace pelorin::cli
