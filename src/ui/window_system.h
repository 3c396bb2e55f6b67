#pragma once

// What the desktop program needs from the session before its window system starts: a runtime
// folder for Qt, and a plain account of why the window system could not start (no display, a
// display that cannot be reached, a platform plugin that does not exist) instead of Qt's abort.

#include <QtGlobal>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

/// Qt's runtime folder when the session names none. Qt makes /tmp/runtime-USER when
/// XDG_RUNTIME_DIR is unset, and leaves it behind; this gives Qt a folder of the program's own
/// instead, removed when the program ends.
class RuntimeFolder {
 public:
  /// Where XDG_RUNTIME_DIR is unset or empty: makes a new folder, readable by the user alone,
  /// in $TMPDIR (or /tmp), and points XDG_RUNTIME_DIR at it. Otherwise makes nothing. Until it
  /// is destroyed, SIGINT, SIGTERM and SIGHUP remove the folder (empty, as Qt leaves it) before
  /// they end the program.
  RuntimeFolder();
  /// Removes the folder it made, with whatever is in it.
  ~RuntimeFolder();
  RuntimeFolder(const RuntimeFolder&) = delete;
  RuntimeFolder& operator=(const RuntimeFolder&) = delete;

  /// The folder made, or "" when none was.
  const std::string& path() const { return path_; }
  /// Removes the folder now, with whatever is in it; later calls do nothing.
  void remove();

 private:
  std::string path_;
};

/// While it lives, a failure of the window system to start ends the program with status 1 and
/// two lines on stderr: "pelorin: error: cannot show the window: REASON" and the way to the
/// same report without a display, pelorin-cli. `folder` is removed first. Qt's own messages
/// about starting the window system are held back meanwhile; any others pass as usual.
class WindowSystemStart {
 public:
  explicit WindowSystemStart(RuntimeFolder& folder);
  ~WindowSystemStart();
  WindowSystemStart(const WindowSystemStart&) = delete;
  WindowSystemStart& operator=(const WindowSystemStart&) = delete;

 private:
  QtMessageHandler previous_;
};

/// Why the window system could not start, in a few words: from what Qt said while it tried
/// (its qt.qpa messages, in order), its last, fatal message, and whether DISPLAY or
/// WAYLAND_DISPLAY names a display.
std::string windowSystemFailure(const std::vector<std::string>& qpaMessages,
                                std::string_view fatalMessage, bool displayNamed);

}  // namespace pelorin
