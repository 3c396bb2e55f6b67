#include "ui/command_line.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>

#include "version/version.h"

namespace pelorin {

namespace {

// One of the window system's options, as QApplication documents and reads them.
struct QtOption {
  std::string_view name;       // without its dash
  std::string_view valueName;  // empty for an option that takes no value
  bool attachedValue;          // the value may follow an '=' instead ("-style=fusion")
  std::string_view description;
};

// "(X11)": read by the X11 plugin only, and ignored elsewhere.
constexpr QtOption kQtOptions[] = {
    {"platform", "NAME[:OPTIONS]", false, "The window system plugin: xcb, wayland, offscreen..."},
    {"platformpluginpath", "FOLDER", false, "Where the window system plugins are."},
    {"platformtheme", "THEME", false, "The platform theme."},
    {"plugin", "PLUGIN", false, "A further plugin to load; may be given more than once."},
    {"display", "DISPLAY", false, "The X display to use instead of $DISPLAY (X11)."},
    {"name", "NAME", false, "The instance name of the windows' class (X11)."},
    {"visual", "ID", false, "The X visual to use (X11)."},
    {"nograb", "", false, "Never grabs the mouse (X11)."},
    {"dograb", "", false, "Grabs the mouse even under a debugger (X11)."},
    {"qwindowgeometry", "GEOMETRY", false, "The window's size and place, as in 231x107+50+50."},
    {"geometry", "GEOMETRY", false, "The same as -qwindowgeometry (X11)."},
    {"qwindowicon", "ICON", false, "The windows' icon."},
    {"icon", "ICON", false, "The same as -qwindowicon (X11)."},
    {"qwindowtitle", "TITLE", false, "The window's title."},
    {"title", "TITLE", false, "The same as -qwindowtitle (X11)."},
    {"reverse", "", false, "Lays the windows out from right to left."},
    {"session", "SESSION", false, "The session to restore."},
    {"style", "STYLE", true, "The widget style, such as Fusion."},
    {"stylesheet", "FILE", true, "A style sheet for the widgets."},
    {"widgetcount", "", false, "Prints at the end how many widgets were left."},
    {"qmljsdebugger", "SETTINGS", true, "The QML debugger's settings."},
};

constexpr std::string_view kUsage = "Usage: pelorin [options] [FILE...]\n";

constexpr std::string_view kHelp =
    "Usage: pelorin [options] [FILE...]\n"
    "Tells what the header of a RIFF/WAVE sound file says and how long the sound plays.\n"
    "Without FILE, shows the window; its button picks a file to probe.\n"
    "\n"
    "Options:\n"
    "  -h, --help         Prints this help.\n"
    "  --help-all         Prints this help and the window system's options.\n"
    "  -V, -v, --version  Prints the version.\n"
    "  --                 Makes every later argument a FILE.\n"
    "\n"
    "Arguments:\n"
    "  FILE               Files to probe at start, one box after another.\n";

using Request = CommandLine::Request;

std::optional<Request> ownOption(std::string_view arg) {
  if (arg == "-h" || arg == "--help") return Request::kHelp;
  if (arg == "--help-all") return Request::kHelpAll;
  if (arg == "-V" || arg == "-v" || arg == "--version") return Request::kVersion;
  return std::nullopt;
}

// A window-system option as written: "-name" or "--name", "-name=value" where it takes that.
struct QtOptionFound {
  const QtOption* option;
  bool valueAttached;
};

std::optional<QtOptionFound> qtOption(std::string_view arg) {
  const std::string_view written = arg.substr(arg.starts_with("--") ? 2 : 1);
  const std::string_view name = written.substr(0, written.find('='));
  for (const QtOption& option : kQtOptions) {
    if (written == option.name) return QtOptionFound{&option, false};
    if (option.attachedValue && name == option.name && name != written) {
      return QtOptionFound{&option, true};
    }
  }
  return std::nullopt;
}

bool isOption(std::string_view arg) {
  return arg.size() > 1 && arg.front() == '-';
}

CommandLine refused(std::string reason) {
  CommandLine refusal;
  refusal.request = Request::kUsageError;
  refusal.error = std::move(reason);
  return refusal;
}

// The help with the window system's options after it, one a line, their descriptions aligned.
std::string helpWithQtOptions() {
  std::vector<std::string> names;
  std::size_t width = 0;
  for (const QtOption& option : kQtOptions) {
    std::string name = "  -" + std::string(option.name);
    if (!option.valueName.empty()) name.append(" ").append(option.valueName);
    width = std::max(width, name.size());
    names.push_back(std::move(name));
  }
  std::string help(kHelp);
  help += "\nThe window system's options (Qt's own), before any --:\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    help += names[i];
    help.append(width + 2 - names[i].size(), ' ');
    help.append(kQtOptions[i].description).append("\n");
  }
  return help;
}

// Writes all of `text` to `out` and flushes it. Returns 0, or the system's error number.
int writeAll(std::FILE* out, std::string_view text) {
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (std::fflush(out) == 0 && written) return 0;
  return errno != 0 ? errno : EIO;
}

int answer(std::string_view text, std::FILE* out, std::FILE* err) {
  const int error = writeAll(out, text);
  if (error == 0) return kWindowClosed;
  writeAll(err, std::string("pelorin: error: cannot write output: ") + std::strerror(error) + "\n");
  return kOutputFailed;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments,
                             const std::string& currentFolder) {
  CommandLine sorted;
  sorted.qtArguments.push_back(arguments.empty() ? std::string("pelorin") : arguments.front());
  std::size_t next = 1;
  while (next < arguments.size() && arguments[next] != "--") {
    const std::string& arg = arguments[next++];
    if (!isOption(arg)) {
      sorted.files.push_back(absolutePath(arg, currentFolder));
    } else if (const auto request = ownOption(arg)) {
      if (sorted.request == Request::kWindow) sorted.request = *request;
    } else if (const auto found = qtOption(arg)) {
      sorted.qtArguments.push_back(arg);
      if (found->option->valueName.empty() || found->valueAttached) continue;
      if (next == arguments.size() || arguments[next] == "--") {
        return refused("option '" + arg + "' needs a value (" +
                       std::string(found->option->valueName) + ")");
      }
      sorted.qtArguments.push_back(arguments[next++]);
    } else {
      return refused("unknown option '" + arg + "'");
    }
  }
  // Past the "--": files only, whatever they look like.
  for (++next; next < arguments.size(); ++next) {
    sorted.files.push_back(absolutePath(arguments[next], currentFolder));
  }
  return sorted;
}

std::optional<int> answerWithoutWindow(const CommandLine& commandLine, std::FILE* out,
                                       std::FILE* err) {
  switch (commandLine.request) {
    case Request::kWindow:
      return std::nullopt;
    case Request::kHelp:
      return answer(kHelp, out, err);
    case Request::kHelpAll:
      return answer(helpWithQtOptions(), out, err);
    case Request::kVersion:
      return answer(std::string(kApplicationTitle) + " " + std::string(kVersion) + "\n", out, err);
    case Request::kUsageError:
      break;
  }
  writeAll(err, "pelorin: error: " + commandLine.error + "\n" + std::string(kUsage));
  return kUsageError;
}

ArgumentVector::ArgumentVector(std::vector<std::string> arguments)
    : arguments_(std::move(arguments)), argc_(static_cast<int>(arguments_.size())) {
  for (std::string& argument : arguments_) pointers_.push_back(argument.data());
  pointers_.push_back(nullptr);
}

void nameTheApplication() {
  // The name only: a display name would be appended to every window title.
  QCoreApplication::setApplicationName(QString::fromUtf8(
      kApplicationTitle.data(), static_cast<qsizetype>(kApplicationTitle.size())));
  QCoreApplication::setApplicationVersion(
      QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size())));
}

