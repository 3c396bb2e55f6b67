#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/file_system.h"
#include "runtime/unique_handle.h"

namespace pelorin {

/// The system's files on Windows. Paths are UTF-8 here and UTF-16 for the system. Opening costs
/// one look at the path's attributes (a folder, a device name such as NUL or COM1.wav, or a
/// device path in any spelling, see isDevicePath(), is refused without being opened), one
/// CreateFileW and one read of the head. A file the head holds whole keeps no handle; a longer
/// one keeps it for as long as its opened file lives.
///
/// Files are opened for reading and shared for reading, writing and deleting, so that a file
/// another program is recording stays writable for it. Windows may update a file's access time
/// when it is read; keeping it would need write access, which the program never asks for.
/// Paths too long for the system's plain form are handed over in the \\?\ form.
class Win32FileSystem final : public FileSystem {
 public:
  OpenResult open(const std::string& path) override;
};

/// The handle of an opened disk file, read at any offset as this file system's own files are (a
/// handle the caller opened, such as a copy of standard input's).
std::unique_ptr<FileHandle> diskFileHandle(UniqueHandle handle);

/// Whether Windows takes `path` for a device path: "\\.\" or "\\?\" with each "\" written as
/// "\" or "/" ("\/.\PhysicalDrive0", "//?/C:/x.wav"), or those three characters alone. Only the
/// prefix "\\?\" exactly as written is not one: it names a file exactly as written.
bool isDevicePath(std::wstring_view path);

/// Whether Windows takes the last part of `path` for a device rather than a file: CON, PRN, AUX,
/// NUL, COM1 to COM9, LPT1 to LPT9 (with ¹, ² and ³ too), CONIN$ and CONOUT$, in any letter case,
/// in any folder, with any extension and spaces before it ("nul .wav").
bool isDeviceName(std::wstring_view path);

/// `path` as the system takes it: paths of MAX_PATH characters or more made absolute and put in
/// the \\?\ form (\\server\share becomes \\?\UNC\server\share), "/" as "\" in that form. Gives
/// nothing when the system cannot make the path absolute.
std::optional<std::wstring> systemPathOf(std::wstring path);

/// The runtime's error number for the Win32 error `systemError`, met opening or looking at
/// `systemPath`.
ErrorNumber openFailure(unsigned long systemError, const std::wstring& systemPath);

}  // namespace pelorin
