#include "support.h"

#include <dirent.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "runtime/memory_file_system.h"
#include "wave_builder.h"

namespace pelorin::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pelorin-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::operator/(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

std::string TempDir::write(std::string_view name, std::string_view bytes) const {
  const std::string path = *this / name;
  writeFile(path, bytes);
  return path;
}

int RecordingSink::show(PromptView prompt, std::int32_t buttons,
                        std::optional<std::string_view> title) {
  boxes.push_back({std::string(prompt.text),
                   std::vector<std::size_t>(prompt.lineBreaks.begin(), prompt.lineBreaks.end()),
                   buttons,
                   title ? std::optional<std::string>(std::string(*title)) : std::nullopt});
  return kOkAnswer;
}

namespace {

ProbeRun probeIn(RuntimeContext& ctx, const RecordingSink& sink, const std::string& path) {
  ProbeRun run;
  run.outcome = probeWaveFile(ctx, path);
  run.result = run.outcome.result;
  run.boxes = sink.boxes;
  return run;
}

}  // namespace

ProbeRun probe(const std::string& path) {
  RecordingSink sink;
  RuntimeContext ctx(sink);
  return probeIn(ctx, sink, path);
}

ProbeRun probeBytes(std::string bytes) {
  const std::string path = "/memory/file.wav";
  MemoryFileSystem files;
  files.add(path, std::move(bytes));
  RecordingSink sink;
  RuntimeContext ctx(sink, files);
  return probeIn(ctx, sink, path);
}

int openDescriptorCount() {
  int count = 0;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc/self/fd"), ::closedir);
  while (const dirent* entry = ::readdir(dir.get())) {
    if (entry->d_name[0] != '.') ++count;
  }
  return count - 1;  // the descriptor of the listing itself
}

}  // namespace pelorin::testing
