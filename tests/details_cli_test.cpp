// --details and --strict: the keys, columns and text block, and what they leave as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <sstream>

#include "cli/format.h"
#include "cli_runner.h"
#include "runtime/memory_file_system.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::runCli;
using testing::TempDir;

WaveDetails detailsOf(std::string bytes) {
  MemoryFileSystem files;
  files.add("/memory/file.wav", std::move(bytes));
  OpenResult opened = files.open("/memory/file.wav");
  return readWaveDetails(*opened.file);
}

// The details' keys of a JSON line, from the first of them to the end of the object.
std::string jsonDetails(const WaveDetails& details) {
  std::string out;
  cli::FormatScratch scratch;
  cli::appendJsonReport(out, "f.wav", ProbeOutcome{}, scratch, &details);
  return out.substr(out.find(",\"container\":"));
}

TEST(DetailsFormat, JsonKeysInOrderWithNullsWhereNothingApplies) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string keys;
  };
  const Case cases[] = {
      // Tags: not UTF-8 (one character per byte), UTF-8 (kept), a NUL inside (kept), and a tag
      // met again (the first stays); a bext text that fills its field has no NUL to end it.
      {"extensible 5.1 with tags",
       WaveBuilder()
           .fmtExtensible(6, 48000, 32, 24, 0x3F)
           .listInfo({{"INAM", std::string_view("Caf\xE9\0\0", 6)},
                      {"IART", "Bj\xC3\xB6rk"},
                      {"ICMT", std::string_view("a\0b\0", 4)},
                      {"INAM", "again"}})
           .bext({.description = "Ol\xE9",
                  .originator = std::string(32, 'o'),
                  .originationDate = "2024-05-01",
                  .originationTime = "12:34:56",
                  .timeReference = 172800000000,
                  .version = 1})
           .data(48)
           .bytes(),
       ",\"container\":\"RIFF\",\"formatCode\":65534,\"formatName\":\"PCM\",\"blockAlign\":24,"
       "\"byteRate\":1152000,\"validBitsPerSample\":24,\"samplesPerBlock\":null,"
       "\"channelMask\":63,"
       "\"channelLayout\":\"FL FR FC LFE BL BR\","
       "\"subFormat\":\"00000001-0000-0010-8000-00aa00389b71\",\"frames\":2,"
       "\"durationSeconds\":4.1666666666666665e-05,\"durationSource\":\"frames\","
       "\"chunks\":[{\"id\":\"fmt \",\"offset\":12,\"size\":40},"
       "{\"id\":\"LIST\",\"offset\":60,\"size\":58},{\"id\":\"bext\",\"offset\":126,\"size\":602},"
       "{\"id\":\"data\",\"offset\":736,\"size\":48}],\"warnings\":[],\"findings\":[],"
       "\"info\":{\"INAM\":\"Caf\u00E9\",\"IART\":\"Bj\u00F6rk\",\"ICMT\":\"a\\u0000b\"},"
       "\"bext\":{\"description\":\"Ol\u00E9\",\"originator\":\"" +
           std::string(32, 'o') +
           "\",\"originatorReference\":\"\",\"originationDate\":\"2024-05-01\","
           "\"originationTime\":\"12:34:56\",\"timeReference\":172800000000,\"version\":1}}\n"},
      {"nothing but a container", std::string("RIFF\x04\0\0\0WAVE", 12),
       ",\"container\":\"RIFF\",\"formatCode\":null,\"formatName\":null,\"blockAlign\":null,"
       "\"byteRate\":null,\"validBitsPerSample\":null,\"samplesPerBlock\":null,"
       "\"channelMask\":null,"
       "\"channelLayout\":null,\"subFormat\":null,\"frames\":null,\"durationSeconds\":null,"
       "\"durationSource\":null,\"chunks\":[],\"warnings\":[\"no-fmt-chunk\",\"no-data-chunk\"],"
       "\"findings\":[{\"code\":\"no-fmt-chunk\",\"offset\":0,\"chunk\":null,\"expected\":null,"
       "\"actual\":null},{\"code\":\"no-data-chunk\",\"offset\":0,\"chunk\":null,"
       "\"expected\":null,\"actual\":null}],\"info\":null,\"bext\":null}\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(jsonDetails(detailsOf(c.bytes)), c.keys) << c.name;
}

TEST(DetailsFormat, TextBlockTellsTheHeadersStory) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      // A recorder that stopped: the data size never written, the RIFF size of an empty file, a
      // partial frame, a duration to round up, and a tag with a line break in it.
      {"a damaged file",
       WaveBuilder()
           .riffSize(36)
           .fmtFields(1, 2, 44100, 176400, 4, 12)
           .listInfo({{"ICMT", "take 1\r\nmic B\0"}})
           .dataDeclaring(0, 176701)
           .bytes(),
       "  Container: RIFF, size 36 (the file is 176780 bytes)\n"
       "  Format: PCM (code 1)\n"
       "  Channels: 2\n"
       "  Sample rate: 44100 Hz\n"
       "  Sample bits: 12 in 16-bit slots\n"
       "  Block align: 4 bytes; byte rate 176400 bytes per second\n"
       "  Data: 176702 bytes at offset 70 (0 declared, a placeholder)\n"
       "  Frames: 44175\n"
       "  Duration: 0:00:01.002\n"
       "  Duration source: frames (whole blocks of the data over the sample rate)\n"
       "  Chunks:\n"
       "    'fmt ' at 12, 16 bytes\n"
       "    'LIST' at 36, 26 bytes\n"
       "    'data' at 70, 0 bytes\n"
       "  Warnings:\n"
       "    size-placeholder: the data size is a placeholder (0 or 0xFFFFFFFF): every byte after "
       "the data header counts\n"
       "      at offset 70 ('data')\n"
       "    riff-size-mismatch: the RIFF size plus 8 is not the file's length\n"
       "      at offset 4: expected 176772, found 36\n"
       "    data-not-frame-aligned: the data is not a whole number of blocks\n"
       "      at offset 70 ('data')\n"
       "  INFO:\n"
       "    ICMT: take 1\u240D\u240Amic B\n"},
      {"extensible 5.1 with a broadcast description",
       WaveBuilder()
           .bext({.description = "Scene 4", .originationDate = "2024-05-01", .version = 1})
           .fmtExtensible(6, 48000, 32, 24, 0x3F)
           .data(48)
           .bytes(),
       "  Container: RIFF, size 718 (the file is 726 bytes)\n"
       "  Format: PCM (code 65534, extensible; subformat 00000001-0000-0010-8000-00aa00389b71)\n"
       "  Channels: 6, layout FL FR FC LFE BL BR (mask 0x3F)\n"
       "  Sample rate: 48000 Hz\n"
       "  Sample bits: 24 valid in 32-bit slots\n"
       "  Block align: 24 bytes; byte rate 1152000 bytes per second\n"
       "  Data: 48 bytes at offset 670 (48 declared)\n"
       "  Frames: 2\n"
       "  Duration: 0:00:00.000\n"
       "  Duration source: frames (whole blocks of the data over the sample rate)\n"
       "  Chunks:\n"
       "    'bext' at 12, 602 bytes\n"
       "    'fmt ' at 622, 40 bytes\n"
       "    'data' at 670, 48 bytes\n"
       "  Warnings: none\n"
       "  bext:\n"
       "    description: Scene 4\n"
       "    originationDate: 2024-05-01\n"
       "    timeReference: 0\n"
       "    version: 1\n"},
      {"a compressed format without its fact chunk",
       WaveBuilder().fmtFields(2, 1, 8000, 4096, 256, 4).dataDeclaring(512, 300).bytes(),
       "  Container: RIFF, size 336 (the file is 344 bytes)\n"
       "  Format: MS ADPCM (code 2)\n"
       "  Channels: 1\n"
       "  Sample rate: 8000 Hz\n"
       "  Sample bits: 4\n"
       "  Block align: 256 bytes; byte rate 4096 bytes per second\n"
       "  Data: 300 bytes at offset 36 (512 declared)\n"
       "  Frames: unknown\n"
       "  Duration: unknown\n"
       "  Duration source: none (the format needs a fact chunk, and there is none)\n"
       "  Chunks:\n"
       "    'fmt ' at 12, 16 bytes\n"
       "    'data' at 36, 512 bytes, past the end of the file\n"
       "  Warnings:\n"
       "    data-truncated: the data chunk declares more bytes than the file holds\n"
       "      at offset 36 ('data'): expected 512, found 300\n"},
  };
  for (const Case& c : cases) {
    std::string text;
    cli::appendTextDetails(text, detailsOf(c.bytes));
    EXPECT_EQ(text, c.text) << c.name;
  }
}

