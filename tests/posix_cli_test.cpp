// The command line where it needs a POSIX system: child processes, pipes and terminals, links
// and FIFOs in a walk, permissions, fanotify, and names that hold bytes other systems refuse.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <poll.h>
#include <pty.h>
#include <sys/fanotify.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/inputs.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/posix_stream.h"
#include "cli/progress.h"
#include "cli_runner.h"
#include "library_tree.h"
#include "runtime/unique_fd.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::reportedPaths;
using testing::runCli;
using testing::TempDir;

class PosixCli : public ::testing::Test {
 protected:
  TempDir dir;
  const std::string tone = dir.write("tone.wav", canonicalWave());
  const std::string missing = dir / "missing.wav";
};

// The walks' library, with links and a FIFO among its files.
class PosixBatch : public ::testing::Test {
 protected:
  PosixBatch() {
    ::symlink("../outside.wav", (dir / "lib/link-to-file.wav").c_str());
    ::symlink("b-sub", (dir / "lib/link-to-folder.wav").c_str());
    ::mkfifo((dir / "lib/fifo.wav").c_str(), 0600);
  }

  TempDir dir;
  const std::string lib = testing::makeLibrary(dir);
};

TEST_F(PosixCli, JsonKeepsStartingValuesAndEscapesWhatItMust) {
  const std::string odd =
      dir.write("q\"\\\xff.wav", WaveBuilder().fmt(1, 1, 0, 8).data(100).bytes());
  const auto run = runCli({"--json", missing, odd});
  std::istringstream lines(run.out);
  std::string failure, infinite;
  std::getline(lines, failure);
  std::getline(lines, infinite);
  EXPECT_EQ(failure, "{\"path\":\"" + missing +
                         "\",\"report\":\"open-failure\",\"title\":\"Pelorin\",\"prompt\":\"Error "
                         "opening file " +
                         missing +
                         "\\r\\n 53 - File not found\",\"riffId\":\"\\u0000\\u0000\\u0000\\u0000\","
                         "\"formType\":\"\\u0000\\u0000\\u0000\\u0000\",\"fmtId\":\"\\u0000\\u0000"
                         "\\u0000\\u0000\",\"fmtChunkLength\":0,\"formatTag\":0,\"channels\":0,"
                         "\"sampleRate\":0,\"bitsPerSample\":0,\"dataSize\":0,\"lengthSeconds\":0,"
                         "\"errorNumber\":53,\"errorDescription\":\"File not found\"}");
  EXPECT_NE(infinite.find("\"path\":\"" + dir.path() + "/q\\\"\\\\\xEF\xBF\xBD.wav\""),
            std::string::npos);
  EXPECT_NE(infinite.find("\"lengthSeconds\":null"), std::string::npos);
}

TEST_F(PosixCli, NamesAndIdentifiersCannotForgeLinesOrRows) {
  const std::string forged =
      dir.write("x.wav\r\nLength = 99999 seconds.\r\n\r\nWav file info...",
                WaveBuilder().formType("W\r\nE").fmt(1, 1, 8000, 8).data(8).bytes());
  const std::string tone = dir.write("y.wav\r\nLength = 99999 seconds.", canonicalWave());
  const auto lines = [](const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
  };
  EXPECT_EQ(lines(runCli({tone}).out), 12);   // the title and the prompt's eleven lines
  EXPECT_EQ(lines(runCli({forged}).out), 4);  // the title and three identifiers
  EXPECT_EQ(lines(runCli({"--tsv", tone, forged}).out), 3);
  EXPECT_NE(runCli({tone}).out.find("y.wav\u240D\u240ALength = 99999 seconds.\n"),
            std::string::npos);
  EXPECT_NE(runCli({forged}).out.find("RiffID =W\u240D\u240AE\n"), std::string::npos);
  EXPECT_NE(runCli({"--json", tone}).out.find("y.wav\\r\\nLength = 99999 seconds.\\r\\n"),
            std::string::npos);
}

