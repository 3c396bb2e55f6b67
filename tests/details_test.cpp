// The details parser: formats, durations, the chunk walk, warnings and tags, from bytes built
// in memory.
#include <gtest/gtest.h>

#include "probe/details.h"
#include "runtime/memory_file_system.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::detailsOf;

std::string layoutOf(const WaveDetails& d) {
  std::string layout;
  if (d.extensible) appendChannelLayout(layout, d.extensible->channelMask);
  return layout;
}

// MS ADPCM, mono at 8000 Hz: 256-byte blocks of 500 samples, the seven standard coefficient
// pairs after the samples per block.
std::string msAdpcm(std::uint32_t factSamples, std::uint32_t blocks) {
  const std::string extra = le16(32) + le16(500) + le16(7) + std::string(28, '\1');
  return WaveBuilder()
      .fmtFields(2, 1, 8000, 4096, 256, 4, extra)
      .chunk("fact", le32(factSamples))
      .data(256 * blocks)
      .bytes();
}

// GSM 6.10, mono at 8000 Hz: 65-byte blocks of 320 samples.
std::string gsm(std::uint32_t factSamples, std::uint32_t dataBytes) {
  return WaveBuilder()
      .fmtFields(0x31, 1, 8000, 1625, 65, 0, le16(2) + le16(320))
      .chunk("fact", le32(factSamples))
      .data(dataBytes)
      .bytes();
}

// One second of 16-bit stereo at 44100 Hz in a 64-bit container, its sizes in the ds64 chunk.
std::string sixtyFour(std::string_view container) {
  return WaveBuilder()
      .riffId(container)
      .riffSize(0xFFFFFFFF)
      .ds64(36 + 36 + 176400, 176400, 0)
      .fmt(1, 2, 44100, 16)
      .dataDeclaring(0xFFFFFFFF, 176400)
      .bytes();
}

// One line of what the details say: container, format, frames, duration source, warnings.
std::string summaryOf(const WaveDetails& d) {
  static constexpr std::string_view kSources[] = {"none", "frames", "frames-by-format", "fact",
                                                  "blocks"};
  std::string text = std::string(containerName(d.container)) + "|" +
                     std::string(d.effectiveFormatName()) + "|" +
                     (d.frames ? std::to_string(*d.frames) : "-") + "|" +
                     std::string(kSources[static_cast<int>(d.durationSource)]) + "|";
  for (const Finding& f : d.findings) {
    text.append(warningCode(f.code)).append("@").append(std::to_string(f.offset));
    if (const auto* n = std::get_if<std::uint64_t>(&f.expected)) {
      text.append("(").append(std::to_string(*n)).append(",");
      text.append(std::to_string(std::get<std::uint64_t>(f.actual))).append(")");
    }
    text.append(" ");
  }
  return text;
}

// An extensible format chunk whose subformat is `guid`, 16-bit slots.
WaveBuilder& fmtWithSubformat(WaveBuilder& b, std::uint16_t channels, std::string_view guid) {
  return b.fmtFields(0xFFFE, channels, 8000, 8000 * 2 * channels,
                     static_cast<std::uint16_t>(2 * channels), 16,
                     le16(22) + le16(16) + le32(0) + std::string(guid));
}

// An RF64 file whose axml chunk is sized by the ds64 table.
std::string rf64WithTable() {
  const std::string axml(300, 'x');
  const std::string table = le32(1) + "axml" + le64(axml.size());
  return WaveBuilder()
      .riffId("RF64")
      .chunk("ds64", le64(0) + le64(800) + le64(0) + table)
      .fmt(1, 1, 8000, 8)
      .chunkDeclaring("axml", 0xFFFFFFFF, axml)
      .dataDeclaring(0xFFFFFFFF, 800)
      .bytes();
}

