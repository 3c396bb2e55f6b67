// What a piped file keeps for the probe: a pull loop over the stream keeper, led by the walks
// that will read the file. The box's walk and the details' walk each say which bytes they read
// next; the one that reads the earlier bytes is served first, so the stream is read once, in
// order, and every byte a walk reads is kept.
#include "probe/wave_stream.h"

#include <limits>
#include <optional>
#include <utility>

#include "probe/chunk_walk.h"
#include "probe/detail_parts.h"
#include "probe/ixml.h"
#include "probe/metadata.h"

namespace pelorin {

namespace {

using detail::Found;
using detail::Reader;

constexpr std::int64_t kUnknownEnd = std::numeric_limits<std::int64_t>::max();
// The box reads the format fields from a "fmt " header on: 24 bytes. Every header of its walk
// keeps as many, which spares a step.
constexpr std::uint64_t kBoxHeaderBytes = 24;

// The bytes kept so far, read as a file whose length is known once the stream has ended.
class KeptView final : public ByteSource, public ChunkHeaderSource {
 public:
  explicit KeptView(StreamKeeper& keeper) : keeper_(keeper) {}

  std::int64_t length() const override {
    return keeper_.ended() ? keeper_.position() : kUnknownEnd;
  }
  bool read(std::int64_t offset, char* out, std::size_t count) override {
    return keeper_.copy(offset, out, count);
  }
  // Whether no header of `headerLength` bytes fits at `offset`.
  bool pastEnd(std::int64_t offset, std::int64_t headerLength) const {
    return offset < 0 || offset > length() - headerLength;
  }

 private:
  StreamKeeper& keeper_;
};

// The bytes a walk reads next.
struct Need {
  std::int64_t offset = 0;
  std::uint64_t length = 0;
};

class Cursor {
 public:
  virtual ~Cursor() = default;
  /// The bytes the walk reads next, in the order of their offsets; nothing once it is done.
  virtual std::optional<Need> need() const = 0;
  /// Takes in the bytes need() gave, kept by now.
  virtual void take() = 0;
};

// The box's walk (chunk_walk.cpp): RIFF headers from offset 12, up to kMaxChunkHeaders of
// them, until both "fmt " and "data" are found.
class BoxCursor final : public Cursor {
 public:
  explicit BoxCursor(KeptView& view) : view_(view), it_(kRiffLayout, view, 12, kUnknownEnd) {}

  std::optional<Need> need() const override {
    if (done_ || headers_ == kMaxChunkHeaders || view_.pastEnd(it_.offset(), 8)) return {};
    return Need{it_.offset(), kBoxHeaderBytes};
  }

  void take() override {
    WalkedChunk chunk;
    done_ = !it_.next(chunk);
    ++headers_;
    fmt_ = fmt_ || detail::isId(chunk.id, "fmt ");
    data_ = data_ || detail::isId(chunk.id, "data");
    done_ = done_ || (fmt_ && data_);
  }

 private:
  KeptView& view_;
  ChunkIterator it_;
  int headers_ = 0;
  bool fmt_ = false;
  bool data_ = false;
  bool done_ = false;
};

// The most of a chunk's body the details read: nothing of data, padding and chunks they do not
// decode.
std::uint64_t bodyCapOf(const ChunkHeader& chunk) {
  constexpr std::string_view kDecoded[] = {"fmt ", "fact", "ds64", "bext", "cue ",
                                           "smpl", "inst", "acid", "chna", "cart",
                                           "PEAK", "MD5 ", "LIST", "id3 ", "ID3 "};
  if (!chunk.named) return 0;
  if (detail::isId(chunk.id, "iXML")) return kMaxIxmlBodyBytes;
  for (const std::string_view id : kDecoded) {
    if (detail::isId(chunk.id, id)) return kMaxBodyBytes;
  }
  return 0;
}

// The details' walk (details_walk.cpp), by its rules.
class DetailsCursor final : public Cursor {
 public:
  DetailsCursor(KeptView& view, StreamKeeper& keeper, Container container, ByteOrder order,
                bool hashData)
      : view_(view),
        keeper_(keeper),
        container_(container),
        order_(order),
        layout_(detail::layoutOf(container)),
        it_(layout_, view, detail::firstChunkOffset(container), kUnknownEnd),
        hashData_(hashData) {}

  std::optional<Need> need() const override {
    switch (step_) {
      case Step::kHeader:
        if (headers_ == kMaxDetailChunks || view_.pastEnd(it_.offset(), layout_.headerLength)) {
          return {};
        }
        return Need{it_.offset(), static_cast<std::uint64_t>(layout_.headerLength)};
      case Step::kBody:
        return Need{chunk_.bodyOffset, std::min(chunk_.bodySize, bodyCapOf(chunk_))};
      case Step::kPad:
        return Need{padAt(), detail::kPadLook};
      case Step::kRest:
        return Need{chunk_.offset, kToTheEnd};
      case Step::kDone:
        break;
    }
    return {};
  }

