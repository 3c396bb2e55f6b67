// Many files: walking folders, file lists, one line per file, totals, and several workers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <poll.h>
#include <pty.h>
#include <sys/fanotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/inputs.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli_runner.h"
#include "runtime/number_text.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::runCli;
using testing::TempDir;

// The path of every report of a --tsv run, in order.
std::vector<std::string> reportedPaths(const std::string& tsv) {
  std::vector<std::string> paths;
  std::size_t start = tsv.find('\n') + 1;  // after the header
  while (start < tsv.size()) {
    const std::size_t end = tsv.find('\n', start);
    paths.push_back(tsv.substr(start, tsv.find('\t', start) - start));
    start = end + 1;
  }
  return paths;
}

class Batch : public ::testing::Test {
 protected:
  Batch() {
    const std::string wave = canonicalWave(100);
    ::mkdir((dir / "lib").c_str(), 0755);
    ::mkdir((dir / "lib/b-sub").c_str(), 0755);
    ::mkdir((dir / "lib/.hidden-sub").c_str(), 0755);
    dir.write("lib/a.wav", wave);
    dir.write("lib/B.WAV", wave);
    dir.write("lib/c.txt", "not sound");
    dir.write("lib/.h.wav", wave);
    dir.write("lib/b-sub/x.wav", wave);
    dir.write("lib/.hidden-sub/y.Wav", wave);
    dir.write("outside.wav", wave);
    ::symlink("../outside.wav", (dir / "lib/link-to-file.wav").c_str());
    ::symlink("b-sub", (dir / "lib/link-to-folder.wav").c_str());
    ::mkfifo((dir / "lib/fifo.wav").c_str(), 0600);
  }

  TempDir dir;
};

TEST_F(Batch, WalksFoldersDepthFirstInByteOrder) {
  const std::string lib = dir / "lib";
  const auto run = runCli({"--tsv", "-r", lib});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(
      reportedPaths(run.out),
      (std::vector<std::string>{lib + "/.h.wav", lib + "/.hidden-sub/y.Wav", lib + "/B.WAV",
                                lib + "/a.wav", lib + "/b-sub/x.wav", lib + "/link-to-file.wav"}));
}

TEST_F(Batch, AllFilesTakesEveryRegularFile) {
  const std::string lib = dir / "lib";
  const auto run = runCli({"--tsv", "-r", "--all-files", lib + "/b-sub", lib});
  const auto paths = reportedPaths(run.out);
  ASSERT_EQ(paths.size(), 8u) << run.out;
  EXPECT_EQ(paths[0], lib + "/b-sub/x.wav");
  EXPECT_EQ(paths[4], lib + "/a.wav");
  EXPECT_EQ(paths[6], lib + "/c.txt");
  EXPECT_EQ(run.status, 1);  // c.txt is too short
}

TEST_F(Batch, NamedPathsAreProbedWhateverTheirNames) {
  const auto run = runCli({"--tsv", dir / "lib/c.txt", dir / "lib"});
  EXPECT_EQ(
      run.out,
      "path\treport\tformatTag\tchannels\tsampleRate\tbitsPerSample\tdataSize\tlengthSeconds\n" +
          dir / "lib/c.txt" + "\ttoo-short\t0\t0\t0\t0\t0\t0\n" + dir / "lib" +
          "\topen-failure\t0\t0\t0\t0\t0\t0\n");
}

