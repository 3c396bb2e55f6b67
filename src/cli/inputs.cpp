#include "cli/inputs.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace pelorin::cli {

namespace {

struct CloseFolder {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
// An open folder listing, closed when it goes.
using FolderHandle = std::unique_ptr<DIR, CloseFolder>;

bool endsWithWav(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view tail = name.substr(name.size() - 4);
  return tail[0] == '.' && (tail[1] | 0x20) == 'w' && (tail[2] | 0x20) == 'a' &&
         (tail[3] | 0x20) == 'v';
}

bool isFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void joinPath(std::string& out, const std::string& folder, const std::string& name) {
  out.assign(folder);
  if (out.empty() || out.back() != '/') out.push_back('/');
  out.append(name);
}

// The type of the entry `name` of the folder open on `folderFd`, from the entry itself (a link
// is not followed): for file systems whose listings do not say.
unsigned char typeAt(int folderFd, const std::string& name) {
  struct stat st;
  if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
  if (S_ISDIR(st.st_mode)) return DT_DIR;
  if (S_ISREG(st.st_mode)) return DT_REG;
  if (S_ISLNK(st.st_mode)) return DT_LNK;
  return DT_UNKNOWN;
}

// Opens the folder `name` inside the folder open on `parentFd`, never through a link; or, when
// `parentFd` is -1, the folder `path` as the system finds it.
UniqueFd openFolder(int parentFd, const char* name, const std::string& path) {
  if (parentFd < 0) return UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return UniqueFd(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

bool PathList::open(const std::string& name, char separator) {
  separator_ = separator;
  if (name == "-") {
    fd_ = 0;
    return true;
  }
  ownFd_.reset(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
  fd_ = ownFd_.get();
  return fd_ >= 0;
}

bool PathList::fill() {
  if (atEnd_) return false;
  if (begin_ > 0) {  // keep the unfinished path at the front
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  ssize_t got;
  do {
    got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
  } while (got < 0 && errno == EINTR);
  if (got < 0) error_ = errno;
  if (got <= 0) {
    atEnd_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(got);
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

PathList::Found PathList::next(std::string& path) {
  static_assert(PATH_MAX < kBufferSize);
  for (;;) {
    const char* start = buffer_.data() + begin_;
    const auto* found = static_cast<const char*>(std::memchr(start, separator_, end_ - begin_));
    const std::size_t length = found ? static_cast<std::size_t>(found - start) : end_ - begin_;
    if (length > PATH_MAX) {
      path.assign(start, PATH_MAX);
      if (found) {
        begin_ += length + 1;
      } else {
        skipPastSeparator();
      }
      return Found::kTooLong;
    }
    if (found) {
      path.assign(start, length);
      begin_ += length + 1;
      if (!path.empty()) return Found::kPath;
      continue;
    }
    if (!fill()) {
      // The last path need not end in a separator.
      path.assign(buffer_.data() + begin_, buffer_.data() + end_);
      begin_ = end_;
      return !path.empty() && error_ == 0 ? Found::kPath : Found::kEnd;
    }
  }
}

bool Inputs::open() {
  if (!options_.filesFrom) return true;
  list_ = std::make_unique<PathList>();
  return list_->open(*options_.filesFrom, options_.nulSeparated ? '\0' : '\n');
}

bool Inputs::nextNamedPath(Item& item) {
  item.openErrno = 0;
  if (nextArg_ < options_.paths.size()) {
    item.path.assign(options_.paths[nextArg_++]);
    return true;
  }
  if (!list_) return false;
  const PathList::Found found = list_->next(item.path);
  if (found == PathList::Found::kTooLong) {
    // Shown cut, as no system could open it whole.
    item.path.append("\u2026");
    item.openErrno = ENAMETOOLONG;
  }
  return found != PathList::Found::kEnd;
}

bool Inputs::next(Item& item) {
  for (;;) {
    if (!walk_.empty()) {
      if (nextFromWalk(item)) return true;
      continue;
    }
    if (!nextNamedPath(item)) return false;
    // A named path is probed whatever its name; a folder is walked only when asked to.
    if (!options_.recursive || item.openErrno != 0 || !isFolder(item.path)) return true;
    const std::string root = item.path;
    if (enterFolder(-1, nullptr, root, item) == Entered::kFailed) return true;
  }
}

Inputs::Entered Inputs::enterFolder(int parentFd, const char* name, const std::string& path,
                                    Item& item) {
  Folder folder{path, {}, {}, 0, true};
  int failure = 0;
  if (walk_.size() == kMaxWalkDepth) {
    failure = EMFILE;
  } else if (path.size() >= PATH_MAX) {
    failure = ENAMETOOLONG;  // as the system would answer for any path inside
  } else {
    folder.fd = openFolder(parentFd, name, path);
    if (!folder.fd) failure = errno;
  }
  // A link refused by O_NOFOLLOW, or a file: the system says ENOTDIR, or ELOOP.
  if (parentFd >= 0 && (failure == ENOTDIR || failure == ELOOP)) return Entered::kNotAFolder;
  if (failure == 0) failure = list(folder);
  if (failure != 0) {
    item.path.assign(path);
    item.openErrno = failure;
    return Entered::kFailed;
  }
  walk_.push_back(std::move(folder));
  return Entered::kYes;
}

int Inputs::list(Folder& folder) {
  // The listing reads through a descriptor of its own, so that the folder's stays open after it.
  UniqueFd copy(::fcntl(folder.fd.get(), F_DUPFD_CLOEXEC, 0));
  const FolderHandle dir(copy ? ::fdopendir(copy.get()) : nullptr);
  if (!dir) return errno;
  static_cast<void>(copy.release());  // the listing closes it
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (!entry) break;
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    folder.entries.push_back({std::string(name), entry->d_type});
  }
  folder.listedWhole = errno == 0;
  std::sort(folder.entries.begin(), folder.entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return 0;
}

bool Inputs::wanted(int folderFd, const Entry& entry) const {
  if (!options_.allFiles && !endsWithWav(entry.name)) return false;
  if (entry.type == DT_REG) return true;
  if (entry.type != DT_LNK) return false;
  // A link to a file is probed; so is a dangling one, whose probe tells that it is broken.
  struct stat target;
  return ::fstatat(folderFd, entry.name.c_str(), &target, 0) != 0 || S_ISREG(target.st_mode);
}

bool Inputs::leaveFolder(Item& item) {
  Folder& folder = walk_.back();
  const bool failed = !folder.listedWhole;
  if (failed) {
    item.path = std::move(folder.path);
    item.openErrno = EIO;
  }
  walk_.pop_back();
  return failed;
}

bool Inputs::nextFromWalk(Item& item) {
  while (!walk_.empty()) {
    Folder& folder = walk_.back();
    if (folder.nextEntry == folder.entries.size()) {
      if (leaveFolder(item)) return true;
      continue;
    }
    Entry& entry = folder.entries[folder.nextEntry++];
    joinPath(scratch_, folder.path, entry.name);
    if (entry.type == DT_UNKNOWN) entry.type = typeAt(folder.fd.get(), entry.name);
    if (entry.type == DT_DIR) {
      // `folder` and `entry` stay valid: walk_ has room reserved for the deepest walk.
      const Entered entered = enterFolder(folder.fd.get(), entry.name.c_str(), scratch_, item);
      if (entered == Entered::kFailed) return true;
      if (entered == Entered::kYes) continue;
      // No longer a folder: taken for what it is now.
      entry.type = typeAt(folder.fd.get(), entry.name);
    }
    if (wanted(folder.fd.get(), entry)) {
      item.path.assign(scratch_);
      item.openErrno = 0;
      return true;
    }
  }
  return false;
}

}  // namespace pelorin::cli
