#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "probe/chunk_walk.h"
#include "runtime/file.h"
#include "runtime/little_endian.h"
#include "runtime/memory_file_system.h"
#include "runtime/number_text.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::probe;
using testing::probeBytes;
using testing::TempDir;

std::string idText(const FixedText<4>& id) {
  return std::string(id.view());
}

TEST(Probe, CanonicalFileLastsExactlyOneSecond) {
  const auto run = probeBytes(canonicalWave());
  EXPECT_EQ(run.result, 1.0);
  EXPECT_EQ(run.outcome.report, Report::kInformation);
  const SondurValues& v = run.outcome.values;
  EXPECT_EQ(idText(v.riffId), "RIFF");
  EXPECT_EQ(idText(v.formType), "WAVE");
  EXPECT_EQ(idText(v.fmtId), "fmt ");
  EXPECT_EQ(v.fmtChunkLength, 16);
  EXPECT_EQ(v.formatTag, 1);
  EXPECT_EQ(v.channels, 2);
  EXPECT_EQ(v.sampleRate, 44100);
  EXPECT_EQ(v.bitsPerSample, 16);
  EXPECT_EQ(v.dataSize, 176400u);
}

TEST(Probe, FortyFourBytesIsTooShortAndFortyFiveIsRead) {
  const std::string header = canonicalWave(0);
  ASSERT_EQ(header.size(), 44u);
  EXPECT_EQ(probeBytes(header).outcome.report, Report::kTooShort);
  const auto run = probeBytes(header + '\0');
  EXPECT_EQ(run.outcome.report, Report::kInformation);
  EXPECT_EQ(run.result, 0);
}

TEST(Probe, ExtensibleFormatChunkPutsDataAtSixtyOne) {
  const std::string bytes = WaveBuilder().fmt(0xFFFE, 2, 48000, 24, 24).data(288000).bytes();
  ASSERT_EQ(bytes.substr(60, 4), "data");
  const auto run = probeBytes(bytes);
  EXPECT_EQ(run.outcome.values.formatTag, -2);
  EXPECT_EQ(run.outcome.values.fmtChunkLength, 40);
  EXPECT_EQ(run.result, 1.0);
}

TEST(Probe, IdentifiersDifferingInCaseOrOneCharacterAreInvalid) {
  const std::string wave[] = {
      WaveBuilder().riffId("riff").fmt(1, 1, 8000, 8).data(8).bytes(),
      WaveBuilder().riffId("RIFX").fmt(1, 1, 8000, 8).data(8).bytes(),
      WaveBuilder().formType("wave").fmt(1, 1, 8000, 8).data(8).bytes(),
      WaveBuilder().formType("WAVF").fmt(1, 1, 8000, 8).data(8).bytes(),
      WaveBuilder().chunk("FMT ", std::string(16, '\1')).data(8).raw(std::string(8, '\0')).bytes(),
  };
  for (const std::string& bytes : wave) {
    const auto run = probeBytes(bytes);
    EXPECT_EQ(run.outcome.report, Report::kInvalidIdentifier) << bytes.substr(0, 16);
    EXPECT_EQ(run.result, 0);
  }
}

TEST(Probe, MissingFormatChunkReadsTheIdentifierAfterTheFormType) {
  const auto run = probeBytes(WaveBuilder().chunk("junk", std::string(40, 'j')).bytes());
  EXPECT_EQ(run.outcome.report, Report::kInvalidIdentifier);
  EXPECT_EQ(idText(run.outcome.values.fmtId), "junk");
}

TEST(Probe, MissingFileOpensNothingAndReturnsZero) {
  TempDir dir;
  const int before = testing::openDescriptorCount();
  const auto run = probe(dir / "missing.wav");
  EXPECT_EQ(run.outcome.report, Report::kOpenFailure);
  EXPECT_EQ(run.outcome.errorNumber, 53);
  EXPECT_EQ(run.outcome.errorDescription, "File not found");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(testing::openDescriptorCount(), before);
}