TEST(Details, FormatsAndTheirDurations) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string_view formatName;
    std::optional<std::uint64_t> frames;
    double seconds;
    DurationSource source;
    std::optional<std::uint16_t> validBits;
    std::string layout;
  };
  const auto none = std::nullopt;
  const auto kFrames = DurationSource::kFrames;
  const auto kFact = DurationSource::kFact;
  const Case cases[] = {
      {"extensible 24 in 32, 5.1",
       WaveBuilder().fmtExtensible(6, 48000, 32, 24, 0x3F).data(6 * 4 * 48000).bytes(), "PCM",
       48000, 1.0, kFrames, 24, "FL FR FC LFE BL BR"},
      {"extensible float, every named speaker and two more bits",
       WaveBuilder().fmtExtensible(2, 44100, 32, 32, 0xC003FFFF, 3).data(8 * 44100).bytes(),
       "IEEE float", 44100, 1.0, kFrames, 32,
       "FL FR FC LFE BL BR FLC FRC BC SL SR TC TFL TFC TFR TBL TBC TBR"},
      {"12 bits in 16", WaveBuilder().fmtFields(1, 1, 8000, 16000, 2, 12).data(16000).bytes(),
       "PCM", 8000, 1.0, kFrames, none, ""},
      {"A-law", WaveBuilder().fmt(6, 1, 8000, 8).data(8000).bytes(), "A-law", 8000, 1.0, kFrames,
       none, ""},
      {"a partial frame does not count", WaveBuilder().fmt(7, 2, 8000, 8).data(16001).bytes(),
       "mu-law", 8000, 1.0, kFrames, none, ""},
      {"MS ADPCM by its fact chunk, not its blocks", msAdpcm(16000, 33), "MS ADPCM", 16000, 2.0,
       kFact, none, ""},
      {"GSM 6.10 by its fact chunk", gsm(8000, 1625), "GSM 6.10", 8000, 1.0, kFact, none, ""},
      {"RF64 sizes from ds64", sixtyFour("RF64"), "PCM", 44100, 1.0, kFrames, none, ""},
      {"BW64 sizes from ds64", sixtyFour("BW64"), "PCM", 44100, 1.0, kFrames, none, ""},
      {"a zero data size followed by sound",
       WaveBuilder().fmt(1, 2, 44100, 16).dataDeclaring(0, 176400).bytes(), "PCM", 44100, 1.0,
       kFrames, none, ""},
      {"a 0xFFFFFFFF data size followed by sound",
       WaveBuilder().fmt(1, 1, 8000, 8).dataDeclaring(0xFFFFFFFF, 4000).bytes(), "PCM", 4000, 0.5,
       kFrames, none, ""},
      {"MPEG Layer 3 without a fact chunk",
       WaveBuilder().fmtFields(0x55, 2, 44100, 16000, 1, 0).data(16000).bytes(), "MPEG Layer 3",
       none, 0, DurationSource::kNone, none, ""},
      {"a rate of 0", WaveBuilder().fmt(1, 2, 0, 16).data(100).bytes(), "PCM", none, 0,
       DurationSource::kNone, none, ""},
      {"extensible without its 22 bytes",
       WaveBuilder().fmt(0xFFFE, 2, 44100, 16, 2).data(4).bytes(), "", none, 0,
       DurationSource::kNone, none, ""},
  };
  for (const Case& c : cases) {
    const WaveDetails d = detailsOf(c.bytes);
    const std::optional<std::uint16_t> code = d.effectiveFormat();
    EXPECT_EQ(code ? formatName(*code) : "", c.formatName) << c.name;
    EXPECT_EQ(d.frames, c.frames) << c.name;
    EXPECT_EQ(d.durationSeconds, c.seconds) << c.name;
    EXPECT_EQ(d.durationSource, c.source) << c.name;
    EXPECT_EQ(d.extensible ? std::optional(d.extensible->validBitsPerSample) : std::nullopt,
              c.validBits)
        << c.name;
    EXPECT_EQ(layoutOf(d), c.layout) << c.name;
  }
}

