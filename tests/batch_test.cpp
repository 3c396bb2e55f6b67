// Many files: walking folders, file lists, one line per file, totals, and several workers.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <sstream>
#include <utility>

#include "cli/options.h"
#include "cli/output.h"
#include "cli/progress.h"
#include "cli/system.h"
#include "cli_runner.h"
#include "library_tree.h"
#include "runtime/number_text.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::inside;
using testing::reportedPaths;
using testing::runCli;
using testing::TempDir;

class Batch : public ::testing::Test {
 protected:
  TempDir dir;
  const std::string lib = testing::makeLibrary(dir);
};

TEST_F(Batch, WalksFoldersDepthFirstInByteOrder) {
  const auto run = runCli({"--tsv", "-r", lib});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(reportedPaths(run.out),
            (std::vector<std::string>{inside(lib, ".h.wav"), inside(lib, ".hidden-sub/y.Wav"),
                                      inside(lib, "B.WAV"), inside(lib, "a.wav"),
                                      inside(lib, "b-sub/x.wav")}));
}

TEST_F(Batch, AllFilesTakesEveryRegularFile) {
  const auto run = runCli({"--tsv", "-r", "--all-files", inside(lib, "b-sub"), lib});
  const auto paths = reportedPaths(run.out);
  ASSERT_EQ(paths.size(), 7u) << run.out;
  EXPECT_EQ(paths[0], inside(lib, "b-sub/x.wav"));
  EXPECT_EQ(paths[4], inside(lib, "a.wav"));
  EXPECT_EQ(paths[6], inside(lib, "c.txt"));
  EXPECT_EQ(run.status, 1);  // c.txt is too short
}

TEST_F(Batch, NamedPathsAreProbedWhateverTheirNames) {
  const auto run = runCli({"--tsv", dir / "lib/c.txt", dir / "lib"});
  EXPECT_EQ(
      run.out,
      "path\treport\tformatTag\tchannels\tsampleRate\tbitsPerSample\tdataSize\tlengthSeconds\n" +
          dir / "lib/c.txt" + "\ttoo-short\t0\t0\t0\t0\t0\t0\n" + dir / "lib" +
          "\topen-failure\t0\t0\t0\t0\t0\t0\n");
}

TEST_F(Batch, AFolderWithoutRGetsItsReportAndOneNoteForTheRun) {
  const auto run = runCli({dir / "lib", dir / "lib/a.wav", dir / "lib/b-sub"});
  EXPECT_NE(run.out.find("75 - Path/File access error"), std::string::npos);
  EXPECT_EQ(run.err, "pelorin-cli: note: '" + dir / "lib" + "' is a folder; -r walks it\n");
  EXPECT_EQ(runCli({"-r", dir / "lib"}).err, "");
}

TEST_F(Batch, FileListsWithEitherSeparator) {
  const std::string a = dir / "lib/a.wav";
  const std::string lines = dir.write("list.txt", a + "\n\n" + dir / "lib/c.txt" + "\n" + a);
  const auto byLine = runCli({"--tsv", "--files-from", lines});
  EXPECT_EQ(reportedPaths(byLine.out), (std::vector<std::string>{a, dir / "lib/c.txt", a}));

  const std::string nul = dir.write("list0", a + '\0' + dir / "lib/B.WAV" + '\0');
  const auto byNul = runCli({"--tsv", "--files-from", nul, "-0"});
  EXPECT_EQ(byNul.status, 0);
  EXPECT_EQ(reportedPaths(byNul.out), (std::vector<std::string>{a, dir / "lib/B.WAV"}));

  const auto missingList = runCli({"--files-from", dir / "no-list"});
  EXPECT_EQ(missingList.status, 2);
  EXPECT_NE(missingList.err.find("cannot read the file list"), std::string::npos);

  const auto both = runCli({"--tsv", "--files-from", nul, "-0", "--files-from", nul});
  EXPECT_EQ(reportedPaths(both.out).size(), 4u) << "every list, in order";
  const auto oneMissing = runCli({"--files-from", lines, "--files-from", dir / "no-list"});
  EXPECT_EQ(oneMissing.status, 2);
  EXPECT_NE(oneMissing.err.find("list '" + dir / "no-list" + "'"), std::string::npos);
}