TEST_F(Batch, UnreadableFolderGetsOneReport) {
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

TEST_F(Batch, FileListsWithEitherSeparator) {
  const std::string a = dir / "lib/a.wav";
  const std::string odd = dir.write("new\nline.wav", canonicalWave(100));
  const std::string lines = dir.write("list.txt", a + "\n\n" + dir / "lib/c.txt" + "\n" + a);
  const auto byLine = runCli({"--tsv", "--files-from", lines});
  EXPECT_EQ(reportedPaths(byLine.out), (std::vector<std::string>{a, dir / "lib/c.txt", a}));

  const std::string nul = dir.write("list0", a + '\0' + odd + '\0');
  const auto byNul = runCli({"--json", "--files-from", nul, "-0"});
  EXPECT_EQ(byNul.status, 0);
  EXPECT_NE(byNul.out.find("new\\nline.wav"), std::string::npos);

  const auto missingList = runCli({"--files-from", dir / "no-list"});
  EXPECT_EQ(missingList.status, 2);
  EXPECT_NE(missingList.err.find("cannot read the file list"), std::string::npos);
}

TEST_F(Batch, DoubleDashBeforeANameThatStartsWithADash) {
  dir.write("-r", canonicalWave(100));
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  const auto run = runCli({"--tsv", "--", "-r"});
  ASSERT_EQ(::chdir("/"), 0);
  EXPECT_EQ(reportedPaths(run.out), std::vector<std::string>{"-r"});
  EXPECT_EQ(run.status, 0);
}

TEST_F(Batch, AFailingFileDoesNotStopTheRun) {
  const auto run = runCli({"--tsv", dir / "lib/a.wav", dir / "missing.wav", dir / "lib/B.WAV"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(reportedPaths(run.out).size(), 3u);
  EXPECT_NE(run.out.find("missing.wav\topen-failure\t"), std::string::npos);
}

TEST_F(Batch, SummaryInTextAndJson) {
  const std::vector<std::string> paths = {dir / "lib/a.wav", dir / "lib/c.txt", dir / "missing.wav",
                                          dir / "lib/B.WAV"};
  std::vector<std::string> args = {"--summary"};
  args.insert(args.end(), paths.begin(), paths.end());
  const auto text = runCli(args);
  const std::string expected =
      "\nSummary: 4 files, 2 information, 1 open-failure, 1 too-short, 0 invalid-identifier, "
      "total length " +
      Str(200.0 / 176400).substr(1) + " seconds.\n";
  EXPECT_EQ(text.out.substr(text.out.size() - expected.size()), expected);

  args.insert(args.begin(), "--json");
  const auto json = runCli(args);
  EXPECT_NE(json.out.find("{\"report\":\"summary\",\"files\":4,\"information\":2,"
                          "\"openFailure\":1,\"tooShort\":1,\"invalidIdentifier\":0,"
                          "\"totalLengthSeconds\":0.0011337868480725624}\n"),
            std::string::npos);

  EXPECT_EQ(runCli({"--summary", "--files-from", dir.write("empty", "")}).out,
            "Summary: 0 files, 0 information, 0 open-failure, 0 too-short, 0 invalid-identifier, "
            "total length 0 seconds.\n");
  EXPECT_EQ(runCli({"--files-from", dir.write("empty", "")}).status, 0);
}

TEST_F(Batch, TsvShowsControlCharactersInNamesAsPictures) {
  const std::string tabbed = dir.write("tab\there.wav", canonicalWave(176400));
  const auto run = runCli({"--tsv", tabbed});
  EXPECT_EQ(run.out.substr(run.out.find('\n') + 1),
            dir.path() + "/tab\u2409here.wav\tinformation\t1\t2\t44100\t16\t176400\t1\n");
}

TEST_F(Batch, SeveralWorkersKeepTheInputOrder) {
  std::vector<std::string> args = {"--tsv", "-j", "4"};
  std::vector<std::string> expected;
  for (int i = 0; i < 700; ++i) {
    // A named number: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + std::to_string().
    const std::string number = std::to_string(i);
    const std::string path =
        i % 7 == 3 ? dir / ("gone-" + number) : dir.write("f" + number, canonicalWave(i));
    args.push_back(path);
    expected.push_back(path);
  }
  const auto parallel = runCli(args);
  EXPECT_EQ(reportedPaths(parallel.out), expected);
  args[2] = "--jobs=1";
  args.erase(args.begin() + 1);
  EXPECT_EQ(runCli(args).out, parallel.out);
}

TEST_F(Batch, UsageErrors) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {"--json with --tsv", {"--json", "--tsv", "x"}, "--json and --tsv cannot be combined"},
      {"no workers", {"-j", "0", "x"}, "-j: '0' is out of range (1 to 1024 workers)"},
      {"too many workers", {"-j", "1025", "x"}, "-j: '1025' is out of range (1 to 1024 workers)"},
      {"more workers than unsigned holds",
       {"--jobs=4294967296", "x"},
       "--jobs: '4294967296' is out of range (1 to 1024 workers)"},
      {"-j abc", {"-j", "abc", "x"}, "-j: 'abc' is not a number of workers"},
      {"--jobs=many", {"--jobs=many", "x"}, "--jobs: 'many' is not a number of workers"},
      {"-j with a sign", {"-j+2", "x"}, "-j: '+2' is not a number of workers"},
      {"-j without a value", {"-j"}, "-j: the number of workers is missing"},
      {"--jobs without a value", {"x", "--jobs"}, "--jobs: the number of workers is missing"},
      {"--files-from without a value",
       {"--files-from"},
       "--files-from: the file is missing ('-' for standard input)"},
      {"--files-from with an empty value",
       {"--files-from", ""},
       "--files-from: the file name is empty"},
      {"--files-from=", {"--files-from=", "x"}, "--files-from: the file name is empty"},
      {"unknown long option", {"--bogus", "x"}, "unknown option '--bogus'"},
      {"abbreviated long option", {"--rec", "x"}, "unknown option '--rec'"},
      {"ambiguous abbreviation", {"--j", "x"}, "unknown option '--j'"},
      {"abbreviation with a value", {"--job=2", "x"}, "unknown option '--job=2'"},
      {"unknown short option in a bundle", {"-rx", "x"}, "unknown option '-x'"},
      {"value for a flag", {"--json=yes", "x"}, "--json: takes no value"},
      {"-0 without a list", {"-0", "x"}, "-0/--null needs --files-from"},
      {"--all-files without -r", {"--all-files", "x"}, "--all-files needs -r/--recursive"},
      {"--strict without --details", {"--strict", "x"}, "--strict needs --details"},
      {"nothing", {}, "no path given"},
      {"only --", {"--json", "--"}, "no path given"},
  };
  for (const Case& c : cases) {
    const auto run = runCli(c.args);
    EXPECT_EQ(run.status, 2) << c.name;
    EXPECT_EQ(run.out, "") << c.name;
    EXPECT_EQ(run.err, "pelorin-cli: error: " + c.message + "\n" + std::string(cli::kUsage))
        << c.name;
  }
}

TEST_F(Batch, APathLongerThanTheBufferIsOneRecordAndTheNextLineIsRead) {
  const std::string a = dir / "lib/a.wav";
  const auto run = runCli({"--json", "--files-from",
                           dir.write("long-list", std::string(70000, 'n') + "\n" + a + "\n")});
  std::istringstream lines(run.out);
  std::string tooLong, next, extra;
  std::getline(lines, tooLong);
  std::getline(lines, next);
  EXPECT_NE(tooLong.find("\"errorNumber\":52,"), std::string::npos);
  EXPECT_EQ(next.rfind("{\"path\":\"" + a + "\",\"report\":\"information\"", 0), 0u);
  EXPECT_FALSE(std::getline(lines, extra));
}

TEST_F(Batch, AFileListThatCannotBeReadIsAUsageError) {
  const std::string folder = dir / "lib";
  const auto run = runCli({"--files-from", folder});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("pelorin-cli: error: cannot read the file list '" + folder + "'"),
            std::string::npos);
}

