#include <windows.h>

#include <algorithm>

#include "cli/standard_input.h"
#include "cli/win32_stream.h"
#include "runtime/win32_file_system.h"

namespace pelorin::cli {

namespace {

HANDLE standardInputHandle() {
  return ::GetStdHandle(STD_INPUT_HANDLE);
}

// Standard input read in order; a pipe whose writer has gone has ended. A run asked to stop
// (Ctrl+C) reads no more: the stream then ends as a failed read.
class InputHandleStream final : public SequentialSource {
 public:
  std::int64_t read(char* out, std::size_t size) override {
    if (ctrlCReceived()) return -1;
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
    if (::ReadFile(standardInputHandle(), out, wanted, &got, nullptr)) return got;
    return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
};

class Win32StandardInput final : public StandardInput {
 public:
  bool isTerminal() const override {
    DWORD mode = 0;
    return ::GetConsoleMode(standardInputHandle(), &mode) != 0;
  }

  OpenedStandardInput open() override {
    const HANDLE input = standardInputHandle();
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
      return {std::nullopt, nullptr, ErrorNumber::kBadFileNameOrNumber};
    }
    if (::GetFileType(input) != FILE_TYPE_DISK) {
      return {std::nullopt, std::make_unique<InputHandleStream>()};
    }
    LARGE_INTEGER size;
    HANDLE copy = INVALID_HANDLE_VALUE;
    const HANDLE self = ::GetCurrentProcess();
    if (!::GetFileSizeEx(input, &size) ||
        !::DuplicateHandle(self, input, self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      return {std::nullopt, nullptr, ErrorNumber::kDeviceIoError};
    }
    // A copy of its own: the opened file closes it.
    return {
        OpenedFile::readHead(FileKind::kRegular, size.QuadPart, diskFileHandle(UniqueHandle(copy))),
        nullptr};
  }
};

}  // namespace

StandardInput& systemStandardInput() {
  static Win32StandardInput input;
  return input;
}

}  // namespace pelorin::cli
