#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <sstream>
#include <thread>

#include "cli/format.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli_runner.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::runCli;
using testing::TempDir;

class Cli : public ::testing::Test {
 protected:
  TempDir dir;
  const std::string tone = dir.write("tone.wav", canonicalWave());
  const std::string missing = dir / "missing.wav";
};

TEST_F(Cli, TextReportsAreSeparatedByAnEmptyLine) {
  const auto run = runCli({tone, missing});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "==> " + tone +
                " <==\n"
                "Wav file info...\n"
                "ckID1 =RIFF\nRiffID =WAVE\nckID2 =fmt \nFilename =" +
                tone +
                "\n"
                "Format tag = 1\nFormat Chunk Length = 16\nSample rate = 44100\nBits/Sample = 16\n"
                "Number of channels = 2\nNumber of  samples = 176400\nLength = 1 seconds.\n"
                "\n"
                "==> " +
                missing +
                " <==\n"
                "Pelorin\n"
                "Error opening file " +
                missing + "\n 53 - File not found\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(Cli, ControlCharactersPrintAsControlPictures) {
  const std::string zeros = dir.write(
      "z.wav",
      WaveBuilder().formType(std::string("W\0\x1b\x7f", 4)).fmt(1, 1, 8000, 8).data(8).bytes());
  const std::string newline = dir / "line\nbreak.wav";
  const auto run = runCli({zeros, newline});
  EXPECT_NE(run.out.find("RiffID =W\u2400\u241b\u2421\n"), std::string::npos);
  EXPECT_NE(run.out.find("Error opening file " + dir.path() + "/line\u240abreak.wav\n"),
            std::string::npos);
}

TEST_F(Cli, JsonLineOfTheCanonicalFile) {
  const auto run = runCli({"--json", tone});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "{\"path\":\"" + tone +
                "\",\"report\":\"information\",\"title\":\"Wav file info...\","
                "\"prompt\":\"ckID1 =RIFF\\r\\nRiffID =WAVE\\r\\nckID2 =fmt \\r\\nFilename =" +
                tone +
                "\\r\\nFormat tag = 1\\r\\nFormat Chunk Length = 16\\r\\nSample rate = "
                "44100\\r\\nBits/Sample = 16\\r\\nNumber of channels = 2\\r\\nNumber of  samples "
                "= 176400\\r\\nLength = 1 seconds.\","
                "\"riffId\":\"RIFF\",\"formType\":\"WAVE\",\"fmtId\":\"fmt \","
                "\"fmtChunkLength\":16,\"formatTag\":1,\"channels\":2,\"sampleRate\":44100,"
                "\"bitsPerSample\":16,\"dataSize\":176400,\"lengthSeconds\":1,"
                "\"errorNumber\":0,\"errorDescription\":\"\"}\n");
}

TEST_F(Cli, JsonKeepsStartingValuesAndEscapesWhatItMust) {
  const std::string odd =
      dir.write("q\"\\\xff.wav", WaveBuilder().fmt(1, 1, 0, 8).data(100).bytes());
  const auto run = runCli({"--json", missing, odd});
  std::istringstream lines(run.out);
  std::string failure, infinite;
  std::getline(lines, failure);
  std::getline(lines, infinite);
  EXPECT_EQ(failure, "{\"path\":\"" + missing +
                         "\",\"report\":\"open-failure\",\"title\":\"Pelorin\",\"prompt\":\"Error "
                         "opening file " +
                         missing +
                         "\\r\\n 53 - File not found\",\"riffId\":\"\\u0000\\u0000\\u0000\\u0000\","
                         "\"formType\":\"\\u0000\\u0000\\u0000\\u0000\",\"fmtId\":\"\\u0000\\u0000"
                         "\\u0000\\u0000\",\"fmtChunkLength\":0,\"formatTag\":0,\"channels\":0,"
                         "\"sampleRate\":0,\"bitsPerSample\":0,\"dataSize\":0,\"lengthSeconds\":0,"
                         "\"errorNumber\":53,\"errorDescription\":\"File not found\"}");
  EXPECT_NE(infinite.find("\"path\":\"" + dir.path() + "/q\\\"\\\\\xEF\xBF\xBD.wav\""),
            std::string::npos);
  EXPECT_NE(infinite.find("\"lengthSeconds\":null"), std::string::npos);
}