TEST_F(Batch, SummaryTotalLeavesOutLengthsThatAreNotFinite) {
  const std::string silent = dir.write("0hz.wav", WaveBuilder().fmt(1, 2, 0, 16).data(100).bytes());
  const std::string tone = dir.write("tone.wav", canonicalWave());
  const auto run = runCli({"--json", "--summary", silent, tone});
  EXPECT_NE(run.out.find("\"totalLengthSeconds\":1}"), std::string::npos) << run.out;
}

TEST_F(Batch, ADanglingLinkInAWalkGetsItsOpenFailureReport) {
  ::mkdir((dir / "walked").c_str(), 0755);
  ::symlink("nowhere.wav", (dir / "walked/dangling.wav").c_str());
  const auto run = runCli({"--tsv", "-r", dir / "walked"});
  EXPECT_EQ(reportedPaths(run.out), std::vector<std::string>{dir / "walked/dangling.wav"});
  EXPECT_NE(run.out.find("\topen-failure\t"), std::string::npos);
}

// The walk lists a folder, then opens its subfolders one by one: a subfolder swapped in between
// for a link to another folder is not entered.
TEST_F(Batch, AFolderSwappedForALinkDuringTheWalkIsNotEntered) {
  ::mkdir((dir / "walked").c_str(), 0755);
  ::mkdir((dir / "walked/sub").c_str(), 0755);
  const std::string first = dir.write("walked/a.wav", canonicalWave(100));
  dir.write("walked/sub/inside.wav", canonicalWave(100));
  const cli::Options options{.recursive = true, .paths = {dir / "walked"}};
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
TEST_F(Batch, AFolderWhoseListingFailsGetsOneReport) {
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

TEST_F(Batch, ListedPathsLongerThanTheSystemTakesAreShownCut) {
  struct Case {
    const char* name;
    std::string list;
    std::string shown;
  };
  const std::string longest(PATH_MAX, 'n');
  const Case cases[] = {
      {"PATH_MAX bytes, whole", longest + "\n", longest},
      {"one byte more", longest + "x\n", longest + "\u2026"},
      {"the last line, without a line feed", longest + "xy", longest + "\u2026"},
  };
  for (const Case& c : cases) {
    const auto run = runCli({"--json", "--files-from", dir.write("list", c.list)});
    EXPECT_EQ(run.out.rfind("{\"path\":\"" + c.shown +
                                "\",\"report\":\"open-failure\",\"title\":\"Pelorin\","
                                "\"prompt\":\"Error opening file " +
                                c.shown + "\\r\\n 52 - Bad file name or number\",",
                            0),
              0u)
        << c.name;
  }
}

// A 200 MiB line in a list streamed through a pipe: the list is read in a fixed buffer, and
// the run's peak memory stays that of any run.
TEST_F(Batch, AnEnormousLineInAFileListTakesNoMemory) {
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
  ASSERT_TRUE(send("\n" + dir / "lib/a.wav" + "\n"));
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

// Lengths of 0.1, 0.2 and 0.3 seconds, over and over: the sum of a hundred depends on the order
// of the additions, and is the running sum in input order however the files were probed.
TEST_F(Batch, SummaryTotalIsAddedInInputOrder) {
  std::vector<std::string> paths;
  std::vector<std::string> longPaths;  // chunks hold fewer of them
  double runningSum = 0;
  for (int i = 0; i < 100; ++i) {
    const std::uint32_t dataSize = 4410 * (1 + i % 3);
    const std::string number = std::to_string(i);  // named: see SeveralWorkersKeepTheInputOrder
    const std::string name = "t" + number + ".wav";
    paths.push_back(dir.write(name, WaveBuilder().fmt(1, 1, 44100, 8).data(dataSize).bytes()));
    longPaths.push_back(dir.path() + std::string(1000, '/') + name);
    runningSum += dataSize / 44100.0;
  }
  char text[32];
  const std::string expected(text, std::to_chars(text, text + sizeof text, runningSum).ptr);
  struct Case {
    const char* name;
    const char* jobs;
    const std::vector<std::string>& files;
  };
  const Case cases[] = {
      {"-j1", "-j1", paths},
      {"-j4", "-j4", paths},
      {"-j4 with long paths", "-j4", longPaths},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {c.jobs, "--json", "--summary"};
    args.insert(args.end(), c.files.begin(), c.files.end());
    const std::string out = runCli(args).out;
    const std::size_t total = out.rfind(':') + 1;
    EXPECT_EQ(out.substr(total, out.rfind('}') - total), expected) << c.name;
  }
}

}  // namespace
}  // namespace pelorin

namespace pelorin {
namespace {

using testing::TempDir;

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

TEST(Progress, ShowsAsAskedAFewTimesASecondAndClearsItsLine) {
  struct Case {
    const char* name;
    cli::ProgressMode mode;
    bool shown;
  };
  const Case cases[] = {
      {"forced", cli::ProgressMode::kAlways, true},
      {"by default not on a pipe", cli::ProgressMode::kAuto, false},
      {"never", cli::ProgressMode::kNever, false},
  };
  for (const Case& c : cases) {
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_NONBLOCK), 0);
    cli::Progress progress(c.mode, pipeFds[1], -1);
    const auto start = cli::Progress::Clock::now();
    progress.update(10, start);
    const std::string first = drain(pipeFds[0]);
    progress.update(20, start + std::chrono::milliseconds(100));
    const std::string tooSoon = drain(pipeFds[0]);
    progress.update(30, start + std::chrono::milliseconds(300));
    const std::string later = drain(pipeFds[0]);
    progress.finish();
    const std::string cleared = drain(pipeFds[0]);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    if (!c.shown) {
      EXPECT_EQ(first + tooSoon + later + cleared, "") << c.name;
      continue;
    }
    EXPECT_EQ(first.rfind("\r\x1b[K10 files, ", 0), 0u) << c.name;
    EXPECT_EQ(tooSoon, "") << c.name;
    EXPECT_EQ(later.rfind("\r\x1b[K30 files, ", 0), 0u) << c.name;
    EXPECT_NE(later.find(" files/s, 0:00"), std::string::npos) << c.name;
    EXPECT_EQ(cleared, "\r\x1b[K") << c.name;
  }
}

TEST(Progress, ALineTheTerminalCannotTakeIsDroppedNotWaitedFor) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);  // blocking, as a terminal is
  ::fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);
  const std::string block(65536, 'x');
  while (::write(pipeFds[1], block.data(), block.size()) > 0) {
  }
  ::fcntl(pipeFds[1], F_SETFL, 0);
  cli::Progress progress(cli::ProgressMode::kAlways, pipeFds[1], -1);
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
  std::ostringstream err;
  EXPECT_EQ(cli::run(args, device, err, device), 0);
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
