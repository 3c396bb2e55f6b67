// MD5 against RFC 1321's vectors; the iXML and MD5 chunks as the details read and check them.
#include <gtest/gtest.h>

#include "probe/details.h"
#include "runtime/md5.h"
#include "runtime/memory_file_system.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::detailsOf;

std::string hexOf(const std::optional<Md5Digest>& digest) {
  std::string hex;
  if (digest) appendDigestHex(hex, *digest);
  return hex;
}

std::string eightTimes(std::string_view text) {
  std::string out;
  for (int i = 0; i < 8; ++i) out.append(text);
  return out;
}

TEST(Md5, GivesRfc1321sTestVectors) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {eightTimes("1234567890"), "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [message, expected] : vectors) {
    Md5 md5;
    // In two pieces, so that a hash that forgets its state between calls shows.
    md5.add(message.data(), message.size() / 3);
    md5.add(message.data() + message.size() / 3, message.size() - message.size() / 3);
    EXPECT_EQ(hexOf(md5.finish()), expected) << message;
  }
}

// An iXML document as a recorder writes it: two tracks, a timestamp of `stampLo` samples at
// `stampRate`, padded with NULs and white space after the root element.
std::string ixml(std::string_view stampLo, std::string_view stampRate,
                 std::string_view trackCount = "2") {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML><IXML_VERSION>1.61";
  xml.append("</IXML_VERSION><SCENE>12A</SCENE><TAKE>3</TAKE><CIRCLED>FALSE</CIRCLED>");
  xml.append("<SPEED><TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>");
  xml.append("<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>").append(stampLo);
  xml.append("</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO><TIMESTAMP_SAMPLE_RATE>").append(stampRate);
  xml.append("</TIMESTAMP_SAMPLE_RATE></SPEED><TRACK_LIST><TRACK_COUNT>").append(trackCount);
  xml.append("</TRACK_COUNT><TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX><NAME>Boom</NAME></TRACK>");
  xml.append("<TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX><NAME>Lav</NAME></TRACK></TRACK_LIST>");
  xml.append("</BWFXML>\r\n");
  return xml + std::string(7, '\0') + " \n";
}

// Stereo at 48000 Hz with a bext time reference of 48000 samples (one second) and `xml`.
std::string withIxml(std::string_view xml) {
  return WaveBuilder()
      .fmt(1, 2, 48000, 16)
      .bext({.timeReference = 48000, .version = 1})
      .chunk("iXML", xml)
      .data(16)
      .bytes();
}

TEST(Ixml, FieldsAndWhatTheyContradict) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<Warning> warnings;
    FindingValue expected, actual;  // of the first finding
  };
  const Case cases[] = {
      {"two tracks and the bext's timestamp", withIxml(ixml("48000", "48000")), {}, {}, {}},
      // 1 s at 48000 Hz is 44100 samples at 44100 Hz: the same moment, but not the same rate.
      {"the same moment at another rate",
       withIxml(ixml("44100", "44100")),
       {Warning::kIxmlSampleRateMismatch},
       std::uint64_t{48000},
       std::uint64_t{44100}},
      {"a timestamp two samples later",
       withIxml(ixml("48002", "48000")),
       {Warning::kIxmlTimestampMismatch},
       std::uint64_t{48000},
       std::uint64_t{48002}},
      {"one sample later is within a sample", withIxml(ixml("48001", "48000")), {}, {}, {}},
      {"a track count that is not the channels",
       withIxml(ixml("48000", "48000", "3")),
       {Warning::kIxmlTrackCountMismatch},
       std::uint64_t{2},
       std::uint64_t{3}},
      {"an element left open",
       withIxml("<BWFXML><SCENE>12A</BWFXML>"),
       {Warning::kIxmlNotWellFormed},
       {},
       {}},
      {"a DOCTYPE", withIxml("<!DOCTYPE BWFXML><BWFXML/>"), {Warning::kIxmlNotWellFormed}, {}, {}},
      {"NULs before the root's end",
       withIxml("<BWFXML>\0</BWFXML>"),
       {Warning::kIxmlNotWellFormed},
       {},
       {}},
  };
  for (const Case& c : cases) {
    const WaveDetails d = detailsOf(c.bytes);
    std::vector<Warning> warnings;
    for (const Finding& finding : d.findings) warnings.push_back(finding.code);
    EXPECT_EQ(warnings, c.warnings) << c.name;
    if (!d.findings.empty()) {
      EXPECT_EQ(d.findings[0].offset, 12 + 24 + 610) << c.name;  // the iXML chunk's header
      EXPECT_EQ(d.findings[0].expected, c.expected) << c.name;
      EXPECT_EQ(d.findings[0].actual, c.actual) << c.name;
    }
  }
}

