#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <map>
#include <sstream>

#include "cli/format.h"
#include "cli/json_line.h"
#include "cli/options.h"
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
  EXPECT_NE(run.out.find("Error opening file " + dir / "line\u240abreak.wav" + "\n"),
            std::string::npos);
}

// The line that names a file shows the name as the prompt does: a raw escape sequence in a name
// would reach the terminal, and a line feed would start a line that passes for the report's.
TEST_F(Cli, FileNameLinesShowTheNameInItsDisplayForm) {
  const auto run = runCli({dir / "clear\x1b[2J\nbreak.wav", missing});
  EXPECT_NE(run.out.find("==> " + dir / "clear\u241b[2J\u240abreak.wav" + " <==\n"),
            std::string::npos);
}

TEST_F(Cli, JsonLineOfTheCanonicalFile) {
  const auto run = runCli({"--json", tone});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "{\"path\":\"" + testing::jsonText(tone) +
                "\",\"report\":\"information\",\"title\":\"Wav file info...\","
                "\"prompt\":\"ckID1 =RIFF\\r\\nRiffID =WAVE\\r\\nckID2 =fmt \\r\\nFilename =" +
                testing::jsonText(tone) +
                "\\r\\nFormat tag = 1\\r\\nFormat Chunk Length = 16\\r\\nSample rate = "
                "44100\\r\\nBits/Sample = 16\\r\\nNumber of channels = 2\\r\\nNumber of  samples "
                "= 176400\\r\\nLength = 1 seconds.\","
                "\"riffId\":\"RIFF\",\"formType\":\"WAVE\",\"fmtId\":\"fmt \","
                "\"fmtChunkLength\":16,\"formatTag\":1,\"channels\":2,\"sampleRate\":44100,"
                "\"bitsPerSample\":16,\"dataSize\":176400,\"lengthSeconds\":1,"
                "\"errorNumber\":0,\"errorDescription\":\"\"}\n");
}

// The escaper looks at sixteen or eight bytes at a time: every byte value, at every place in a
// block and near the end of the text, followed by a plain byte or a line feed (a CR LF is written
// as one), must come out as a plain byte-at-a-time escaper writes it.
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
    for (std::size_t length = 1; length <= 35; ++length) {
      for (std::size_t place = 0; place < length; ++place) {
        // After the byte under test, one just above a boundary the block test works with, or LF.
        for (const char next : {'\x21', '\n'}) {
          std::string text(length, 'a');
          text[place] = static_cast<char>(value);
          if (place + 1 < length) text[place + 1] = next;
          std::string out(cli::jsonStringRoom(text), '\0');
          out.resize(static_cast<std::size_t>(cli::writeJsonString(out.data(), text) - out.data()));
          ASSERT_EQ(out, reference(text))
              << "byte " << value << " at " << place << " of " << length << ", then " << int{next};
        }
      }
    }
  }
}

// An identifier is written as it is when each byte is printable ASCII other than the quote and
// the backslash: every byte value, at each of its four places.
TEST(JsonString, PlainFourBytesAreExactlyThePrintableOnes) {
  for (int value = 0; value < 256; ++value) {
    const bool printable = value >= 0x20 && value < 0x7F && value != '"' && value != '\\';
    for (std::size_t place = 0; place < 4; ++place) {
      std::string id = "WAVE";
      id[place] = static_cast<char>(value);
      ASSERT_EQ(cli::isPlainFourBytes(id.data()), printable) << value << " at " << place;
    }
  }
}

TEST_F(Cli, JsonIdentifiersEscapeWhatJsonMustAndShowHighBytesAsCharacters) {
  struct Case {
    const char* formType;
    const char* json;
  };
  for (const Case& c : {Case{"W\"AV", "W\\\"AV"}, Case{"W\\AV", "W\\\\AV"},
                        Case{"W\xE9"
                             "AV",
                             "W\xC3\xA9"
                             "AV"}}) {
    const std::string file =
        dir.write("id.wav", WaveBuilder().formType(c.formType).fmt(1, 1, 8000, 8).data(8).bytes());
    const auto run = runCli({"--json", file});
    EXPECT_NE(run.out.find("\"formType\":\"" + std::string(c.json) + "\","), std::string::npos)
        << run.out;
  }
}

