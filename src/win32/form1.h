#pragma once

// The main window on plain Win32. Form1 holds one button, cmdClickMe, and the open dialog
// CMDialog1. A click on the button (mouse, Alt+C, Space or Enter) runs cmdClickMe_Click, which
// lets the person pick a file in CMDialog1 and hands its path to the probe, GetSondur. The probe
// shows its one message box through the runtime context's sink, here MessageBoxW over this
// window.
//
// Files can also come from outside the dialog: named on the command line or dropped on the
// window. Each is probed the way the button's handler probes the dialog's choice, one message
// box after another.

#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "probe/probe_queue.h"
#include "runtime/context.h"
#include "win32/common_dialog.h"
#include "win32/win32_message_box.h"

namespace pelorin {

/// Deletes a GDI font.
struct FontDeleter {
  void operator()(HFONT font) const { ::DeleteObject(font); }
};
/// Owns one GDI font.
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

/// A rectangle in pixels at 96 DPI.
struct Bounds {
  int left, top, width, height;
};

class Form1 {
 public:
  /// The client area at 96 DPI (3465 x 1605 twips at 15 twips per pixel).
  static constexpr SIZE kClientSize{231, 107};
  /// The button's place in the client area at 96 DPI.
  static constexpr Bounds kButtonBounds{72, 40, 97, 33};
  /// The window's caption.
  static constexpr const wchar_t* kCaption = L"Wave file Info";

  /// Creates the window, hidden, sized for the DPI of the monitor it is placed on; window() is
  /// null when the system refused to create it.
  explicit Form1(HINSTANCE instance);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  HWND window() const { return window_; }

  HWND cmdClickMe = nullptr;
  CommonDialog CMDialog1;

  void cmdClickMe_Click();

  /// Probes each path in turn as the button's handler probes the dialog's choice. Paths that
  /// arrive while a message box is open wait until the earlier ones are done.
  void probeFiles(const std::vector<std::string>& paths);

 private:
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void createButton();
  void fitClientArea(UINT dpi);
  void layOutButton(UINT dpi);
  void dropFiles(HDROP drop);

  HINSTANCE instance_;
  HWND window_ = nullptr;
  UniqueFont font_;
  Win32MessageBoxSink messageBoxes_;
  RuntimeContext ctx_;
  ProbeQueue queue_;
};

/// `pixels` at 96 DPI scaled for `dpi`.
int scaledForDpi(int pixels, UINT dpi);

}  // namespace pelorin
