#include "runtime/win32_file_system.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <cwctype>
#include <memory>

#include "runtime/win32_text.h"

namespace pelorin {

namespace {

constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
// The longest path the system takes, in UTF-16 units, in the \\?\ form.
constexpr std::size_t kLongestPath = 32767;

bool startsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The UTF-16 path the system is given, or the runtime's error number of the reason there is
// none: a name that cannot be a file's is bad (52); a device is not a file (75).
ErrorNumber toSystemPath(const std::string& path, std::wstring& out) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    return ErrorNumber::kBadFileNameOrNumber;
  }
  std::optional<std::wstring> wide = toWide(path);
  if (!wide) return ErrorNumber::kBadFileNameOrNumber;
  // The \\?\ form names files exactly as written, so NUL.wav there is a file like any other.
  const bool literal = startsWith(*wide, kExtendedPrefix);
  if (isDevicePath(*wide) || (!literal && isDeviceName(*wide))) {
    return ErrorNumber::kPathFileAccessError;
  }
  std::optional<std::wstring> system = systemPathOf(std::move(*wide));
  if (!system || system->size() > kLongestPath) return ErrorNumber::kBadFileNameOrNumber;
  out = std::move(*system);
  return ErrorNumber::kNone;
}

// Reads up to `count` bytes at `offset`, fewer only at the end of the file. Returns the bytes
// read, or -1 when the device fails.
std::int64_t readFully(HANDLE file, std::int64_t offset, char* out, std::size_t count) {
  constexpr std::size_t kLargestRead = std::size_t{1} << 30;
  std::size_t done = 0;
  while (done < count) {
    const auto wanted = static_cast<DWORD>(std::min(count - done, kLargestRead));
    const auto position = static_cast<std::uint64_t>(offset) + done;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    DWORD got = 0;
    if (!::ReadFile(file, out + done, wanted, &got, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<std::int64_t>(done);
}

// A Win32 handle as the handle of an opened file.
class Win32Handle final : public FileHandle {
 public:
  explicit Win32Handle(UniqueHandle handle) : handle_(std::move(handle)) {}

  std::int64_t read(std::int64_t offset, char* out, std::size_t count) override {
    return readFully(handle_.get(), offset, out, count);
  }

 private:
  UniqueHandle handle_;
};

// Looks at what `path` is before opening it, so that a folder is refused without an open; then
// opens it, refuses anything but a disk file, and reads its head.
OpenResult openDiskFile(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
    return {std::nullopt, openFailure(::GetLastError(), path)};
  }
  if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return {std::nullopt, ErrorNumber::kPathFileAccessError};
  }
  UniqueHandle handle(::CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return {std::nullopt, openFailure(::GetLastError(), path)};
  // A pipe or a console reached through a name the checks above did not know.
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK) {
    return {std::nullopt, ErrorNumber::kPathFileAccessError};
  }
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(handle.get(), &size)) return {std::nullopt, ErrorNumber::kDeviceIoError};
  return {OpenedFile::readHead(FileKind::kRegular, size.QuadPart,
                               std::make_unique<Win32Handle>(std::move(handle))),
          ErrorNumber::kNone};
}

// The part of `path` after its last "\" or "/" and after a drive ("C:NUL").
std::wstring_view lastPart(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator != std::wstring_view::npos) return path.substr(separator + 1);
  if (path.size() >= 2 && path[1] == L':') return path.substr(2);
  return path;
}

bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
    return std::towupper(static_cast<wint_t>(x)) == std::towupper(static_cast<wint_t>(y));
  });
}

bool isSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

}  // namespace

bool isDevicePath(std::wstring_view path) {
  if (startsWith(path, kExtendedPrefix)) return false;
  if (path.size() < 3 || !isSeparator(path[0]) || !isSeparator(path[1])) return false;
  if (path[2] != L'.' && path[2] != L'?') return false;
  return path.size() == 3 || isSeparator(path[3]);
}

bool isDeviceName(std::wstring_view path) {
  std::wstring_view name = lastPart(path);
  name = name.substr(0, name.find_first_of(L".:"));  // the extension and a stream do not count
  while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
  static constexpr std::array<std::wstring_view, 6> kNames = {L"CON", L"PRN",    L"AUX",
                                                              L"NUL", L"CONIN$", L"CONOUT$"};
  for (const std::wstring_view device : kNames) {
    if (equalsIgnoringCase(name, device)) return true;
  }
  // COM1 to COM9 and LPT1 to LPT9; Windows takes the superscripts 1, 2 and 3 for digits too.
  if (name.size() != 4) return false;
  const std::wstring_view port = name.substr(0, 3);
  const wchar_t digit = name[3];
  const bool isDigit = (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' ||
                       digit == L'\u00B2' || digit == L'\u00B3';
  return isDigit && (equalsIgnoringCase(port, L"COM") || equalsIgnoringCase(port, L"LPT"));
}

std::optional<std::wstring> systemPathOf(std::wstring path) {
  if (startsWith(path, kExtendedPrefix)) {
    std::replace(path.begin() + kExtendedPrefix.size(), path.end(), L'/', L'\\');
    return path;
  }
  if (path.size() < MAX_PATH) return path;
  // The \\?\ form takes no "." or ".." parts and no "/": the system's own rules resolve them.
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return std::nullopt;
  full.resize(written);
  if (startsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return std::wstring(kExtendedPrefix) + full;
}

ErrorNumber openFailure(unsigned long systemError, const std::wstring& systemPath) {
  switch (systemError) {
    case ERROR_FILE_NOT_FOUND:
      return ErrorNumber::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ErrorNumber::kPathNotFound;
    case ERROR_ACCESS_DENIED: {
      // What the path is decides before its permissions do.
      const DWORD attributes = ::GetFileAttributesW(systemPath.c_str());
      const bool isFolder =
          attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
      return isFolder ? ErrorNumber::kPathFileAccessError : ErrorNumber::kPermissionDenied;
    }
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return ErrorNumber::kPermissionDenied;
    case ERROR_TOO_MANY_OPEN_FILES:
      return ErrorNumber::kTooManyFiles;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return ErrorNumber::kBadFileNameOrNumber;
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
      return ErrorNumber::kDeviceIoError;
    default:
      return ErrorNumber::kPathFileAccessError;
  }
}

OpenResult Win32FileSystem::open(const std::string& path) {
  std::wstring systemPath;
  const ErrorNumber refused = toSystemPath(path, systemPath);
  if (refused != ErrorNumber::kNone) return {std::nullopt, refused};
  return openDiskFile(systemPath);
}

std::unique_ptr<FileHandle> diskFileHandle(UniqueHandle handle) {
  return std::make_unique<Win32Handle>(std::move(handle));
}

std::unique_ptr<FileSystem> makeSystemFileSystem() {
  return std::make_unique<Win32FileSystem>();
}

}  // namespace pelorin