// The escaper looks at eight bytes at a time: every byte value, at every place in a word and
// near the end of the text, must come out as a plain byte-at-a-time escaper writes it.
TEST(JsonString, EveryByteAtEveryPlaceEscapesAsOneByteAtATime) {
  const auto reference = [](std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      static const std::map<unsigned char, std::string> named = {
          {'"', "\\\""}, {'\\', "\\\\"}, {'\b', "\\b"}, {'\f', "\\f"},
          {'\n', "\\n"}, {'\r', "\\r"},  {'\t', "\\t"}};
      if (named.count(byte)) {
        out += named.at(byte);
      } else if (byte < 0x20) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", byte);
        out += escape;
      } else {
        out += c;
      }
    }
    return out + "\"";
  };
  for (int value = 0; value < 256; ++value) {
    for (std::size_t length = 1; length <= 19; ++length) {
      for (std::size_t place = 0; place < length; ++place) {
        std::string text(length, 'a');
        text[place] = static_cast<char>(value);
        // A byte just above a boundary the word test works with, after the one under test.
        if (place + 1 < length) text[place + 1] = static_cast<char>(0x21);
        std::string out;
        cli::appendJsonString(out, text);
        ASSERT_EQ(out, reference(text)) << "byte " << value << " at " << place << " of " << length;
      }
    }
  }
}

TEST_F(Cli, JsonLengthIsTheShortestRoundTrip) {
  const std::string shortOne =
      dir.write("s.wav", WaveBuilder().fmt(1, 2, 44100, 16).data(1).bytes());
  const auto run = runCli({"--json", shortOne});
  EXPECT_NE(run.out.find("\"lengthSeconds\":5.668934240362812e-06,"), std::string::npos);
  EXPECT_NE(run.out.find("Length = 5.66893424036281E-06 seconds."), std::string::npos);
}

TEST_F(Cli, NamesAndIdentifiersCannotForgeLinesOrRows) {
  const std::string forged =
      dir.write("x.wav\r\nLength = 99999 seconds.\r\n\r\nWav file info...",
                WaveBuilder().formType("W\r\nE").fmt(1, 1, 8000, 8).data(8).bytes());
  const std::string tone = dir.write("y.wav\r\nLength = 99999 seconds.", canonicalWave());
  const auto lines = [](const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
  };
  EXPECT_EQ(lines(runCli({tone}).out), 12);   // the title and the prompt's eleven lines
  EXPECT_EQ(lines(runCli({forged}).out), 4);  // the title and three identifiers
  EXPECT_EQ(lines(runCli({"--tsv", tone, forged}).out), 3);
  EXPECT_NE(runCli({tone}).out.find("y.wav\u240D\u240ALength = 99999 seconds.\n"),
            std::string::npos);
  EXPECT_NE(runCli({forged}).out.find("RiffID =W\u240D\u240AE\n"), std::string::npos);
  EXPECT_NE(runCli({"--json", tone}).out.find("y.wav\\r\\nLength = 99999 seconds.\\r\\n"),
            std::string::npos);
}

TEST_F(Cli, JsonPathBytesIdentifyNamesThatAreNotUtf8) {
  struct Case {
    const char* name;
    const char* fileName;
    const char* pathBytes;  // nullptr: no key
  };
  const Case cases[] = {
      {"byte FF", "/x\xFF.wav", "L3j/Lndhdg=="},
      {"byte FE", "/x\xFE.wav", "L3j+Lndhdg=="},
      {"a real U+FFFD", "/x\uFFFD.wav", nullptr},
  };
  for (const Case& c : cases) {
    std::string start = "{\"path\":\"/x\uFFFD.wav\",";
    if (c.pathBytes) start += "\"pathBytes\":\"" + std::string(c.pathBytes) + "\",";
    EXPECT_EQ(runCli({"--json", c.fileName}).out.rfind(start + "\"report\":", 0), 0u) << c.name;
  }
}

