#include <windows.h>
#include <winternl.h>

#include <stdlib.h>

#include <stdexcept>
#include <vector>

#include "runtime/unique_handle.h"
#include "runtime/win32_text.h"
#include "support.h"

namespace pelorin::testing {

namespace {

// The system's list of every process's handles (SystemExtendedHandleInformation), as ntdll
// gives it; mingw's headers leave it out.
constexpr auto kExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);

struct HandleEntry {
  void* object;
  ULONG_PTR processId;
  ULONG_PTR handle;
  ULONG grantedAccess;
  USHORT creatorBackTraceIndex;
  USHORT objectTypeIndex;
  ULONG attributes;
  ULONG reserved;
};

struct HandleList {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

}  // namespace

int openDescriptorCount() {
  std::vector<char> buffer(1 << 20);
  ULONG needed = 0;
  NTSTATUS status;
  while ((status = ::NtQuerySystemInformation(kExtendedHandleInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &needed)) ==
         kInfoLengthMismatch) {
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) throw std::runtime_error("cannot list the process's handles");
  const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
  const ULONG_PTR self = ::GetCurrentProcessId();
  int count = 0;
  for (ULONG_PTR i = 0; i < list->count; ++i) {
    if (list->entries[i].processId == self) ++count;
  }
  return count;
}

void extendTo(const std::string& path, std::int64_t length) {
  UniqueHandle file(::CreateFileW(toWide(path).value().c_str(), GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER end;
  end.QuadPart = length;
  if (!file || !::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(file.get())) {
    throw std::runtime_error("cannot extend " + path);
  }
}

// The C library's copy of the environment, which getenv() reads.
void setEnvironment(const std::string& name, const std::string& value) {
  ::_putenv_s(name.c_str(), value.c_str());
}

void unsetEnvironment(const std::string& name) {
  ::_putenv_s(name.c_str(), "");  // an empty value removes the variable
}

}  // namespace pelorin::testing
