#include "cli/details_reader.h"

namespace pelorin::cli {

namespace {

// A share of a source that someone else keeps too.
class SharedSource final : public ByteSource {
 public:
  explicit SharedSource(std::shared_ptr<ByteSource> source) : source_(std::move(source)) {}

  std::int64_t length() const override { return source_->length(); }
  bool read(std::int64_t offset, char* out, std::size_t count) override {
    return source_->read(offset, out, count);
  }

 private:
  std::shared_ptr<ByteSource> source_;
};

}  // namespace

// Forwards to another file system and keeps a share of the source of the last reopen().
class DetailsReader::RetainingFileSystem final : public FileSystem {
 public:
  explicit RetainingFileSystem(FileSystem& inner) : inner_(inner) {}

  OpenResult open(const std::string& path) override {
    kept_.reset();
    return inner_.open(path);
  }

  OpenResult reopen(const std::string& path) override {
    OpenResult opened = inner_.reopen(path);
    if (!opened.source) return opened;
    kept_ = std::move(opened.source);
    opened.source = std::make_unique<SharedSource>(kept_);
    return opened;
  }

  LengthResult length(const std::string& path) override { return inner_.length(path); }

  // The source of the last reopen() since the last open(), or else what a reopen() of `path`
  // hands over now; the file system keeps no share of it.
  std::shared_ptr<ByteSource> take(const std::string& path) {
    if (kept_) return std::move(kept_);
    return std::shared_ptr<ByteSource>(inner_.reopen(path).source);
  }

 private:
  FileSystem& inner_;
  std::shared_ptr<ByteSource> kept_;
};

DetailsReader::DetailsReader(bool enabled, bool verifyMd5, HashProgress* hashProgress)
    : system_(makeSystemFileSystem()), verifyMd5_(verifyMd5), hashProgress_(hashProgress) {
  if (enabled) retaining_ = std::make_unique<RetainingFileSystem>(*system_);
}

DetailsReader::~DetailsReader() = default;

FileSystem& DetailsReader::fileSystem() {
  if (retaining_) return *retaining_;
  return *system_;
}

const WaveDetails* DetailsReader::read(const std::string& path, const ProbeOutcome& outcome) {
  if (!retaining_ || outcome.report == Report::kOpenFailure) return nullptr;
  const std::shared_ptr<ByteSource> source = retaining_->take(path);
  // A file that opened for the probe and then failed to open again has nothing to read.
  if (!source) return nullptr;
  details_ = readWaveDetails(*source, std::move(details_));
  if (verifyMd5_) verifyDataMd5(*source, details_, hashProgress_);
  return &details_;
}

}  // namespace pelorin::cli
