// Hostile input: special files, odd names, exhausted limits, enormous or absurd chunk lists.
// Whatever the input, a probe ends in exactly one report and leaves nothing open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>

#include "cli_runner.h"
#include "runtime/posix_file_system.h"
#include "runtime/unique_fd.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::probe;
using testing::TempDir;

// Runs `probeInChild` in a child process and gives back what it exits with (255 when it threw:
// an exception must not reach the test runner's copy in the child).
template <typename Body>
int inChild(Body probeInChild) {
  const pid_t child = ::fork();
  if (child == 0) {
    int code = 255;
    try {
      code = probeInChild();
    } catch (...) {
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The error number of one probe of `path`, as a process exit code; 0 for any other report.
int probedErrorNumber(const std::string& path) {
  const auto run = probe(path);
  if (run.boxes.size() != 1) return 255;
  return run.outcome.errorNumber;
}

TEST(Hostile, UnreadableFileForAnUnprivilegedProcess) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string secret = dir.write("secret.wav", canonicalWave());
  ASSERT_EQ(::chmod(secret.c_str(), 0), 0);
  const int number = inChild([&] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 254;
    return probedErrorNumber(secret);
  });
  EXPECT_EQ(number, 70);
}

TEST(Hostile, DescriptorLimitReached) {
  TempDir dir;
  const std::string tone = dir.write("tone.wav", canonicalWave());
  const int number = inChild([&] {
    // One probe first, so that nothing of the process's own (a sanitizer's runtime reading
    // /proc, say) needs a descriptor for the first time once none is left.
    probe(tone);
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    const rlimit limit{static_cast<rlim_t>(lowestFree), static_cast<rlim_t>(lowestFree)};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return 254;
    return probedErrorNumber(tone);
  });
  EXPECT_EQ(number, 67);
}

// Whether process `pid` is asleep, as one blocked in a system call is.
bool isAsleep(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const std::size_t end = line.rfind(')');
  return end != std::string::npos && line.compare(end + 2, 1, "S") == 0;
}

TEST(Hostile, AWriterWaitingOnAFifoIsNeitherReleasedNorRobbed) {
  TempDir dir;
  const std::string fifo = dir / "fifo.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t writer = ::fork();
  if (writer == 0) {
    static_cast<void>(::write(ready[1], "r", 1));
    const int fd = ::open(fifo.c_str(), O_WRONLY);  // waits for a reader
    ::_exit(fd >= 0 && ::write(fd, "message", 7) == 7 ? 0 : 1);
  }
  char byte;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  while (!isAsleep(writer)) ::usleep(1000);

  EXPECT_EQ(probe(fifo).outcome.errorNumber, 75);
  // A writer the probe had released would now write to nobody and die.
  for (int i = 0; i < 20; ++i) {
    ::usleep(10000);
    ASSERT_EQ(::waitpid(writer, nullptr, WNOHANG), 0) << "the writer was released";
  }
  const UniqueFd reader(::open(fifo.c_str(), O_RDONLY));
  char message[8] = {};
  EXPECT_EQ(::read(reader.get(), message, sizeof message), 7);
  EXPECT_STREQ(message, "message");
  int status = 0;
  ::waitpid(writer, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST(Hostile, ProbingKeepsTheAccessTimeOfTheUsersFiles) {
  TempDir dir;
  const std::string tone = dir.write("tone.wav", canonicalWave());
  // Older than the modification time, so that even a relatime mount would update it on a read.
  const timespec times[2] = {{1577836800, 0}, {0, UTIME_OMIT}};
  ASSERT_EQ(::utimensat(AT_FDCWD, tone.c_str(), times, 0), 0);
  EXPECT_EQ(probe(tone).outcome.report, Report::kInformation);
  struct stat after;
  ASSERT_EQ(::stat(tone.c_str(), &after), 0);
  EXPECT_EQ(after.st_atim.tv_sec, 1577836800);
}

TEST(Hostile, EmptyPathAndAbsurdNames) {
  TempDir dir;
  EXPECT_EQ(probe("").outcome.errorNumber, 52);
  EXPECT_EQ(probe(dir / std::string(256, 'n')).outcome.errorNumber, 52);
  EXPECT_EQ(probe(std::string("with\0nul.wav", 12)).outcome.errorNumber, 52);
  std::string deep = dir.path();
  while (deep.size() <= PATH_MAX) deep += "/" + std::string(250, 'd');
  EXPECT_EQ(probe(deep).outcome.errorNumber, 52);
}

TEST(Hostile, NameThatIsNotUtf8KeepsTheOutputWhole) {
  TempDir dir;
  const std::string name = dir.write("bad\xff\xfe name.wav", canonicalWave());
  const auto text = testing::runCli({name});
  const auto json = testing::runCli({"--json", name});
  EXPECT_EQ(text.status, 0);
  const std::string out = text.out + json.out;
  EXPECT_EQ(testing::pathText(out), out) << "output is not valid UTF-8";
  EXPECT_NE(out.find("Filename =" + dir.path() + "/bad\uFFFD\uFFFD name.wav\n"), std::string::npos);
  EXPECT_NE(out.find("\\r\\nFilename =" + dir.path() + "/bad\uFFFD\uFFFD name.wav\\r\\n"),
            std::string::npos);
}

TEST(Hostile, ChunkSizesPastFourGiBAreSixtyFourBitPositions) {
  TempDir dir;
  // A chunk of almost 4 GiB between the format and the data chunk, in a sparse file.
  const std::string head = WaveBuilder().fmt(1, 2, 44100, 16).bytes() + "junk" + le32(0xFFFFFFF0u);
  const std::string path = dir.write("far.wav", head);
  const off_t dataOffset = static_cast<off_t>(head.size()) + 0xFFFFFFF0LL;
  const int fd = ::open(path.c_str(), O_WRONLY);
  const std::string dataHeader = "data" + le32(88200);
  ASSERT_EQ(::pwrite(fd, dataHeader.data(), dataHeader.size(), dataOffset), 8);
  ASSERT_EQ(::ftruncate(fd, dataOffset + 8 + 88200), 0);
  ::close(fd);
  const auto run = probe(path);
  EXPECT_EQ(run.outcome.values.dataSize, 88200u);
  EXPECT_EQ(run.result, 0.5);
}

TEST(Hostile, ChunkSizesThatRunPastTheEndStopTheWalk) {
  TempDir dir;
  for (std::uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF8u, 0x80000000u}) {
    const auto run =
        probe(dir.write("huge-chunk.wav", WaveBuilder()
                                              .fmt(1, 2, 44100, 16)
                                              .chunkDeclaring("junk", size, "")
                                              .raw("data" + le32(17640) + std::string(17640, '\0'))
                                              .bytes()));
    ASSERT_EQ(run.boxes.size(), 1u);
    // The walk is lost past the end; "data" is still within the first hundred bytes.
    EXPECT_EQ(run.outcome.values.dataSize, 17640u) << size;
    EXPECT_EQ(run.result, 0.1) << size;
  }
}

TEST(Hostile, TwoHundredThousandEmptyChunksEndAtTheWalksLimit) {
  TempDir dir;
  WaveBuilder builder;
  builder.fmt(1, 2, 44100, 16);
  std::string empties;
  for (int i = 0; i < 200000; ++i) empties += std::string("none") + le32(0);
  const std::string bytes = builder.raw(empties).data(176400).bytes();
  const auto run = probe(dir.write("empties.wav", bytes));
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.outcome.report, Report::kInformation);
  EXPECT_NE(run.outcome.values.dataSize, 176400u);  // beyond the walk's reach
}

// The descriptor this process holds on `path`, or -1.
int descriptorOn(const std::string& path) {
  const std::filesystem::path target = std::filesystem::canonical(path);
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) == target) {
      return std::stoi(entry.path().filename().string());
    }
  }
  return -1;
}

