#include "cli/inputs.h"

#include <cstring>

namespace pelorin::cli {

namespace {

bool endsWithWav(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view tail = name.substr(name.size() - 4);
  return tail[0] == '.' && (tail[1] | 0x20) == 'w' && (tail[2] | 0x20) == 'a' &&
         (tail[3] | 0x20) == 'v';
}

// Where to cut `text` at `length` bytes or a little less, so that no UTF-8 character is cut:
// back over the continuation bytes of a character that would be cut, at most three.
std::size_t characterBoundaryBefore(const char* text, std::size_t length) {
  std::size_t cut = length;
  const auto continues = [&](std::size_t at) {
    return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
  };
  while (cut > 0 && length - cut < 3 && continues(cut)) --cut;
  return continues(cut) ? length : cut;
}

}  // namespace

bool PathList::open(const std::string& name, char separator, std::optional<FileId> output) {
  name_ = name;
  separator_ = separator;
  OpenedInput opened = openInput(name);
  input_ = std::move(opened.stream);
  error_ = std::move(opened.failure);
  if (input_ && output && input_->regularFile() == output) {
    input_.reset();
    error_ = "it is the file the output goes to";
  }
  return input_ != nullptr;
}

bool PathList::fill() {
  if (atEnd_) return false;
  if (begin_ > 0) {  // keep the unfinished path at the front
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  ReadResult got = input_->read(buffer_.data() + end_, buffer_.size() - end_);
  if (!got.failure.empty()) error_ = std::move(got.failure);
  if (got.count == 0) {
    atEnd_ = true;
    return false;
  }
  end_ += got.count;
  return true;
}

void PathList::skipPastSeparator() {
  for (;;) {
    begin_ = end_;
    if (!fill()) return;
    const char* start = buffer_.data() + begin_;
    const auto* found = static_cast<const char*>(std::memchr(start, separator_, end_ - begin_));
    if (found) {
      begin_ += static_cast<std::size_t>(found - start) + 1;
      return;
    }
  }
}

void PathList::assignLine(std::string& path, const char* start, std::size_t length) const {
  const bool crLf = kListLinesMayEndInCrLf && separator_ == '\n';
  if (crLf && length > 0 && start[length - 1] == '\r') --length;
  path.assign(start, length);
}

PathList::Found PathList::next(std::string& path) {
  for (;;) {
    const char* start = buffer_.data() + begin_;
    const auto* found = static_cast<const char*>(std::memchr(start, separator_, end_ - begin_));
    const std::size_t length = found ? static_cast<std::size_t>(found - start) : end_ - begin_;
    if (length > kLongestPath) {
      path.assign(start, characterBoundaryBefore(start, kLongestPath));
      if (found) {
        begin_ += length + 1;
      } else {
        skipPastSeparator();
      }
      return Found::kTooLong;
    }
    if (found) {
      assignLine(path, start, length);
      begin_ += length + 1;
      if (!path.empty()) return Found::kPath;
      continue;
    }
    if (!fill()) {
      // The last path need not end in a separator.
      assignLine(path, buffer_.data() + begin_, end_ - begin_);
      begin_ = end_;
      return !path.empty() && error_.empty() ? Found::kPath : Found::kEnd;
    }
  }
}

bool Inputs::open(std::optional<FileId> output) {
  output_ = output;
  return options_.filesFrom.empty() || openNextList();
}

bool Inputs::openNextList() {
  if (nextList_ == options_.filesFrom.size()) {
    list_.reset();
    return false;
  }
  list_ = std::make_unique<PathList>();
  const std::string& name = options_.filesFrom[nextList_++];
  return list_->open(name, options_.nulSeparated ? '\0' : '\n', output_);
}

const PathList* Inputs::failedList() const {
  return list_ && !list_->error().empty() ? list_.get() : nullptr;
}

bool Inputs::nextListedPath(Item& item) {
  while (list_ && list_->error().empty()) {
    const PathList::Found found = list_->next(item.path);
    if (found == PathList::Found::kTooLong) {
      // Shown cut, as no system could open it whole.
      item.path.append("\u2026");
      item.failure = ErrorNumber::kBadFileNameOrNumber;
    }
    if (found != PathList::Found::kEnd) return true;
    // A list that failed ends the run, which did not see every path; otherwise the next one.
    if (!list_->error().empty() || !openNextList()) return false;
  }
  return false;
}

bool Inputs::nextNamedPath(Item& item) {
  item.failure = ErrorNumber::kNone;
  if (nextArg_ < options_.paths.size()) {
    item.path.assign(options_.paths[nextArg_++]);
    item.standardInput = item.path == "-";
    return true;
  }
  return nextListedPath(item);
}

bool Inputs::next(Item& item) {
  item.standardInput = false;
  for (;;) {
    if (!walk_.empty()) {
      if (nextFromWalk(item)) return true;
      continue;
    }
    if (!nextNamedPath(item)) return false;
    // A named path is probed whatever its name; a folder is walked only when asked to.
    if (!options_.recursive || item.failure != ErrorNumber::kNone || item.standardInput ||
        !isFolder(item.path)) {
      return true;
    }
    const std::string root = item.path;
    if (enterFolder(nullptr, 0, root, item) == Entered::kFailed) return true;
  }
}

Inputs::Entered Inputs::enterFolder(Folder* parent, std::size_t index, const std::string& path,
                                    Item& item) {
  OpenedFolder opened;
  if (walk_.size() == kMaxWalkDepth) {
    opened.failure = ErrorNumber::kTooManyFiles;
  } else {
    opened = parent ? parent->openSubfolder(index, path) : openFolder(path);
  }
  if (opened.folder) {
    walk_.push_back({path, std::move(opened.folder), 0});
    return Entered::kYes;
  }
  if (opened.failure == ErrorNumber::kNone) return Entered::kNotAFolder;
  item.path.assign(path);
  item.failure = opened.failure;
  return Entered::kFailed;
}

bool Inputs::leaveFolder(Item& item) {
  Walked& walked = walk_.back();
  const bool failed = !walked.folder->listedWhole();
  if (failed) {
    item.path = std::move(walked.path);
    item.failure = ErrorNumber::kDeviceIoError;
  }
  walk_.pop_back();
  return failed;
}

bool Inputs::nextFromWalk(Item& item) {
  while (!walk_.empty()) {
    Walked& walked = walk_.back();
    Folder& folder = *walked.folder;
    if (walked.nextEntry == folder.entryCount()) {
      if (leaveFolder(item)) return true;
      continue;
    }
    const std::size_t index = walked.nextEntry++;
    const std::string& name = folder.name(index);
    joinPath(scratch_, walked.path, name);
    if (folder.isSubfolder(index)) {
      // `folder` and `name` stay valid: walk_ has room reserved for the deepest walk.
      const Entered entered = enterFolder(&folder, index, scratch_, item);
      if (entered == Entered::kFailed) return true;
      if (entered == Entered::kYes) continue;
      // No longer a folder: taken for what it is now.
    }
    if ((options_.allFiles || endsWithWav(name)) && folder.isFileToProbe(index)) {
      item.path.assign(scratch_);
      item.failure = ErrorNumber::kNone;
      return true;
    }
  }
  return false;
}

}  // namespace pelorin::cli
