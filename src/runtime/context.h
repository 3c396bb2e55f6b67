#pragma once

#include "runtime/error.h"
#include "runtime/file_table.h"
#include "runtime/message_box.h"

namespace pelorin {

/// All of the runtime's state for one thread of work: the error object, the table of file
/// numbers and the message-box sink. Nothing is global, so contexts on different threads never
/// meet. A context is not itself thread-safe.
class RuntimeContext {
 public:
  explicit RuntimeContext(MessageBoxSink& sink) : messageBoxSink(&sink) {}
  RuntimeContext(const RuntimeContext&) = delete;
  RuntimeContext& operator=(const RuntimeContext&) = delete;

  ErrorObject Err;
  FileTable files;
  MessageBoxSink* messageBoxSink;
  bool continueOnError = false;

  /// Records `number` in the error object; throws RuntimeError unless continue-on-error is
  /// armed, in which case the failing operation returns without effect.
  void raise(ErrorNumber number);
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
