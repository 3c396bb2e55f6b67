#pragma once

// The main window. Form1 holds one button, cmdClickMe, and the open dialog CMDialog1. A click
// on the button (mouse, Alt+C, Space or Enter) runs cmdClickMe_Click, which lets the person pick
// a file in CMDialog1 and hands its path to the probe, GetSondur. The probe shows its one
// message box through the runtime context's sink, here a QMessageBox over this window.

#include <QWidget>
#include <memory>

#include "runtime/context.h"
#include "ui/common_dialog.h"
#include "ui/qt_message_box.h"

class QPushButton;

namespace pelorin {

class Form1 : public QWidget {
  Q_OBJECT

 public:
  /// The client area in logical pixels (3465 x 1605 twips at 15 twips per pixel).
  static constexpr QSize kClientSize{231, 107};
  /// The button's place in the client area.
  static constexpr QRect kButtonBounds{72, 40, 97, 33};

  /// A window with the platform's open dialog, or with `dialog` where one is given (tests).
  explicit Form1(std::unique_ptr<CommonDialog> dialog = nullptr);
  ~Form1() override;

  QPushButton* cmdClickMe;
  std::unique_ptr<CommonDialog> CMDialog1;

 public slots:
  void cmdClickMe_Click();

 private:
  QtMessageBoxSink messageBoxes_;
  RuntimeContext ctx_;
};

/// The filter text the open dialog is given.
inline constexpr const char* kWaveFilter = "Wave Files (*.wav)|*.wav|All Files (*.*)|*.*";

}  // namespace pelorin
