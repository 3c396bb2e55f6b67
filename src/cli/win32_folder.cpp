#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "cli/folder.h"
#include "runtime/win32_file_system.h"
#include "runtime/win32_text.h"

namespace pelorin::cli {

namespace {

// An open folder listing, closed when it goes.
class Listing {
 public:
  explicit Listing(HANDLE find) : find_(find) {}
  ~Listing() {
    if (*this) ::FindClose(find_);
  }
  Listing(const Listing&) = delete;
  Listing& operator=(const Listing&) = delete;

  HANDLE get() const { return find_; }
  explicit operator bool() const { return find_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE find_;
};

// `path` (UTF-8 or WTF-8) as the system takes it, with `tail` added; nothing when it cannot be.
std::optional<std::wstring> systemPath(const std::string& path, std::wstring_view tail = L"") {
  std::optional<std::wstring> wide = toWide(path);
  if (!wide) return std::nullopt;
  wide->append(tail);
  return systemPathOf(std::move(*wide));
}

bool endsInSeparator(std::string_view path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/' || path.back() == ':');
}

// A folder listed with FindFirstFileExW, whose entries come with their attributes: nothing
// needs a second look. Subfolders are listed by their paths.
class Win32Folder final : public Folder {
 public:
  // Lists the folder `path`; the error number of its report when it cannot.
  ErrorNumber list(const std::string& path);

  std::size_t entryCount() const override { return entries_.size(); }
  const std::string& name(std::size_t index) const override { return entries_[index].name; }
  bool listedWhole() const override { return listedWhole_; }
  bool isSubfolder(std::size_t index) override;
  bool isFileToProbe(std::size_t index) override {
    return !(entries_[index].attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  OpenedFolder openSubfolder(std::size_t, const std::string& path) override {
    return openFolder(path);
  }

 private:
  struct Entry {
    std::string name;
    DWORD attributes;
    DWORD reparseTag;  // where attributes hold FILE_ATTRIBUTE_REPARSE_POINT
  };

  void add(const WIN32_FIND_DATAW& found);

  std::vector<Entry> entries_;
  bool listedWhole_ = true;
};

ErrorNumber Win32Folder::list(const std::string& path) {
  const std::optional<std::wstring> pattern =
      systemPath(path, endsInSeparator(path) ? L"*" : L"\\*");
  if (!pattern) return ErrorNumber::kBadFileNameOrNumber;
  WIN32_FIND_DATAW found;
  const Listing listing(::FindFirstFileExW(pattern->c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH));
  if (!listing) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return ErrorNumber::kNone;  // a drive with no entries
    // A folder that may not be read is denied, though folders otherwise get the report of a
    // path that is not a file.
    if (error == ERROR_ACCESS_DENIED) return ErrorNumber::kPermissionDenied;
    return openFailure(error, *pattern);
  }
  do {
    add(found);
  } while (::FindNextFileW(listing.get(), &found));
  listedWhole_ = ::GetLastError() == ERROR_NO_MORE_FILES;
  std::sort(entries_.begin(), entries_.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return ErrorNumber::kNone;
}

void Win32Folder::add(const WIN32_FIND_DATAW& found) {
  const std::wstring_view name = found.cFileName;
  if (name == L"." || name == L"..") return;
  entries_.push_back({toUtf8(name), found.dwFileAttributes, found.dwReserved0});
}

bool Win32Folder::isSubfolder(std::size_t index) {
  const Entry& entry = entries_[index];
  if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (!(entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  // Junctions, symbolic links and mounted folders stand for another folder and are not
  // followed; other reparse points (a cloud provider's placeholders) are folders of their own.
  // A tag of 0 is none the system gives: a listing that did not say is taken for a link.
  return entry.reparseTag != 0 && !IsReparseTagNameSurrogate(entry.reparseTag);
}

}  // namespace

OpenedFolder openFolder(const std::string& path) {
  auto folder = std::make_unique<Win32Folder>();
  const ErrorNumber failure = folder->list(path);
  if (failure != ErrorNumber::kNone) return {nullptr, failure};
  return {std::move(folder), ErrorNumber::kNone};
}

bool isFolder(const std::string& path) {
  const std::optional<std::wstring> system = systemPath(path);
  if (!system) return false;
  const DWORD attributes = ::GetFileAttributesW(system->c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void joinPath(std::string& out, const std::string& folder, std::string_view name) {
  out.assign(folder);
  // The separator the folder's path already uses, so that a path keeps one style: C:/a/b.wav,
  // C:\a\b.wav. None after a drive alone: C:b.wav is b.wav in the drive's current folder.
  if (!endsInSeparator(out)) {
    const std::size_t last = out.find_last_of("\\/");
    out.push_back(last == std::string::npos ? '\\' : out[last]);
  }
  out.append(name);
}

}  // namespace pelorin::cli
