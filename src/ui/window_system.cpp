#include "ui/window_system.h"

#include <signal.h>
#include <unistd.h>

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ui/command_line.h"

namespace pelorin {

namespace {

// The signals that end the program while the runtime folder is there.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The folder a signal handler removes, in a buffer of its own: a handler may not allocate.
char folderToRemove[4096];

void removeFolderAndEnd(int signal) {
  if (folderToRemove[0] != '\0') ::rmdir(folderToRemove);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Handles the ending signals that the program was not told to ignore.
void removeFolderOnSignals() {
  for (const int signal : kEndingSignals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      ::signal(signal, removeFolderAndEnd);
    }
  }
}

void endSignalHandling() {
  for (const int signal : kEndingSignals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == removeFolderAndEnd) {
      ::signal(signal, SIG_DFL);
    }
  }
  folderToRemove[0] = '\0';
}

bool isSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] != '\0';
}

// What the message handler needs: it is a plain function.
struct Start {
  RuntimeFolder* folder = nullptr;
  QtMessageHandler previous = nullptr;
  std::vector<std::string> qpaMessages;
};
Start start;

void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    const std::string reason = windowSystemFailure(start.qpaMessages, message.toStdString(),
                                                   isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"));
    std::fprintf(stderr,
                 "pelorin: error: cannot show the window: %s\n"
                 "pelorin: pelorin-cli FILE... gives the same report without a display\n",
                 reason.c_str());
    if (start.folder) start.folder->remove();
    std::_Exit(kNoWindow);  // not Qt's abort: nothing went wrong inside the program
  }
  if (context.category && std::string_view(context.category).starts_with("qt.qpa")) {
    start.qpaMessages.push_back(message.toStdString());
    return;
  }
  if (start.previous) start.previous(type, context, message);
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.remove_suffix(1);
  return text;
}

// " (available: a, b)" from Qt's fatal message, or "" where it names none.
std::string availablePlugins(std::string_view fatalMessage) {
  constexpr std::string_view kAvailable = "Available platform plugins are:";
  const std::size_t at = fatalMessage.find(kAvailable);
  if (at == std::string_view::npos) return "";
  const std::string_view rest = fatalMessage.substr(at + kAvailable.size());
  const std::string_view names = trimmed(rest.substr(0, rest.find('\n')));
  return names.empty() ? "" : " (available: " + std::string(names) + ")";
}

}  // namespace

RuntimeFolder::RuntimeFolder() {
  if (isSet("XDG_RUNTIME_DIR")) return;
  std::string pattern =
      std::string(isSet("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/pelorin-runtime-XXXXXX";
  if (pattern.size() >= sizeof folderToRemove) return;  // Qt falls back on a folder of its own
  if (::mkdtemp(pattern.data()) == nullptr) return;
  path_ = pattern;
  ::setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
  std::memcpy(folderToRemove, path_.c_str(), path_.size() + 1);
  removeFolderOnSignals();
}

RuntimeFolder::~RuntimeFolder() {
  remove();
}

void RuntimeFolder::remove() {
  if (path_.empty()) return;
  endSignalHandling();
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  path_.clear();
}

WindowSystemStart::WindowSystemStart(RuntimeFolder& folder) {
  start.folder = &folder;
  start.qpaMessages.clear();
  previous_ = qInstallMessageHandler(onQtMessage);
  start.previous = previous_;
}

WindowSystemStart::~WindowSystemStart() {
  qInstallMessageHandler(previous_);
  start = Start();
}

std::string windowSystemFailure(const std::vector<std::string>& qpaMessages,
                                std::string_view fatalMessage, bool displayNamed) {
  constexpr std::string_view kConnect = "could not connect to display";
  constexpr std::string_view kNoPlugin = "Could not find the Qt platform plugin ";
  for (const std::string_view message : qpaMessages) {
    if (message.starts_with(kConnect)) {
      const std::string_view display = trimmed(message.substr(kConnect.size()));
      if (!display.empty()) return "cannot connect to display " + std::string(display);
      return displayNamed ? "cannot connect to the display"
                          : "no display (DISPLAY and WAYLAND_DISPLAY are unset)";
    }
    if (message.starts_with(kNoPlugin)) {
      const std::string_view name = message.substr(kNoPlugin.size());
      return "no window system plugin named " + std::string(name.substr(0, name.find(" in "))) +
             availablePlugins(fatalMessage);
    }
  }
  if (!qpaMessages.empty()) return qpaMessages.front();
  return "the window system did not start" + availablePlugins(fatalMessage);
}

}  // namespace pelorin