TEST(Details, Warnings) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string codes;
  };
  const Case cases[] = {
      {"a clean file", canonicalWave(), ""},
      {"no fmt chunk", WaveBuilder().data(100).bytes(), "no-fmt-chunk"},
      {"no data chunk",
       WaveBuilder().fmt(1, 2, 44100, 16).chunk("junk", std::string(40, 'j')).bytes(),
       "no-data-chunk"},
      {"fmt after data", WaveBuilder().data(400).fmt(1, 2, 44100, 16).bytes(), "fmt-after-data"},
      {"data truncated", WaveBuilder().fmt(1, 2, 44100, 16).dataDeclaring(176400, 1000).bytes(),
       "data-truncated"},
      {"size placeholder", WaveBuilder().fmt(1, 2, 44100, 16).dataDeclaring(0, 1000).bytes(),
       "size-placeholder"},
      {"a zero data size with nothing after it is no placeholder",
       WaveBuilder().fmt(1, 2, 44100, 16).data(0).bytes(), ""},
      {"riff size mismatch", WaveBuilder().riffSize(1000).fmt(1, 2, 44100, 16).data(400).bytes(),
       "riff-size-mismatch"},
      {"a placeholder RIFF size is no mismatch",
       WaveBuilder().riffSize(0xFFFFFFFF).fmt(1, 2, 44100, 16).data(400).bytes(), ""},
      {"data not frame aligned", WaveBuilder().fmt(1, 2, 44100, 16).data(1001).bytes(),
       "data-not-frame-aligned"},
      {"block align mismatch",
       WaveBuilder().fmtFields(1, 2, 44100, 3 * 44100, 3, 16).data(300).bytes(),
       "block-align-mismatch"},
      {"extensible slots set the bytes per sample",
       WaveBuilder().fmtExtensible(2, 8000, 32, 20, 3).data(800).bytes(), ""},
      {"byte rate mismatch", WaveBuilder().fmtFields(1, 2, 44100, 1000, 4, 16).data(400).bytes(),
       "byte-rate-mismatch"},
      {"compressed formats declare an average byte rate", gsm(8000, 1625), ""},
      {"a partial block of a compressed format", gsm(8000, 1626), "data-not-frame-aligned"},
      {"MPEG frames vary in length",
       WaveBuilder().fmtFields(0x55, 2, 48000, 16000, 1152, 0).data(1000).bytes(), ""},
      {"chunk runs past end",
       WaveBuilder().fmt(1, 2, 44100, 16).data(400).chunkDeclaring("LIST", 1000, "INFO").bytes(),
       "chunk-runs-past-end"},
      {"several, in order",
       WaveBuilder()
           .riffSize(4)
           .data(400)
           .fmt(1, 2, 44100, 16)
           .chunkDeclaring("LIST", 1000, "INFO")
           .bytes(),
       "fmt-after-data riff-size-mismatch chunk-runs-past-end"},
  };
  for (const Case& c : cases) {
    const WaveDetails d = detailsOf(c.bytes);
    std::string codes;
    for (std::size_t i = 0; i < kWarningCount; ++i) {
      if (d.warnings[i])
        codes.append(codes.empty() ? "" : " ").append(warningCode(static_cast<Warning>(i)));
    }
    EXPECT_EQ(codes, c.codes) << c.name;
  }
}

std::vector<std::string> chunkIds(const WaveDetails& d) {
  std::vector<std::string> ids;
  for (const ChunkHeader& chunk : d.chunks) ids.emplace_back(chunk.id.data(), chunk.id.size());
  return ids;
}

