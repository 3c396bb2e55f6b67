#pragma once

#include <QStringList>
#include <cstdint>
#include <string>

#include "runtime/context.h"

class QWidget;

namespace pelorin {

/// The file-open dialog component as the window's handler uses it: a few properties set before
/// ShowOpen(), and the chosen path read after it.
class CommonDialog {
 public:
  virtual ~CommonDialog() = default;

  /// Dialog flags; 4 hides a read-only check box (this platform's dialog shows none).
  std::int32_t Flags = 0;
  /// When true, cancelling the dialog raises "Cancel was selected." (32755) in the context.
  bool CancelError = false;
  /// Filter entries as "description|pattern|description|pattern...".
  std::string Filter;
  /// The full path of the chosen file, as the file system spells it; kept between calls.
  std::string FileName;

  /// Shows the modal open dialog; returns true once a file was chosen, false when the dialog
  /// was cancelled (raising "Cancel was selected." in `ctx` too, where CancelError asks for it).
  virtual bool ShowOpen(RuntimeContext& ctx) = 0;
};

/// The open dialog, through Qt's own QFileDialog rather than a desktop's, whose modes and
/// writes we cannot control. It takes any name, so a typed name of a missing file is chosen as
/// given. The first call opens in the current folder; later calls open in the folder of the
/// previous choice with its name filled in.
class QtCommonDialog : public CommonDialog {
 public:
  explicit QtCommonDialog(QWidget* parent) : parent_(parent) {}

  bool ShowOpen(RuntimeContext& ctx) override;

 private:
  QWidget* parent_;
};

/// QFileDialog name filters for a "description|pattern|..." filter text. Each description
/// stays as given; the patterns behind it match as people expect of them here: "*.*" lists
/// every file, names without a dot too, and letters match in either case ("*.wav" lists
/// LOUD.WAV). The patterns follow the description in a last pair of parentheses, which the
/// dialog hides.
QStringList nameFiltersFor(const std::string& filterText);

/// The pattern that matches what `pattern` means to a person picking a file.
QString dialogPattern(const QString& pattern);

}  // namespace pelorin
