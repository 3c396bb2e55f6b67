#pragma once

#include <windows.h>

#include "cli/stream.h"

namespace pelorin::cli {

/// From now on, Ctrl+C and Ctrl+Break on the console ask the run to stop after the record it
/// is writing (see interrupted()) rather than end the process at once.
void stopOnCtrlC();
/// Whether Ctrl+C or Ctrl+Break came, once stopOnCtrlC() was called.
bool ctrlCReceived();

/// An output stream over a Win32 handle that someone else owns: standard output or standard
/// error. On a console, the UTF-8 text is written in UTF-16 with WriteConsoleW, so that names in
/// any script show as they are, whatever the console's code page; to a file or a pipe, the UTF-8
/// bytes go as they are. A closed pipe shows as kReaderGone.
class HandleStream final : public OutputStream {
 public:
  explicit HandleStream(HANDLE handle);

  /// A process has one console: every stream on a console is on that one.
  std::optional<std::uint64_t> terminal() const override;
  WriteResult write(std::string_view bytes) override;
  /// On a console, "\x1b[K" clears to the end of the line through the console's own calls, so
  /// that no console needs to act on control sequences; a pipe that is full is waited for.
  void writeIfReady(std::string_view bytes) override;
  std::optional<FileId> regularFile() const override;
  /// Ctrl+C or Ctrl+Break came, once stopOnCtrlC() was called.
  bool interrupted() const override;

 private:
  WriteResult writeToConsole(std::string_view bytes);
  void clearToEndOfLine();

  HANDLE handle_;
  bool console_;
};

}  // namespace pelorin::cli
