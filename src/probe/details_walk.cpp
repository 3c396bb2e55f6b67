// The details' walk over the chunk headers: the iterator of chunk_iterator.h with the details'
// policy on top (sizes from the ds64 table, missing pad bytes, identifiers that are not
// printable, chunks met twice, empty data chunks, the limit on chunks), and the one place where
// a chunk's body is handed to the reader of its kind.
#include <algorithm>

#include "probe/chunk_bodies.h"
#include "probe/detail_parts.h"

namespace pelorin::detail {

namespace {

// How far a walk that meets an identifier that is not printable looks for bytes that are not
// zero before it calls the rest padding.
constexpr std::int64_t kZeroTailLook = 64 * 1024;

// Chunks that count once: a second one is a duplicate, and the first one counts.
constexpr std::string_view kSingleChunks[] = {"fmt ", "data", "fact", "ds64", "bext",
                                              "cue ", "smpl", "inst", "acid", "iXML",
                                              "axml", "chna", "cart", "PEAK", "MD5 "};
// Chunks that may come any number of times; with the ones above, the chunks a walk knows.
constexpr std::string_view kRepeatableChunks[] = {"LIST", "JUNK", "PAD ", "FLLR", "id3 ", "_PMX"};

std::string_view idOf(const WalkedChunk& chunk) {
  return {chunk.id.data(), chunk.id.size()};
}

bool isPlaceholder(std::uint64_t size) {
  return size == 0 || size == kAllOnes;
}

class ReaderHeaders final : public ChunkHeaderSource {
 public:
  explicit ReaderHeaders(Reader& reader) : reader_(reader) {}
  bool read(std::int64_t offset, char* out, std::size_t count) override {
    return reader_.read(offset, out, count);
  }

 private:
  Reader& reader_;
};

// One walk: the iterator over the file's headers and what the walk fills in.
struct Walk {
  Walk(Reader& r, WaveDetails& details, Found& f, const ChunkLayout& l, std::int64_t first)
      : reader(r),
        d(details),
        found(f),
        layout(l),
        headers(r),
        it(l, headers, first, d.fileLength) {}

