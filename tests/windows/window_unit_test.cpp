// The window's pieces that need no window: the box's text, the dialog's filter and flags.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <commdlg.h>

#include <string>
#include <vector>

#include "win32/common_dialog.h"
#include "win32/form1.h"
#include "win32/win32_message_box.h"

namespace pelorin {
namespace {

using namespace std::string_literals;

TEST(BoxText, OnlyThePromptsOwnLineBreaksBreakLinesAndNothingEndsTheText) {
  const struct {
    const char* name;
    std::string text;
    std::vector<std::size_t> lineBreaks;
    std::wstring shown;
  } cases[] = {
      {"own line breaks", "a\r\nb\r\nc", {1, 4}, L"a\r\nb\r\nc"},
      {"CR LF from a name", "a\r\nb", {}, L"a\u240D\u240Ab"},
      {"zero character", "RiffID =WA\0E\r\nnext"s, {12}, L"RiffID =WA\u2400E\r\nnext"},
      {"UTF-8 name", "caf\xC3\xA9 \xF0\x9F\x8E\xB5", {}, L"caf\u00E9 \U0001F3B5"},
      {"bytes that are not UTF-8", "x\xFF", {}, L"x\uFFFD"},
      {"a line over 60 characters",
       std::string(61, 'x'),
       {},
       std::wstring(60, L'x') + L"\r\n  \u21AA x"},
  };
  for (const auto& c : cases) {
    Prompt prompt{c.text, c.lineBreaks};
    EXPECT_EQ(boxText(prompt), c.shown) << c.name;
  }
}

TEST(BoxText, ATitleStaysOneLine) {
  EXPECT_EQ(boxTitle(std::string(70, 't') + "\n"), std::wstring(70, L't') + L"\u240A");
}

TEST(Dialog, FilterPartsAreSeparatedAndEndedByZeroCharacters) {
  EXPECT_EQ(dialogFilter(kWaveFilter), L"Wave Files (*.wav)\0*.wav\0All Files (*.*)\0*.*\0\0"s);
}

TEST(Dialog, FlagsHideReadOnlyAddNothingToRecentFilesAndNeverDemandAnExistingFile) {
  EXPECT_EQ(dialogFlags(4), DWORD{OFN_HIDEREADONLY | OFN_EXPLORER | OFN_DONTADDTORECENT});
  EXPECT_EQ(dialogFlags(OFN_FILEMUSTEXIST) & OFN_FILEMUSTEXIST, 0u);
}

TEST(Form, SizesScaleWithTheDpiRoundingToTheNearestPixel) {
  EXPECT_EQ(scaledForDpi(231, 96), 231);
  EXPECT_EQ(scaledForDpi(231, 144), 347);
  EXPECT_EQ(scaledForDpi(97, 120), 121);
  EXPECT_EQ(scaledForDpi(33, 192), 66);
}

}  // namespace
}  // namespace pelorin
