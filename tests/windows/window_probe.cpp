// Reads Pelorin.exe's window and the dialogs it owns, for window_test.sh, which drives them with
// the keyboard through xdotool. Waits up to 30 seconds for what it is asked to find.
//   window-probe window        the caption, client size, button and focus of the main window
//   window-probe dialog KIND [TITLE]  waits for an open dialog (open) or a message box (box),
//                              with the title TITLE where given, and prints its title and, for
//                              a box, its text
//   window-probe dialogs N     waits until the window owns N dialogs and prints how many it owns
//   window-probe text-place TITLE  waits for the message box titled TITLE and prints where its
//                              text is on the desktop: X Y WIDTH HEIGHT in pixels
// Prints UTF-8 exactly as the windows hold it (CR LF stays); exits 1 when nothing was found.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "runtime/win32_text.h"

namespace {

using pelorin::toUtf8;

constexpr auto kPatience = std::chrono::seconds(30);
// The id of a message box's text, and of the open dialog's file name box (old and new style).
constexpr int kBoxTextId = 0xFFFF;
constexpr int kFileNameComboId = 0x47C;
constexpr int kFileNameEditId = 0x480;

std::wstring textOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Polls `find` until it gives a window or the patience runs out.
template <typename Find>
HWND waitFor(Find find) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  for (;;) {
    if (HWND found = find()) return found;
    if (std::chrono::steady_clock::now() > deadline) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

HWND mainWindow() {
  return waitFor([] { return ::FindWindowW(L"Pelorin.Form1", nullptr); });
}

// The visible dialogs `owner` owns.
std::vector<HWND> ownedDialogs(HWND owner) {
  struct Search {
    HWND owner;
    std::vector<HWND> found;
  } search{owner, {}};
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t className[16] = {};
        ::GetClassNameW(window, className, 16);
        if (::GetWindow(window, GW_OWNER) == s->owner && ::IsWindowVisible(window) &&
            std::wstring(className) == L"#32770") {
          s->found.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool isOpenDialog(HWND dialog) {
  return ::GetDlgItem(dialog, kFileNameComboId) || ::GetDlgItem(dialog, kFileNameEditId);
}

void print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

// The window that has the keyboard focus in `window`'s thread.
HWND focusOf(HWND window) {
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread);
  return thread.hwndFocus;
}

int describeWindow() {
  HWND window = mainWindow();
  if (!window) return 1;
  HWND button = ::GetDlgItem(window, IDOK);
  // The keys the test presses next go to the foreground window: wait until that is this one.
  const bool focused = waitFor([&] {
    return ::GetForegroundWindow() == window && focusOf(window) == button ? window : nullptr;
  });
  RECT client;
  ::GetClientRect(window, &client);
  RECT bounds;
  ::GetWindowRect(button, &bounds);
  ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bounds), 2);
  print("caption=" + toUtf8(textOf(window)) + "\n");
  print("client=" + std::to_string(client.right) + "x" + std::to_string(client.bottom) + "\n");
  print("button=" + std::to_string(bounds.left) + "," + std::to_string(bounds.top) + "," +
        std::to_string(bounds.right - bounds.left) + "," +
        std::to_string(bounds.bottom - bounds.top) + " " + toUtf8(textOf(button)) + "\n");
  print(std::string("focus=") + (focused ? "button" : "elsewhere") + "\n");
  return 0;
}

// Waits for an open dialog (`wantOpen`) or a message box of the main window, titled `title`
// where that is given, that is in the foreground.
HWND findDialog(bool wantOpen, const std::string& title) {
  HWND window = mainWindow();
  if (!window) return nullptr;
  const auto fits = [&](HWND d) {
    return isOpenDialog(d) == wantOpen && (title.empty() || toUtf8(textOf(d)) == title) &&
           ::GetForegroundWindow() == d;  // ready for the keys the test presses next
  };
  return waitFor([&]() -> HWND {
    for (HWND d : ownedDialogs(window)) {
      if (fits(d)) return d;
    }
    return nullptr;
  });
}

int describeDialog(const std::string& kind, const std::string& title) {
  const bool wantOpen = kind == "open";
  HWND dialog = findDialog(wantOpen, title);
  if (!dialog) return 1;
  print("title=" + toUtf8(textOf(dialog)) + "\n");
  if (!wantOpen) {
    std::wstring text(65536, L'\0');
    text.resize(::GetDlgItemTextW(dialog, kBoxTextId, text.data(), static_cast<int>(text.size())));
    print("text=" + toUtf8(text) + "\n");
  }
  return 0;
}

// Prints where a message box's text is on the desktop, as "X Y WIDTH HEIGHT" in pixels.
int placeOfText(const std::string& title) {
  HWND box = findDialog(false, title);
  if (!box) return 1;
  RECT place;
  ::GetWindowRect(::GetDlgItem(box, kBoxTextId), &place);
  print(std::to_string(place.left) + " " + std::to_string(place.top) + " " +
        std::to_string(place.right - place.left) + " " + std::to_string(place.bottom - place.top) +
        "\n");
  return 0;
}

int countDialogs(std::size_t wanted) {
  HWND window = mainWindow();
  if (!window) return 1;
  std::size_t count = 0;
  waitFor([&]() -> HWND {
    count = ownedDialogs(window).size();
    return count == wanted ? window : nullptr;
  });
  print(std::to_string(count) + "\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // the texts' CR LF as they are
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "window" && argc == 2) return describeWindow();
  if (command == "dialog" && (argc == 3 || argc == 4)) {
    return describeDialog(argv[2], argc == 4 ? argv[3] : "");
  }
  if (command == "dialogs" && argc == 3) return countDialogs(std::stoul(argv[2]));
  if (command == "text-place" && argc == 3) return placeOfText(argv[2]);
  std::fprintf(stderr,
               "usage: window-probe window | dialog open|box [TITLE] | dialogs N | text-place "
               "TITLE\n");
  return 2;
}