TEST(Ixml, ReadsTheElementsAsWritten) {
  const WaveDetails d = detailsOf(withIxml(ixml(" 48000 ", "48k")));
  ASSERT_TRUE(d.ixml);
  const IxmlFields& x = *d.ixml;
  EXPECT_EQ(x.version, "1.61");
  EXPECT_EQ(x.scene, "12A");
  EXPECT_EQ(x.circled, false);
  EXPECT_EQ(x.project, std::nullopt);
  EXPECT_EQ(x.timestampSamples, 48000u);           // white space around a number is no matter
  EXPECT_EQ(x.timestampSampleRate, std::nullopt);  // "48k" is not a number
  ASSERT_TRUE(x.tracks);
  ASSERT_EQ(x.tracks->size(), 2u);
  EXPECT_EQ((*x.tracks)[1].channelIndex, 2u);
  EXPECT_EQ((*x.tracks)[1].name, "Lav");
  EXPECT_EQ(x.fileSet.has_value(), false);
}

// A stored digest as an MD5 chunk holds it: the digest's bytes in reverse order.
std::string md5Chunk(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    bytes.insert(bytes.begin(), static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), 0, 16)));
  }
  return bytes;
}

// Records what a hash tells of its progress.
struct HashRecorder : HashProgress {
  void hashed(std::uint64_t done, std::uint64_t total) override { calls.push_back({done, total}); }
  std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
};

TEST(Md5Chunk, StoredAgainstComputed) {
  // 2.5 MiB and one zero bytes, then the pad byte, which is not hashed.
  const std::uint32_t size = 5 * 512 * 1024 + 1;
  const std::string zeros = "9c5c63dd88fb74d0026c66669ce57c36";  // md5sum of those bytes
  struct Case {
    const char* name;
    std::string storedHex;
    bool mismatch;
  };
  const Case cases[] = {
      {"a stored MD5 that matches", zeros, false},
      {"one that does not", "0123456789abcdef0123456789abcdef", true},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    files.add(
        "/f.wav",
        WaveBuilder().fmt(1, 1, 8000, 8).chunk("MD5 ", md5Chunk(c.storedHex)).data(size).bytes());
    OpenResult opened = files.open("/f.wav");
    OpenedFile& source = *opened.file;
    WaveDetails d = readWaveDetails(source);
    HashRecorder progress;
    verifyDataMd5(source, d, &progress);
    ASSERT_TRUE(d.md5) << c.name;
    EXPECT_EQ(hexOf(d.md5->stored), c.storedHex) << c.name;
    EXPECT_EQ(hexOf(d.md5->computed), zeros) << c.name;
    EXPECT_EQ(d.has(Warning::kMd5Mismatch), c.mismatch) << c.name;
    if (c.mismatch) {
      EXPECT_EQ(d.findings.back().offset, 36) << c.name;
      EXPECT_EQ(d.findings.back().expected, FindingValue(c.storedHex)) << c.name;
      EXPECT_EQ(d.findings.back().actual, FindingValue(zeros)) << c.name;
    }
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> calls = {
        {1 << 20, size}, {2 << 20, size}, {size, size}};
    EXPECT_EQ(progress.calls, calls) << c.name;
  }
}

}  // namespace
}  // namespace pelorin