void keepNoSettings() {
  // Qt's open dialog reads its history, last folder and view from the user's "QtProject"
  // settings when it opens and writes them back when it closes, through QSettings in the
  // native format, whatever the default format says. Below a device file no folder can be
  // made and no file opened, so every read finds nothing and every write stops before it
  // creates a folder, a lock or a temporary file. The system-wide paths too: the user-wide
  // settings would otherwise fall back to those of /etc/xdg.
  const QString nowhere = QStringLiteral("/dev/null");
  for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
    for (const auto scope : {QSettings::UserScope, QSettings::SystemScope}) {
      QSettings::setPath(format, scope, nowhere);
    }
  }
}

bool loadQtTranslation(QTranslator& translator, const QLocale& locale) {
  return translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

std::string absolutePath(const std::string& path, const std::string& folder) {
  // An empty name stays empty: the probe reports it as a bad file name.
  if (path.empty()) return path;
  if (path.front() != '/' && folder.empty()) return path;
  std::string joined;
  if (path.front() != '/') joined.append(folder).append(1, '/');
  joined.append(path);
  std::string clean;
  std::string_view rest = joined;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    clean += '/';
    clean += part;
  }
  if (clean.empty()) clean.push_back('/');
  // A trailing slash says "a folder": keep it, so the probe's report stays true to the name.
  if (joined.back() == '/' && clean != "/") clean += '/';
  return clean;
}

std::optional<std::string> currentFolder() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return std::nullopt;
  return std::string(buffer);
}

}  // namespace pelorin
