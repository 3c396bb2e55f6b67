#pragma once

#include <QString>
#include <string_view>

#include "runtime/message_box.h"

class QMessageBox;
class QWidget;

namespace pelorin {

/// The desktop's message box: a modal QMessageBox with no icon and one OK button, the prompt as
/// plain text with CR LF as line breaks and control characters as their control pictures. Its
/// text can be selected and copied (makeCopyable).
class QtMessageBoxSink : public MessageBoxSink {
 public:
  explicit QtMessageBoxSink(QWidget* parent) : parent_(parent) {}

  int show(PromptView prompt, std::int32_t buttons, std::optional<std::string_view> title) override;

 private:
  QWidget* parent_;
};

/// The prompt as the box shows it: its own line breaks as line breaks, everything else in the
/// display form, so that nothing from a file's name or bytes breaks a line or hides, and each
/// line over 60 characters broken with a continuation mark (appendBoxText).
QString displayPrompt(PromptView prompt);

/// A title as the box's title bar shows it: one line in the display form.
QString displayTitle(std::string_view title);

/// Keeps `box` from breaking any line of its text by itself: the text's label is never made
/// narrower than its widest line.
void keepLinesWhole(QMessageBox& box);

/// Widens `box` so that its title fits in the title bar, whatever the prompt's width.
void fitTitle(QMessageBox& box);

/// Lets the person select `box`'s text with the mouse and the keyboard, and copy with Ctrl+C
/// (or the platform's other copy keys) the selection or, with nothing selected, the whole box
/// (boxAsText), wherever the focus is in the box.
void makeCopyable(QMessageBox& box);

/// The whole of `box` as Ctrl+C copies it: a line of 27 dashes, the title, a line of dashes, the
/// text as shown, a line of dashes, the buttons' texts, a line of dashes; each line ends in "\n".
QString boxAsText(const QMessageBox& box);

}  // namespace pelorin
