#include "cli/options.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>

namespace pelorin::cli {

namespace {

constexpr unsigned kMaxJobs = 1024;

// What getopt_long returns for the options that have no short form: above every character.
enum LongOnly : int {
  kJson = 256,
  kTsv,
  kSummary,
  kAllFiles,
  kFilesFrom,
  kDetails,
  kStrict,
  kProgress,
  kNoProgress,
  kVerifyMd5,
};

// What getopt_long returns for a path among the options.
constexpr int kPath = 1;

constexpr option kLongOptions[] = {
    {"json", no_argument, nullptr, kJson},
    {"tsv", no_argument, nullptr, kTsv},
    {"summary", no_argument, nullptr, kSummary},
    {"details", no_argument, nullptr, kDetails},
    {"strict", no_argument, nullptr, kStrict},
    {"verify-md5", no_argument, nullptr, kVerifyMd5},
    {"progress", no_argument, nullptr, kProgress},
    {"no-progress", no_argument, nullptr, kNoProgress},
    {"recursive", no_argument, nullptr, 'r'},
    {"all-files", no_argument, nullptr, kAllFiles},
    {"files-from", required_argument, nullptr, kFilesFrom},
    {"null", no_argument, nullptr, '0'},
    {"jobs", required_argument, nullptr, 'j'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// '-' first: paths come back in their place among the options, whatever POSIXLY_CORRECT says.
// ':' next: getopt_long reports a missing value as ':' and prints nothing itself.
constexpr char kShortOptions[] = "-:rj:0hVv";

struct UsageError {
  std::string message;
};

// One option as the command line wrote it.
struct Found {
  int code;           // getopt_long's answer: kPath, a short option's letter or a LongOnly
  std::string name;   // "-j" or "--jobs"; empty for a path
  const char* value;  // the option's value or the path; null when there is none
};

bool isOurs(int code) {
  for (const option& known : kLongOptions) {
    if (known.name != nullptr && known.val == code) return true;
  }
  return false;
}

// The long option `arg` ("--name" or "--name=value") as written, without its value.
std::string_view longName(std::string_view arg) {
  return arg.substr(0, arg.find('='));
}

std::string shortName(int code) {
  return {'-', static_cast<char>(code)};
}

// `text` in single quotes. (Built by appending: GCC 12 at -O3 warns falsely about
// `"'" + std::string(...)`.)
std::string quoted(std::string_view text) {
  std::string out = "'";
  out.append(text).append("'");
  return out;
}

UsageError unknownOption(std::string_view arg) {
  return UsageError{std::string("unknown option ").append(quoted(arg))};
}

// getopt_long takes any unambiguous start of a long option's name ("--rec"). Such an
// abbreviation would change meaning as soon as another option shares its start, so only the
// full name is an option.
std::string fullLongName(std::string_view arg, int code) {
  for (const option& known : kLongOptions) {
    if (known.name != nullptr && known.val == code && longName(arg).substr(2) == known.name) {
      return std::string(longName(arg));
    }
  }
  throw unknownOption(arg);
}

// Why getopt_long refused the argument it stopped at ('?'): an unknown or abbreviated long
// option, a value given to a long option that takes none, or an unknown short option.
UsageError refusal(char* const* argv) {
  const std::string_view arg = argv[optind - 1];
  if (optopt == 0) return unknownOption(arg);
  if (arg.starts_with("--") && isOurs(optopt)) {
    return UsageError{fullLongName(arg, optopt) + ": takes no value"};
  }
  return unknownOption(shortName(optopt));
}

// The error for an option whose value is missing (':'): the last argument was the option. A
// long option written with "=" has its value: it was given to one that takes none, which the
// BSD getopt_long of mingw-w64 answers with ':' where glibc's answers '?'.
UsageError missingValue(char* const* argv) {
  const std::string_view arg = argv[optind - 1];
  if (arg.starts_with("--") && arg.find('=') != std::string_view::npos) return refusal(argv);
  const std::string name = arg.starts_with("--") ? fullLongName(arg, optopt) : shortName(optopt);
  if (optopt == 'j') return UsageError{name + ": the number of workers is missing"};
  return UsageError{name + ": the file is missing ('-' for standard input)"};
}

// The next option or path. getopt_long keeps its place in globals, so `argv` must stay the same
// from the first call to the last.
Found nextOption(int argc, char* const* argv) {
  int longIndex = -1;
  const int code = getopt_long(argc, argv, kShortOptions, kLongOptions, &longIndex);
  if (code == '?') throw refusal(argv);
  if (code == ':') throw missingValue(argv);
  if (code == -1 || code == kPath) return {code, "", optarg};
  if (longIndex < 0) return {code, shortName(code), optarg};
  // A value written as the next argument ("--jobs 2") moved optind past both.
  const char* arg = optarg == argv[optind - 1] ? argv[optind - 2] : argv[optind - 1];
  return {code, fullLongName(arg, code), optarg};
}

unsigned parseJobs(const Found& found) {
  const std::string_view text = found.value;
  unsigned jobs = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, jobs);
  const bool number =
      stop == end && (error == std::errc() || error == std::errc::result_out_of_range);
  if (!number) throw UsageError{found.name + ": " + quoted(text) + " is not a number of workers"};
  if (error != std::errc() || jobs < 1 || jobs > kMaxJobs) {
    throw UsageError{found.name + ": " + quoted(text) + " is out of range (1 to " +
                     std::to_string(kMaxJobs) + " workers)"};
  }
  return jobs;
}

void setFormat(Options& options, Format format) {
  if (options.format != Format::kText && options.format != format) {
    throw UsageError{"--json and --tsv cannot be combined"};
  }
  options.format = format;
}

std::string fileList(const Found& found) {
  if (*found.value == '\0') throw UsageError{found.name + ": the file name is empty"};
  return found.value;
}

// The options that only switch something on.
struct Flag {
  int code;
  bool Options::*member;
};
constexpr Flag kFlags[] = {
    {kSummary, &Options::summary},   {kDetails, &Options::details},
    {kStrict, &Options::strict},     {'r', &Options::recursive},
    {kAllFiles, &Options::allFiles}, {'0', &Options::nulSeparated},
    {'h', &Options::help},           {'V', &Options::version},
    {'v', &Options::version},        {kVerifyMd5, &Options::verifyMd5},
};

void apply(const Found& found, Options& options) {
  for (const Flag& flag : kFlags) {
    if (flag.code == found.code) options.*flag.member = true;
  }
  if (found.code == kJson) setFormat(options, Format::kJson);
  if (found.code == kTsv) setFormat(options, Format::kTsv);
  if (found.code == 'j') options.jobs = parseJobs(found);
  if (found.code == kFilesFrom) options.filesFrom.push_back(fileList(found));
  if (found.code == kProgress) options.progress = ProgressMode::kAlways;
  if (found.code == kNoProgress) options.progress = ProgressMode::kNever;
}

// Whether getopt_long would hand `arg` back as a path: it does not start with '-', or is "-".
bool cannotBeAnOption(const char* arg) {
  return arg[0] != '-' || arg[1] == '\0';
}

// The paths are views of the command line's texts, in the order given: getopt_long, asked to
// return them in order ("-" first in its options), never reorders the arguments. A command line
// of many thousand paths is so never copied into fresh memory, where each page costs a fault.
Options parseInOrder(CommandLine argv) {
  // A fresh start, as run() may parse many command lines in one process: glibc's getopt_long
  // takes optind 0 so, and so does mingw-w64's BSD one (as optreset).
  optind = 0;
  opterr = 0;
  const int argc = static_cast<int>(argv.size());
  Options options;
  // A program started without even its name (execve allows it) has no arguments.
  if (argc == 0) return options;
  options.paths.reserve(argv.size());
  for (;;) {
    // Most arguments of a long command line are paths: once getopt_long has started, one that
    // cannot be an option is taken as it would take it, without the call.
    if (optind > 0 && optind < argc && cannotBeAnOption(argv[optind])) {
      options.paths.emplace_back(argv[optind++]);
      continue;
    }
    const Found found = nextOption(argc, argv.data());
    if (found.code == -1) break;
    if (found.code == kPath) {
      options.paths.emplace_back(found.value);
      continue;
    }
    apply(found, options);
  }
  // getopt_long stops at "--", with optind at the argument after it.
  for (int i = optind; i < argc; ++i) options.paths.emplace_back(argv[i]);
  return options;
}

// Standard input can be read once a run: as the file "-", or as a file list.
void checkStandardInputOnce(const Options& options) {
  const auto files = std::count(options.paths.begin(), options.paths.end(), "-");
  const bool list = std::count(options.filesFrom.begin(), options.filesFrom.end(), "-") > 0;
  if (files > 1) throw UsageError{"'-' (standard input) can be given only once"};
  if (files == 1 && list) {
    throw UsageError{"'-' and --files-from - cannot both read standard input"};
  }
}

// Options that mean nothing without another are refused rather than silently ignored.
void checkCombinations(const Options& options) {
  if (options.help || options.version) return;
  if (options.nulSeparated && options.filesFrom.empty())
    throw UsageError{"-0/--null needs --files-from"};
  if (options.allFiles && !options.recursive) throw UsageError{"--all-files needs -r/--recursive"};
  if (options.strict && !options.details) throw UsageError{"--strict needs --details"};
  if (options.verifyMd5 && !options.details) throw UsageError{"--verify-md5 needs --details"};
  if (options.paths.empty() && options.filesFrom.empty()) throw UsageError{"no path given"};
  checkStandardInputOnce(options);
}

}  // namespace

CommandLineTexts::CommandLineTexts(std::vector<std::string> args) {
  texts_.reserve(args.size() + 1);
  texts_.emplace_back("pelorin-cli");
  for (std::string& arg : args) texts_.push_back(std::move(arg));
  pointers_.reserve(texts_.size() + 1);
  for (std::string& text : texts_) pointers_.push_back(text.data());
  pointers_.push_back(nullptr);
}

std::optional<Options> parseArgs(CommandLine argv, OutputStream& err) {
  try {
    Options options = parseInOrder(argv);
    checkCombinations(options);
    return options;
  } catch (const UsageError& error) {
    writeMessage(err, "pelorin-cli: error: " + error.message + '\n' + std::string(kUsage));
    return std::nullopt;
  }
}

}  // namespace pelorin::cli