TEST_F(Cli, LengthDividesByRateThenChannelsThenBytesPerSample) {
  // One division by 576,000 would round to ...112e-06.
  const std::string oneByte =
      dir.write("one.wav", WaveBuilder().fmt(1, 6, 48000, 16).data(1).bytes());
  EXPECT_NE(runCli({"--json", oneByte}).out.find("\"lengthSeconds\":1.736111111111111e-06,"),
            std::string::npos);
}

TEST_F(Cli, IllFormedUtf8InNamesShowsOneReplacementPerByte) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string shown;
  };
  const std::string r = "\uFFFD";
  const Case cases[] = {
      {"three-byte overlong", "\xE0\x80\x80", r + r + r},
      {"above U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r},
  };
  for (const Case& c : cases) {
    const auto run = runCli({dir / ("x" + c.bytes + ".wav")});
    EXPECT_NE(run.out.find("Error opening file " + dir.path() + "/x" + c.shown + ".wav\n"),
              std::string::npos)
        << c.name;
  }
}

TEST_F(Cli, ExitStatusAndUsage) {
  EXPECT_EQ(runCli({tone, tone}).status, 0);
  EXPECT_EQ(runCli({tone, dir.write("short.wav", "RIFF")}).status, 1);

  const auto unknown = runCli({"--bogus", tone});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.out, "");
  EXPECT_NE(unknown.err.find("pelorin-cli: error: unknown option '--bogus'"), std::string::npos);
  EXPECT_NE(unknown.err.find("Usage: pelorin-cli"), std::string::npos);
  EXPECT_EQ(runCli({}).status, 2);

  const auto help = runCli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: pelorin-cli [--json | --tsv]", 0), 0u);
  EXPECT_EQ(runCli({"--version"}).out, "pelorin-cli 1.00\n");
}

