// The chunks --details decodes beyond the format and the tags: their JSON, the warnings they
// give, and the bounds on what is read of them.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/format.h"
#include "probe/details.h"
#include "runtime/memory_file_system.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::detailsOf;

std::string jsonOf(const WaveDetails& details) {
  std::string out;
  cli::FormatScratch scratch;
  cli::appendJsonReport(out, "f.wav", ProbeOutcome{}, scratch, &details);
  return out;
}

std::string codesOf(const WaveDetails& d) {
  std::string codes;
  for (std::size_t i = 0; i < kWarningCount; ++i) {
    if (d.warnings[i]) codes.append(codes.empty() ? "" : " ").append(warningCode(Warning(i)));
  }
  return codes;
}

std::string be32(std::uint32_t value) {
  std::string bytes = le32(value);
  return {bytes.rbegin(), bytes.rend()};
}

// One second of 8-bit mono at 8000 Hz, with `chunks` before its data.
std::string withChunks(const std::string& chunks) {
  return WaveBuilder().fmt(1, 1, 8000, 8).raw(chunks).data(8000).bytes();
}

std::string chunk(std::string_view id, std::string_view body) {
  std::string bytes = std::string(id) + le32(static_cast<std::uint32_t>(body.size()));
  bytes.append(body);
  if (body.size() % 2) bytes.push_back('\0');
  return bytes;
}

std::string cuePoint(std::uint32_t id, std::uint32_t frame) {
  return le32(id) + le32(frame) + "data" + le32(0) + le32(0) + le32(frame);
}

std::string cue(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> points) {
  std::string body = le32(static_cast<std::uint32_t>(points.size()));
  for (const auto& [id, frame] : points) body += cuePoint(id, frame);
  return chunk("cue ", body);
}

std::string adtl(const std::string& entries) {
  return chunk("LIST", "adtl" + entries);
}

std::string smpl(std::uint32_t start, std::uint32_t end) {
  return chunk("smpl", le32(0) + le32(0) + le32(125000) + le32(60) + le32(0x80000000) + le32(0) +
                           le32(0) + le32(1) + le32(0) + le32(1) + le32(0) + le32(start) +
                           le32(end) + le32(0) + le32(0));
}

// A bext chunk of `version` with the UMID's first byte, the loudness values and a history.
std::string bext(std::uint16_t version, char umid, std::array<std::int16_t, 5> loudness,
                 std::string_view history = {}, std::string_view date = "2024-05-01") {
  std::string body(602, '\0');
  std::memcpy(body.data() + 320, date.data(), date.size());
  std::memcpy(body.data() + 346, le16(version).data(), 2);
  body[348] = umid;
  for (std::size_t i = 0; i < loudness.size(); ++i) {
    std::memcpy(body.data() + 412 + 2 * i, le16(static_cast<std::uint16_t>(loudness[i])).data(), 2);
  }
  return chunk("bext", body + std::string(history));
}

// An ID3v2.3 tag of one UTF-16 title (with its byte-order mark) and one picture.
std::string id3Utf16() {
  const std::string title = std::string("\x01\xFF\xFE", 3) + std::string("C\0a\0f\0\xE9\0", 8);
  const std::string frames = "TIT2" + be32(static_cast<std::uint32_t>(title.size())) +
                             std::string(2, '\0') + title + "APIC" + be32(1) +
                             std::string(2, '\0') + "x";
  return chunk("id3 ",
               std::string("ID3\x03\0\0\0\0\0", 9) + static_cast<char>(frames.size()) + frames);
}

