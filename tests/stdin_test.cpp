// Standard input as "-": a pipe gives the reports the same file gives, read once and kept small;
// standard input is read once a run, never from a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "cli/options.h"
#include "cli/standard_input.h"
#include "cli_runner.h"
#include "probe/details.h"
#include "probe/wave_stream.h"
#include "runtime/memory_file_system.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::CliRun;

// `bytes`, then `zeros` zero bytes, then `tail`, handed over in pieces of an odd size, as a pipe
// hands them; the reads from `failingFrom` on fail.
class Pipe final : public SequentialSource {
 public:
  explicit Pipe(std::string bytes, std::uint64_t zeros = 0, std::string tail = {},
                std::uint64_t failingFrom = std::numeric_limits<std::uint64_t>::max())
      : head_(std::move(bytes)), zeros_(zeros), tail_(std::move(tail)), failingFrom_(failingFrom) {}

  std::int64_t read(char* out, std::size_t size) override {
    if (at_ >= failingFrom_) return -1;
    const std::uint64_t tailAt = head_.size() + zeros_;
    const std::size_t n =
        std::min<std::uint64_t>({size, 65521, tailAt + tail_.size() - at_, failingFrom_ - at_});
    for (std::size_t i = 0, part = 0; i < n; i += part, at_ += part) {
      if (at_ < head_.size()) {
        part = std::min<std::uint64_t>(n - i, head_.size() - at_);
        std::memcpy(out + i, head_.data() + at_, part);
      } else if (at_ < tailAt) {
        part = std::min<std::uint64_t>(n - i, tailAt - at_);
        std::memset(out + i, 0, part);
      } else {
        part = n - i;
        std::memcpy(out + i, tail_.data() + (at_ - tailAt), part);
      }
    }
    return static_cast<std::int64_t>(n);
  }

 private:
  std::string head_;
  std::uint64_t zeros_;
  std::string tail_;
  std::uint64_t failingFrom_;
  std::uint64_t at_ = 0;
};

// Standard input holding `bytes`: a pipe, or a regular file opened as the file system opens any.
class FakeInput final : public cli::StandardInput {
 public:
  FakeInput(std::string bytes, bool regular, bool terminal = false)
      : bytes_(std::move(bytes)), regular_(regular), terminal_(terminal) {}

  bool isTerminal() const override { return terminal_; }
  cli::OpenedStandardInput open() override {
    ++opens;
    if (!regular_) return {std::nullopt, std::make_unique<Pipe>(bytes_)};
    MemoryFileSystem files;
    files.add("/stdin", bytes_);
    return {std::move(files.open("/stdin").file), nullptr};
  }

  int opens = 0;

 private:
  std::string bytes_;
  bool regular_;
  bool terminal_;
};

CliRun runWith(const std::vector<std::string>& args, cli::StandardInput& input) {
  CliRun result;
  testing::MemoryStream out;
  testing::MemoryStream err;
  result.status = cli::run(args, out, err, nullptr, input);
  result.out = std::move(out.text);
  result.err = std::move(err.text);
  return result;
}

std::string tags() {
  return "adtllabl" + le32(10) + le32(1) + "Verse" + std::string(1, '\0');
}

// Each file puts what the walks read beyond the first kibibyte, which every open reads whole.
TEST(StandardInput, APipeGivesTheReportsOfTheSameFile) {
  const std::string far(3000, 'x');
  const std::string everything =
      WaveBuilder()
          .fmt(1, 1, 8000, 8)
          .data(3001)
          .chunk("LIST", tags())
          .bext({.description = "d", .version = 1})
          .chunk("iXML", "<BWFXML><NOTE>n</NOTE></BWFXML>")
          .chunk("cue ", le32(1) + le32(1) + le32(0) + "data" + le32(0) + le32(0) + le32(0))
          .chunk("smpl", std::string(36, '\0'))
          .chunk("MD5 ", std::string(16, 'm'))
          .listInfo({{"INAM", "n"}})
          .bytes();
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"canonical", canonicalWave(4000)},
      {"rf64 with ds64", WaveBuilder()
                             .riffId("RF64")
                             .riffSize(0xFFFFFFFF)
                             .ds64(5100, 5000, 0)
                             .fmt(1, 1, 8000, 8)
                             .dataDeclaring(0xFFFFFFFF, 5000)
                             .listInfo({{"INAM", "n"}})
                             .bytes()},
      {"rf64 with a table",
       WaveBuilder()
           .riffId("RF64")
           .chunk("ds64", le64(0) + le64(16) + le64(0) + le32(1) + "LIST" + le64(3000))
           .fmt(1, 1, 8000, 8)
           .chunkDeclaring("LIST", 0xFFFFFFFF, "INFO" + far.substr(4))
           .dataDeclaring(0xFFFFFFFF, 16)
           .bytes()},
      {"rifx",
       WaveBuilder().bigEndian().fmt(1, 1, 8000, 8).data(3000).listInfo({{"a", "b"}}).bytes()},
      {"wave64", wave64({{"fmt ", WaveBuilder().fmt(1, 1, 8000, 8).bytes().substr(20, 16)},
                         {"data", far},
                         {"list", "INFOINAM" + le32(1) + "n"}})},
      {"odd chunks, a pad byte left out", WaveBuilder()
                                              .fmt(1, 1, 8000, 8)
                                              .data(2001)
                                              .chunk("note", "abc")
                                              .chunkDeclaring("note", 3, "abc", false)
                                              .listInfo({{"INAM", "odd"}})
                                              .bytes()},
      {"metadata after the data", everything},
      {"data before fmt", WaveBuilder().data(3000).fmt(1, 2, 44100, 16).bytes()},
      {"data declared beyond the end",
       WaveBuilder().fmt(1, 2, 44100, 16).dataDeclaring(100000, 3000).bytes()},
      {"cut inside a header", everything.substr(0, 3019)},
      {"a placeholder data size", WaveBuilder().fmt(1, 1, 8000, 8).dataDeclaring(0, 3000).bytes()},
      {"an empty data chunk",
       WaveBuilder().fmt(1, 1, 8000, 8).data(0).chunk("JUNK", far).data(8).bytes()},
      {"zeros after the data", WaveBuilder().fmt(1, 1, 8000, 8).data(2000).raw(far).bytes()},
      {"a far format", WaveBuilder().chunk("JUNK", far).fmt(1, 1, 8000, 8).data(8).bytes()},
      {"not a wave", far},
  };
  const std::vector<std::string> runs[] = {{"-"},
                                           {"--json", "--details", "-"},
                                           {"--tsv", "--details", "--verify-md5", "-"},
                                           {"--details", "--verify-md5", "-"}};
  for (const auto& c : cases) {
    for (const std::vector<std::string>& args : runs) {
      FakeInput file(c.bytes, true);
      FakeInput pipe(c.bytes, false);
      const CliRun named = runWith(args, file);
      const CliRun piped = runWith(args, pipe);
      EXPECT_EQ(piped.out, named.out) << c.name << " " << args[0];
      EXPECT_EQ(piped.status, named.status) << c.name << " " << args[0];
      EXPECT_EQ(pipe.opens, 1);
    }
  }
}

