// The POSIX file system: what each kind of path and each system reason gives.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "runtime/file.h"
#include "runtime/posix_file_system.h"
#include "support.h"

namespace pelorin {
namespace {

using testing::probe;
using testing::RecordingSink;
using testing::TempDir;

struct OpenCase {
  const char* name;
  std::int32_t number;
  const char* description;
};

void PrintTo(const OpenCase& c, std::ostream* os) {
  *os << c.name;
}

class OpenFailure : public ::testing::TestWithParam<OpenCase> {
 protected:
  // Makes the path the case is about inside `dir`.
  std::string makePath(const std::string& name) {
    if (name == "MissingFile") return dir / "missing.wav";
    if (name == "MissingFolder") return dir / "nowhere/missing.wav";
    if (name == "FileAsFolder") return dir.write("plain", "x") + "/inside.wav";
    if (name == "Folder") return dir.path();
    if (name == "Fifo") {
      const std::string path = dir / "fifo";
      ::mkfifo(path.c_str(), 0600);
      return path;
    }
    if (name == "Device") return "/dev/null";
    if (name == "Socket") return makeSocket();
    if (name == "LinkLoop") {
      const std::string path = dir / "loop";
      ::symlink(path.c_str(), path.c_str());
      return path;
    }
    if (name == "DanglingLink") {
      const std::string path = dir / "dangling";
      ::symlink((dir / "gone").c_str(), path.c_str());
      return path;
    }
    if (name == "EmptyPath") return "";
    if (name == "NameTooLong") return dir / std::string(300, 'n');
    if (name == "PathTooLong") {
      std::string path = dir.path();
      while (path.size() <= 5000) path += "/" + std::string(200, 'p');
      return path;
    }
    return "";
  }

  std::string makeSocket() {
    const std::string path = dir / "socket";
    socketFd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ::bind(socketFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return path;
  }

  ~OpenFailure() override {
    if (socketFd_ >= 0) ::close(socketFd_);
  }

  TempDir dir;
  int socketFd_ = -1;
};

TEST_P(OpenFailure, GivesTheNumberedErrorAndLeavesNothingOpen) {
  const std::string path = makePath(GetParam().name);
  RecordingSink sink;
  RuntimeContext ctx(sink);
  OnErrorResumeNext resume(ctx);
  const int before = testing::openDescriptorCount();
  FileOpen(ctx, 1, path, OpenMode::kInput);
  EXPECT_EQ(ctx.Err.Number, GetParam().number);
  EXPECT_EQ(ctx.Err.Description, GetParam().description);
  EXPECT_EQ(ctx.files.find(1), nullptr);
  EXPECT_EQ(testing::openDescriptorCount(), before);
}

INSTANTIATE_TEST_SUITE_P(FileOps, OpenFailure,
                         ::testing::Values(OpenCase{"MissingFile", 53, "File not found"},
                                           OpenCase{"MissingFolder", 76, "Path not found"},
                                           OpenCase{"FileAsFolder", 76, "Path not found"},
                                           OpenCase{"Folder", 75, "Path/File access error"},
                                           OpenCase{"Fifo", 75, "Path/File access error"},
                                           OpenCase{"Device", 75, "Path/File access error"},
                                           OpenCase{"Socket", 75, "Path/File access error"},
                                           OpenCase{"LinkLoop", 75, "Path/File access error"},
                                           OpenCase{"DanglingLink", 53, "File not found"},
                                           OpenCase{"EmptyPath", 52, "Bad file name or number"},
                                           OpenCase{"NameTooLong", 52, "Bad file name or number"},
                                           OpenCase{"PathTooLong", 52, "Bad file name or number"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OpenFailureMapping, SystemReasonsWithoutAFileToShowThem) {
  TempDir dir;
  const std::string file = dir.write("f", "x");
  EXPECT_EQ(openFailure(EACCES, file), ErrorNumber::kPermissionDenied);
  EXPECT_EQ(openFailure(EPERM, file), ErrorNumber::kPermissionDenied);
  // What the path is decides before its permissions.
  EXPECT_EQ(openFailure(EACCES, dir.path()), ErrorNumber::kPathFileAccessError);
  EXPECT_EQ(openFailure(EMFILE, file), ErrorNumber::kTooManyFiles);
  EXPECT_EQ(openFailure(ENFILE, file), ErrorNumber::kTooManyFiles);
  EXPECT_EQ(openFailure(EIO, file), ErrorNumber::kDeviceIoError);
  EXPECT_EQ(openFailure(ENXIO, file), ErrorNumber::kPathFileAccessError);
  // The folder part comes from the path without its trailing slashes.
  EXPECT_EQ(openFailure(ENOENT, dir / "missing/"), ErrorNumber::kFileNotFound);
  EXPECT_EQ(openFailure(ENOENT, "missing-in-current-folder"), ErrorNumber::kFileNotFound);
  EXPECT_EQ(openFailure(ENOENT, "/missing-at-root"), ErrorNumber::kFileNotFound);
}

TEST(OpenFailureMapping, ALinkToARegularFileIsFollowed) {
  TempDir dir;
  const std::string target = dir.write("target.wav", "RIFF");
  const std::string link = dir / "link.wav";
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  RecordingSink sink;
  RuntimeContext ctx(sink);
  OnErrorResumeNext resume(ctx);
  FileOpen(ctx, 1, link, OpenMode::kInput);
  EXPECT_EQ(ctx.Err.Number, 0);
  FileClose(ctx, 1);
}

TEST(OpenFailureMapping, SpecialFilesAreRefusedWithoutBlocking) {
  TempDir dir;
  const std::string fifo = dir / "fifo.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& path : {fifo, dir.path(), std::string("/dev/zero")}) {
    const auto run = probe(path);
    EXPECT_EQ(run.outcome.report, Report::kOpenFailure) << path;
    EXPECT_EQ(run.outcome.errorNumber, 75) << path;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
}  // namespace pelorin
