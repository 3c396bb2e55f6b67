#pragma once

#include <memory>

#include "runtime/error.h"
#include "runtime/file_system.h"
#include "runtime/file_table.h"
#include "runtime/message_box.h"

namespace pelorin {

/// All of the runtime's state for one thread of work: the error object, the table of file
/// numbers, the file a probe's steps share, the file system the numbers are opened on and the
/// message-box sink. Nothing is
/// global, so contexts on different threads never meet. A context is not itself thread-safe.
class RuntimeContext {
 public:
  /// A context on the system's files.
  explicit RuntimeContext(MessageBoxSink& sink)
      : messageBoxSink(&sink), ownFileSystem_(makeSystemFileSystem()) {
    fileSystem = ownFileSystem_.get();
  }
  /// A context on `files`, which must outlive it.
  RuntimeContext(MessageBoxSink& sink, FileSystem& files)
      : messageBoxSink(&sink), fileSystem(&files) {}
  RuntimeContext(const RuntimeContext&) = delete;
  RuntimeContext& operator=(const RuntimeContext&) = delete;

  ErrorObject Err;
  FileTable files;
  /// The file of the last input-mode FileClose; whoever ends a probe drops it.
  KeptFile keptFile;
  MessageBoxSink* messageBoxSink;
  FileSystem* fileSystem;
  bool continueOnError = false;

  /// Records `number` in the error object; throws RuntimeError unless continue-on-error is
  /// armed, in which case the failing operation returns without effect.
  void raise(ErrorNumber number);

 private:
  std::unique_ptr<FileSystem> ownFileSystem_;
};

/// Arms continue-on-error for the rest of the enclosing scope and clears the error object, as a
/// procedure does on entry; the previous rule comes back when the scope ends.
class OnErrorResumeNext {
 public:
  explicit OnErrorResumeNext(RuntimeContext& ctx) : ctx_(ctx), wasArmed_(ctx.continueOnError) {
    ctx_.continueOnError = true;
    ctx_.Err.Clear();
  }
  ~OnErrorResumeNext() { ctx_.continueOnError = wasArmed_; }
  OnErrorResumeNext(const OnErrorResumeNext&) = delete;
  OnErrorResumeNext& operator=(const OnErrorResumeNext&) = delete;

 private:
  RuntimeContext& ctx_;
  bool wasArmed_;
};

}  // namespace pelorin
