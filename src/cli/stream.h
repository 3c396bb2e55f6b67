#pragma once

// The command line's streams as the system has them: standard output and standard error, which
// it writes, and the file list, which it reads. posix_stream.cpp and win32_stream.cpp implement
// them over descriptors and handles.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pelorin::cli {

/// A regular file as the system tells files apart: its device (volume) and its number there.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  bool operator==(const FileId&) const = default;
};

/// How a write ended.
struct WriteResult {
  enum Status { kWritten, kReaderGone, kFailed, kInterrupted };
  Status status = kWritten;
  std::string failure;      // kFailed: the system's reason, as text
  std::size_t written = 0;  // kInterrupted: the bytes written before the interruption
};

/// Where reports or the progress line go.
class OutputStream {
 public:
  virtual ~OutputStream() = default;

  /// The terminal the stream is (a console on Windows), as a number that tells terminals apart;
  /// nothing for a file or a pipe.
  virtual std::optional<std::uint64_t> terminal() const = 0;
  bool isTerminal() const { return terminal().has_value(); }

  /// Writes all of `bytes` (UTF-8), waiting while the reader is slow. kReaderGone when the
  /// reader went away (a closed pipe), which is not a fault; kFailed with the reason otherwise;
  /// kInterrupted, with the bytes written, when the run was interrupted during the write (see
  /// interrupted()). A write begun after the interruption is not cut short.
  virtual WriteResult write(std::string_view bytes) = 0;

  /// Whether the run was asked to stop (a signal, Ctrl+C): it then probes no more.
  virtual bool interrupted() const { return false; }

  /// Writes `bytes` when the stream takes them without waiting, and drops them otherwise; for the
  /// progress line, which must never slow a run. On a terminal, its "\r" and "\x1b[K" return
  /// to the start of the line and clear it.
  virtual void writeIfReady(std::string_view bytes) = 0;

  /// The regular file the stream writes to; nothing for a terminal, a pipe or a device.
  virtual std::optional<FileId> regularFile() const { return std::nullopt; }
};

/// Writes a message of the program's own (an error, a note) to `err`. Nothing is left to tell
/// of a message that standard error would not take, so how the write ended is not looked at.
inline void writeMessage(OutputStream& err, std::string_view message) {
  static_cast<void>(err.write(message));
}

/// How a read ended.
struct ReadResult {
  std::size_t count = 0;  // bytes read; 0 at the end, and on a failure
  std::string failure;    // the system's reason a read failed, as text; empty otherwise
};

/// Bytes read in order from a file or a pipe: the file list.
class InputStream {
 public:
  virtual ~InputStream() = default;

  /// Reads up to `size` bytes into `out`.
  virtual ReadResult read(char* out, std::size_t size) = 0;

  /// The regular file the stream reads; nothing for a terminal, a pipe or a device.
  virtual std::optional<FileId> regularFile() const { return std::nullopt; }
};

/// An input stream, or the system's reason there is none.
struct OpenedInput {
  std::unique_ptr<InputStream> stream;
  std::string failure;
};

/// Opens the file `name` for reading; "-" is standard input.
OpenedInput openInput(const std::string& name);

}  // namespace pelorin::cli