TEST(Details, ChunkWalk) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {"past the data to a LIST after it",
       WaveBuilder().fmt(1, 2, 44100, 16).data(401).listInfo({{"INAM", "x"}}).bytes(),
       {"fmt ", "data", "LIST"}},
      {"a placeholder data size ends the walk",
       WaveBuilder().fmt(1, 2, 44100, 16).dataDeclaring(0, 400).listInfo({{"INAM", "x"}}).bytes(),
       {"fmt ", "data"}},
      {"an RF64 data size from ds64 does not",
       WaveBuilder()
           .riffId("RF64")
           .ds64(0, 400, 0)
           .fmt(1, 2, 44100, 16)
           .dataDeclaring(0xFFFFFFFF, 400)
           .listInfo({{"INAM", "x"}})
           .bytes(),
       {"ds64", "fmt ", "data", "LIST"}},
  };
  for (const Case& c : cases) EXPECT_EQ(chunkIds(detailsOf(c.bytes)), c.ids) << c.name;

  WaveBuilder empties;
  for (int i = 0; i < 2000; ++i) empties.chunk("none", "");
  const WaveDetails d = detailsOf(empties.bytes());
  EXPECT_EQ(d.chunks.size(), kMaxDetailChunks);
  EXPECT_TRUE(d.chunkLimitReached);
  EXPECT_EQ(summaryOf(d), "RIFF||-|none|no-fmt-chunk@0 no-data-chunk@0 chunk-limit-reached@8204 ");
  EXPECT_EQ(d.chunks.back().offset, 12 + 8 * 1023);
}

TEST(Details, TheWaveFamilyAndItsBrokenWalks) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string summary;
  };
  const std::string ambisonic("\x01\0\0\0\x21\x07\xD3\x11\x86\x44\xC8\xC1\xCA\0\0\0", 16);
  WaveBuilder ambisonicFile;
  fmtWithSubformat(ambisonicFile, 4, ambisonic).data(8 * 8000);
  const std::string fmt16 = WaveBuilder().fmt(1, 1, 8000, 16).bytes().substr(12);
  const Case cases[] = {
      {"RIFX PCM", WaveBuilder().bigEndian().fmt(1, 2, 44100, 16).data(176400).bytes(),
       "RIFX|PCM|44100|frames|"},
      {"RIFX float",
       WaveBuilder().bigEndian().fmtExtensible(1, 48000, 32, 32, 4, 3).data(192).bytes(),
       "RIFX|IEEE float|48|frames|"},
      {"Wave64", wave64({{"fmt ", fmt16.substr(8, 16)}, {"data", std::string(16000, '\0')}}),
       "W64|PCM|8000|frames|"},
      {"RF64 with an axml sized by the table", rf64WithTable(), "RF64|PCM|800|frames|"},
      {"an odd chunk without its pad byte",
       WaveBuilder()
           .fmt(1, 2, 44100, 16)
           .chunkDeclaring("note", 3, "abc", false)
           .data(17640)
           .bytes(),
       "RIFF|PCM|4410|frames|missing-pad-byte@47 "},
      {"a pad byte that is not 0",
       WaveBuilder().fmt(1, 1, 8000, 8).chunkDeclaring("note", 3, "abc\x7F", false).data(8).bytes(),
       "RIFF|PCM|8|frames|pad-byte-not-zero@47 "},
      {"two fmt chunks, the first counts",
       WaveBuilder().fmt(1, 1, 8000, 8).fmt(1, 2, 44100, 16).data(8000).bytes(),
       "RIFF|PCM|8000|frames|duplicate-chunk@36 "},
      {"ambisonic B-format", ambisonicFile.bytes(), "RIFF|PCM (ambisonic B-format)|8000|frames|"},
      {"a block align that contradicts the format",
       WaveBuilder().fmtFields(1, 3, 8000, 32000, 4, 24).data(45).bytes(),
       "RIFF|PCM|5|frames-by-format|data-not-frame-aligned@36 block-align-mismatch@12(9,4) "},
      {"MS ADPCM whose fact claims more than its blocks hold", msAdpcm(16001, 32),
       "RIFF|MS ADPCM|16000|blocks|fact-mismatch@70(16000,16001) "},
      {"a fact count that is not the data's frames",
       WaveBuilder().fmt(1, 1, 8000, 8).chunk("fact", le32(9000)).data(8000).bytes(),
       "RIFF|PCM|8000|frames|fact-mismatch@36(8000,9000) "},
      {"a text file", std::string("###\nnothing here is a wave file\n"), "||-|none|not-wave@0 "},
      {"an AVI", WaveBuilder().formType("AVI ").chunk("LIST", "hdrl").bytes(),
       "RIFF||-|none|not-wave@8 "},
      {"an empty data chunk before the fmt chunk", WaveBuilder().data(0).fmt(1, 1, 8000, 8).bytes(),
       "RIFF|PCM|0|frames|fmt-after-data@20 "},
      {"a zero-filled tail is padding",
       WaveBuilder().fmt(1, 1, 8000, 8).data(8).raw(std::string(100, '\0')).bytes(),
       "RIFF|PCM|8|frames|"},
      {"an identifier that is not printable",
       WaveBuilder().fmt(1, 1, 8000, 8).chunk("n\x01te", "ab").data(8).bytes(),
       "RIFF|PCM|8|frames|chunk-id-not-printable@36 "},
      {"RF64 without ds64", WaveBuilder().riffId("RF64").fmt(1, 1, 8000, 8).data(8).bytes(),
       "RF64|PCM|8|frames|ds64-missing@12 "},
      {"a ds64 sample count that is not the frames",
       WaveBuilder().riffId("RF64").ds64(0, 8, 9).fmt(1, 1, 8000, 8).data(8).bytes(),
       "RF64|PCM|8|frames|ds64-sample-count-mismatch@12(8,9) "},
      {"extensible valid bits above the slot",
       WaveBuilder().fmtExtensible(2, 8000, 16, 20, 3).data(8).bytes(),
       "RIFF|PCM|2|frames|extensible-invalid@12 "},
      {"a chunk past the end",
       WaveBuilder().fmt(1, 1, 8000, 8).data(8).chunkDeclaring("LIST", 1000, "INFO").bytes(),
       "RIFF|PCM|8|frames|chunk-runs-past-end@52(4,1000) "},
  };
  for (const Case& c : cases) EXPECT_EQ(summaryOf(detailsOf(c.bytes)), c.summary) << c.name;
}