TEST(Metadata, EachChunkDecodedAsItsJsonKey) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string json;  // a part of the record
  };
  const std::string labelAndNote = adtl(chunk("note", le32(1) + std::string("a note\0", 7)) +
                                        chunk("labl", le32(1) + std::string("Verse\0", 6)));
  const std::string region =
      adtl(chunk("ltxt", le32(2) + le32(4000) + "rgn " + std::string(8, '\0') + "Chorus"));
  const Case cases[] = {
      {"a label against a note for the same cue", withChunks(cue({{1, 800}}) + labelAndNote),
       "\"markers\":[{\"id\":1,\"frame\":800,\"seconds\":0.1,\"label\":\"Verse\",\"note\":\"a "
       "note\",\"region\":null}]"},
      {"a region", withChunks(cue({{2, 0}}) + region),
       "\"region\":{\"frames\":4000,\"seconds\":0.5,\"purpose\":\"rgn \",\"text\":\"Chorus\"}"},
      {"negative loudness and a range after it",
       withChunks(bext(2, 0, {-2300, 550, -100, 0x7FFF, -1})),
       "\"loudness\":{\"integrated\":-23,\"range\":5.5,\"maxTruePeak\":-1,\"maxMomentary\":null,"
       "\"maxShortTerm\":-0.01}"},
      {"a UMID", withChunks(bext(1, '\x06', {})),
       "\"umid\":\"06" + std::string(126, '0') + "\",\"loudness\":null"},
      {"a coding history of two rows",
       withChunks(bext(1, 0, {}, "A=PCM,F=48000,W=24\r\nA=PCM,F=8000,W=8\r\n")),
       "\"codingHistory\":[\"A=PCM,F=48000,W=24\",\"A=PCM,F=8000,W=8\"],"
       "\"timeReferenceSeconds\":0}"},
      {"a sampler loop", withChunks(smpl(100, 199)),
       "\"sampler\":{\"manufacturer\":0,\"product\":0,\"samplePeriod\":125000,\"unityNote\":60,"
       "\"pitchCents\":50,\"smpteFormat\":0,\"smpteOffset\":0,\"loops\":[{\"cueId\":1,\"type\":"
       "\"forward\",\"start\":100,\"end\":199,\"fraction\":0,\"playCount\":0}]}"},
      {"an inst with negative fine tune",
       withChunks(chunk("inst", std::string_view("\x3C\xF6\x03\x00\x7F\x01\x7F", 7))),
       "\"instrument\":{\"unshiftedNote\":60,\"fineTuneCents\":-10,\"gainDb\":3,\"lowNote\":0,"
       "\"highNote\":127,\"lowVelocity\":1,\"highVelocity\":127}"},
      {"an acid one-shot",
       withChunks(chunk("acid", le32(1) + le16(60) + std::string(6, '\0') + le32(4) + le16(4) +
                                    le16(3) + le32(0x42F10000))),
       "\"acid\":{\"oneShot\":true,\"rootNote\":null,\"beats\":4,\"meter\":\"3/"
       "4\",\"tempo\":120.5}"},
      {"an id3 chunk in UTF-16", withChunks(id3Utf16()),
       "\"id3\":{\"version\":\"2.3.0\",\"frames\":{\"TIT2\":\"Caf\u00E9\"},\"otherFrames\":["
       "\"APIC\"]}"},
      {"a RIFX cue point, big-endian",
       WaveBuilder()
           .riffId("RIFX")
           .raw("cue " + be32(28) + be32(1) + be32(7) + be32(9) + "data" + be32(0) + be32(0) +
                be32(9))
           .bytes(),
       "\"markers\":[{\"id\":7,\"frame\":9,\"seconds\":null,\"label\":null"},
      {"ADM and XMP sizes from their headers, their bodies unread",
       withChunks(chunk("axml", "<a/>") + chunk("_PMX", "<x/>")),
       "\"adm\":{\"tracks\":[],\"axmlBytes\":4},\"cart\":null,\"peak\":null,\"id3\":null,"
       "\"xmp\":{\"bytes\":4}"},
      {"a cart's used timer and its texts at their first NUL",
       withChunks(chunk("cart", "0101" + std::string(680, '\0') + "SEC1" + le32(7) +
                                    std::string(1356, '\0') + "tag")),
       "\"userDef\":\"\",\"levelReference\":0,\"postTimers\":[{\"usage\":\"SEC1\","
       "\"value\":7}],\"url\":\"\",\"tagText\":\"tag\"}"},
      {"an INFO text ends at its first NUL",
       WaveBuilder().listInfo({{"ICMT", std::string_view("a\0b", 3)}}).bytes(),
       "\"info\":{\"ICMT\":\"a\"}"},
  };
  for (const Case& c : cases) {
    const std::string json = jsonOf(detailsOf(c.bytes));
    EXPECT_NE(json.find(c.json), std::string::npos) << c.name << "\n" << json;
  }
}