TEST(DetailsFormat, TheLongestDurationIsAClockToo) {
  WaveDetails longest = detailsOf(WaveBuilder().fmt(1, 1, 1, 8).data(4).bytes());
  longest.frames = std::numeric_limits<std::uint64_t>::max();
  longest.durationSeconds = static_cast<double>(*longest.frames);  // 2^64 seconds at 1 Hz
  std::string text;
  cli::appendTextDetails(text, longest);
  EXPECT_NE(text.find("  Duration: 5124095576030431:00:16.000\n"), std::string::npos) << text;
}

TEST(DetailsFormat, TsvColumnsAreEmptyWhereThereIsNoValue) {
  const WaveDetails cut =
      detailsOf(WaveBuilder().fmt(1, 1, 8000, 8).dataDeclaring(8000, 4).bytes());
  const WaveDetails mp3 = detailsOf(WaveBuilder().riffSize(5).fmt(0x55, 1, 8000, 0).bytes());
  std::string out;
  cli::appendTsvHeader(out, true);
  cli::appendTsvReport(out, "a.wav", ProbeOutcome{}, true, &cut);
  cli::appendTsvReport(out, "b.wav", ProbeOutcome{}, true, &mp3);
  cli::appendTsvReport(out, "gone.wav", ProbeOutcome{}, true, nullptr);
  EXPECT_EQ(
      out,
      "path\treport\tformatTag\tchannels\tsampleRate\tbitsPerSample\tdataSize\t"
      "lengthSeconds\tformatName\tframes\tdurationSeconds\twarnings\n"
      "a.wav\topen-failure\t0\t0\t0\t0\t0\t0\tPCM\t4\t0.0005\tdata-truncated\n"
      "b.wav\topen-failure\t0\t0\t0\t0\t0\t0\tMPEG Layer 3\t\t\tno-data-chunk,riff-size-mismatch\n"
      "gone.wav\topen-failure\t0\t0\t0\t0\t0\t0\t\t\t\t\n");
}

