#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "runtime/context.h"

namespace pelorin {

/// Characters the dialog's file name buffer holds: the longest path the system takes, and its
/// terminating zero.
inline constexpr std::size_t kFileNameBufferSize = 32768;

/// The file-open dialog component as the window's handler uses it: a few properties set before
/// ShowOpen(), and the chosen path read after it. ShowOpen() shows the system's open dialog
/// (GetOpenFileNameW).
class CommonDialog {
 public:
  /// The window the dialog is modal to.
  HWND owner = nullptr;

  /// Dialog flags; 4 hides the read-only check box (OFN_HIDEREADONLY).
  std::int32_t Flags = 0;
  /// When true, cancelling the dialog raises "Cancel was selected." (32755) in the context.
  bool CancelError = false;
  /// Filter entries as "description|pattern|description|pattern...".
  std::string Filter;
  /// The full path of the chosen file in UTF-8; kept between calls, so that the next dialog
  /// opens in its folder with its name filled in.
  std::string FileName;

  /// Shows the modal open dialog; returns true once a file was chosen, false when the dialog
  /// was cancelled (raising "Cancel was selected." in `ctx` too, where CancelError asks for it)
  /// or could not be shown.
  bool ShowOpen(RuntimeContext& ctx);
};

/// The dialog's filter for a "description|pattern|..." filter text: every part ends in a zero
/// character, and one more zero character ends the list.
std::wstring dialogFilter(const std::string& filterText);

/// The dialog's flags for the component's `flags`: always the Explorer-style dialog that adds
/// nothing to the person's recent files, and never one that insists on an existing file, so
/// that a typed name that is missing reaches the probe and gets its report.
DWORD dialogFlags(std::int32_t flags);

}  // namespace pelorin
