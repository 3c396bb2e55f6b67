#include <gtest/gtest.h>

#include <vector>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "runtime/arithmetic.h"
#include "runtime/context.h"
#include "runtime/number_text.h"
#include "runtime/text.h"
#include "support.h"

namespace pelorin {
namespace {

struct DoubleCase {
  const char* name;
  double value;
  const char* text;
};

void PrintTo(const DoubleCase& c, std::ostream* os) {
  *os << c.name;
}

class DoubleText : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(DoubleText, PrintsAsFifteenSignificantDigits) {
  EXPECT_EQ(testing::numberText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    NumberText, DoubleText,
    ::testing::Values(DoubleCase{"Whole", 1.0, " 1"}, DoubleCase{"Three", 3.0, " 3"},
                      DoubleCase{"Half", 2.5, " 2.5"}, DoubleCase{"Negative", -2.5, "-2.5"},
                      DoubleCase{"BelowOne", 0.25, " 0.25"},
                      DoubleCase{"Third", 1.0 / 3, " 0.333333333333333"},
                      DoubleCase{"SmallNeedsExponent", 1.0 / 176400, " 5.66893424036281E-06"},
                      DoubleCase{"LargeNeedsExponent", 1e15, " 1E+15"},
                      DoubleCase{"FifteenDigitsPlain", 123456789012345.0, " 123456789012345"},
                      DoubleCase{"RoundsToFifteen", 0.1 + 0.2, " 0.3"},
                      DoubleCase{"Zero", 0.0, " 0"}, DoubleCase{"NegativeZero", -0.0, " 0"},
                      DoubleCase{"Infinity", std::numeric_limits<double>::infinity(), " Infinity"},
                      DoubleCase{"NegativeInfinity", -std::numeric_limits<double>::infinity(),
                                 "-Infinity"},
                      DoubleCase{"NaN", std::numeric_limits<double>::quiet_NaN(), " NaN"}),
    [](const auto& info) { return std::string(info.param.name); });

// The number text of a double is C's "%.15G" with a space in front of a value that is not
// negative: compared with the C library on every decade's edges and on a spread of bit patterns.
TEST(NumberText, DoublesPrintAsTheCLibraryPrintsThem) {
  std::vector<double> values;
  for (int exponent = -310; exponent <= 310; ++exponent) {
    const double decade = std::pow(10.0, exponent);
    values.insert(values.end(),
                  {decade, std::nextafter(decade, 0.0), std::nextafter(decade, HUGE_VAL),
                   9.5 * decade, 1.0 / 3 * decade, -decade, decade - 1, 1 - decade});
  }
  std::uint64_t bits = 0x9E3779B97F4A7C15;
  for (int i = 0; i < 20000; ++i) {
    bits = bits * 6364136223846793005 + 1442695040888963407;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    values.push_back(value);
  }
  for (int samples = 1; samples < 5000; ++samples) values.push_back(samples / 44100.0);
  for (const double value : values) {
    if (!std::isfinite(value) || value == 0) continue;
    char expected[64];
    std::snprintf(expected, sizeof expected, value < 0 ? "%.15G" : " %.15G", value);
    ASSERT_EQ(testing::numberText(value), expected) << "bits " << std::hexfloat << value;
  }
}

TEST(NumberText, IntegersHaveASignPlace) {
  EXPECT_EQ(testing::numberText(std::int16_t{0}), " 0");
  EXPECT_EQ(testing::numberText(std::int16_t{-2}), "-2");
  EXPECT_EQ(testing::numberText(std::int16_t{-32768}), "-32768");
  EXPECT_EQ(testing::numberText(std::int32_t{44100}), " 44100");
  EXPECT_EQ(testing::numberText(std::numeric_limits<std::int32_t>::min()), "-2147483648");
  EXPECT_EQ(testing::numberText(std::uint32_t{4294967295u}), " 4294967295");
  EXPECT_EQ(testing::numberText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(Text, IdentifierBytesBecomeOneCharacterEach) {
  EXPECT_EQ(bytesToText(std::string_view("R\0\xFF", 3)), std::string("R\0\xC3\xBF", 4));
  EXPECT_EQ(bytesToText("fmt "), "fmt ");
}

TEST(Text, PathShowsInvalidUtf8AsReplacementCharacters) {
  EXPECT_EQ(testing::pathText("caf\xC3\xA9.wav"), "caf\xC3\xA9.wav");
  EXPECT_EQ(testing::pathText("a\xFF"
                              "b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(testing::pathText("\xC3"), "\xEF\xBF\xBD");                  // cut sequence
  EXPECT_EQ(testing::pathText("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // overlong
  EXPECT_EQ(testing::pathText("\xED\xA0\x80"),
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  EXPECT_EQ(testing::pathText("\xF0\x9F\x8E\xB5"), "\xF0\x9F\x8E\xB5");
}

TEST(Text, DisplayFormShowsEveryControlAndOnlyThePromptsOwnLineBreaks) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::size_t> lineBreaks;
    std::string shown;
  };
  const Case cases[] = {
      {"own line break", "a\r\nb", {1}, "a\nb"},
      {"CR LF from a name", "a\r\nb", {}, "a\u240D\u240Ab"},
      {"lone CR and LF", "\r|\n", {}, "\u240D|\u240A"},
      {"C0 and DEL", std::string("\0\t\x1B\x7F", 4), {}, "\u2400\u2409\u241B\u2421"},
      {"C1 from an identifier byte", bytesToText("\x9B\x85"), {}, "<U+009B><U+0085>"},
      {"line and paragraph separators", "\u2028\u2029", {}, "<U+2028><U+2029>"},
      {"bidirectional controls",
       "\u202E\u2066\u061C\u200F",
       {},
       "<U+202E><U+2066><U+061C><U+200F>"},
      {"printable text stays", "caf\u00e9 \u2400 <U+0085>", {}, "caf\u00e9 \u2400 <U+0085>"},
      {"bytes that are not UTF-8", "x\xFF", {}, "x\uFFFD"},
  };
  for (const Case& c : cases) {
    Text shown;
    appendDisplayText(shown, c.text, c.lineBreaks);
    EXPECT_EQ(shown, c.shown) << c.name;
  }
}

TEST(Text, InStrFindsTheFirstExactOccurrence) {
  EXPECT_EQ(InStr(1, "RIFFxxxxWAVEfmt ", "fmt "), 13);
  EXPECT_EQ(InStr(1, "metadata data", "data"), 5);
  EXPECT_EQ(InStr(6, "metadata data", "data"), 10);
  EXPECT_EQ(InStr(1, "FMT fmt", "fmt "), 0);
  EXPECT_EQ(InStr(1, std::string_view("a\0fmt \0", 7), "fmt "), 3);
  EXPECT_EQ(InStr(20, "short", "s"), 0);
}

TEST(Text, StrCmpIsExact) {
  EXPECT_EQ(StrCmp("RIFF", "RIFF"), 0);
  EXPECT_NE(StrCmp("RIFF", "riff"), 0);
  EXPECT_NE(StrCmp(std::string_view("RIF\0", 4), "RIF"), 0);
}

TEST(Arithmetic, DivisionKeepsTheQuotientAndRaisesTheError) {
  testing::RecordingSink sink;
  RuntimeContext ctx(sink);
  OnErrorResumeNext resume(ctx);
  EXPECT_EQ(Divide(ctx, 3, 2), 1.5);
  EXPECT_EQ(ctx.Err.Number, 0);
  EXPECT_EQ(Divide(ctx, 1, 0), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ctx.Err.Number, 11);
  EXPECT_EQ(ctx.Err.Description, "Division by zero");
  EXPECT_TRUE(std::isnan(Divide(ctx, 0, 0)));
  EXPECT_EQ(ctx.Err.Number, 6);
  ctx.Err.Clear();
  EXPECT_EQ(Divide(ctx, std::numeric_limits<double>::infinity(), 2),
            std::numeric_limits<double>::infinity());
  EXPECT_EQ(ctx.Err.Number, 0);
}

TEST(Arithmetic, NarrowingOutOfRangeIsAnOverflow) {
  testing::RecordingSink sink;
  RuntimeContext ctx(sink);
  OnErrorResumeNext resume(ctx);
  EXPECT_EQ(NarrowToInt16(ctx, 97), 97);
  EXPECT_EQ(NarrowToInt16(ctx, 40000), 0);
  EXPECT_EQ(ctx.Err.Number, 6);
}

TEST(ContinueOnError, UnarmedErrorsThrowAndArmingClearsTheErrorObject) {
  testing::RecordingSink sink;
  RuntimeContext ctx(sink);
  EXPECT_THROW(Divide(ctx, 1, 0), RuntimeError);
  EXPECT_EQ(ctx.Err.Number, 11);
  {
    OnErrorResumeNext resume(ctx);
    EXPECT_EQ(ctx.Err.Number, 0);
    EXPECT_NO_THROW(Divide(ctx, 1, 0));
  }
  EXPECT_FALSE(ctx.continueOnError);
}

}  // namespace
}  // namespace pelorin
