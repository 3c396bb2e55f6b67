// The "ixml" and "md5" keys, their text lines, and the progress of a hash.
#include <gtest/gtest.h>

#include "cli/progress.h"
#include "cli_runner.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::runCli;

// What a record holds from `key` to the next key of the details after it.
std::string keyOf(const std::string& record, const std::string& key, const std::string& next) {
  const std::size_t start = record.find("\"" + key + "\":");
  return record.substr(start, record.find(",\"" + next + "\":", start) - start);
}

TEST(IxmlMd5Cli, KeysAndTextLines) {
  testing::TempDir dir;
  const std::string xml =
      "<BWFXML><PROJECT>Caf\xC3\xA9</PROJECT><CIRCLED>TRUE</CIRCLED><TRACK_LIST><TRACK>"
      "<CHANNEL_INDEX>1</CHANNEL_INDEX><NAME>a\tb</NAME></TRACK></TRACK_LIST>"
      "<FILE_SET><TOTAL_FILES>x</TOTAL_FILES></FILE_SET></BWFXML>";
  // The data's MD5 is 4ae71336e44bf9bf79d2752e234818a5 (16 zero bytes), stored reversed.
  const std::string stored("\xA5\x18\x48\x23\x2E\x75\xD2\x79\xBF\xF9\x4B\xE4\x36\x13\xE7\x4A", 16);
  const std::string path = dir.write(
      "a.wav",
      WaveBuilder().fmt(1, 1, 8000, 8).chunk("iXML", xml).chunk("MD5 ", stored).data(16).bytes());
  const std::string plain = dir.write("b.wav", canonicalWave(16));

  const std::string record = runCli({"--json", "--details", "--verify-md5", path}).out;
  EXPECT_EQ(keyOf(record, "ixml", "adm"),
            "\"ixml\":{\"version\":null,\"project\":\"Caf\u00E9\",\"scene\":null,\"take\":null,"
            "\"tape\":null,\"circled\":true,\"note\":null,\"fileUid\":null,\"timecodeRate\":null,"
            "\"timecodeFlag\":null,\"timestampSamples\":null,\"timestampSampleRate\":null,"
            "\"tracks\":[{\"channelIndex\":1,\"interleaveIndex\":null,\"name\":\"a\\tb\","
            "\"function\":null}],\"fileSet\":{\"totalFiles\":null,\"familyUid\":null,"
            "\"index\":null}}");
  EXPECT_NE(record.find("\"md5\":{\"stored\":\"4ae71336e44bf9bf79d2752e234818a5\",\"computed\":"
                        "\"4ae71336e44bf9bf79d2752e234818a5\",\"match\":true}"),
            std::string::npos);
  EXPECT_NE(runCli({"--json", "--details", "--verify-md5", plain})
                .out.find("\"md5\":{\"stored\":null,\"computed\":"
                          "\"4ae71336e44bf9bf79d2752e234818a5\",\"match\":null}"),
            std::string::npos);
  const std::string without = runCli({"--json", "--details", plain}).out;
  EXPECT_NE(without.find("\"ixml\":null,\"adm\":null"), std::string::npos);
  EXPECT_NE(without.find("\"xmp\":null,\"md5\":null}"), std::string::npos);

  const std::string text = runCli({"--details", path}).out;
  EXPECT_NE(text.find("\n  iXML:\n    project: Caf\u00E9\n    circled: yes\n    tracks: 1\n"
                      "      1: channel 1, name a\u2409b\n  MD5:\n"
                      "    stored: 4ae71336e44bf9bf79d2752e234818a5\n"),
            std::string::npos)
      << text;
}

TEST(IxmlMd5Cli, TheProgressLineShowsTheMiBHashed) {
  testing::MemoryStream err, reports;
  cli::Progress progress(cli::ProgressMode::kAlways, &err, reports);
  const auto drain = [&] { return std::exchange(err.text, ""); };
  const auto start = cli::Progress::Clock::now();
  const auto at = [&](int ms) { return start + std::chrono::milliseconds(ms); };
  const std::uint64_t mib = 1 << 20;
  progress.update(3, at(0));
  drain();
  progress.hashed(mib, 5 * mib / 2, at(100));  // too soon after the last draw
  EXPECT_EQ(drain(), "");
  progress.hashed(2 * mib, 5 * mib / 2, at(250));
  const std::string line = drain();
  EXPECT_EQ(line.rfind("\r\x1b[K3 files, ", 0), 0u) << line;
  EXPECT_TRUE(line.ends_with(", 0:00, hashing 2 of 3 MiB")) << line;
  progress.hashed(2 * mib + 1, 5 * mib / 2, at(450));  // a hash redraws after 200 ms
  EXPECT_TRUE(drain().ends_with(", hashing 2 of 3 MiB"));
  progress.erase();  // reports are being written: no draw until redraw()
  drain();
  progress.hashed(2 * mib, 5 * mib / 2, at(700));
  EXPECT_EQ(drain(), "");
  progress.redraw();
  drain();
  progress.hashed(5 * mib / 2, 5 * mib / 2, at(800));  // the file is done
  progress.update(4, at(900));
  EXPECT_TRUE(drain().ends_with(" files/s, 0:00"));
}

}  // namespace
}  // namespace pelorin