TEST(Hostile, FilesAreOpenedReadOnlyAndWithoutBlocking) {
  TempDir dir;
  // Longer than the head, so that the opened file keeps its descriptor for later reads.
  const std::string tone = dir.write("tone.wav", canonicalWave());
  PosixFileSystem files;
  const OpenResult opened = files.open(tone);
  ASSERT_TRUE(opened.file);
  const int fd = descriptorOn(tone);
  ASSERT_GE(fd, 0);
  const int flags = ::fcntl(fd, F_GETFL);
  EXPECT_EQ(flags & O_ACCMODE, O_RDONLY);
  EXPECT_TRUE(flags & O_NONBLOCK);
  EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
}

// No thread can be started (the user's limit of processes reached): the run goes on on the
// calling thread, and its output is that of a run with one worker.
TEST(Hostile, WorkersThatCannotBeStarted) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  std::vector<std::string> args = {"--tsv", "--summary", "-j", "4"};
  for (int i = 0; i < 300; ++i) {
    // A named number: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + std::to_string().
    const std::string number = std::to_string(i);
    const std::string name = "f" + number + ".wav";
    args.push_back(i % 7 == 3 ? dir / name : dir.write(name, canonicalWave(i)));
  }
  const UniqueFd out(::memfd_create("workers-out", 0));
  const int status = inChild([&] {
    // As an unprivileged user, in a child process: root may start threads beyond any limit.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 254;
    const rlimit none{0, 0};
    if (::setrlimit(RLIMIT_NPROC, &none) != 0) return 254;
    try {
      std::thread([] {}).join();
      return 253;
    } catch (const std::system_error&) {
    }
    const auto run = testing::runCli(args);
    return ::pwrite(out.get(), run.out.data(), run.out.size(), 0) < 0 ? 254 : run.status;
  });
  if (status == 253) GTEST_SKIP() << "the system starts threads beyond RLIMIT_NPROC here";
  EXPECT_EQ(status, 1);
  std::string text(static_cast<std::size_t>(::lseek(out.get(), 0, SEEK_END)), '\0');
  ::pread(out.get(), text.data(), text.size(), 0);
  args[3] = "1";
  EXPECT_EQ(text, testing::runCli(args).out);
}

}  // namespace
}  // namespace pelorin
