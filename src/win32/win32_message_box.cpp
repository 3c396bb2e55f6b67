#include "win32/win32_message_box.h"

#include "runtime/text.h"
#include "runtime/win32_text.h"

namespace pelorin {

std::wstring boxText(PromptView prompt) {
  Text shown;
  appendDisplayText(shown, prompt.text, prompt.lineBreaks);
  // The display form is UTF-8 throughout (other bytes show as U+FFFD), so it always converts.
  const std::wstring lines = toWide(shown).value_or(L"");
  std::wstring text;
  text.reserve(lines.size() + prompt.lineBreaks.size());
  for (const wchar_t c : lines) {
    if (c == L'\n') text.push_back(L'\r');  // the only line feeds are the prompt's own breaks
    text.push_back(c);
  }
  return text;
}

int Win32MessageBoxSink::show(PromptView prompt, std::int32_t buttons,
                              std::optional<std::string_view> title) {
  const std::wstring text = boxText(prompt);
  const std::wstring caption = boxText(PromptView(title.value_or(kApplicationTitle)));
  return ::MessageBoxW(owner, text.c_str(), caption.c_str(), static_cast<UINT>(buttons));
}

}  // namespace pelorin