// Runs the real binary with its output on `outFd`; returns its exit status and stderr.
std::pair<int, std::string> runBinary(const std::vector<std::string>& args, int outFd) {
  int errPipe[2];
  if (::pipe(errPipe) != 0) return {-1, ""};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(outFd, 1);
    ::dup2(errPipe[1], 2);
    std::vector<char*> argv{const_cast<char*>(PELORIN_CLI_PATH)};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(errPipe[1]);
  std::string err;
  char buffer[512];
  for (ssize_t n; (n = ::read(errPipe[0], buffer, sizeof buffer)) > 0;) err.append(buffer, n);
  ::close(errPipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), err};
}

// pelorin-cli's stdout, with `in` as its standard input; `feed`, where given, is written to
// `feedFd` while it runs, which is then closed.
std::string outputReading(int in, int feedFd = -1, const std::string& feed = {}) {
  const UniqueFd out(::memfd_create("stdin-out", 0));
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(in, 0);
    ::dup2(out.get(), 1);
    ::execl(PELORIN_CLI_PATH, PELORIN_CLI_PATH, "--json", "--details", "--verify-md5", "-",
            nullptr);
    ::_exit(127);
  }
  if (feedFd >= 0) {
    ::write(feedFd, feed.data(), feed.size());
    ::close(feedFd);
  }
  ::waitpid(child, nullptr, 0);
  std::string text(static_cast<std::size_t>(::lseek(out.get(), 0, SEEK_END)), '\0');
  ::pread(out.get(), text.data(), text.size(), 0);
  return text;
}

TEST_F(PosixCli, AFileThroughAPipeGetsTheReportItGetsAsAFile) {
  const std::string bytes =
      WaveBuilder().fmt(1, 2, 44100, 16).data(3 << 20).listInfo({{"INAM", "n"}}).bytes();
  const UniqueFd file(::open(dir.write("big.wav", bytes).c_str(), O_RDONLY | O_CLOEXEC));
  const std::string asFile = outputReading(file.get());
  int pipeFds[2];
  ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
  const UniqueFd readEnd(pipeFds[0]);
  EXPECT_EQ(outputReading(readEnd.get(), pipeFds[1], bytes), asFile);
  EXPECT_NE(asFile.find("\"path\":\"-\",\"report\":\"information\""), std::string::npos);
  EXPECT_NE(asFile.find("\"info\":{\"INAM\":\"n\"}"), std::string::npos);

  const UniqueFd folder(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  EXPECT_NE(outputReading(folder.get()).find("\"errorNumber\":75"), std::string::npos);
}

TEST_F(PosixCli, AFullDiskIsAnErrorNeverASuccess) {
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  const auto [status, err] = runBinary({tone}, full);
  ::close(full);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(err, "pelorin-cli: error: cannot write output: No space left on device\n");
}

TEST_F(PosixCli, AClosedPipeEndsTheRunQuietly) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ::close(pipeFds[0]);
  const auto [status, err] = runBinary({tone, tone, tone}, pipeFds[1]);
  ::close(pipeFds[1]);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(err, "");
}

// `--files-from L >> L` would read its own reports as paths until the disk is full.
TEST_F(PosixCli, AFileListThatIsTheOutputFileIsRefused) {
  const std::string list = dir.write("list", tone + "\n");
  const UniqueFd appended(::open(list.c_str(), O_WRONLY | O_APPEND));
  cli::FdStream out(appended.get());
  testing::MemoryStream err;
  EXPECT_EQ(cli::run({"--files-from", list}, out, err), 2);
  EXPECT_EQ(err.text, "pelorin-cli: error: cannot read the file list '" + list +
                           "': it is the file the output goes to\n");
  struct stat written;
  ASSERT_EQ(::stat(list.c_str(), &written), 0);
  EXPECT_EQ(static_cast<std::size_t>(written.st_size), tone.size() + 1);
}

