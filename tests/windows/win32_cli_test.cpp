// pelorin-cli on Windows: names held in WTF-8, paths joined with the folder's own separator,
// and file lists written on Windows.
#include <gtest/gtest.h>

#include <string>

#include "cli/folder.h"
#include "cli_runner.h"
#include "runtime/win32_text.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::reportedPaths;
using testing::runCli;
using testing::TempDir;

TEST(Wtf8, NamesGoBothWays) {
  struct Case {
    const char* name;
    std::wstring wide;
    std::string bytes;
  };
  const Case cases[] = {
      {"Greek", L"\u03b1\u03b2.wav", "\xCE\xB1\xCE\xB2.wav"},
      {"CJK", L"\u6f22\u5b57", "\xE6\xBC\xA2\xE5\xAD\x97"},
      {"a pair, in four bytes", L"\xD83C\xDFB5", "\xF0\x9F\x8E\xB5"},
      {"a lone lead surrogate",
       L"a\xD800"
       L"b",
       "a\xED\xA0\x80"
       "b"},
      {"a lone trail surrogate", L"\xDC00", "\xED\xB0\x80"},
      {"a trail then a lead: no pair", L"\xDC00\xD800", "\xED\xB0\x80\xED\xA0\x80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(toUtf8(c.wide), c.bytes) << c.name;
    EXPECT_EQ(toWide(c.bytes), c.wide) << c.name;
  }
}

TEST(Wtf8, BytesThatAreNeitherAreRefused) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"overlong", "\xC0\xAF"},
      {"above U+10FFFF", "\xF4\x90\x80\x80"},
      {"a pair as two surrogates", "\xED\xA0\x80\xED\xB0\x80"},
      {"cut short", "a\xE2\x82"},
      {"a lone continuation byte", "\x80"},
  };
  for (const Case& c : cases) EXPECT_EQ(toWide(c.bytes), std::nullopt) << c.name;
}

TEST(Win32Walk, PathsKeepTheSeparatorTheFolderWasGivenWith) {
  struct Case {
    const char* name;
    const char* folder;
    const char* path;
  };
  const Case cases[] = {
      {"backslashes", "C:\\music", "C:\\music\\a.wav"},
      {"slashes", "C:/music/takes", "C:/music/takes/a.wav"},
      {"the last one written", "C:/music\\takes", "C:/music\\takes\\a.wav"},
      {"a trailing separator", "C:\\", "C:\\a.wav"},
      {"a drive's current folder", "C:", "C:a.wav"},
      {"no separator yet", "music", "music\\a.wav"},
  };
  for (const Case& c : cases) {
    std::string path;
    cli::joinPath(path, c.folder, "a.wav");
    EXPECT_EQ(path, c.path) << c.name;
  }
}

TEST(Win32Lists, LinesMayEndInCrLf) {
  TempDir dir;
  const std::string a = dir.write("a.wav", canonicalWave(100));
  const std::string b = dir.write("b.wav", canonicalWave(100));
  const std::string list = dir.write("list.txt", a + "\r\n\r\n" + b + "\r\n" + a + "\r");
  EXPECT_EQ(reportedPaths(runCli({"--tsv", "--files-from", list}).out),
            (std::vector<std::string>{a, b, a}));
}

// Windows cannot make such a file under Wine, but the name reaches the system (53, not the 52 of
// a name refused before), and the record shows it in both forms.
TEST(Win32Names, AnUnpairedSurrogateShowsAsReplacementsAndKeepsItsBytes) {
  const std::string name = toUtf8(L"x\xD800.wav");
  const auto run = runCli({"--json", name});
  EXPECT_EQ(run.out.rfind("{\"path\":\"x\uFFFD\uFFFD\uFFFD.wav\",\"pathBytes\":\"eO2ggC53YXY=\","
                          "\"report\":\"open-failure\"",
                          0),
            0u)
      << run.out;
  EXPECT_NE(run.out.find("\"errorNumber\":53,"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace pelorin
