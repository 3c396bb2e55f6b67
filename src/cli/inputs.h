#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/folder.h"
#include "cli/options.h"
#include "cli/standard_input.h"
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
  /// The command line's "-": standard input, whatever a file named "-" may hold.
  bool standardInput = false;
};

/// Reads paths from a file list: one per line, or separated by NUL bytes. Its memory is one
/// fixed buffer, whatever the list holds.
class PathList {
 public:
  /// What next() found.
  enum class Found { kEnd, kPath, kTooLong };

  /// Opens `name` ("-" for standard input); false when it cannot, with the reason in error(). A
  /// list that is the file `output` writes to is refused too, as it would grow while it is read.
  bool open(const std::string& name, char separator, std::optional<FileId> output);

  /// The next non-empty path: kPath. A path longer than the system takes (kLongestPath bytes) is
  /// never held whole: `path` gets its first kLongestPath bytes, the rest is read past up to the
  /// next separator, and the answer is kTooLong. kEnd at the end of the list or on a read error
  /// (see error()). Where kListLinesMayEndInCrLf, a line's CR before its LF is left out.
  Found next(std::string& path);
  /// The system's reason the list could not be opened or read; empty while none.
  const std::string& error() const { return error_; }
  /// The list's name as given.
  const std::string& name() const { return name_; }

 private:
  bool fill();
  void skipPastSeparator();
  void assignLine(std::string& path, const char* start, std::size_t length) const;

  std::unique_ptr<InputStream> input_;
  std::string name_;
  char separator_ = '\n';
  // 64 KiB, or more where the system's paths are longer: a whole path and its separator fit.
  std::vector<char> buffer_ = std::vector<char>(std::max<std::size_t>(64 * 1024, kLongestPath + 2));
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
  std::string error_;
};

/// The items of a run, in order: the paths named on the command line, then those of each file
/// list in turn. With -r a folder is walked depth first: its entries in byte order of their names,
/// a subfolder where its name falls in that order, hidden entries included; the regular files whose
/// names end in ".wav" in any letter case (every regular file with --all-files), and symbolic links
/// to such files. Symbolic links to folders are not followed inside a walk.
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

  /// `standardInput` is what the command line's "-" reads.
  explicit Inputs(const Options& options, StandardInput& standardInput = systemStandardInput())
      : options_(options), standardInput_(standardInput) {
    walk_.reserve(kMaxWalkDepth);
  }
  Inputs(const Inputs&) = delete;
  Inputs& operator=(const Inputs&) = delete;

  /// Opens the first file list, if any; false when it cannot be opened (see failedList()). Each
  /// list is opened when the one before is done, so that one list at a time holds a descriptor
  /// and a buffer. A list that is the file `output` writes to is refused as it is opened.
  bool open(std::optional<FileId> output = std::nullopt);
  /// The next item; false at the end (or when a file list could no longer be read).
  bool next(Item& item);
  /// The list that could not be opened or read, with the system's reason; null while none. Such
  /// a list ends the run: the lists after it are not read.
  const PathList* failedList() const;
  /// What the command line's "-" reads.
  StandardInput& standardInput() const { return standardInput_; }

 private:
  // One folder down the walk's current path.
  struct Walked {
    std::string path;
    std::unique_ptr<Folder> folder;
    std::size_t nextEntry = 0;
  };
  enum class Entered { kYes, kFailed, kNotAFolder };

  bool nextNamedPath(Item& item);
  bool nextListedPath(Item& item);
  // Opens the next list given in place of the last; false when there is none or it cannot be
  // opened.
  bool openNextList();
  // Starts walking the subfolder at `index` of `parent`, or the folder `path` itself when
  // `parent` is null (a path named by the user, which may be a link). A folder that cannot be
  // opened or listed becomes `item`: kFailed. kNotAFolder when the entry is no longer a folder.
  Entered enterFolder(Folder* parent, std::size_t index, const std::string& path, Item& item);
  bool nextFromWalk(Item& item);
  // Leaves the folder whose entries are done; true when that gives `item`, the report of a
  // listing that failed part way.
  bool leaveFolder(Item& item);

  const Options& options_;
  StandardInput& standardInput_;
  std::size_t nextArg_ = 0;
  std::unique_ptr<PathList> list_;  // the list being read
  std::size_t nextList_ = 0;        // in options_.filesFrom
  std::optional<FileId> output_;
  std::vector<Walked> walk_;  // never beyond kMaxWalkDepth, so never reallocated
  std::string scratch_;
};

}  // namespace pelorin::cli