// A parent may hand down a pipe it made non-blocking: while the pipe is full, the output waits
// for the reader instead of failing.
TEST(Output, ANonBlockingPipeIsWaitedForWhileFull) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const UniqueFd readEnd(fds[0]);
  UniqueFd writeEnd(fds[1]);
  ASSERT_EQ(::fcntl(writeEnd.get(), F_SETFL, O_NONBLOCK), 0);
  const int capacity = ::fcntl(writeEnd.get(), F_GETPIPE_SZ);
  std::string received;
  std::thread slowReader([&] {
    // Reads only once the pipe is full, so that the writer has met it full.
    for (int held = 0; ::ioctl(readEnd.get(), FIONREAD, &held) == 0 && held < capacity;) {
      ::usleep(1000);
    }
    char buffer[4096];
    for (ssize_t n; (n = ::read(readEnd.get(), buffer, sizeof buffer)) > 0;)
      received.append(buffer, n);
  });
  std::string text;
  for (int i = 0; i < 4 * capacity; ++i) text.push_back(static_cast<char>('a' + i % 23));
  cli::FdStream stream(writeEnd.get());
  cli::Output output(stream);
  output.buffer() = text;
  output.flush();
  writeEnd.reset();
  slowReader.join();
  EXPECT_EQ(output.writeError(), "");
  EXPECT_TRUE(received == text) << received.size() << " of " << text.size() << " bytes";
}

TEST_F(PosixBatch, AWalkProbesLinksToFilesButNeitherLinksToFoldersNorFifos) {
  const auto run = runCli({"--tsv", "-r", lib});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(
      reportedPaths(run.out),
      (std::vector<std::string>{lib + "/.h.wav", lib + "/.hidden-sub/y.Wav", lib + "/B.WAV",
                                lib + "/a.wav", lib + "/b-sub/x.wav", lib + "/link-to-file.wav"}));
  EXPECT_EQ(reportedPaths(runCli({"--tsv", "-r", "--all-files", lib}).out).size(), 7u);
}

TEST_F(PosixBatch, ANulSeparatedListTakesNamesWithLineBreaks) {
  const std::string odd = dir.write("new\nline.wav", canonicalWave(100));
  const auto run = runCli({"--json", "--files-from", dir.write("list0", odd + '\0'), "-0"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("new\\nline.wav"), std::string::npos);
}

TEST_F(PosixBatch, UnreadableFolderGetsOneReport) {
  const std::string locked = dir / "lib/b-sub";
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
  // As an unprivileged user, in a child process: root may read every folder.
  const int out = ::memfd_create("walk-out", 0);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(254);
    const auto run = runCli({"--json", "-r", dir / "lib"});
    ::pwrite(out, run.out.data(), run.out.size(), 0);
    ::_exit(run.status);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ::chmod(locked.c_str(), 0755);
  std::string text(static_cast<std::size_t>(::lseek(out, 0, SEEK_END)), '\0');
  ::pread(out, text.data(), text.size(), 0);
  ::close(out);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(text.find("\"path\":\"" + locked + "\",\"report\":\"open-failure\""),
            std::string::npos);
  EXPECT_NE(text.find("70 - Permission denied"), std::string::npos);
  EXPECT_NE(text.find("/lib/a.wav"), std::string::npos);  // the walk went on
}

TEST_F(PosixBatch, TsvShowsControlCharactersInNamesAsPictures) {
  const std::string tabbed = dir.write("tab\there.wav", canonicalWave(176400));
  const auto run = runCli({"--tsv", tabbed});
  EXPECT_EQ(run.out.substr(run.out.find('\n') + 1),
            dir.path() + "/tab\u2409here.wav\tinformation\t1\t2\t44100\t16\t176400\t1\n");
}

TEST_F(PosixBatch, ADanglingLinkInAWalkGetsItsOpenFailureReport) {
  ::mkdir((dir / "walked").c_str(), 0755);
  ::symlink("nowhere.wav", (dir / "walked/dangling.wav").c_str());
  const auto run = runCli({"--tsv", "-r", dir / "walked"});
  EXPECT_EQ(reportedPaths(run.out), std::vector<std::string>{dir / "walked/dangling.wav"});
  EXPECT_NE(run.out.find("\topen-failure\t"), std::string::npos);
}

// The walk lists a folder, then opens its subfolders one by one: a subfolder swapped in between
// for a link to another folder is not entered.
TEST_F(PosixBatch, AFolderSwappedForALinkDuringTheWalkIsNotEntered) {
  ::mkdir((dir / "walked").c_str(), 0755);
  ::mkdir((dir / "walked/sub").c_str(), 0755);
  const std::string first = dir.write("walked/a.wav", canonicalWave(100));
  dir.write("walked/sub/inside.wav", canonicalWave(100));
  const std::string walked = dir / "walked";
  const cli::Options options{.recursive = true, .paths = {walked}};
  cli::Inputs inputs(options);
  ASSERT_TRUE(inputs.open());
  cli::Item item;
  ASSERT_TRUE(inputs.next(item));
  ASSERT_EQ(item.path, first);
  // "walked" is listed, with "sub" a folder: make "sub" a link to the library outside.
  ASSERT_EQ(::rename((dir / "walked/sub").c_str(), (dir / "moved").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "lib").c_str(), (dir / "walked/sub").c_str()), 0);
  std::vector<std::string> rest;
  while (inputs.next(item)) rest.push_back(item.path);
  EXPECT_EQ(rest, std::vector<std::string>{});
}