class DetailsCli : public ::testing::Test {
 protected:
  TempDir dir;
  const std::string tone = dir.write("tone.wav", canonicalWave());
  const std::string tooShort = dir.write("short.wav", "RIFF");
  const std::string rf64 = dir.write("rf64.wav", WaveBuilder()
                                                     .riffId("RF64")
                                                     .riffSize(0xFFFFFFFF)
                                                     .ds64(36 + 36 + 176400, 176400, 0)
                                                     .fmt(1, 2, 44100, 16)
                                                     .dataDeclaring(0xFFFFFFFF, 176400)
                                                     .bytes());
  const std::string truncated =
      dir.write("cut.wav", WaveBuilder().fmt(1, 2, 44100, 16).dataDeclaring(176400, 400).bytes());
  const std::string missing = dir / "missing.wav";
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> all;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) all.push_back(line);
  return all;
}

TEST_F(DetailsCli, ReportsStayAsTheyWereAndAnOpenFailureGetsNoDetails) {
  const std::vector<std::string> paths = {tone, tooShort, rf64, missing};
  std::vector<std::string> args = {"--json", "--details"};
  args.insert(args.end(), paths.begin(), paths.end());
  const auto detailed = lines(runCli(args).out);
  args.erase(args.begin() + 1);
  const auto plain = lines(runCli(args).out);
  ASSERT_EQ(detailed.size(), 4u);
  ASSERT_EQ(plain.size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string reportKeys = plain[i].substr(0, plain[i].size() - 1);  // without the "}"
    EXPECT_EQ(detailed[i].rfind(reportKeys + ",\"container\":", 0), 0u) << paths[i];
  }
  EXPECT_NE(detailed[2].find("\"report\":\"invalid-identifier\""), std::string::npos);
  EXPECT_NE(detailed[2].find("\"container\":\"RF64\""), std::string::npos);
  EXPECT_NE(detailed[2].find("\"durationSeconds\":1,"), std::string::npos);
  EXPECT_EQ(detailed[3], plain[3]);
}

TEST_F(DetailsCli, TextBlockFollowsTheReportInAOneFileRun) {
  const auto run = runCli({"--details", tone});
  EXPECT_NE(run.out.find("Length = 1 seconds.\n  Container: RIFF, size 176436"), std::string::npos);
  EXPECT_EQ(run.out.back(), '\n');
  EXPECT_EQ(runCli({"--details", missing}).out, runCli({missing}).out);
}

TEST_F(DetailsCli, StrictFailsOnWarningsAndNothingElseChangesTheExitStatus) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
  };
  const Case cases[] = {
      {"a warning without --strict", {"--details", truncated}, 0},
      {"a warning with --strict", {"--details", "--strict", tone, truncated}, 1},
      {"no warning with --strict", {"--strict", "--details", tone}, 0},
      {"another report with --details", {"--details", tone, tooShort}, 1},
      {"an open failure has no warnings to count", {"--details", "--strict", missing}, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(runCli(c.args).status, c.status) << c.name;
}

// The summary above a --strict failure tells why it failed.
TEST_F(DetailsCli, SummaryCountsTheFilesWithWarnings) {
  const auto text = runCli({"--details", "--strict", "--summary", tone, truncated, truncated});
  EXPECT_NE(text.out.find(" 0 invalid-identifier, 2 with warnings, total length "),
            std::string::npos);
  const auto json = runCli({"--json", "--details", "--summary", tone, truncated});
  EXPECT_NE(json.out.find("\"invalidIdentifier\":0,\"withWarnings\":1,"), std::string::npos);
}

// The details are read through the probe's own open file, which is closed once they are read.
TEST_F(DetailsCli, TheProbesFileIsClosedOnceTheDetailsAreRead) {
  testing::RecordingSink sink;
  RuntimeContext ctx(sink);
  const int before = testing::openDescriptorCount();
  for (const std::string& path : {tone, tooShort, rf64}) {
    const ProbeOutcome outcome = probeWaveFile(ctx, path, {}, WithDetails::kYes);
    ASSERT_TRUE(outcome.details) << path;
    EXPECT_EQ(outcome.details->fileLength, std::filesystem::file_size(path)) << path;
    EXPECT_EQ(testing::openDescriptorCount(), before) << path;
  }
  EXPECT_FALSE(probeWaveFile(ctx, missing, {}, WithDetails::kYes).details);
}

}  // namespace
}  // namespace pelorin