TEST(StandardInput, IsReadOnceARunAndNeverFromATerminal) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    bool terminal;
    std::string error;
  } cases[] = {
      {"twice", {"-", "--", "-"}, false, "'-' (standard input) can be given only once"},
      {"as a file and a list",
       {"-", "--files-from", "-"},
       false,
       "'-' and --files-from - cannot both read standard input"},
      {"a terminal", {"-"}, true, "'-': standard input is a terminal; pipe a file into it"},
  };
  for (const auto& c : cases) {
    FakeInput input(canonicalWave(8), false, c.terminal);
    const CliRun run = runWith(c.args, input);
    EXPECT_EQ(run.status, cli::kUsageError) << c.name;
    EXPECT_EQ(run.err, "pelorin-cli: error: " + c.error + "\n" + std::string(cli::kUsage));
    EXPECT_EQ(input.opens, 0) << c.name;
  }
}

TEST(StandardInput, OnlyTheCommandLinesDashReadsIt) {
  testing::TempDir dir;
  testing::InFolder inside(dir.path());
  FakeInput input(canonicalWave(8), false);
  EXPECT_EQ(runWith({"--tsv", "--", "-"}, input).status, cli::kAllInformation);
  EXPECT_EQ(input.opens, 1);
  // No file "-" is in the folder: both name it, and neither reads standard input.
  const std::string list = dir.write("list", "-\n");
  const CliRun named = runWith({"--tsv", "./-", "--files-from", list}, input);
  EXPECT_EQ(testing::reportedPaths(named.out), (std::vector<std::string>{"./-", "-"}));
  EXPECT_EQ(named.status, cli::kOtherReport);
  EXPECT_EQ(input.opens, 1);
}

TEST(StandardInput, APipeThatFailsFailsEveryReadFromThere) {
  Pipe pipe(canonicalWave(100000), 0, "", 50000);
  OpenedFile file = readWaveStream(pipe, true);
  EXPECT_EQ(file.length(), 50000);
  char byte;
  EXPECT_TRUE(file.read(43, &byte, 1));
  EXPECT_FALSE(file.read(49999, &byte, 1));
  WaveDetails details = readWaveDetails(file);
  verifyDataMd5(file, details);
  EXPECT_TRUE(details.has(Warning::kReadFailed));
  EXPECT_FALSE(details.md5->computed.has_value());
}

// 4 GiB of data between the header and a LIST chunk: counted, not kept.
TEST(StandardInput, APipedFileKeepsOnlyWhatIsRead) {
  constexpr std::uint64_t kData = std::uint64_t{4} << 30;
  const std::string header = WaveBuilder()
                                 .riffId("RF64")
                                 .riffSize(0xFFFFFFFF)
                                 .ds64(0, kData, 0)
                                 .fmt(1, 2, 48000, 16)
                                 .raw("data" + le32(0xFFFFFFFF))
                                 .bytes();
  const std::string list = "LIST" + le32(14) + "INFOINAM" + le32(2) + "n";
  Pipe pipe(header, kData, list);
  StreamKeeper keeper(pipe, kMaxStreamKeptBytes);
  keepWaveFile(keeper, false);
  EXPECT_LT(keeper.kept(), 2 * kHeadSize);
  OpenedFile file = keeper.finish();
  EXPECT_EQ(file.length(), static_cast<std::int64_t>(header.size() + kData + list.size()));
  const WaveDetails details = readWaveDetails(file);
  ASSERT_EQ(details.info.size(), 1u);
  EXPECT_EQ(details.info[0].text, "n");
  EXPECT_FALSE(details.readFailed);
}

}  // namespace
}  // namespace pelorin
