#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/file.h"
#include "runtime/posix_file_system.h"
#include "support.h"

namespace pelorin {
namespace {

using testing::RecordingSink;
using testing::TempDir;

class FileOps : public ::testing::Test {
 protected:
  FileOps() : ctx(sink), resume(ctx) {}

  std::int16_t openBinary(std::string_view bytes) {
    const std::int16_t number = FreeFile(ctx);
    FileOpen(ctx, number, dir.write("f.bin", bytes), OpenMode::kBinary);
    return number;
  }

  TempDir dir;
  RecordingSink sink;
  RuntimeContext ctx;
  OnErrorResumeNext resume;
};

TEST_F(FileOps, ReadsLittleEndianIntegersAtOneBasedPositions) {
  const auto number = openBinary("\x01\x02\xFE\xFF\x05\x06\x07\x08");
  std::int16_t small = 0;
  std::int32_t wide = 0;
  FileSeek(ctx, number, 3);
  GetI16LE(ctx, number, small);
  EXPECT_EQ(small, -2);
  EXPECT_EQ(SeekPosition(ctx, number), 5);
  FileSeek(ctx, number, 1);
  GetI32LE(ctx, number, wide);
  EXPECT_EQ(wide, static_cast<std::int32_t>(0xFFFE0201u));
  EXPECT_EQ(ctx.Err.Number, 0);
}

TEST_F(FileOps, SeekBelowOneIsAnErrorAndMovesNothing) {
  const auto number = openBinary("RIFF....WAVEfmt ");
  FileSeek(ctx, number, 9);
  FileSeek(ctx, number, 0);
  EXPECT_EQ(ctx.Err.Number, 63);
  EXPECT_EQ(SeekPosition(ctx, number), 9);
  FixedText<4> text;
  GetText(ctx, number, text);
  EXPECT_EQ(text.view(), "WAVE");
}

TEST_F(FileOps, ReadsPastTheEndGiveZerosWithoutAnError) {
  const auto number = openBinary("\x11\x22\x33");
  std::int32_t straddling = -1;
  FileSeek(ctx, number, 2);
  GetI32LE(ctx, number, straddling);
  EXPECT_EQ(straddling, 0x3322);
  FixedText<4> beyond;
  beyond.bytes = {'x', 'x', 'x', 'x'};
  FileSeek(ctx, number, 100000);
  GetText(ctx, number, beyond);
  EXPECT_EQ(beyond.view(), std::string_view("\0\0\0\0", 4));
  EXPECT_EQ(ctx.Err.Number, 0);
}

TEST_F(FileOps, ReadsBeyondTheFirstReadComeFromTheFile) {
  std::string bytes(kHeadSize + 100, 'a');
  bytes.replace(kHeadSize - 2, 4, "WXYZ");
  bytes.replace(kHeadSize + 50, 4, "data");
  const auto number = openBinary(bytes);
  FixedText<4> straddling, far;
  FileSeek(ctx, number, kHeadSize - 1);
  GetText(ctx, number, straddling);
  FileSeek(ctx, number, kHeadSize + 51);
  GetText(ctx, number, far);
  EXPECT_EQ(straddling.view(), "WXYZ");
  EXPECT_EQ(far.view(), "data");
}

TEST_F(FileOps, FileNumbersAreTheLowestFreeAndCannotBeOpenedTwice) {
  const std::string path = dir.write("a", "abc");
  EXPECT_EQ(FreeFile(ctx), 1);
  FileOpen(ctx, 1, path, OpenMode::kBinary);
  EXPECT_EQ(FreeFile(ctx), 2);
  FileOpen(ctx, 1, path, OpenMode::kBinary);
  EXPECT_EQ(ctx.Err.Number, 55);
  FileClose(ctx, 1);
  EXPECT_EQ(FreeFile(ctx), 1);
}

TEST_F(FileOps, InputModeIsNotForBinaryReads) {
  const std::string path = dir.write("a", "abcd");
  FileOpen(ctx, 1, path, OpenMode::kInput);
  std::int32_t value = 7;
  GetI32LE(ctx, 1, value);
  EXPECT_EQ(ctx.Err.Number, 54);
  EXPECT_EQ(value, 7);
  FileClose(ctx, 1);
}

TEST_F(FileOps, TestingThenReadingAFileCostsOneDescriptorReleasedWithItsSource) {
  const std::string longer = dir.write("a", std::string(kHeadSize + 10, 'x'));
  const int before = testing::openDescriptorCount();
  FileOpen(ctx, 1, longer, OpenMode::kInput);
  FileClose(ctx, 1);
  EXPECT_EQ(FileLen(ctx, longer), static_cast<std::int64_t>(kHeadSize) + 10);
  FileOpen(ctx, 1, longer, OpenMode::kBinary);
  EXPECT_EQ(testing::openDescriptorCount(), before + 1);
  FileClose(ctx, 1);
  EXPECT_EQ(testing::openDescriptorCount(), before);

  // A file its head holds whole keeps no descriptor once tested.
  FileOpen(ctx, 1, dir.write("b", "0123456789"), OpenMode::kInput);
  FileClose(ctx, 1);
  EXPECT_EQ(testing::openDescriptorCount(), before);
}

TEST_F(FileOps, FileLenOfAMissingFileIsAnError) {
  EXPECT_EQ(FileLen(ctx, dir / "missing"), 0);
  EXPECT_EQ(ctx.Err.Number, 53);
}

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

}  // namespace
}  // namespace pelorin
