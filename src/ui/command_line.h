#pragma once

// The desktop program's start: its command line, `pelorin [options] [FILE...]`, sorted into the
// program's own options, the window system's options and the files before anything needs a
// display, so that --help, --version and a usage error are answered where there is none; the
// application's name; where Qt keeps settings (nowhere); and Qt's own translations.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

class QLocale;
class QTranslator;

namespace pelorin {

/// Exit statuses of the desktop program.
enum ExitStatus : int {
  kWindowClosed = 0,  // the window was closed, or --help or --version was answered
  kNoWindow = 1,      // the window system could not start; the reason went to stderr
  kUsageError = 2,    // the command line was refused; the reason and the usage went to stderr
  kOutputFailed = 3,  // the answer to --help or --version could not be written
};

/// A command line sorted out.
struct CommandLine {
  enum class Request { kWindow, kHelp, kHelpAll, kVersion, kUsageError };

  /// What the command line asks for; the first of --help, --help-all and --version wins.
  Request request = Request::kWindow;
  /// The program's name, then the window system's options with their values, as written: all
  /// that QApplication is given.
  std::vector<std::string> qtArguments;
  /// The FILE arguments in order, each made absolute.
  std::vector<std::string> files;
  /// Why the command line was refused (kUsageError), as "unknown option '--bogus'".
  std::string error;
};

/// Sorts `arguments` (the program's name first). Before the first "--": -h/--help, --help-all
/// and -V/-v/--version are the program's own; the window system's documented options (-platform,
/// -display, -style, -reverse, ... with one dash or two) are taken with their values for Qt;
/// any other argument that starts with '-' (a lone "-" is a file) refuses the command line, as
/// does a window-system option that lacks its value. Every argument after the first "--" is a
/// file. Files are made absolute against `currentFolder` (absolutePath).
CommandLine parseCommandLine(const std::vector<std::string>& arguments,
                             const std::string& currentFolder);

/// Answers a command line that needs no window: the help or the version on `out`, a usage error
/// as "pelorin: error: REASON" and the usage on `err`. Returns the exit status: kUsageError,
/// kOutputFailed (with the system's reason on `err`) when `out` cannot be written and flushed,
/// else kWindowClosed. Returns nothing, and writes nothing, when the command line asks for the
/// window.
std::optional<int> answerWithoutWindow(const CommandLine& commandLine, std::FILE* out,
                                       std::FILE* err);

/// The argc and argv that QApplication takes, over copies of `arguments`. Qt removes the options
/// it reads from them; the strings live as long as this object.
class ArgumentVector {
 public:
  explicit ArgumentVector(std::vector<std::string> arguments);
  ArgumentVector(const ArgumentVector&) = delete;
  ArgumentVector& operator=(const ArgumentVector&) = delete;

  int& argc() { return argc_; }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> arguments_;
  std::vector<char*> pointers_;  // one per argument, then a null pointer
  int argc_;
};

/// Sets the application's name and version, as the project declares them.
void nameTheApplication();

/// Makes every settings file of Qt's (the open dialog's history, last folder and view among
/// them) a path that can be neither read nor created, so that no state is read at start or
/// written at the end. Call it before the first QSettings is made.
void keepNoSettings();

/// Loads into `translator` Qt's own words ("qtbase": the open dialog's buttons and labels, the
/// message box's OK) for `locale`'s languages, from the translations installed with Qt. Returns
/// false when there is none for them; the words then stay in English.
bool loadQtTranslation(QTranslator& translator, const QLocale& locale);

/// `path` made absolute against `folder`, without "." parts or doubled slashes. ".." parts stay,
/// since they mean something else after a symbolic link. With no folder to go by (empty), a
/// relative path stays as it is.
std::string absolutePath(const std::string& path, const std::string& folder);

/// The process's current folder, or nothing where it cannot be named (it was removed).
std::optional<std::string> currentFolder();

}  // namespace pelorin
