#include "cli/output.h"

namespace pelorin::cli {

Output::Output(OutputStream& stream) : stream_(stream), isTerminal_(stream.isTerminal()) {
  buffer_.reserve(kCapacity);
}

void Output::endReport() {
  if (isTerminal_ || buffer_.size() >= kCapacity) flush();
}

void Output::flush() {
  if (!buffer_.empty() && !failed()) {
    WriteResult written = stream_.write(buffer_);
    readerGone_ = written.status == WriteResult::kReaderGone;
    if (written.status == WriteResult::kFailed) writeError_ = std::move(written.failure);
  }
  buffer_.clear();
}

}  // namespace pelorin::cli