TEST_F(Batch, DoubleDashBeforeANameThatStartsWithADash) {
  dir.write("-r", canonicalWave(100));
  const auto run = [&] {
    const testing::InFolder inDir(dir.path());
    return runCli({"--tsv", "--", "-r"});
  }();
  EXPECT_EQ(reportedPaths(run.out), std::vector<std::string>{"-r"});
  EXPECT_EQ(run.status, 0);
}

TEST_F(Batch, AFailingFileDoesNotStopTheRun) {
  const auto run = runCli({"--tsv", dir / "lib/a.wav", dir / "missing.wav", dir / "lib/B.WAV"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(reportedPaths(run.out).size(), 3u);
  EXPECT_NE(run.out.find("missing.wav\topen-failure\t"), std::string::npos);
}

TEST_F(Batch, SummaryInTextAndJson) {
  const std::vector<std::string> paths = {dir / "lib/a.wav", dir / "lib/c.txt", dir / "missing.wav",
                                          dir / "lib/B.WAV"};
  std::vector<std::string> args = {"--summary"};
  args.insert(args.end(), paths.begin(), paths.end());
  const auto text = runCli(args);
  const std::string expected =
      "\nSummary: 4 files, 2 information, 1 open-failure, 1 too-short, 0 invalid-identifier, "
      "total length " +
      testing::numberText(200.0 / 176400).substr(1) + " seconds.\n";
  EXPECT_EQ(text.out.substr(text.out.size() - expected.size()), expected);

  args.insert(args.begin(), "--json");
  const auto json = runCli(args);
  EXPECT_NE(json.out.find("{\"report\":\"summary\",\"files\":4,\"information\":2,"
                          "\"openFailure\":1,\"tooShort\":1,\"invalidIdentifier\":0,"
                          "\"totalLengthSeconds\":0.0011337868480725624}\n"),
            std::string::npos);

  EXPECT_EQ(runCli({"--summary", "--files-from", dir.write("empty", "")}).out,
            "Summary: 0 files, 0 information, 0 open-failure, 0 too-short, 0 invalid-identifier, "
            "total length 0 seconds.\n");
  EXPECT_EQ(runCli({"--files-from", dir.write("empty", "")}).status, 0);
}

TEST_F(Batch, SeveralWorkersKeepTheInputOrder) {
  std::vector<std::string> args = {"--tsv", "-j", "4"};
  std::vector<std::string> expected;
  for (int i = 0; i < 700; ++i) {
    // A named number: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + std::to_string().
    const std::string number = std::to_string(i);
    const std::string path =
        i % 7 == 3 ? dir / ("gone-" + number) : dir.write("f" + number, canonicalWave(i));
    args.push_back(path);
    expected.push_back(path);
  }
  const auto parallel = runCli(args);
  EXPECT_EQ(reportedPaths(parallel.out), expected);
  args[2] = "--jobs=1";
  args.erase(args.begin() + 1);
  EXPECT_EQ(runCli(args).out, parallel.out);
}

TEST_F(Batch, UsageErrors) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {"--json with --tsv", {"--json", "--tsv", "x"}, "--json and --tsv cannot be combined"},
      {"no workers", {"-j", "0", "x"}, "-j: '0' is out of range (1 to 1024 workers)"},
      {"too many workers", {"-j", "1025", "x"}, "-j: '1025' is out of range (1 to 1024 workers)"},
      {"more workers than unsigned holds",
       {"--jobs=4294967296", "x"},
       "--jobs: '4294967296' is out of range (1 to 1024 workers)"},
      {"-j abc", {"-j", "abc", "x"}, "-j: 'abc' is not a number of workers"},
      {"--jobs=many", {"--jobs=many", "x"}, "--jobs: 'many' is not a number of workers"},
      {"-j with a sign", {"-j+2", "x"}, "-j: '+2' is not a number of workers"},
      {"-j without a value", {"-j"}, "-j: the number of workers is missing"},
      {"--jobs without a value", {"x", "--jobs"}, "--jobs: the number of workers is missing"},
      {"--files-from without a value",
       {"--files-from"},
       "--files-from: the file is missing ('-' for standard input)"},
      {"--files-from with an empty value",
       {"--files-from", ""},
       "--files-from: the file name is empty"},
      {"--files-from=", {"--files-from=", "x"}, "--files-from: the file name is empty"},
      {"unknown long option", {"--bogus", "x"}, "unknown option '--bogus'"},
      {"abbreviated long option", {"--rec", "x"}, "unknown option '--rec'"},
      {"ambiguous abbreviation", {"--j", "x"}, "unknown option '--j'"},
      {"abbreviation with a value", {"--job=2", "x"}, "unknown option '--job=2'"},
      {"unknown short option in a bundle", {"-rx", "x"}, "unknown option '-x'"},
      {"value for a flag", {"--json=yes", "x"}, "--json: takes no value"},
      {"-0 without a list", {"-0", "x"}, "-0/--null needs --files-from"},
      {"--all-files without -r", {"--all-files", "x"}, "--all-files needs -r/--recursive"},
      {"--strict without --details", {"--strict", "x"}, "--strict needs --details"},
      {"--verify-md5 without --details", {"--verify-md5", "x"}, "--verify-md5 needs --details"},
      {"nothing", {}, "no path given"},
      {"only --", {"--json", "--"}, "no path given"},
  };
  for (const Case& c : cases) {
    const auto run = runCli(c.args);
    EXPECT_EQ(run.status, 2) << c.name;
    EXPECT_EQ(run.out, "") << c.name;
    EXPECT_EQ(run.err, "pelorin-cli: error: " + c.message + "\n" + std::string(cli::kUsage))
        << c.name;
  }
}