// fanotify makes the system refuse to read one folder's entries, as a failing disk would (it
// needs CAP_SYS_ADMIN): the folder gets one report, and the walk goes on.
TEST_F(PosixBatch, AFolderWhoseListingFailsGetsOneReport) {
  const std::string walked = dir / "lib";
  const std::string locked = walked + "/b-sub";
  const UniqueFd events(::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY));
  if (!events) GTEST_SKIP() << "fanotify is not allowed here";
  ASSERT_EQ(::fanotify_mark(events.get(), FAN_MARK_ADD, FAN_ACCESS_PERM | FAN_ONDIR, AT_FDCWD,
                            locked.c_str()),
            0);
  std::atomic<bool> done = false;
  std::thread refuser([&] {
    while (!done) {
      pollfd ready{events.get(), POLLIN, 0};
      if (::poll(&ready, 1, 10) <= 0) continue;
      alignas(fanotify_event_metadata) char buffer[4096];
      ssize_t size = ::read(events.get(), buffer, sizeof buffer);
      for (auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
           FAN_EVENT_OK(event, size); event = FAN_EVENT_NEXT(event, size)) {
        const fanotify_response refusal{event->fd, FAN_DENY};
        static_cast<void>(::write(events.get(), &refusal, sizeof refusal));
        ::close(event->fd);
      }
    }
  });
  const auto run = runCli({"--json", "-r", walked});
  done = true;
  refuser.join();
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("{\"path\":\"" + locked + "\",\"report\":\"open-failure\""),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(" 57 - Device I/O error\""), std::string::npos);
  EXPECT_NE(run.out.find("/lib/link-to-file.wav"), std::string::npos);  // the walk went on
}