TEST(Details, InfoTagsAfterAnOddOneAndMetAgain) {
  const WaveDetails d = detailsOf(WaveBuilder()
                                      .listInfo({{"INAM", "odd"}, {"IART", "artist"}})
                                      .listInfo({{"INAM", "again"}, {"ICMT", "c"}})
                                      .fmt(1, 1, 8000, 8)
                                      .data(8)
                                      .bytes());
  std::string tags;
  for (const InfoTag& tag : d.info) tags += std::string(tag.id.data(), 4) + "=" + tag.text + " ";
  EXPECT_EQ(tags, "INAM=odd IART=artist ICMT=c ");
}

// Every read is bounded: a rich file cut at every length reads no byte that is not there.
TEST(Details, FileCutAtEveryLength) {
  const std::string whole = WaveBuilder()
                                .riffId("RF64")
                                .ds64(0, 4000, 0)
                                .fmtExtensible(2, 8000, 16, 16, 3)
                                .chunk("fact", le32(1000))
                                .listInfo({{"INAM", "name"}, {"ICMT", "comment"}})
                                .bext({.description = "d"})
                                .data(4000)
                                .bytes();
  for (std::size_t length = 0; length <= whole.size(); ++length) {
    const WaveDetails d = detailsOf(whole.substr(0, length));
    ASSERT_LE(d.data ? d.data->present : 0, length) << length;
    ASSERT_LE(d.chunks.size(), length / 8) << length;
  }
}

}  // namespace
}  // namespace pelorin