TEST(Probe, DataSizeIsUnsigned) {
  TempDir dir;
  const std::uint32_t threeGiB = 3u << 30;
  const std::string path =
      dir.write("big.wav", WaveBuilder().fmt(1, 2, 44100, 16).bytes() + "data" + le32(threeGiB));
  testing::extendTo(path, 44 + std::int64_t{threeGiB});
  const auto run = probe(path);
  EXPECT_EQ(run.outcome.values.dataSize, threeGiB);
  EXPECT_DOUBLE_EQ(run.result, threeGiB / 176400.0);
  EXPECT_NE(run.boxes.at(0).prompt.find("Number of  samples = 3221225472\r\n"), std::string::npos);
}

TEST(Probe, FilesOverFourGiBAreProbedLikeAnyOther) {
  TempDir dir;
  const std::string path = dir.write("huge.wav", canonicalWave(176400));
  testing::extendTo(path, std::int64_t{5} << 30);
  const auto run = probe(path);
  EXPECT_EQ(run.outcome.report, Report::kInformation);
  EXPECT_EQ(run.result, 1.0);
}

TEST(Probe, IdentifiersInsideAnEarlierChunkDoNotCount) {
  // "metadata" in a LIST chunk ahead of the real chunks would be found first by a plain search.
  const auto run = probeBytes(WaveBuilder()
                                  .chunk("LIST", "INFOICMT\x0a\0\0\0metadata!\0")
                                  .fmt(1, 2, 44100, 16)
                                  .data(176400)
                                  .bytes());
  EXPECT_EQ(run.outcome.values.dataSize, 176400u);
  EXPECT_EQ(run.result, 1.0);
}

TEST(Probe, ChunksAreFoundPastTheFirstHundredBytesAndPastTheFirstRead) {
  for (std::size_t junk : {602u, 5000u, 100001u}) {  // a bext chunk's size, then larger
    const auto run = probeBytes(WaveBuilder()
                                    .chunk("bext", std::string(junk, 'b'))
                                    .fmt(1, 1, 8000, 8)
                                    .chunk("LIST", std::string(junk, 'l'))
                                    .data(16000)
                                    .bytes());
    EXPECT_EQ(run.outcome.values.sampleRate, 8000) << junk;
    EXPECT_EQ(run.outcome.values.dataSize, 16000u) << junk;
    EXPECT_EQ(run.result, 2.0) << junk;
  }
}

TEST(Probe, OddSizedChunksAreFollowedByAPadByte) {
  const auto run =
      probeBytes(WaveBuilder().fmt(1, 1, 8000, 8).chunk("note", "abc").data(8000).bytes());
  EXPECT_EQ(run.result, 1.0);
}

TEST(Probe, PadByteIsSkippedWhereNoSearchCouldHideItsLoss) {
  // The data chunk starts at byte 147, beyond the hundred bytes a search falls back on.
  const auto run = probeBytes(
      WaveBuilder().fmt(1, 1, 8000, 8).chunk("note", std::string(101, 'n')).data(8000).bytes());
  EXPECT_EQ(run.outcome.values.dataSize, 8000u);
  EXPECT_EQ(run.result, 1.0);
}

// A chunk "junk" whose body looks like a data header with size 1000 stands ahead of the real
// data header, which the walk finds only when all of its eight bytes are in the file.
TEST(Probe, WalkTakesAHeaderThatEndsAtTheEndOfTheFileAndNoneBeyond) {
  const std::string head =
      WaveBuilder().fmt(1, 1, 8000, 8).chunk("junk", "data" + le32(1000)).bytes();
  const std::string dataHeader = "data" + le32(7);
  struct Case {
    const char* name;
    std::string bytes;
    std::uint32_t dataSize;
  };
  const Case cases[] = {
      {"header ends at the end", head + dataHeader, 7},
      {"header ends a byte past the end", head + dataHeader.substr(0, 7), 1000},
  };
  for (const Case& c : cases) {
    const auto run = probeBytes(c.bytes);
    EXPECT_EQ(run.outcome.values.dataSize, c.dataSize) << c.name;
  }
}

