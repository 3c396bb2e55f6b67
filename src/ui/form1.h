#pragma once

// The main window. Form1 holds one button, cmdClickMe, and the open dialog CMDialog1. A click
// on the button (mouse, Alt+C, Space or Enter) runs cmdClickMe_Click, which lets the person pick
// a file in CMDialog1 and hands its path to the probe, GetSondur. The probe shows its one
// message box through the runtime context's sink, here a QMessageBox over this window.
//
// Files can also come from outside the dialog: named on the command line (a file manager's
// "Open with") or dropped on the window. Each is probed the way the button's handler probes the
// dialog's choice, one message box after another.

#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "probe/probe_queue.h"
#include "runtime/context.h"
#include "ui/common_dialog.h"
#include "ui/qt_message_box.h"

class QPushButton;
class QMimeData;
class QUrl;

namespace pelorin {

class Form1 : public QWidget {
  Q_OBJECT

 public:
  /// The client area in logical pixels (3465 x 1605 twips at 15 twips per pixel).
  static constexpr QSize kClientSize{231, 107};
  /// The button's place in the client area.
  static constexpr QRect kButtonBounds{72, 40, 97, 33};

  /// A window with Qt's open dialog and message boxes, or with `dialog` and `boxes` where they
  /// are given (tests).
  explicit Form1(std::unique_ptr<CommonDialog> dialog = nullptr,
                 std::unique_ptr<MessageBoxSink> boxes = nullptr);
  ~Form1() override;

  QPushButton* cmdClickMe;
  std::unique_ptr<CommonDialog> CMDialog1;

 public slots:
  void cmdClickMe_Click();

 public:
  /// Probes each path in turn as the button's handler probes the dialog's choice. Paths that
  /// arrive while a message box is open wait until the earlier ones are done.
  void probeFiles(const std::vector<std::string>& paths);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  std::unique_ptr<MessageBoxSink> messageBoxes_;
  RuntimeContext ctx_;
  ProbeQueue queue_;
};

/// The path of a local file URL (no host, or "localhost") in the bytes the file system uses, or
/// nothing for any other URL, a file URL that names another host among them.
std::optional<std::string> localPathOf(const QUrl& url);

/// The local files a drop holds, in the order dropped; its other items are left out.
std::vector<std::string> localFilesOf(const QMimeData& mime);

}  // namespace pelorin
