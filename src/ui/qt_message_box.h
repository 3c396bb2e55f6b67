#pragma once

#include <QString>

#include "runtime/message_box.h"

class QMessageBox;
class QWidget;

namespace pelorin {

/// The desktop's message box: a modal QMessageBox with no icon and one OK button, the prompt as
/// plain text with CR LF as line breaks and control characters as their control pictures.
class QtMessageBoxSink : public MessageBoxSink {
 public:
  explicit QtMessageBoxSink(QWidget* parent) : parent_(parent) {}

  int show(PromptView prompt, std::int32_t buttons, std::optional<std::string_view> title) override;

 private:
  QWidget* parent_;
};

/// The prompt as the box shows it: its own line breaks as line breaks, everything else in the
/// display form, so that nothing from a file's name or bytes breaks a line or hides.
QString displayPrompt(PromptView prompt);

/// Widens `box` so that its title fits in the title bar, whatever the prompt's width.
void fitTitle(QMessageBox& box);

}  // namespace pelorin
