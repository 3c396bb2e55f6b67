#include "cli/win32_stream.h"

#include <algorithm>
#include <atomic>

#include "runtime/unique_handle.h"
#include "runtime/win32_file_system.h"
#include "runtime/win32_text.h"

namespace pelorin::cli {

namespace {

// UTF-16 units handed to one WriteConsoleW: well within what every console takes at once.
constexpr std::size_t kConsolePiece = 8192;
// The progress line's one control sequence: clear from the cursor to the end of the line.
constexpr std::string_view kClearToEndOfLine = "\x1b[K";

std::atomic<bool> ctrlCCame = false;

// Runs on a thread of the system's: the run sees the flag between records.
BOOL WINAPI stopRun(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  ctrlCCame = true;
  return TRUE;
}

// The system's sentence for the error `error`, without its closing period and line break.
std::string systemReason(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const std::unique_ptr<wchar_t, decltype(&::LocalFree)> owned(text, &::LocalFree);
  if (length == 0) return "system error " + std::to_string(error);
  std::wstring_view reason(text, length);
  while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' ||
                             reason.back() == L'.' || reason.back() == L' ')) {
    reason.remove_suffix(1);
  }
  return toUtf8(reason);
}

WriteResult failed(DWORD error) {
  return {WriteResult::kFailed, systemReason(error)};
}

std::optional<FileId> diskFileOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info)) {
    return std::nullopt;
  }
  return FileId{info.dwVolumeSerialNumber,
                (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

// UTF-8 in UTF-16 for the console; bytes that are not UTF-8 show as U+FFFD.
std::wstring consoleText(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  const int needed = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(needed, 0)), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, wide.data(), needed);
  return wide;
}

// A file read from its start, or standard input.
class HandleInput final : public InputStream {
 public:
  HandleInput(HANDLE handle, UniqueHandle owned = UniqueHandle())
      : handle_(handle), owned_(std::move(owned)) {}

  ReadResult read(char* out, std::size_t size) override {
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30));
    if (::ReadFile(handle_, out, wanted, &got, nullptr)) return {got, ""};
    const DWORD error = ::GetLastError();
    // A pipe whose writer is done ends so.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return {};
    return {0, systemReason(error)};
  }

  std::optional<FileId> regularFile() const override { return diskFileOf(handle_); }

 private:
  HANDLE handle_;
  UniqueHandle owned_;  // the file, unless it is standard input
};

}  // namespace

HandleStream::HandleStream(HANDLE handle) : handle_(handle) {
  DWORD mode = 0;
  console_ = ::GetConsoleMode(handle, &mode) != 0;
}

std::optional<std::uint64_t> HandleStream::terminal() const {
  if (!console_) return std::nullopt;
  return 1;
}

WriteResult HandleStream::write(std::string_view bytes) {
  if (console_) return writeToConsole(bytes);
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 30));
    if (!::WriteFile(handle_, bytes.data(), wanted, &written, nullptr)) {
      const DWORD error = ::GetLastError();
      // The pipe's reader went away: `pelorin-cli ... | more` ends quietly.
      if (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE)
        return {WriteResult::kReaderGone, ""};
      return failed(error);
    }
    bytes.remove_prefix(written);
  }
  return {};
}

WriteResult HandleStream::writeToConsole(std::string_view bytes) {
  const std::wstring text = consoleText(bytes);
  std::wstring_view rest = text;
  while (!rest.empty()) {
    std::size_t piece = std::min(rest.size(), kConsolePiece);
    if (piece < rest.size() && IS_HIGH_SURROGATE(rest[piece - 1])) --piece;  // pairs stay whole
    DWORD written = 0;
    if (!::WriteConsoleW(handle_, rest.data(), static_cast<DWORD>(piece), &written, nullptr)) {
      return failed(::GetLastError());
    }
    if (written == 0) return failed(ERROR_WRITE_FAULT);
    rest.remove_prefix(written);
  }
  return {};
}

std::optional<FileId> HandleStream::regularFile() const {
  return diskFileOf(handle_);
}

void HandleStream::writeIfReady(std::string_view bytes) {
  if (!console_) {
    static_cast<void>(write(bytes));
    return;
  }
  for (;;) {
    const std::size_t clear = bytes.find(kClearToEndOfLine);
    static_cast<void>(writeToConsole(bytes.substr(0, clear)));
    if (clear == std::string_view::npos) return;
    clearToEndOfLine();
    bytes.remove_prefix(clear + kClearToEndOfLine.size());
  }
}

void HandleStream::clearToEndOfLine() {
  CONSOLE_SCREEN_BUFFER_INFO screen;
  if (!::GetConsoleScreenBufferInfo(handle_, &screen)) return;
  const auto length = static_cast<DWORD>(screen.dwSize.X - screen.dwCursorPosition.X);
  DWORD done = 0;
  ::FillConsoleOutputCharacterW(handle_, L' ', length, screen.dwCursorPosition, &done);
  ::FillConsoleOutputAttribute(handle_, screen.wAttributes, length, screen.dwCursorPosition, &done);
}

OpenedInput openInput(const std::string& name) {
  if (name == "-") return {std::make_unique<HandleInput>(::GetStdHandle(STD_INPUT_HANDLE)), ""};
  std::optional<std::wstring> wide = toWide(name);
  std::optional<std::wstring> path = wide ? systemPathOf(std::move(*wide)) : std::nullopt;
  if (!path) return {nullptr, systemReason(ERROR_INVALID_NAME)};
  UniqueHandle file(::CreateFileW(path->c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return {nullptr, systemReason(::GetLastError())};
  const HANDLE handle = file.get();
  return {std::make_unique<HandleInput>(handle, std::move(file)), ""};
}

void stopOnCtrlC() {
  ::SetConsoleCtrlHandler(stopRun, TRUE);
}

bool ctrlCReceived() {
  return ctrlCCame;
}

bool HandleStream::interrupted() const {
  return ctrlCReceived();
}

}  // namespace pelorin::cli
