#include "win32/win32_message_box.h"

#include <algorithm>

#include "runtime/box_text.h"
#include "runtime/win32_text.h"

namespace pelorin {

namespace {

// The id of a message box's text control.
constexpr int kBoxTextId = 0xFFFF;

// `text` in UTF-16 with CR LF at each line feed: the only line feeds the display form holds are
// those it put there itself.
std::wstring withCrLf(const Text& text) {
  // The display form is UTF-8 throughout (other bytes show as U+FFFD), so it always converts.
  const std::wstring lines = toWide(text).value_or(L"");
  std::wstring withBreaks;
  withBreaks.reserve(lines.size() + lines.size() / 16);
  for (const wchar_t c : lines) {
    if (c == L'\n') withBreaks.push_back(L'\r');
    withBreaks.push_back(c);
  }
  return withBreaks;
}

// The size `control`'s text takes in its font with every line whole.
SIZE unbrokenTextSize(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  HDC dc = ::GetDC(control);
  const HGDIOBJ previous =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT bounds{};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS);
  ::SelectObject(dc, previous);
  ::ReleaseDC(control, dc);
  return {bounds.right, bounds.bottom};
}

int widthOf(const RECT& r) {
  return r.right - r.left;
}
int heightOf(const RECT& r) {
  return r.bottom - r.top;
}

// The system's message box sizes its text for a width of its own choosing and breaks a longer
// line at a space, which could start a line that the prompt does not hold. This gives the text
// the width of its widest line, as far as the monitor allows, and grows the box around it,
// centred where it was, with its buttons below the text.
void fitTextWhole(HWND box) {
  HWND text = ::GetDlgItem(box, kBoxTextId);
  if (!text) return;
  const SIZE needed = unbrokenTextSize(text);
  RECT shown, frame;
  ::GetWindowRect(text, &shown);
  ::GetWindowRect(box, &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);
  const int wider = std::min(static_cast<int>(needed.cx) - widthOf(shown),
                             widthOf(monitor.rcWork) - widthOf(frame));
  if (wider <= 0) return;  // every line fits already, or nothing more can be done
  const int taller = static_cast<int>(needed.cy) - heightOf(shown);
  ::SetWindowPos(text, nullptr, 0, 0, widthOf(shown) + wider, heightOf(shown) + taller,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (child == text) continue;
    RECT place;
    ::GetWindowRect(child, &place);
    ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&place), 2);
    ::SetWindowPos(child, nullptr, place.left + wider / 2, place.top + taller, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::SetWindowPos(box, nullptr, frame.left - wider / 2, frame.top - taller / 2,
                 widthOf(frame) + wider, heightOf(frame) + taller, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Fits the text of the message boxes that this thread activates while it lives.
class BoxFitter {
 public:
  BoxFitter()
      : hook_(::SetWindowsHookExW(WH_CBT, &BoxFitter::onCbt, nullptr, ::GetCurrentThreadId())) {}
  ~BoxFitter() {
    if (hook_) ::UnhookWindowsHookEx(hook_);
  }
  BoxFitter(const BoxFitter&) = delete;
  BoxFitter& operator=(const BoxFitter&) = delete;

 private:
  static LRESULT CALLBACK onCbt(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) fitTextWhole(reinterpret_cast<HWND>(wParam));
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }

  HHOOK hook_;
};

}  // namespace

std::wstring boxText(PromptView prompt) {
  Text shown;
  appendBoxText(shown, prompt);
  return withCrLf(shown);
}

std::wstring boxTitle(std::string_view title) {
  Text shown;
  appendDisplayLine(shown, title);
  return withCrLf(shown);
}

int Win32MessageBoxSink::show(PromptView prompt, std::int32_t buttons,
                              std::optional<std::string_view> title) {
  const std::wstring text = boxText(prompt);
  const std::wstring caption = boxTitle(title.value_or(kApplicationTitle));
  const BoxFitter fitter;
  return ::MessageBoxW(owner, text.c_str(), caption.c_str(), static_cast<UINT>(buttons));
}

}  // namespace pelorin
