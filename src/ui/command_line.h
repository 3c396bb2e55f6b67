#pragma once

// The desktop program's start: its command line, `pelorin [FILE...]`, plus --help and --version,
// which answer on stdout without opening a window, so they work where there is no display; the
// application's name; and Qt's own translations.

#include <optional>
#include <string>
#include <vector>

class QCommandLineParser;
class QLocale;
class QTranslator;

namespace pelorin {

/// Sets the application's name and version, as the project declares them.
void nameTheApplication();

/// Loads into `translator` Qt's own words ("qtbase": the open dialog's buttons and labels, the
/// message box's OK) for `locale`'s languages, from the translations installed with Qt. Returns
/// false when there is none for them; the words then stay in English.
bool loadQtTranslation(QTranslator& translator, const QLocale& locale);

/// Declares the program's options and its FILE arguments.
void describeCommandLine(QCommandLineParser& parser);

/// Answers --help, --help-all and --version, and exits, when the command line asks for one of
/// them before any window-system option; otherwise returns and leaves the rest to the window.
void answerWithoutWindow(int argc, char** argv);

/// The FILE arguments left in `arguments` (the program's name first) once the window system has
/// taken its own options out, in the bytes the system gave, each made absolute against
/// `currentFolder` so that a report names the file as the open dialog would.
std::vector<std::string> fileArguments(const std::vector<std::string>& arguments,
                                       const std::string& currentFolder);

/// `path` made absolute against `folder`, without "." parts or doubled slashes. ".." parts stay,
/// since they mean something else after a symbolic link. With no folder to go by (empty), a
/// relative path stays as it is.
std::string absolutePath(const std::string& path, const std::string& folder);

/// The process's current folder, or nothing where it cannot be named (it was removed).
std::optional<std::string> currentFolder();

}  // namespace pelorin