// A 200 MiB line in a list streamed through a pipe: the list is read in a fixed buffer, and
// the run's peak memory stays that of any run.
TEST_F(PosixBatch, AnEnormousLineInAFileListTakesNoMemory) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer's shadow memory and quarantine decide the peak here";
#endif
  int list[2];
  ASSERT_EQ(::pipe2(list, O_CLOEXEC), 0);
  const UniqueFd out(::memfd_create("list-out", 0));
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit oneGiB{1 << 30, 1 << 30};  // a run that holds the line fails, not the machine
    ::setrlimit(RLIMIT_AS, &oneGiB);
    ::dup2(list[0], 0);
    ::dup2(out.get(), 1);
    ::execl(PELORIN_CLI_PATH, PELORIN_CLI_PATH, "--tsv", "--files-from", "-", nullptr);
    ::_exit(127);
  }
  ::close(list[0]);
  std::signal(SIGPIPE, SIG_IGN);  // a child that died early shows as a failed write
  const auto send = [&](const std::string& bytes) {
    return ::write(list[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  };
  const std::string mebibyte(1 << 20, 'n');
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(send(mebibyte));
  std::string lastLines = "\n";  // appended: GCC 12 at -O3 warns falsely on "literal" + string
  lastLines.append(dir / "lib/a.wav").append("\n");
  ASSERT_TRUE(send(lastLines));
  ::close(list[1]);
  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_LT(usage.ru_maxrss, 16 * 1024) << "KiB";
  std::string text(static_cast<std::size_t>(::lseek(out.get(), 0, SEEK_END)), '\0');
  ::pread(out.get(), text.data(), text.size(), 0);
  EXPECT_EQ(reportedPaths(text),
            (std::vector<std::string>{mebibyte.substr(0, PATH_MAX) + "\u2026", dir / "lib/a.wav"}));
}

// Whatever `fd` holds to read now, without waiting.
std::string drain(int fd) {
  std::string got;
  char buffer[4096];
  pollfd in{fd, POLLIN, 0};
  while (::poll(&in, 1, 0) == 1 && (in.revents & POLLIN)) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

TEST(Progress, ALineTheTerminalCannotTakeIsDroppedNotWaitedFor) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);  // blocking, as a terminal is
  ::fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);
  const std::string block(65536, 'x');
  while (::write(pipeFds[1], block.data(), block.size()) > 0) {
  }
  ::fcntl(pipeFds[1], F_SETFL, 0);
  cli::FdStream err(pipeFds[1]);
  testing::MemoryStream reports;
  cli::Progress progress(cli::ProgressMode::kAlways, &err, reports);
  progress.update(1);  // would block forever if it waited
  progress.finish();
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
}

TEST(Progress, ReportsOnTheSameTerminalAreNeverCutByTheLine) {
  int terminal, device;
  ASSERT_EQ(::openpty(&terminal, &device, nullptr, nullptr, nullptr), 0);
  termios raw;
  ::tcgetattr(device, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(device, TCSANOW, &raw);
  TempDir dir;
  std::vector<std::string> args = {"--progress"};
  for (int i = 0; i < 300; ++i) {
    const std::string number = std::to_string(i);  // named: see SeveralWorkersKeepTheInputOrder
    args.push_back(dir.write("f" + number, canonicalWave()));
  }
  std::atomic<bool> done = false;
  std::string shown;
  std::thread reader([&] {
    while (!done) shown += drain(terminal);
  });
  testing::MemoryStream err;
  cli::FdStream shared(device);
  EXPECT_EQ(cli::run(args, shared, err, &shared), 0);
  done = true;
  reader.join();
  shown += drain(terminal);
  ::close(terminal);
  ::close(device);
  // Every report line is whole: the progress line, erased and drawn again, only ever stands
  // on a line of its own, and never runs into a report.
  const std::regex progressLine(R"(\d+ files, \d+ files/s, \d+:\d\d)");
  std::istringstream lines(shown);
  int reports = 0;
  for (std::string line; std::getline(lines, line);) {
    std::string last =
        line.substr(line.rfind("\r\x1b[K") == std::string::npos ? 0 : line.rfind("\r\x1b[K") + 4);
    EXPECT_TRUE(last.find(" files/s, ") == std::string::npos ||
                std::regex_match(last, progressLine))
        << line;
    if (last == "Length = 1 seconds.") ++reports;
  }
  EXPECT_EQ(reports, 300);
}

}  // namespace
}  // namespace pelorin