TEST_F(Batch, APathLongerThanTheBufferIsOneRecordAndTheNextLineIsRead) {
  const std::string a = dir / "lib/a.wav";
  // Longer than the buffer wherever it is: 64 KiB, or what the system's longest path needs.
  const auto run = runCli({"--json", "--files-from",
                           dir.write("long-list", std::string(200000, 'n') + "\n" + a + "\n")});
  std::istringstream lines(run.out);
  std::string tooLong, next, extra;
  std::getline(lines, tooLong);
  std::getline(lines, next);
  EXPECT_NE(tooLong.find("\"errorNumber\":52,"), std::string::npos);
  EXPECT_EQ(next.rfind("{\"path\":\"" + testing::jsonText(a) + "\",\"report\":\"information\"", 0),
            0u);
  EXPECT_FALSE(std::getline(lines, extra));
}

TEST_F(Batch, AFileListThatCannotBeReadIsAUsageError) {
  const std::string folder = dir / "lib";
  const auto run = runCli({"--files-from", folder});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("pelorin-cli: error: cannot read the file list '" + folder + "'"),
            std::string::npos);
}

TEST_F(Batch, SummaryTotalLeavesOutLengthsThatAreNotFinite) {
  const std::string silent = dir.write("0hz.wav", WaveBuilder().fmt(1, 2, 0, 16).data(100).bytes());
  const std::string tone = dir.write("tone.wav", canonicalWave());
  const auto run = runCli({"--json", "--summary", silent, tone});
  EXPECT_NE(run.out.find("\"totalLengthSeconds\":1}"), std::string::npos) << run.out;
}

TEST_F(Batch, ListedPathsLongerThanTheSystemTakesAreShownCut) {
  struct Case {
    const char* name;
    std::string list;
    std::string shown;
  };
  const std::string longest(cli::kLongestPath, 'n');
  const Case cases[] = {
      {"the longest path, whole", longest + "\n", longest},
      {"one byte more", longest + "x\n", longest + "\u2026"},
      {"the last line, without a line feed", longest + "xy", longest + "\u2026"},
      {"cut before a character, not inside it", longest.substr(1) + "\u00E9\n",
       longest.substr(1) + "\u2026"},
  };
  for (const Case& c : cases) {
    const auto run = runCli({"--json", "--files-from", dir.write("list", c.list)});
    EXPECT_EQ(run.out.rfind("{\"path\":\"" + c.shown +
                                "\",\"report\":\"open-failure\",\"title\":\"Pelorin\","
                                "\"prompt\":\"Error opening file " +
                                c.shown + "\\r\\n 52 - Bad file name or number\",",
                            0),
              0u)
        << c.name;
  }
}

