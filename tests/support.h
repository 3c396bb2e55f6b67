#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "probe/sondur.h"
#include "runtime/context.h"
#include "runtime/number_text.h"
#include "runtime/text.h"

namespace pelorin::testing {

/// A folder of its own for one test, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  /// The path of `name` inside the folder.
  std::string operator/(std::string_view name) const;
  /// Writes `bytes` to `name` and returns its path.
  std::string write(std::string_view name, std::string_view bytes) const;
  /// Makes the folder `name` and returns its path.
  std::string folder(std::string_view name) const;

 private:
  std::string path_;
};

/// One message box as a sink received it.
struct ShownBox {
  std::string prompt;
  std::vector<std::size_t> lineBreaks;
  std::int32_t buttons = -1;
  std::optional<std::string> title;
};

/// A message-box sink that keeps every box it is shown.
class RecordingSink : public MessageBoxSink {
 public:
  int show(PromptView prompt, std::int32_t buttons, std::optional<std::string_view> title) override;

  std::vector<ShownBox> boxes;
};

/// Makes `folder` the current folder while it lives, then goes back to the one before.
class InFolder {
 public:
  explicit InFolder(const std::string& folder);
  ~InFolder();
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::string before_;
};

/// One probe of `path` in a fresh context: its result, its outcome and the boxes it showed.
struct ProbeRun {
  double result = -1;
  ProbeOutcome outcome;
  std::vector<ShownBox> boxes;
};
ProbeRun probe(const std::string& path);
/// One probe of a file that holds `bytes`, read from memory.
ProbeRun probeBytes(std::string bytes);

// What differs between systems: support_posix.cpp and support_win32.cpp.

/// How many descriptors (on Windows, handles) this process has open.
int openDescriptorCount();

/// Makes the file `path` `length` bytes long without writing the bytes, sparse where the file
/// system allows it.
void extendTo(const std::string& path, std::int64_t length);

/// The number text of `value`, as appendStr() appends it.
template <typename Number>
std::string numberText(Number value) {
  std::string text;
  appendStr(text, value);
  return text;
}

/// The text of a file name, as appendPathText() appends it.
std::string pathText(std::string_view path);

/// Sets the environment variable `name` to `value` for this process, or removes it.
void setEnvironment(const std::string& name, const std::string& value);
void unsetEnvironment(const std::string& name);

/// The details of a file holding `bytes`, read through the memory file system.
WaveDetails detailsOf(std::string bytes);

}  // namespace pelorin::testing
