#include "cli/options.h"

#include <charconv>

namespace pelorin::cli {

namespace {

constexpr unsigned kMaxJobs = 1024;

std::optional<unsigned> parseJobs(std::string_view text) {
  unsigned jobs = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
  if (error != std::errc() || end != text.data() + text.size() || jobs < 1 || jobs > kMaxJobs) {
    return std::nullopt;
  }
  return jobs;
}

// Reads the value of an option given as "--name VALUE", "--name=VALUE" or, for a short option,
// "-xVALUE". Returns nothing when there is none.
std::optional<std::string> optionValue(const std::vector<std::string>& args, std::size_t& i,
                                       std::string_view name) {
  const std::string& arg = args[i];
  if (arg == name) {
    if (i + 1 >= args.size()) return std::nullopt;
    return args[++i];
  }
  if (name.size() == 2) return arg.substr(2);  // "-j4"
  return arg.substr(name.size() + 1);          // "--jobs=4"
}

bool startsWithOption(std::string_view arg, std::string_view shortName, std::string_view longName) {
  return arg == longName || arg.starts_with(std::string(longName) + "=") ||
         (!shortName.empty() && arg.starts_with(shortName));
}

struct UsageError {
  std::string message;
};

void parseOne(const std::vector<std::string>& args, std::size_t& i, Options& options) {
  const std::string& arg = args[i];
  if (arg == "--json" || arg == "--tsv") {
    const Format format = arg == "--json" ? Format::kJson : Format::kTsv;
    if (options.format != Format::kText && options.format != format) {
      throw UsageError{"--json and --tsv cannot be combined"};
    }
    options.format = format;
  } else if (arg == "--summary") {
    options.summary = true;
  } else if (arg == "-r" || arg == "--recursive") {
    options.recursive = true;
  } else if (arg == "--all-files") {
    options.allFiles = true;
  } else if (arg == "-0" || arg == "--null") {
    options.nulSeparated = true;
  } else if (arg == "--help" || arg == "-h") {
    options.help = true;
  } else if (arg == "--version") {
    options.version = true;
  } else if (startsWithOption(arg, "-j", "--jobs")) {
    const auto value = optionValue(args, i, arg.starts_with("--") ? "--jobs" : "-j");
    const auto jobs = value ? parseJobs(*value) : std::nullopt;
    if (!jobs) throw UsageError{"-j/--jobs needs a number of workers from 1 to 1024"};
    options.jobs = *jobs;
  } else if (startsWithOption(arg, "", "--files-from")) {
    const auto value = optionValue(args, i, "--files-from");
    if (!value || value->empty()) throw UsageError{"--files-from needs a file ('-' for stdin)"};
    options.filesFrom = *value;
  } else {
    throw UsageError{"unknown option '" + arg + "'"};
  }
}

}  // namespace

std::optional<Options> parseArgs(const std::vector<std::string>& args, std::ostream& err) {
  Options options;
  bool pathsOnly = false;
  try {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (pathsOnly || arg.size() < 2 || arg[0] != '-') {
        options.paths.push_back(arg);
      } else if (arg == "--") {
        pathsOnly = true;
      } else {
        parseOne(args, i, options);
      }
    }
    if (options.paths.empty() && !options.filesFrom && !options.help && !options.version) {
      throw UsageError{"no path given"};
    }
  } catch (const UsageError& error) {
    err << "pelorin-cli: error: " << error.message << '\n' << kUsage;
    return std::nullopt;
  }
  return options;
}

}  // namespace pelorin::cli