// Lengths of 0.1, 0.2 and 0.3 seconds, over and over: the sum of a hundred depends on the order
// of the additions, and is the running sum in input order however the files were probed.
TEST_F(Batch, SummaryTotalIsAddedInInputOrder) {
  std::vector<std::string> paths;
  std::vector<std::string> longPaths;  // chunks hold fewer of them
  double runningSum = 0;
  for (int i = 0; i < 100; ++i) {
    const std::uint32_t dataSize = 4410 * (1 + i % 3);
    const std::string number = std::to_string(i);  // named: see SeveralWorkersKeepTheInputOrder
    const std::string name = "t" + number + ".wav";
    paths.push_back(dir.write(name, WaveBuilder().fmt(1, 1, 44100, 8).data(dataSize).bytes()));
    longPaths.push_back(dir.path() + std::string(1000, '/') + name);
    runningSum += dataSize / 44100.0;
  }
  char text[32];
  const std::string expected(text, std::to_chars(text, text + sizeof text, runningSum).ptr);
  struct Case {
    const char* name;
    const char* jobs;
    const std::vector<std::string>& files;
  };
  const Case cases[] = {
      {"-j1", "-j1", paths},
      {"-j4", "-j4", paths},
      {"-j4 with long paths", "-j4", longPaths},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {c.jobs, "--json", "--summary"};
    args.insert(args.end(), c.files.begin(), c.files.end());
    const std::string out = runCli(args).out;
    const std::size_t total = out.rfind(':') + 1;
    EXPECT_EQ(out.substr(total, out.rfind('}') - total), expected) << c.name;
  }
}

// An output that the run's interruption cuts after `cutAt` bytes, as a signal cuts a write
// blocked on a full pipe; later writes go out whole.
class InterruptedStream final : public cli::OutputStream {
 public:
  explicit InterruptedStream(std::size_t cutAt) : cutAt_(cutAt) {}

  std::optional<std::uint64_t> terminal() const override { return std::nullopt; }
  cli::WriteResult write(std::string_view bytes) override {
    if (interrupted_ || text.size() + bytes.size() <= cutAt_) {
      text.append(bytes);
      return {};
    }
    const std::size_t taken = cutAt_ - text.size();
    text.append(bytes.substr(0, taken));
    interrupted_ = true;
    return {cli::WriteResult::kInterrupted, "", taken};
  }
  void writeIfReady(std::string_view) override {}
  bool interrupted() const override { return interrupted_; }

  std::string text;

 private:
  std::size_t cutAt_;
  bool interrupted_ = false;
};

// The run stops, and what it wrote ends where the record that the interruption cut ends.
TEST_F(Batch, AnInterruptedWriteEndsWithTheRecordItCut) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::string recordEnd;  // what follows the end of a record
  };
  const Case cases[] = {
      {"JSON", {"--json"}, "\n{"},
      {"JSON, four workers", {"--json", "-j4"}, "\n{"},
      {"TSV", {"--tsv"}, "\n" + dir.path().substr(0, 1)},  // a line starts with the path
      {"text", {}, "\n\n"},
  };
  std::vector<std::string> paths;
  for (int i = 0; i < 1000; ++i) paths.push_back(dir / "lib/a.wav");
  constexpr std::size_t kCut = 40000;
  for (const Case& c : cases) {
    std::vector<std::string> args = c.options;
    args.insert(args.end(), paths.begin(), paths.end());
    const std::string whole = runCli(args).out;
    InterruptedStream out(kCut);
    testing::MemoryStream err;
    EXPECT_EQ(cli::run(args, out, err), cli::kInterrupted) << c.name;
    EXPECT_EQ(out.text, whole.substr(0, whole.find(c.recordEnd, kCut - 1) + 1)) << c.name;
  }
}

