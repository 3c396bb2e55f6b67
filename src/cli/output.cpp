#include "cli/output.h"

#include <algorithm>

namespace pelorin::cli {

Output::Output(OutputStream& stream) : stream_(stream), isTerminal_(stream.isTerminal()) {
  buffer_.reserve(kCapacity);
}

void Output::addRecord(std::string_view record) {
  if (!isTerminal_ && buffer_.size() + record.size() > kCapacity) flush();
  buffer_.append(record);
  endRecord();
}

void Output::endReport() {
  if (isTerminal_ || buffer_.size() >= kCapacity) flush();
}

void Output::flush() {
  if (!buffer_.empty() && !failed()) {
    WriteResult written = stream_.write(buffer_);
    readerGone_ = written.status == WriteResult::kReaderGone;
    if (written.status == WriteResult::kFailed) writeError_ = std::move(written.failure);
    if (written.status == WriteResult::kInterrupted) finishCutRecord(written.written);
  }
  buffer_.clear();
  recordEnds_.clear();
}

void Output::finishCutRecord(std::size_t written) {
  interrupted_ = true;
  const auto end = std::lower_bound(recordEnds_.begin(), recordEnds_.end(), written);
  const std::size_t recordEnd = end == recordEnds_.end() ? buffer_.size() : *end;
  if (recordEnd <= written) return;
  WriteResult rest = stream_.write(std::string_view(buffer_).substr(written, recordEnd - written));
  if (rest.status == WriteResult::kFailed) writeError_ = std::move(rest.failure);
}

}  // namespace pelorin::cli