  Reader& reader;
  WaveDetails& d;
  Found& found;
  ChunkLayout layout;
  ReaderHeaders headers;
  ChunkIterator it;
  std::int64_t nonZeroAt = 0;  // a byte known not to be zero, or 0
};

// The offset of the first byte that is not zero from `from` on, looking as far as
// kZeroTailLook; `end` where there is none.
std::int64_t firstNonZero(Reader& reader, std::int64_t from, std::int64_t end) {
  char block[4096];
  for (std::int64_t offset = from; offset < std::min(end, from + kZeroTailLook);) {
    const auto count = static_cast<std::size_t>(std::min<std::int64_t>(4096, end - offset));
    if (!reader.read(offset, block, count)) return offset;
    const char* nonZero = std::find_if(block, block + count, [](char c) { return c != 0; });
    if (nonZero != block + count) return offset + (nonZero - block);
    offset += static_cast<std::int64_t>(count);
  }
  return end;
}

// Whether the rest of the file from `chunk` on is zeros: padding, not chunks. A byte that is not
// zero found once answers for every header before it.
bool restIsZeros(Walk& walk, const ChunkHeader& chunk) {
  if (walk.nonZeroAt <= chunk.offset) {
    walk.nonZeroAt = firstNonZero(walk.reader, chunk.offset, walk.d.fileLength);
  }
  return walk.nonZeroAt >= walk.d.fileLength;
}

// Whether the header of a known chunk, with a size that fits in the file, starts at `offset`.
bool knownHeaderAt(Walk& walk, std::int64_t offset) {
  ChunkIterator peek(walk.layout, walk.headers, offset, walk.d.fileLength);
  WalkedChunk next;
  if (!peek.next(next) || !next.named || !isKnownChunk(idOf(next))) return false;
  return next.bodySize <= static_cast<std::uint64_t>(walk.d.fileLength - next.bodyOffset);
}

// In RF64 and BW64 a 32-bit size of 0xFFFFFFFF stands for the ds64 chunk's: its data size for
// the data chunk, else its table's entry; the walk then goes on after that size.
void sizeFromDs64(Walk& walk, ChunkHeader& chunk) {
  const std::optional<Ds64>& ds64 = walk.found.ds64;
  if (!isSixtyFour(walk.d.container) || chunk.bodySize != kAllOnes || !ds64) return;
  const std::optional<std::uint64_t> size = ds64SizeOf(*ds64, chunk.id);
  if (!size) return;
  chunk.bodySize = *size;
  chunk.sizeFromDs64 = true;
  walk.it.resumeAt(walk.it.offsetAfter(chunk.bodyOffset, *size));
}

// Whether `chunk` is the first of its kind, or of a kind that may come again; a duplicate is
// recorded.
bool firstOfItsKind(Walk& walk, const ChunkHeader& chunk) {
  const auto single = std::find(std::begin(kSingleChunks), std::end(kSingleChunks), idOf(chunk));
  if (!chunk.named || single == std::end(kSingleChunks)) return true;
  const auto index = static_cast<std::size_t>(single - std::begin(kSingleChunks));
  if (!walk.found.seen[index]) return walk.found.seen.set(index), true;
  walk.d.warn(Warning::kDuplicateChunk, chunk.offset, std::string(idOf(chunk)));
  return false;
}

// Reads the body of `chunk` where a detail needs it: the first of each kind, every LIST.
void readBodyOf(Reader& reader, const ChunkHeader& chunk, WaveDetails& d, Found& found) {
  const std::string_view id = idOf(chunk);
  if (id == "fmt ") {
    found.fmtOffset = chunk.offset;
    readFormat(reader, chunk, d);
  } else if (id == "ds64" && isSixtyFour(d.container)) {
    readDs64(reader, chunk, found);
  } else if (id == "fact") {
    readFact(reader, chunk, found);
  } else if (id == "LIST") {
    readList(reader, chunk, d, found);
  } else if (id == "iXML") {
    readIxml([&reader](auto... read) { return reader.read(read...); }, chunk, d);
  } else if (id == "MD5 ") {
    readMd5Chunk([&reader](auto... read) { return reader.read(read...); }, chunk, d, reader.order);
  } else if (const std::optional<std::size_t> cap = metadataBodyCap(chunk, d)) {
    decodeMetadataBody(chunk, readKeptBody(reader, chunk, *cap, d), reader.order, d);
  }
}

// A data chunk; whether the walk goes on after it. A placeholder size ends the walk: its data
// runs to the end of the file. A size of 0 followed by a known chunk is an empty chunk.
bool takeData(Walk& walk, const ChunkHeader& chunk, bool first) {
  const std::uint64_t size = chunk.bodySize;
  const auto after = static_cast<std::uint64_t>(walk.d.fileLength - chunk.bodyOffset);
  const bool empty = size == 0 && knownHeaderAt(walk, chunk.bodyOffset);
  const bool placeholder = isPlaceholder(size) && !empty;
  if (first) {
    DataChunk& data = walk.d.data.emplace();
    data.offset = chunk.offset;
    data.declared = size;
    data.placeholder = placeholder && after > 0;
    data.present = data.placeholder ? after : std::min(size, after);
  }
  return !placeholder;
}

// The pad byte after an odd body: one that is not 0, or one the writer left out, where the
// header after it is not printable while the one at its place is.
void checkPad(Walk& walk, const ChunkHeader& chunk) {
  const std::int64_t padAt = chunk.bodyOffset + static_cast<std::int64_t>(chunk.bodySize);
  if (walk.layout.alignment != 2 || chunk.bodySize % 2 == 0 || padAt >= walk.d.fileLength) return;
  char bytes[kPadLook];
  walk.reader.read(padAt, bytes, sizeof bytes);
  const std::string id(idOf(chunk));
  if (padByteLeftOut(bytes, walk.d.fileLength - padAt)) {
    walk.d.warn(Warning::kMissingPadByte, padAt, id);
    walk.it.resumeAt(padAt);
  } else if (bytes[0] != 0) {
    walk.d.warn(Warning::kPadByteNotZero, padAt, id);
  }
}

// Takes in one chunk header; whether the walk goes on.
bool visit(Walk& walk, ChunkHeader& chunk) {
  WaveDetails& d = walk.d;
  if (!chunk.guid && !isPrintableId(chunk.id.data())) {
    if (restIsZeros(walk, chunk)) return false;
    d.warn(Warning::kChunkIdNotPrintable, chunk.offset, std::string(idOf(chunk)));
  }
  sizeFromDs64(walk, chunk);
  d.chunks.push_back(chunk);
  const bool first = firstOfItsKind(walk, chunk);
  const auto room = static_cast<std::uint64_t>(d.fileLength - chunk.bodyOffset);
  if (chunk.named && idOf(chunk) == "data") {
    if (!takeData(walk, chunk, first)) return false;
  } else {
    if (chunk.bodySize > room) {
      d.warn(Warning::kChunkRunsPastEnd, chunk.offset, chunkIdText(chunk), room, chunk.bodySize);
    }
    if (first && chunk.named) readBodyOf(walk.reader, chunk, d, walk.found);
  }
  if (chunk.bodySize > room) return false;
  checkPad(walk, chunk);
  return true;
}

}  // namespace

bool isPrintableId(const char* id) {
  return std::all_of(id, id + 4, [](char c) { return c >= 0x20 && c <= 0x7E; });
}

bool isKnownChunk(std::string_view id) {
  const auto has = [&](const auto& ids) { return std::find(std::begin(ids), std::end(ids), id); };
  return has(kSingleChunks) != std::end(kSingleChunks) ||
         has(kRepeatableChunks) != std::end(kRepeatableChunks);
}

bool isSixtyFour(Container container) {
  return container == Container::kRf64 || container == Container::kBw64;
}

std::optional<std::uint64_t> ds64SizeOf(const Ds64& ds64, const std::array<char, 4>& id) {
  if (isId(id, "data")) return ds64.dataSize;
  for (const auto& [tableId, entry] : ds64.table) {
    if (tableId == id) return entry;
  }
  return std::nullopt;
}

bool padByteLeftOut(const char* bytes, std::int64_t left) {
  const bool headerAtPad = left >= 8 && isPrintableId(bytes);
  const bool headerAfterPad = left >= 9 && isPrintableId(bytes + 1);
  return headerAtPad && !headerAfterPad;
}

ChunkLayout layoutOf(Container container) {
  if (container == Container::kRifx) return kRifxLayout;
  if (container == Container::kWave64) return kWave64Layout;
  return kRiffLayout;
}

std::int64_t firstChunkOffset(Container container) {
  return container == Container::kWave64 ? 40 : 12;
}

void walkChunks(Reader& reader, WaveDetails& d, Found& found) {
  Walk walk(reader, d, found, layoutOf(d.container), firstChunkOffset(d.container));
  while (true) {
    if (d.chunks.size() == kMaxDetailChunks) {
      d.chunkLimitReached = !walk.it.atEnd();
      if (d.chunkLimitReached) d.warn(Warning::kChunkLimitReached, walk.it.offset());
      return;
    }
    ChunkHeader chunk;
    if (!walk.it.next(chunk) || !visit(walk, chunk)) return;
  }
}

}  // namespace pelorin::detail
