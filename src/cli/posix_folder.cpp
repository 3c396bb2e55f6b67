#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "cli/folder.h"
#include "runtime/posix_file_system.h"
#include "runtime/unique_fd.h"

namespace pelorin::cli {

namespace {

struct CloseListing {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
// An open folder listing, closed when it goes.
using Listing = std::unique_ptr<DIR, CloseListing>;

// The report's error number for a folder that could not be opened or listed: one that may not
// be read is denied, though folders otherwise get the report of a path that is not a file.
ErrorNumber folderFailure(int errnoValue, const std::string& path) {
  if (errnoValue == EACCES || errnoValue == EPERM) return ErrorNumber::kPermissionDenied;
  return openFailure(errnoValue, path);
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

// A folder held open by its descriptor, so that its subfolders are opened relative to it: a
// walk never leaves the tree it was given, even when a folder is swapped for a link meanwhile.
class PosixFolder final : public Folder {
 public:
  explicit PosixFolder(UniqueFd fd) : fd_(std::move(fd)) {}

  // Reads the entries in byte order of their names. Returns 0, or the errno of a listing that
  // could not start; one that fails part way keeps the entries read before.
  int list();

  std::size_t entryCount() const override { return entries_.size(); }
  const std::string& name(std::size_t index) const override { return entries_[index].name; }
  bool listedWhole() const override { return listedWhole_; }
  bool isSubfolder(std::size_t index) override { return typeOf(index) == DT_DIR; }
  bool isFileToProbe(std::size_t index) override;
  OpenedFolder openSubfolder(std::size_t index, const std::string& path) override;

 private:
  struct Entry {
    std::string name;
    unsigned char type;  // a dirent d_type
  };

  unsigned char typeOf(std::size_t index) {
    Entry& entry = entries_[index];
    if (entry.type == DT_UNKNOWN) entry.type = typeAt(fd_.get(), entry.name);
    return entry.type;
  }

  UniqueFd fd_;
  std::vector<Entry> entries_;
  bool listedWhole_ = true;
};

// Lists the folder open on `fd`, whose path is `path`.
OpenedFolder listed(UniqueFd fd, const std::string& path) {
  auto folder = std::make_unique<PosixFolder>(std::move(fd));
  const int failure = folder->list();
  if (failure != 0) return {nullptr, folderFailure(failure, path)};
  return {std::move(folder), ErrorNumber::kNone};
}

int PosixFolder::list() {
  // The listing reads through a descriptor of its own, so that the folder's stays open after it.
  UniqueFd copy(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
  const Listing dir(copy ? ::fdopendir(copy.get()) : nullptr);
  if (!dir) return errno;
  static_cast<void>(copy.release());  // the listing closes it
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (!entry) break;
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries_.push_back({std::string(name), entry->d_type});
  }
  listedWhole_ = errno == 0;
  std::sort(entries_.begin(), entries_.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return 0;
}

bool PosixFolder::isFileToProbe(std::size_t index) {
  const unsigned char type = typeOf(index);
  if (type == DT_REG) return true;
  if (type != DT_LNK) return false;
  // A link to a file is probed; so is a dangling one, whose probe tells that it is broken.
  struct stat target;
  return ::fstatat(fd_.get(), entries_[index].name.c_str(), &target, 0) != 0 ||
         S_ISREG(target.st_mode);
}

OpenedFolder PosixFolder::openSubfolder(std::size_t index, const std::string& path) {
  // As the system would answer for any path inside.
  if (path.size() >= PATH_MAX) return {nullptr, folderFailure(ENAMETOOLONG, path)};
  Entry& entry = entries_[index];
  UniqueFd fd(
      ::openat(fd_.get(), entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  // A link refused by O_NOFOLLOW, or a file: the system says ENOTDIR, or ELOOP.
  if (!fd && (errno == ENOTDIR || errno == ELOOP)) {
    entry.type = typeAt(fd_.get(), entry.name);
    return {};
  }
  if (!fd) return {nullptr, folderFailure(errno, path)};
  return listed(std::move(fd), path);
}

}  // namespace

OpenedFolder openFolder(const std::string& path) {
  if (path.size() >= PATH_MAX) return {nullptr, folderFailure(ENAMETOOLONG, path)};
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return {nullptr, folderFailure(errno, path)};
  return listed(std::move(fd), path);
}

bool isFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void joinPath(std::string& out, const std::string& folder, std::string_view name) {
  out.assign(folder);
  if (out.empty() || out.back() != '/') out.push_back('/');
  out.append(name);
}

}  // namespace pelorin::cli