// The probes of one context share their read buffers: what a file does not have must read as
// zero, never as what an earlier, longer file left behind.
TEST(Probe, BytesPastTheEndAreZeroAfterALongerFileInTheSameContext) {
  TempDir dir;
  const std::string longFile = dir.write("long.wav", canonicalWave(0) + std::string(4000, '\xFF'));
  // An 18-byte format chunk puts "data" at byte 39, so its size is read at 43 to 46 of 45 bytes.
  const std::string cut = WaveBuilder().riffSize(37).fmt(1, 1, 8000, 8, 2).bytes() + "data" + "";
  ASSERT_EQ(cut.size(), 45u);
  const std::string shortFile = dir.write("short.wav", cut);
  testing::RecordingSink sink;
  RuntimeContext ctx(sink);
  ProbeOutcome outcome = probeWaveFile(ctx, longFile);
  outcome = probeWaveFile(ctx, shortFile, std::move(outcome));
  EXPECT_EQ(outcome.report, Report::kInformation);
  EXPECT_EQ(outcome.values.dataSize, 0x030201u);
}

TEST(Probe, BrokenChainFallsBackToTheFirstHundredBytes) {
  // A missing pad byte after an odd chunk leaves the walk off by one; "data" is still found by
  // a search of the first hundred bytes.
  const auto run = probeBytes(
      WaveBuilder().fmt(1, 1, 8000, 8).chunkDeclaring("note", 3, "abc", false).data(8000).bytes());
  EXPECT_EQ(run.outcome.values.dataSize, 8000u);
  EXPECT_EQ(run.result, 1.0);
}

TEST(Probe, DataFoundNowhereLeavesTheSizeAndTheLengthAtZero) {
  const std::string bytes =
      WaveBuilder().fmt(1, 1, 8000, 8).chunk("junk", std::string(40, 'j')).bytes();
  const auto run = probeBytes(bytes);
  EXPECT_EQ(run.outcome.report, Report::kInformation);
  EXPECT_EQ(run.outcome.values.dataSize, 0u);
  EXPECT_EQ(run.result, 0.0);
  EXPECT_NE(run.outcome.prompt.text.find("Number of  samples = 0\r\nLength = 0 seconds."),
            std::string::npos);
}

TEST(Probe, WalkExaminesAtMostTheLimitOfHeaders) {
  auto withEmptyChunks = [](int count) {
    WaveBuilder builder;
    builder.fmt(1, 1, 8000, 8);
    for (int i = 1; i < count; ++i) builder.chunk("none", "");
    return builder.data(8000).bytes();
  };
  // fmt, 1022 empty chunks and data: data is the 1024th header.
  EXPECT_EQ(probeBytes(withEmptyChunks(1023)).outcome.values.dataSize, 8000u);
  // One more pushes it past the limit; the hundred-byte search does not reach it either.
  const auto beyond = probeBytes(withEmptyChunks(1024));
  EXPECT_EQ(beyond.outcome.report, Report::kInformation);
  EXPECT_NE(beyond.outcome.values.dataSize, 8000u);
}

TEST(Probe, WalkStopsAtTheFirstFailedRead) {
  WaveBuilder empties;
  for (int i = 0; i < 100; ++i) empties.chunk("none", "");
  const std::string bytes = empties.fmt(1, 1, 8000, 8).data(8).bytes();
  MemoryFileSystem files;
  files.addFailing("/f.wav", bytes, 200);
  testing::RecordingSink sink;
  RuntimeContext ctx(sink, files);
  OnErrorResumeNext resumeNext(ctx);
  FileOpen(ctx, 1, "/f.wav", OpenMode::kBinary);
  const ChunkPositions found = WalkChunks(ctx, 1, static_cast<std::int64_t>(bytes.size()));
  EXPECT_EQ(found.fmt, 0);
  EXPECT_NE(ctx.Err.Number, 0);
  EXPECT_EQ(files.readsOf("/f.wav"), 1);  // the head read at the open, which failed
}

TEST(Probe, LengthCountsOnlyTheDataBytesTheFileHolds) {
  for (std::uint32_t declared : {0xFFFFFFFFu, 0x7FFFF000u, 176401u}) {
    const auto run =
        probeBytes(WaveBuilder().fmt(1, 2, 44100, 16).dataDeclaring(declared, 176400).bytes());
    EXPECT_EQ(run.result, 1.0) << declared;
    EXPECT_EQ(run.outcome.values.dataSize, declared);
    EXPECT_NE(run.boxes.at(0).prompt.find("Number of  samples =" + testing::numberText(declared)),
              std::string::npos);
  }
  const auto headerOnly =
      probeBytes(WaveBuilder().fmt(1, 2, 44100, 16).dataDeclaring(1000, 0).raw("x").bytes());
  EXPECT_EQ(headerOnly.result, 1.0 / 176400);
}