TEST(Metadata, WarningsAndTheirFindings) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string codes;
    FindingValue expected;
    FindingValue actual;
  };
  const Case cases[] = {
      {"a cue past the end; one at the very end is fine", withChunks(cue({{1, 8000}, {2, 8001}})),
       "cue-past-end", std::uint64_t{8000}, std::uint64_t{8001}},
      {"a loop past the end", withChunks(smpl(0, 8000)), "loop-past-end", std::uint64_t{8000},
       std::uint64_t{8000}},
      {"a loop that starts after it ends", withChunks(smpl(20, 10)), "loop-start-after-end",
       std::uint64_t{10}, std::uint64_t{20}},
      {"a cue ID twice",
       withChunks(cue({{3, 0}, {3, 1}})),
       "duplicate-cue-id",
       {},
       std::uint64_t{3}},
      {"a label without its cue",
       withChunks(adtl(chunk("labl", le32(5) + "x"))),
       "label-without-cue",
       {},
       {}},
      {"a bext of version 0 cut short", withChunks(chunk("bext", std::string(400, '\0'))),
       "bext-too-short", std::uint64_t{602}, std::uint64_t{400}},
      {"a bext version above 2", withChunks(bext(3, 0, {})), "bext-version-unknown",
       std::uint64_t{2}, std::uint64_t{3}},
      {"a bext dated 2024-13-45",
       withChunks(bext(1, 0, {}, {}, "2024-13-45")),
       "bext-date-invalid",
       {},
       {}},
      {"a leap day with other separators is a real date",
       withChunks(bext(1, 0, {}, {}, "2024_02:29")),
       "",
       {},
       {}},
      {"loudness set in a version 1 bext",
       withChunks(bext(1, 0, {-2300})),
       "bext-loudness-before-v2",
       {},
       {}},
      {"a chna track above the channels",
       withChunks(chunk("chna", le16(1) + le16(1) + le16(2) + std::string(38, 'u'))),
       "chna-track-out-of-range", std::uint64_t{1}, std::uint64_t{2}},
  };
  for (const Case& c : cases) {
    const WaveDetails d = detailsOf(c.bytes);
    EXPECT_EQ(codesOf(d), c.codes) << c.name;
    if (c.codes.empty()) continue;
    ASSERT_EQ(d.findings.size(), 1u) << c.name;
    EXPECT_EQ(d.findings[0].expected, c.expected) << c.name;
    EXPECT_EQ(d.findings[0].actual, c.actual) << c.name;
  }
}

// A file of `count` LIST/INFO chunks, each declaring a 1 MiB tag of zeros that is never
// stored: each read past the headers gives zeros, as a sparse file does. With `ixmlLast`, the
// last chunk is a 1 MiB iXML body of letters instead.
class SparseLists final : public ByteSource {
 public:
  explicit SparseLists(int count, bool ixmlLast = false) : count_(count), ixmlLast_(ixmlLast) {}

  std::int64_t length() const override { return 12 + count_ * kChunk; }
  bool read(std::int64_t offset, char* out, std::size_t count) override {
    std::memset(out, 0, count);
    for (std::size_t i = 0; i < count; ++i) out[i] = byteAt(offset + static_cast<std::int64_t>(i));
    reads += count;
    return true;
  }

  std::uint64_t reads = 0;

 private:
  static constexpr std::int64_t kChunk = 8 + (1 << 20);

  char byteAt(std::int64_t offset) const {
    static const std::string riff = "RIFF" + le32(0) + "WAVE";
    if (offset < 12) return riff[static_cast<std::size_t>(offset)];
    static const std::string head = "LIST" + le32(1 << 20) + "INFOICMT" + le32((1 << 20) - 12);
    static const std::string ixmlHead = "iXML" + le32(1 << 20);
    const auto within = static_cast<std::size_t>((offset - 12) % kChunk);
    if (ixmlLast_ && (offset - 12) / kChunk == count_ - 1) {
      return within < ixmlHead.size() ? ixmlHead[within] : 'a';
    }
    return within < head.size() ? head[within] : '\0';
  }

  int count_;
  bool ixmlLast_;
};

TEST(Metadata, BodiesReadWithinTheirBudget) {
  SparseLists file(40);
  const WaveDetails d = readWaveDetails(file);
  EXPECT_EQ(d.chunks.size(), 40u);
  EXPECT_LE(file.reads, kMaxKeptBodyBytes + 40 * 64);  // the bodies kept, and the headers
  // Sixteen bodies of 1 MiB fill the budget: the seventeenth is the first it refuses, and no
  // finding follows it.
  std::vector<std::int64_t> notRead;
  for (const Finding& finding : d.findings) {
    if (finding.code == Warning::kBodyNotRead) notRead.push_back(finding.offset);
  }
  EXPECT_EQ(notRead, std::vector<std::int64_t>{12 + 16 * (8 + (1 << 20))});
  EXPECT_EQ(codesOf(d), "no-fmt-chunk no-data-chunk body-not-read");

  // iXML, though streamed, is read within the same budget.
  SparseLists withIxml(17, true);
  readWaveDetails(withIxml);
  EXPECT_LE(withIxml.reads, kMaxKeptBodyBytes + 17 * 64);
}

// A list, and the findings about its items, stop where the record's allowance does.
TEST(Metadata, ListsWithinTheRecordsAllowance) {
  std::string points = le32(40000);
  for (std::uint32_t i = 0; i < 40000; ++i) points += cuePoint(i, 9000);
  const WaveDetails d = detailsOf(withChunks(chunk("cue ", points)));
  ASSERT_TRUE(d.metadata.markers);
  EXPECT_EQ(d.metadata.markers->size(), kMaxRecordWeight / kItemWeight);
  EXPECT_EQ(codesOf(d), "cue-past-end body-not-read");
  EXPECT_EQ(d.findings.size(), 1u);
}

}  // namespace
}  // namespace pelorin
