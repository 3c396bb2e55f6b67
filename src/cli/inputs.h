#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "runtime/unique_fd.h"

namespace pelorin::cli {

/// One thing to report on: a file to probe, or a folder that could not be read.
struct Item {
  std::string path;
  int folderErrno = 0;  // the system's reason a folder could not be read; 0 for a file
};

/// Reads paths from a file list: one per line, or separated by NUL bytes.
class PathList {
 public:
  /// Opens `name` ("-" for standard input); false with errno set when it cannot.
  bool open(const std::string& name, char separator);

  /// The next non-empty path; false at the end of the list or on a read error (see error()).
  bool next(std::string& path);
  int error() const { return error_; }

 private:
  bool fill();

  UniqueFd ownFd_;  // the list's descriptor, unless it is standard input
  int fd_ = -1;
  char separator_ = '\n';
  std::vector<char> buffer_ = std::vector<char>(64 * 1024);
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
class Inputs {
 public:
  explicit Inputs(const Options& options) : options_(options) {}
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
    std::vector<Entry> entries;
    std::size_t nextEntry = 0;
  };

  bool nextNamedPath(std::string& path);
  // Starts walking `path`; a folder that cannot be read becomes an item of its own.
  bool enterFolder(const std::string& path, Item& item);
  bool nextFromWalk(Item& item);
  bool wanted(const std::string& path, const Entry& entry) const;

  const Options& options_;
  std::size_t nextArg_ = 0;
  std::unique_ptr<PathList> list_;
  std::vector<Folder> walk_;
  std::string scratch_;
};

}  // namespace pelorin::cli
