#include "win32/form1.h"

#include "runtime/win32_text.h"

namespace pelorin {

namespace {

constexpr wchar_t kWindowClass[] = L"Pelorin.Form1";
// A window of fixed size with a title bar, a system menu and a minimise button.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// The button's identifier is IDOK, so that Enter presses it as it presses a dialog's OK button.
constexpr int kClickMeId = IDOK;
constexpr int kIconId = 1;

void registerWindowClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(kIconId));
  windowClass.hIconSm = static_cast<HICON>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                   ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  ::RegisterClassExW(&windowClass);
}

// The font dialogs and message boxes use, at `dpi`.
UniqueFont messageFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    return nullptr;
  }
  return UniqueFont(::CreateFontIndirectW(&metrics.lfMessageFont));
}

}  // namespace

int scaledForDpi(int pixels, UINT dpi) {
  return ::MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

Form1::Form1(HINSTANCE instance)
    : instance_(instance), ctx_(messageBoxes_), queue_(ctx_, CMDialog1.FileName) {
  registerWindowClass(instance, &Form1::windowProcedure);
  ::CreateWindowExW(0, kWindowClass, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, nullptr, nullptr, instance, this);
  if (!window_) return;
  CMDialog1.owner = window_;
  messageBoxes_.owner = window_;
  createButton();
  const UINT dpi = ::GetDpiForWindow(window_);
  fitClientArea(dpi);
  layOutButton(dpi);
  ::DragAcceptFiles(window_, TRUE);
}

void Form1::createButton() {
  cmdClickMe = ::CreateWindowExW(
      0, L"BUTTON", L"&Click Me!", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0,
      0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kClickMeId)), instance_, nullptr);
}

// Sizes the window so that its client area is kClientSize at `dpi`.
void Form1::fitClientArea(UINT dpi) {
  RECT frame{0, 0, scaledForDpi(kClientSize.cx, dpi), scaledForDpi(kClientSize.cy, dpi)};
  ::AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, dpi);
  ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form1::layOutButton(UINT dpi) {
  ::SetWindowPos(cmdClickMe, nullptr, scaledForDpi(kButtonBounds.left, dpi),
                 scaledForDpi(kButtonBounds.top, dpi), scaledForDpi(kButtonBounds.width, dpi),
                 scaledForDpi(kButtonBounds.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
  font_ = messageFont(dpi);
  ::SendMessageW(cmdClickMe, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
}

void Form1::cmdClickMe_Click() {
  queue_.pickAndProbe(CMDialog1);
}

void Form1::probeFiles(const std::vector<std::string>& paths) {
  queue_.probeInTurn(paths);
}

void Form1::dropFiles(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
    ::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
    paths.push_back(toUtf8(path));
  }
  ::DragFinish(drop);
  probeFiles(paths);
}

LRESULT CALLBACK Form1::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form) return ::DefWindowProcW(window, message, wParam, lParam);
  return form->handle(message, wParam, lParam);
}

LRESULT Form1::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kClickMeId && HIWORD(wParam) == BN_CLICKED) cmdClickMe_Click();
      return 0;
    case WM_SETFOCUS:
      // The button is the window's one control: it has the focus whenever the window has.
      ::SetFocus(cmdClickMe);
      return 0;
    case WM_DROPFILES:
      dropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      layOutButton(HIWORD(wParam));
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

}  // namespace pelorin