TEST_F(Cli, JsonLengthIsTheShortestRoundTrip) {
  const std::string shortOne =
      dir.write("s.wav", WaveBuilder().fmt(1, 2, 44100, 16).data(1).bytes());
  const auto run = runCli({"--json", shortOne});
  EXPECT_NE(run.out.find("\"lengthSeconds\":5.668934240362812e-06,"), std::string::npos);
  EXPECT_NE(run.out.find("Length = 5.66893424036281E-06 seconds."), std::string::npos);
}

// Whole numbers take a shorter way than other doubles; their text must stay to_chars' own.
TEST(JsonNumber, WholeNumbersAreWrittenAsToCharsWritesThem) {
  for (const double value :
       {0.0, -0.0, 1.0, -1.0, 10000.0, 99999.0, -99999.0, 100000.0, 123456.0, 99999.5}) {
    cli::FormatScratch scratch;
    cli::JsonLine line(scratch);
    line.number(value);
    char expected[32];
    EXPECT_EQ(line.text(),
              std::string_view(expected, std::to_chars(expected, expected + 32, value).ptr));
  }
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
    EXPECT_NE(run.out.find("Error opening file " + dir / ("x" + c.shown + ".wav") + "\n"),
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
  testing::MemoryStream err;  // started without even its name, as execve allows
  EXPECT_EQ(cli::run(cli::CommandLine{}, err, err), 2);
  EXPECT_NE(err.text.find("pelorin-cli: error: no path given"), std::string::npos);

  const auto help = runCli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: pelorin-cli [--json | --tsv]", 0), 0u);
  EXPECT_EQ(runCli({"--version"}).out, "pelorin-cli 1.00\n");
}

TEST_F(Cli, DoubleDashMakesEveryLaterArgumentAPath) {
  const std::string dashed = dir.write("-x.wav", canonicalWave());
  const testing::InFolder inDir(dir.path());
  const auto run = runCli({"--", "-x.wav", "--json"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Filename =-x.wav\n"), std::string::npos);
  EXPECT_NE(run.out.find("Error opening file --json\n"), std::string::npos);
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
      {"-v", {"-v"}, {.version = true}},
      {"two lists, in order", {"--files-from=l", "--files-from", "m"}, {.filesFrom = {"l", "m"}}},
      {"-h", {"-h"}, {.help = true}},
      {"-0 with a list", {"-0", "--files-from", "l"}, {.nulSeparated = true, .filesFrom = {"l"}}},
      {"--null with a list",
       {"--files-from=l", "--null"},
       {.nulSeparated = true, .filesFrom = {"l"}}},
      {"a list named -", {"--files-from", "-"}, {.filesFrom = {"-"}}},
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
      {"paths after the first, a lone dash and an empty one among them",
       {"a", "-j", "2", "", "b", "-", "--tsv", "c"},
       {.format = Format::kTsv, .jobs = 2, .paths = {"a", "", "b", "-", "c"}}},
      {"-- then options as paths",
       {"a", "--", "-r", "--json", "--"},
       {.paths = {"a", "-r", "--json", "--"}}},
  };
  for (const char* posixlyCorrect : {"", "1"}) {
    if (*posixlyCorrect) testing::setEnvironment("POSIXLY_CORRECT", posixlyCorrect);
    for (const Case& c : cases) {
      testing::MemoryStream err;
      const cli::CommandLineTexts texts(c.args);
      const std::optional<Options> parsed = cli::parseArgs(texts.line(), err);
      EXPECT_EQ(err.text, "") << c.name;
      EXPECT_TRUE(parsed == c.expected) << c.name << (*posixlyCorrect ? " (POSIXLY_CORRECT)" : "");
    }
    testing::unsetEnvironment("POSIXLY_CORRECT");
  }
}

}  // namespace
}  // namespace pelorin
