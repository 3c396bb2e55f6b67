#include <gtest/gtest.h>

#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using namespace std::string_literals;
using testing::probe;
using testing::TempDir;

TEST(Reports, InformationPromptOfTheCanonicalFile) {
  TempDir dir;
  const std::string path = dir.write("tone.wav", canonicalWave());
  const auto run = probe(path);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].prompt,
            "ckID1 =RIFF\r\n"
            "RiffID =WAVE\r\n"
            "ckID2 =fmt \r\n"
            "Filename =" +
                path +
                "\r\n"
                "Format tag = 1\r\n"
                "Format Chunk Length = 16\r\n"
                "Sample rate = 44100\r\n"
                "Bits/Sample = 16\r\n"
                "Number of channels = 2\r\n"
                "Number of  samples = 176400\r\n"
                "Length = 1 seconds.");
  EXPECT_EQ(run.boxes[0].title, "Wav file info...");
  EXPECT_EQ(run.boxes[0].buttons, 0);
  EXPECT_EQ(run.result, 1.0);
}

TEST(Reports, OpenFailurePromptHasNoTitle) {
  TempDir dir;
  const auto run = probe(dir / "missing.wav");
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].prompt,
            "Error opening file " + (dir / "missing.wav") + "\r\n 53 - File not found");
  EXPECT_EQ(run.boxes[0].title, std::nullopt);
  EXPECT_EQ(run.boxes[0].buttons, 0);
  EXPECT_EQ(run.result, 0);
}

TEST(Reports, TooShortPromptIsUpperCaseAndHasNoTitle) {
  TempDir dir;
  const auto run = probe(dir.write("short.wav", "RIFF"));
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].prompt, "Invalid .WAV file!");
  EXPECT_EQ(run.boxes[0].title, std::nullopt);
}

TEST(Reports, InvalidIdentifierPromptEndsWithTheFormatIdentifier) {
  TempDir dir;
  const auto run =
      probe(dir.write("riff.wav", WaveBuilder().riffId("RIFX").fmt(1, 1, 8000, 8).data(8).bytes()));
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].prompt, "ckID =RIFX\r\nRiffID =WAVE\r\nFourCCckID =fmt ");
  EXPECT_EQ(run.boxes[0].title, "Invalid .wav file!");
  EXPECT_EQ(run.result, 0);
}

TEST(Reports, ZeroBytesInAnIdentifierStayZeroCharactersInPlace) {
  TempDir dir;
  const auto run = probe(dir.write(
      "z.wav", WaveBuilder().formType(std::string("WA\0E", 4)).fmt(1, 1, 8000, 8).data(8).bytes()));
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].prompt, "ckID =RIFF\r\nRiffID =WA\0E\r\nFourCCckID =fmt "s);
}

TEST(Reports, HighBytesOfAnIdentifierBecomeTheirLatinCharacters) {
  TempDir dir;
  const auto run = probe(dir.write("h.wav", WaveBuilder()
                                                .riffId("R\xC9"
                                                        "FF")
                                                .fmt(1, 1, 8000, 8)
                                                .data(8)
                                                .bytes()));
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].prompt.substr(0, 12),
            "ckID =R\xC3\x89"
            "FF\r");
}

struct LengthCase {
  const char* name;
  std::uint16_t channels;
  std::uint32_t rate;
  std::uint16_t bits;
  std::uint32_t dataSize;
  const char* lastLine;
};

void PrintTo(const LengthCase& c, std::ostream* os) {
  *os << c.name;
}

class LengthLine : public ::testing::TestWithParam<LengthCase> {};

TEST_P(LengthLine, PrintsTheLengthAsNumberText) {
  TempDir dir;
  const auto& c = GetParam();
  const auto run = probe(dir.write("l.wav", WaveBuilder()
                                                .fmt(1, c.channels, c.rate, c.bits)
                                                .data(c.dataSize)
                                                .raw("tail")  // keeps an empty file over 44 bytes
                                                .bytes()));
  ASSERT_EQ(run.boxes.size(), 1u);
  const std::string& prompt = run.boxes[0].prompt;
  EXPECT_EQ(prompt.substr(prompt.rfind('\n') + 1), c.lastLine);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, LengthLine,
    ::testing::Values(LengthCase{"Whole", 1, 8000, 8, 24000, "Length = 3 seconds."},
                      LengthCase{"Fraction", 1, 8000, 8, 20000, "Length = 2.5 seconds."},
                      LengthCase{"TwelveBits", 1, 1000, 12, 3000, "Length = 2 seconds."},
                      LengthCase{"FourBits", 1, 1000, 4, 250, "Length = 0.5 seconds."},
                      LengthCase{"NoSampleRate", 1, 0, 8, 100, "Length = Infinity seconds."},
                      LengthCase{"NothingOverNothing", 0, 0, 8, 0, "Length = NaN seconds."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Reports, NegativeFieldsShowTheirMinusSignAfterTheLabel) {
  TempDir dir;
  const auto run =
      probe(dir.write("neg.wav", WaveBuilder().fmt(0xFFFE, 1, 8000, 16, 24).data(16).bytes()));
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_NE(run.boxes[0].prompt.find("\r\nFormat tag =-2\r\n"), std::string::npos);
  EXPECT_NE(run.boxes[0].prompt.find("\r\nFormat Chunk Length = 40\r\n"), std::string::npos);
}

}  // namespace
}  // namespace pelorin