TEST_F(Cli, DoubleDashMakesEveryLaterArgumentAPath) {
  const std::string dashed = dir.write("-x.wav", canonicalWave());
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  const auto run = runCli({"--", "-x.wav", "--json"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Filename =-x.wav\n"), std::string::npos);
  EXPECT_NE(run.out.find("Error opening file --json\n"), std::string::npos);
  ASSERT_EQ(::chdir("/"), 0);
}

// Every way of writing the options gives the same result, whether or not POSIXLY_CORRECT asks
// getopt to stop at the first path.
TEST(Options, AcceptedForms) {
  using cli::Format;
  using cli::Options;
  struct Case {
    const char* name;
    std::vector<std::string> args;
    Options expected;
  };
  const Case cases[] = {
      {"bundled -rj2", {"-rj2", "a"}, {.recursive = true, .jobs = 2, .paths = {"a"}}},
      {"-j2", {"-j2", "a"}, {.jobs = 2, .paths = {"a"}}},
      {"-j 2", {"-j", "2", "a"}, {.jobs = 2, .paths = {"a"}}},
      {"--jobs=2", {"--jobs=2", "a"}, {.jobs = 2, .paths = {"a"}}},
      {"--jobs 2", {"--jobs", "2", "a"}, {.jobs = 2, .paths = {"a"}}},
      {"-j1024", {"-j1024", "a"}, {.jobs = 1024, .paths = {"a"}}},
      {"-V", {"-V"}, {.version = true}},
      {"-h", {"-h"}, {.help = true}},
      {"-0 with a list", {"-0", "--files-from", "l"}, {.nulSeparated = true, .filesFrom = "l"}},
      {"--null with a list",
       {"--files-from=l", "--null"},
       {.nulSeparated = true, .filesFrom = "l"}},
      {"a list named -", {"--files-from", "-"}, {.filesFrom = "-"}},
      {"--strict before --details",
       {"--strict", "a", "--details"},
       {.details = true, .strict = true, .paths = {"a"}}},
      {"--all-files with -r",
       {"--all-files", "--recursive", "a"},
       {.recursive = true, .allFiles = true, .paths = {"a"}}},
      {"paths among options",
       {"a", "--json", "b", "-r", "c", "--summary"},
       {.format = Format::kJson, .summary = true, .recursive = true, .paths = {"a", "b", "c"}}},
      {"a lone dash is a path", {"-", "--tsv"}, {.format = Format::kTsv, .paths = {"-"}}},
      {"an empty argument is a path", {""}, {.paths = {""}}},
      {"-- then options as paths",
       {"a", "--", "-r", "--json", "--"},
       {.paths = {"a", "-r", "--json", "--"}}},
  };
  for (const char* posixlyCorrect : {"", "1"}) {
    if (*posixlyCorrect) ::setenv("POSIXLY_CORRECT", posixlyCorrect, 1);
    for (const Case& c : cases) {
      std::ostringstream err;
      const std::optional<Options> parsed = cli::parseArgs(c.args, err);
      EXPECT_EQ(err.str(), "") << c.name;
      EXPECT_TRUE(parsed == c.expected) << c.name << (*posixlyCorrect ? " (POSIXLY_CORRECT)" : "");
    }
    ::unsetenv("POSIXLY_CORRECT");
  }
}

// Runs the real binary with its output on `outFd`; returns its exit status and stderr.
std::pair<int, std::string> runBinary(const std::vector<std::string>& args, int outFd) {
  int errPipe[2];
  if (::pipe(errPipe) != 0) return {-1, ""};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(outFd, 1);
    ::dup2(errPipe[1], 2);
    std::vector<char*> argv{const_cast<char*>(PELORIN_CLI_PATH)};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(errPipe[1]);
  std::string err;
  char buffer[512];
  for (ssize_t n; (n = ::read(errPipe[0], buffer, sizeof buffer)) > 0;) err.append(buffer, n);
  ::close(errPipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), err};
}

TEST_F(Cli, AFullDiskIsAnErrorNeverASuccess) {
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  const auto [status, err] = runBinary({tone}, full);
  ::close(full);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(err, "pelorin-cli: error: cannot write output: No space left on device\n");
}

TEST_F(Cli, AClosedPipeEndsTheRunQuietly) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ::close(pipeFds[0]);
  const auto [status, err] = runBinary({tone, tone, tone}, pipeFds[1]);
  ::close(pipeFds[1]);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(err, "");
}

// A parent may hand down a pipe it made non-blocking: while the pipe is full, the output waits
// for the reader instead of failing.
TEST(Output, ANonBlockingPipeIsWaitedForWhileFull) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const UniqueFd readEnd(fds[0]);
  UniqueFd writeEnd(fds[1]);
  ASSERT_EQ(::fcntl(writeEnd.get(), F_SETFL, O_NONBLOCK), 0);
  const int capacity = ::fcntl(writeEnd.get(), F_GETPIPE_SZ);
  std::string received;
  std::thread slowReader([&] {
    // Reads only once the pipe is full, so that the writer has met it full.
    for (int held = 0; ::ioctl(readEnd.get(), FIONREAD, &held) == 0 && held < capacity;) {
      ::usleep(1000);
    }
    char buffer[4096];
    for (ssize_t n; (n = ::read(readEnd.get(), buffer, sizeof buffer)) > 0;)
      received.append(buffer, n);
  });
  std::string text;
  for (int i = 0; i < 4 * capacity; ++i) text.push_back(static_cast<char>('a' + i % 23));
  cli::Output output(writeEnd.get());
  output.buffer() = text;
  output.flush();
  writeEnd.reset();
  slowReader.join();
  EXPECT_EQ(output.writeError(), 0);
  EXPECT_TRUE(received == text) << received.size() << " of " << text.size() << " bytes";
}

}  // namespace
}  // namespace pelorin
