// Pelorin.exe: the window, and the files named on its command line probed once it is up.
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/win32_text.h"
#include "win32/form1.h"

namespace {

// `path` made absolute as the system resolves it, so that a report names the file as the open
// dialog would; as given when the system cannot.
std::wstring absolutePath(const std::wstring& path) {
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return path;
  full.resize(written);
  return full;
}

// The files named on the command line, in UTF-8, each made absolute.
std::vector<std::string> commandLineFiles() {
  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> arguments(
      ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
  std::vector<std::string> files;
  if (!arguments) return files;
  for (int i = 1; i < count; ++i)
    files.push_back(pelorin::toUtf8(absolutePath(arguments.get()[i])));
  return files;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  const std::vector<std::string> files = commandLineFiles();
  pelorin::Form1 form(instance);
  if (!form.window()) return 1;
  ::ShowWindow(form.window(), show);
  ::UpdateWindow(form.window());
  ::SetFocus(form.cmdClickMe);
  // Files from the command line are probed once the window is up, as if picked in its dialog;
  // their boxes run the window's messages while they are open.
  form.probeFiles(files);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab, Enter, Space and the button's mnemonic Alt+C work as they do in a dialog.
    if (::IsDialogMessageW(form.window(), &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
