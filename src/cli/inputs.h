#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "cli/folder.h"
#include "cli/options.h"
#include "cli/stream.h"
#include "cli/system.h"
#include "runtime/error.h"

namespace pelorin::cli {

/// One thing to report on: a path to probe, or one that gets the open-failure report at once.
struct Item {
  std::string path;
  /// The error number of the item's open-failure report, known before any probe: a folder that
  /// the walk could not open or list to its end, a listed path longer than the system takes.
  /// kNone for a path to probe.
  ErrorNumber failure = ErrorNumber::kNone;
};

/// Reads paths from a file list: one per line, or separated by NUL bytes. Its memory is one
/// fixed buffer, whatever the list holds.
class PathList {
 public:
  /// What next() found.
  enum class Found { kEnd, kPath, kTooLong };

  /// Opens `name` ("-" for standard input); false when it cannot, with the reason in error().
  bool open(const std::string& name, char separator);

  /// The next non-empty path: kPath. A path longer than the system takes (kLongestPath bytes) is
  /// never held whole: `path` gets its first kLongestPath bytes, the rest is read past up to the
  /// next separator, and the answer is kTooLong. kEnd at the end of the list or on a read error
  /// (see error()). Where kListLinesMayEndInCrLf, a line's CR before its LF is left out.
  Found next(std::string& path);
  /// The system's reason the list could not be opened or read; empty while none.
  const std::string& error() const { return error_; }

 private:
  bool fill();
  void skipPastSeparator();
  void assignLine(std::string& path, const char* start, std::size_t length) const;

  std::unique_ptr<InputStream> input_;
  char separator_ = '\n';
  // 64 KiB, or more where the system's paths are longer: a whole path and its separator fit.
  std::vector<char> buffer_ = std::vector<char>(std::max<std::size_t>(64 * 1024, kLongestPath + 2));
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
  std::string error_;
};

/// The items of a run, in order: the paths named on the command line, then those of the file
/// list. With -r a folder is walked depth first: its entries in byte order of their names, a
/// subfolder where its name falls in that order, hidden entries included; the regular files
/// whose names end in ".wav" in any letter case (every regular file with --all-files), and
/// symbolic links to such files. Symbolic links to folders are not followed inside a walk.
///
/// The walk holds one open folder per folder down the current path (on POSIX systems, a
/// descriptor), at most kMaxWalkDepth of them: a folder deeper than that gets the report of a
/// process out of descriptors (67). A folder whose listing fails part way has the entries read
/// before it walked, then gets one report of its own (57).
class Inputs {
 public:
  /// Folders open at once in a walk: deep enough for any real tree (256 levels of 15-byte names
  /// already make a path as long as the system takes, 4,096 bytes), and far within the usual
  /// limit of 1,024 descriptors, so that probes always have descriptors left.
  static constexpr std::size_t kMaxWalkDepth = 256;

  explicit Inputs(const Options& options) : options_(options) { walk_.reserve(kMaxWalkDepth); }
  Inputs(const Inputs&) = delete;
  Inputs& operator=(const Inputs&) = delete;

  /// Opens the file list, if any; false when it cannot be opened (see listError()).
  bool open();
  /// The next item; false at the end (or when the file list could no longer be read).
  bool next(Item& item);
  /// The system's reason the file list could not be opened or read; empty while none.
  const std::string& listError() const { return list_ ? list_->error() : noError_; }

 private:
  // One folder down the walk's current path.
  struct Walked {
    std::string path;
    std::unique_ptr<Folder> folder;
    std::size_t nextEntry = 0;
  };
  enum class Entered { kYes, kFailed, kNotAFolder };

  bool nextNamedPath(Item& item);
  // Starts walking the subfolder at `index` of `parent`, or the folder `path` itself when
  // `parent` is null (a path named by the user, which may be a link). A folder that cannot be
  // opened or listed becomes `item`: kFailed. kNotAFolder when the entry is no longer a folder.
  Entered enterFolder(Folder* parent, std::size_t index, const std::string& path, Item& item);
  bool nextFromWalk(Item& item);
  // Leaves the folder whose entries are done; true when that gives `item`, the report of a
  // listing that failed part way.
  bool leaveFolder(Item& item);

  const Options& options_;
  std::size_t nextArg_ = 0;
  std::unique_ptr<PathList> list_;
  std::vector<Walked> walk_;  // never beyond kMaxWalkDepth, so never reallocated
  std::string scratch_;
  const std::string noError_;
};

}  // namespace pelorin::cli
