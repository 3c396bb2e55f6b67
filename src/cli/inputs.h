#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "runtime/unique_fd.h"

namespace pelorin::cli {

/// One thing to report on: a path to probe, or one that gets the open-failure report at once.
struct Item {
  std::string path;
  /// The system's reason the item cannot be opened, known before any probe: a folder that the
  /// walk could not open or list to its end, a listed path longer than the system takes. 0 for
  /// a path to probe.
  int openErrno = 0;
};

/// Reads paths from a file list: one per line, or separated by NUL bytes. Its memory is one
/// fixed buffer, whatever the list holds.
class PathList {
 public:
  /// What next() found.
  enum class Found { kEnd, kPath, kTooLong };

  /// Opens `name` ("-" for standard input); false with errno set when it cannot.
  bool open(const std::string& name, char separator);

  /// The next non-empty path: kPath. A path longer than the system takes (PATH_MAX bytes) is
  /// never held whole: `path` gets its first PATH_MAX bytes, the rest is read past up to the
  /// next separator, and the answer is kTooLong. kEnd at the end of the list or on a read error
  /// (see error()).
  Found next(std::string& path);
  int error() const { return error_; }

 private:
  bool fill();
  void skipPastSeparator();

  UniqueFd ownFd_;  // the list's descriptor, unless it is standard input
  int fd_ = -1;
  char separator_ = '\n';
  static constexpr std::size_t kBufferSize = 64 * 1024;  // a whole path and its separator fit
  std::vector<char> buffer_ = std::vector<char>(kBufferSize);
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
  int error_ = 0;
};

/// The items of a run, in order: the paths named on the command line, then those of the file
/// list. With -r a folder is walked depth first: its entries in byte order of their names, a
/// subfolder where its name falls in that order, hidden entries included; the regular files
/// whose names end in ".wav" in any letter case (every regular file with --all-files), and
/// symbolic links to such files. Symbolic links to folders are not followed inside a walk.
///
/// A walk never leaves the tree it was given: each subfolder is opened relative to its parent's
/// descriptor without following a link, so a folder swapped for a link while the walk runs is
/// not entered (the files found are still probed by their paths). The walk holds one descriptor
/// per folder down the current path, at most kMaxWalkDepth of them: a folder deeper than that
/// gets the report of a process out of descriptors (EMFILE). A folder whose listing fails part
/// way has the entries read before it walked, then gets one report of its own (EIO).
class Inputs {
 public:
  /// Folders open at once in a walk: deep enough for any real tree (256 levels of 15-byte names
  /// already make a path as long as the system takes, 4,096 bytes), and far within the usual
  /// limit of 1,024 descriptors, so that probes always have descriptors left.
  static constexpr std::size_t kMaxWalkDepth = 256;

  explicit Inputs(const Options& options) : options_(options) { walk_.reserve(kMaxWalkDepth); }
  Inputs(const Inputs&) = delete;
  Inputs& operator=(const Inputs&) = delete;

  /// Opens the file list, if any; false with errno set when it cannot be opened.
  bool open();
  /// The next item; false at the end (or when the file list could no longer be read).
  bool next(Item& item);
  /// The errno of a failed read of the file list; 0 while none has failed.
  int listError() const { return list_ ? list_->error() : 0; }

 private:
  struct Entry {
    std::string name;
    unsigned char type;  // a dirent d_type
  };
  struct Folder {
    std::string path;
    UniqueFd fd;  // its subfolders are opened relative to it
    std::vector<Entry> entries;
    std::size_t nextEntry = 0;
    bool listedWhole = true;  // false when reading its entries failed part way
  };
  enum class Entered { kYes, kFailed, kNotAFolder };

  bool nextNamedPath(Item& item);
  // Starts walking the folder `name` inside the folder open on `parentFd`, or the folder `path`
  // itself when `parentFd` is -1 (a path named by the user, which may be a link). A folder that
  // cannot be opened or listed becomes `item`: kFailed. kNotAFolder when `name` is no longer a
  // folder (it was swapped for a link or a file after its parent was listed).
  Entered enterFolder(int parentFd, const char* name, const std::string& path, Item& item);
  // Reads the entries of `folder` in byte order of their names. Returns 0, or the errno of a
  // listing that could not start; one that fails part way keeps the entries read before.
  static int list(Folder& folder);
  bool nextFromWalk(Item& item);
  // Leaves the folder whose entries are done; true when that gives `item`, the report of a
  // listing that failed part way.
  bool leaveFolder(Item& item);
  bool wanted(int folderFd, const Entry& entry) const;

  const Options& options_;
  std::size_t nextArg_ = 0;
  std::unique_ptr<PathList> list_;
  std::vector<Folder> walk_;  // never beyond kMaxWalkDepth, so never reallocated
  std::string scratch_;
};

}  // namespace pelorin::cli
