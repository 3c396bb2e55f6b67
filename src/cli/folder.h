#pragma once

// The folders of a walk (-r) as the system lists them. posix_folder.cpp and win32_folder.cpp
// implement them.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/error.h"

namespace pelorin::cli {

class Folder;

/// What opening a folder for a walk gave: the folder, listed; or the error number of its
/// open-failure report; or neither, when what was listed as a subfolder is no longer one (it was
/// swapped for a link or a file since its parent was listed).
struct OpenedFolder {
  std::unique_ptr<Folder> folder;
  ErrorNumber failure = ErrorNumber::kNone;
};

/// One folder of a walk, listed whole when it is opened: its entries ("." and ".." left out) in
/// byte order of their names, hidden ones included, and what each entry is, looked at without
/// following links to folders.
class Folder {
 public:
  virtual ~Folder() = default;

  virtual std::size_t entryCount() const = 0;
  /// The name of entry `index`, in UTF-8 (WTF-8 on Windows).
  virtual const std::string& name(std::size_t index) const = 0;
  /// False when the listing failed part way: the entries are those read before.
  virtual bool listedWhole() const = 0;

  /// Whether entry `index` is a folder to walk: a folder itself, never a link to one.
  virtual bool isSubfolder(std::size_t index) = 0;
  /// Whether entry `index` is a file to probe: a regular file, or a link that leads to one or
  /// nowhere (the probe then tells that the link is broken).
  virtual bool isFileToProbe(std::size_t index) = 0;
  /// Opens and lists the subfolder at `index`, whose path is `path`, never through a link. When
  /// it is no longer a folder, the entry is taken for what it is now.
  virtual OpenedFolder openSubfolder(std::size_t index, const std::string& path) = 0;
};

/// Opens and lists the folder `path` named by the user, which may be a link to a folder.
OpenedFolder openFolder(const std::string& path);

/// Whether `path` names a folder, through links.
bool isFolder(const std::string& path);

/// Sets `out` to the path of the entry `name` of the folder `folder`.
void joinPath(std::string& out, const std::string& folder, std::string_view name);

}  // namespace pelorin::cli
