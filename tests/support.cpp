#include "support.h"

#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>

#include "runtime/memory_file_system.h"
#include "wave_builder.h"

namespace pelorin::testing {

namespace {

namespace fs = std::filesystem;

// The path in UTF-8, as the runtime takes paths (on POSIX systems, its bytes).
std::string utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

TempDir::TempDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder =
        fs::temp_directory_path() / ("pelorin-test-" + std::to_string(random()));
    if (!fs::create_directory(folder)) continue;  // another test's
    fs::permissions(folder, fs::perms::owner_all);
    path_ = utf8Of(folder);
    return;
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(fs::path(std::u8string(path_.begin(), path_.end())), ignored);
}

std::string TempDir::operator/(std::string_view name) const {
  return path_ + static_cast<char>(fs::path::preferred_separator) + std::string(name);
}

std::string TempDir::write(std::string_view name, std::string_view bytes) const {
  const std::string path = *this / name;
  writeFile(path, bytes);
  return path;
}

std::string TempDir::folder(std::string_view name) const {
  const std::string path = *this / name;
  fs::create_directory(fs::path(std::u8string(path.begin(), path.end())));
  return path;
}

InFolder::InFolder(const std::string& folder) : before_(utf8Of(fs::current_path())) {
  fs::current_path(fs::path(std::u8string(folder.begin(), folder.end())));
}

InFolder::~InFolder() {
  std::error_code ignored;
  fs::current_path(fs::path(std::u8string(before_.begin(), before_.end())), ignored);
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

std::string pathText(std::string_view path) {
  std::string text;
  appendPathText(text, path);
  return text;
}

WaveDetails detailsOf(std::string bytes) {
  MemoryFileSystem files;
  files.add("/memory/file.wav", std::move(bytes));
  OpenResult opened = files.open("/memory/file.wav");
  return readWaveDetails(*opened.file);
}

}  // namespace pelorin::testing