TEST(Probe, EveryCutOfAFileGivesExactlyOneReport) {
  const std::string whole = WaveBuilder()
                                .chunk("LIST", "INFOINAM" + le32(16) + "a tone of A-440")
                                .fmt(1, 2, 44100, 16)
                                .data(64)
                                .bytes();
  const std::size_t fmtEnd = whole.find("fmt ") + 4;
  ASSERT_GT(fmtEnd, 45u);
  for (std::size_t length = 0; length <= whole.size(); ++length) {
    const auto run = probeBytes(whole.substr(0, length));
    ASSERT_EQ(run.boxes.size(), 1u) << length;
    const Report expected = length <= 44      ? Report::kTooShort
                            : length < fmtEnd ? Report::kInvalidIdentifier
                                              : Report::kInformation;
    EXPECT_EQ(run.outcome.report, expected) << length;
  }
}

// Reads that reach the file, the head read at the open included, in a probe with details: the
// test, the length, the header and the details share one open. On a disk that fails past its
// first kibibyte, the first failed read is the last: the format identifier, read after the walk
// failed, is left as it was, which makes the box the invalid identifier.
TEST(Probe, AFileIsOpenedOnceAndAFailingDiskReadOnce) {
  const std::string listed =
      WaveBuilder().fmt(1, 2, 44100, 16).chunk("LIST", std::string(2000, 'l')).data(8).bytes();
  const std::string smallBodiesPastTheHead = WaveBuilder()
                                                 .fmt(1, 2, 44100, 16)
                                                 .chunk("JUNK", std::string(1100, '\0'))
                                                 .chunk("inst", std::string(7, 'i'))
                                                 .chunk("acid", std::string(24, 'a'))
                                                 .chunk("smpl", std::string(36, 's'))
                                                 .chunk("cue ", le32(0))
                                                 .data(8)
                                                 .bytes();
  constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
  const struct {
    const char* name;
    std::string bytes;
    std::int64_t failingFrom;
    int reads;
    Report report;
  } cases[] = {
      {"header in the head", canonicalWave(), kNever, 1, Report::kInformation},
      {"failing past the head", listed, kHeadSize, 2, Report::kInvalidIdentifier},
      // The box makes six reads past the head (five headers, then the data's size); the
      // details read the first header again, then the first small body with all after it.
      {"small bodies past the head", smallBodiesPastTheHead, kNever, 9, Report::kInformation},
  };
  for (const auto& c : cases) {
    MemoryFileSystem files;
    files.addFailing("/memory/f.wav", c.bytes, c.failingFrom);
    testing::RecordingSink sink;
    RuntimeContext ctx(sink, files);
    const auto outcome = probeWaveFile(ctx, "/memory/f.wav", {}, WithDetails::kYes);
    EXPECT_EQ(files.readsOf("/memory/f.wav"), c.reads) << c.name;
    EXPECT_EQ(outcome.report, c.report) << c.name;
    ASSERT_TRUE(outcome.details) << c.name;
    EXPECT_EQ(outcome.details->readFailed, c.failingFrom == kHeadSize) << c.name;
  }
}

TEST(Probe, TheFileIsNeitherChangedNorLeftOpen) {
  TempDir dir;
  const std::string bytes = canonicalWave(1000);
  const std::string path = dir.write("keep.wav", bytes);
  const std::filesystem::path file(std::u8string(path.begin(), path.end()));
  const auto modified = std::filesystem::last_write_time(file);
  const int descriptors = testing::openDescriptorCount();
  for (int i = 0; i < 100; ++i) probe(path);
  EXPECT_EQ(testing::openDescriptorCount(), descriptors);
  EXPECT_EQ(std::filesystem::last_write_time(file), modified);
  EXPECT_EQ(std::filesystem::file_size(file), bytes.size());
}

}  // namespace
}  // namespace pelorin