  void take() override {
    switch (step_) {
      case Step::kHeader:
        return takeHeader();
      case Step::kBody:
        if (detail::isId(chunk_.id, "ds64") && detail::isSixtyFour(container_)) readDs64();
        step_ = stepAfterBody();
        return;
      case Step::kPad:
        takePad();
        return;
      case Step::kRest:
      case Step::kDone:
        step_ = Step::kDone;
        return;
    }
  }

 private:
  enum class Step { kHeader, kBody, kPad, kRest, kDone };

  void takeHeader() {
    if (!it_.next(chunk_)) {
      step_ = Step::kDone;
      return;
    }
    ++headers_;
    // After an empty data chunk comes a known chunk; anything else made the data a placeholder,
    // whose bytes run to the end.
    const bool afterEmptyData = std::exchange(emptyData_, false);
    if (afterEmptyData && !(chunk_.named && detail::isKnownChunk(idOf()))) {
      step_ = Step::kDone;
    } else if (!chunk_.guid && !detail::isPrintableId(chunk_.id.data())) {
      // The walk looks for a byte that is not zero, and may go on with any size: keep it all.
      step_ = Step::kRest;
    } else {
      sizeFromDs64();
      step_ = chunk_.named && idOf() == "data" ? takeData() : stepAfterHeader();
    }
  }

  // A data chunk: its bytes are hashed; a placeholder size ends the walk.
  Step takeData() {
    const std::uint64_t size = chunk_.bodySize;
    const bool placeholder = size == detail::kAllOnes;
    if (hashData_ && !hashed_) keeper_.hash(chunk_.bodyOffset, size == 0 ? kToTheEnd : size);
    hashed_ = true;
    if (placeholder) return Step::kDone;
    emptyData_ = size == 0;
    return stepAfterBody();
  }

  void sizeFromDs64() {
    if (!detail::isSixtyFour(container_) || chunk_.bodySize != detail::kAllOnes || !found_.ds64) {
      return;
    }
    const std::optional<std::uint64_t> size = detail::ds64SizeOf(*found_.ds64, chunk_.id);
    if (!size) return;
    chunk_.bodySize = *size;
    it_.resumeAt(it_.offsetAfter(chunk_.bodyOffset, *size));
  }

  void readDs64() {
    Reader reader(view_);
    reader.order = order_;
    detail::readDs64(reader, chunk_, found_);
  }

  Step stepAfterHeader() const {
    return bodyCapOf(chunk_) > 0 && chunk_.bodySize > 0 ? Step::kBody : stepAfterBody();
  }

  // The pad byte of an odd body is looked at, as the walk may go on from its place.
  Step stepAfterBody() const {
    const bool odd = layout_.alignment == 2 && chunk_.bodySize % 2 == 1;
    const bool fits = chunk_.bodySize < static_cast<std::uint64_t>(kUnknownEnd - chunk_.bodyOffset);
    return odd && fits ? Step::kPad : Step::kHeader;
  }

  void takePad() {
    char bytes[detail::kPadLook];
    view_.read(padAt(), bytes, sizeof bytes);
    const std::int64_t left = view_.length() - padAt();
    if (left > 0 && detail::padByteLeftOut(bytes, left)) it_.resumeAt(padAt());
    step_ = Step::kHeader;
  }

  std::int64_t padAt() const {
    return chunk_.bodyOffset + static_cast<std::int64_t>(chunk_.bodySize);
  }
  std::string_view idOf() const { return {chunk_.id.data(), chunk_.id.size()}; }

  KeptView& view_;
  StreamKeeper& keeper_;
  Container container_;
  ByteOrder order_;
  ChunkLayout layout_;
  ChunkIterator it_;
  bool hashData_;
  Step step_ = Step::kHeader;
  ChunkHeader chunk_;
  Found found_;
  std::size_t headers_ = 0;
  bool hashed_ = false;     // the first data chunk was met
  bool emptyData_ = false;  // the last header was of a data chunk of size 0
};

// The cursor whose next bytes come first; null when every one is done.
Cursor* earliest(Cursor* const (&cursors)[2]) {
  Cursor* first = nullptr;
  std::int64_t firstOffset = kUnknownEnd;
  for (Cursor* cursor : cursors) {
    const std::optional<Need> need = cursor ? cursor->need() : std::nullopt;
    if (need && (!first || need->offset < firstOffset)) {
      first = cursor;
      firstOffset = need->offset;
    }
  }
  return first;
}

}  // namespace

void keepWaveFile(StreamKeeper& keeper, bool hashData) {
  KeptView view(keeper);
  keeper.keep(0, kHeadSize);
  WaveDetails form;
  Reader reader(view);
  const bool wave = detail::readContainer(reader, form);
  BoxCursor box(view);
  std::optional<DetailsCursor> details;
  if (wave) details.emplace(view, keeper, form.container, reader.order, hashData);
  Cursor* const cursors[2] = {&box, details ? &*details : nullptr};
  while (Cursor* next = earliest(cursors)) {
    const Need need = *next->need();
    keeper.keep(need.offset, need.length);
    next->take();
  }
}

OpenedFile readWaveStream(SequentialSource& source, bool hashData) {
  StreamKeeper keeper(source, kMaxStreamKeptBytes);
  keepWaveFile(keeper, hashData);
  return keeper.finish();
}

}  // namespace pelorin
