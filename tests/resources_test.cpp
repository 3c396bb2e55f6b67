// Probing many files with mixed outcomes leaves no descriptor open and changes no file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::TempDir;

struct Snapshot {
  std::string bytes;
  timespec modified;
};

// The bytes and modification time of a regular file (reading a FIFO would wait for a writer).
Snapshot snapshot(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  if (!S_ISREG(st.st_mode)) return {"", st.st_mtim};
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return {bytes.str(), st.st_mtim};
}

TEST(Resources, TenThousandMixedProbesLeaveNothingOpenAndNothingChanged) {
  TempDir dir;
  const std::string kinds[] = {canonicalWave(1000), "RIFF too short",
                               WaveBuilder().riffId("RIFX").fmt(1, 1, 8000, 8).data(80).bytes()};
  ::mkfifo((dir / "fifo").c_str(), 0600);
  std::vector<std::string> paths;
  std::vector<Snapshot> before;
  for (int i = 0; i < 10000; ++i) {
    // A named number: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + std::to_string().
    const std::string number = std::to_string(i);
    const std::string name = "f" + number + ".wav";
    switch (i % 5) {
      case 3:
        paths.push_back(dir / ("missing-" + name));
        break;
      case 4:
        paths.push_back(i % 2 ? dir.path() : dir / "fifo");
        break;
      default:
        paths.push_back(dir.write(name, kinds[i % 5]));
        break;
    }
  }
  for (const std::string& path : paths) before.push_back(snapshot(path));

  testing::RecordingSink sink;
  RuntimeContext ctx(sink);
  const int descriptors = testing::openDescriptorCount();
  for (const std::string& path : paths) GetSondur(ctx, path);
  EXPECT_EQ(testing::openDescriptorCount(), descriptors);
  EXPECT_EQ(sink.boxes.size(), paths.size());
  EXPECT_EQ(ctx.files.lowestFreeNumber(), 1);

  for (std::size_t i = 0; i < paths.size(); ++i) {
    const Snapshot after = snapshot(paths[i]);
    ASSERT_EQ(after.bytes, before[i].bytes) << paths[i];
    ASSERT_EQ(after.modified.tv_sec, before[i].modified.tv_sec) << paths[i];
    ASSERT_EQ(after.modified.tv_nsec, before[i].modified.tv_nsec) << paths[i];
  }
}

}  // namespace
}  // namespace pelorin
