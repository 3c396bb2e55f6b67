#pragma once

#include <windows.h>

#include <string>

#include "runtime/message_box.h"

namespace pelorin {

/// The system's message box (MessageBoxW), modal to `owner`: the runtime's buttons code is the
/// box's own (0, MB_OK: one OK button and no icon), the prompt is shown as boxText() gives it,
/// and the title in the same display form.
class Win32MessageBoxSink : public MessageBoxSink {
 public:
  /// The window the boxes are modal to.
  HWND owner = nullptr;

  int show(PromptView prompt, std::int32_t buttons, std::optional<std::string_view> title) override;
};

/// The prompt as the box shows it, in UTF-16: CR LF at its own line breaks, everything else in
/// the display form, so that nothing from a file's name or bytes breaks a line, and a zero
/// character shows as a character instead of ending the text; each line over 60 characters is
/// broken with a continuation mark (appendBoxText). The box gives its text the width of the
/// widest line, so that it breaks no line of its own accord.
std::wstring boxText(PromptView prompt);

/// A title as the box's title bar shows it: one line in the display form, in UTF-16.
std::wstring boxTitle(std::string_view title);

}  // namespace pelorin
