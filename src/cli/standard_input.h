#pragma once

// Standard input as the command line's "-" reads it: a file to probe. posix_standard_input.cpp
// and win32_standard_input.cpp implement it for the system; tests give their own.

#include <memory>
#include <optional>

#include "runtime/error.h"
#include "runtime/opened_file.h"
#include "runtime/stream_keeper.h"

namespace pelorin::cli {

/// What standard input holds: a regular file, opened as any file is; or a stream (a pipe) to be
/// read once; or neither, with the reason.
struct OpenedStandardInput {
  std::optional<OpenedFile> file;
  std::unique_ptr<SequentialSource> stream;
  ErrorNumber error = ErrorNumber::kNone;
};

/// The process's standard input, for the one probe of a run that reads it.
class StandardInput {
 public:
  virtual ~StandardInput() = default;

  /// Whether standard input is a terminal (a console on Windows), which the user would have to
  /// type a file into.
  virtual bool isTerminal() const = 0;

  /// Opens standard input: a regular file behind it is read at any offset from its start, with
  /// a handle of its own; anything else is a stream. Reads nothing of a stream yet.
  virtual OpenedStandardInput open() = 0;
};

/// The system's standard input.
StandardInput& systemStandardInput();

}  // namespace pelorin::cli