// The output buffer keeps the room it was made with: a record that would not fit writes out
// what is buffered first, whole records only.
TEST_F(Batch, WritesStayWithinTheBufferAndEndAtRecords) {
  class WriteSizes final : public cli::OutputStream {
   public:
    std::optional<std::uint64_t> terminal() const override { return std::nullopt; }
    cli::WriteResult write(std::string_view bytes) override {
      writes.emplace_back(bytes);
      return {};
    }
    void writeIfReady(std::string_view) override {}
    std::vector<std::string> writes;
  };
  std::vector<std::string> args = {"--json", "-j1"};
  for (int i = 0; i < 1000; ++i) args.push_back(dir / "lib/a.wav");
  WriteSizes out;
  testing::MemoryStream err;
  cli::run(args, out, err);
  ASSERT_GT(out.writes.size(), 1u);
  for (const std::string& written : out.writes) {
    EXPECT_LE(written.size(), cli::Output::kCapacity);
    EXPECT_EQ(written.back(), '\n');
  }
}

// Records of over 1 MiB (a LIST of long tags, with --details): a chunk's prober stops for the
// writer once its reports pass their bound, and goes on where it stopped.
TEST_F(Batch, ChunksOfLargeRecordsAreWrittenInPartsAndInOrder) {
  const std::string tag(60000, 't');
  const std::string large = WaveBuilder()
                                .fmt(1, 1, 8000, 8)
                                .listInfo({{"INAM", tag},
                                           {"IART", tag},
                                           {"ICMT", tag},
                                           {"IGNR", tag},
                                           {"ISFT", tag},
                                           {"IPRD", tag},
                                           {"ICOP", tag},
                                           {"IENG", tag},
                                           {"ITCH", tag},
                                           {"ISBJ", tag},
                                           {"ISRC", tag},
                                           {"IKEY", tag},
                                           {"ICRD", tag},
                                           {"IMED", tag},
                                           {"ISRF", tag},
                                           {"IARL", tag},
                                           {"ICMS", tag},
                                           {"ILGT", tag}})
                                .data(100)
                                .bytes();
  std::vector<std::string> args = {"--json", "--details"};
  for (int i = 0; i < 4; ++i) {
    const std::string number = std::to_string(i);  // named: see SeveralWorkersKeepTheInputOrder
    args.push_back(i % 2 == 1 ? dir / "lib/a.wav" : dir.write("large" + number, large));
  }
  const std::string alone = runCli(args).out;
  EXPECT_EQ(std::count(alone.begin(), alone.end(), '\n'), 4);
  EXPECT_GT(alone.size(), 2u * 1024 * 1024);
  args.push_back("-j3");
  EXPECT_EQ(runCli(args).out, alone);
}

TEST(Progress, ShowsAsAskedAFewTimesASecondAndClearsItsLine) {
  struct Case {
    const char* name;
    cli::ProgressMode mode;
    bool shown;
  };
  const Case cases[] = {
      {"forced", cli::ProgressMode::kAlways, true},
      {"by default not where no terminal is", cli::ProgressMode::kAuto, false},
      {"never", cli::ProgressMode::kNever, false},
  };
  for (const Case& c : cases) {
    testing::MemoryStream err, reports;
    cli::Progress progress(c.mode, &err, reports);
    const auto drain = [&] { return std::exchange(err.text, ""); };
    const auto start = cli::Progress::Clock::now();
    progress.update(10, start);
    const std::string first = drain();
    progress.update(20, start + std::chrono::milliseconds(100));
    const std::string tooSoon = drain();
    progress.update(30, start + std::chrono::milliseconds(300));
    const std::string later = drain();
    progress.finish();
    const std::string cleared = drain();
    if (!c.shown) {
      EXPECT_EQ(first + tooSoon + later + cleared, "") << c.name;
      continue;
    }
    EXPECT_EQ(first.rfind("\r\x1b[K10 files, ", 0), 0u) << c.name;
    EXPECT_EQ(tooSoon, "") << c.name;
    EXPECT_EQ(later.rfind("\r\x1b[K30 files, ", 0), 0u) << c.name;
    EXPECT_NE(later.find(" files/s, 0:00"), std::string::npos) << c.name;
    EXPECT_EQ(cleared, "\r\x1b[K") << c.name;
  }

  testing::MemoryStream err, reports;
  cli::Progress ofKnownTotal(cli::ProgressMode::kAlways, &err, reports, 40);
  ofKnownTotal.update(12);
  EXPECT_EQ(err.text.rfind("\r\x1b[K12 of 40 files (30 %), ", 0), 0u) << err.text;
}

}  // namespace
}  // namespace pelorin
