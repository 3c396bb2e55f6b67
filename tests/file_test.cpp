#include <gtest/gtest.h>

#include "runtime/file.h"
#include "runtime/opened_file.h"
#include "support.h"

namespace pelorin {
namespace {

using testing::RecordingSink;
using testing::TempDir;

// The position of the next read of the open file `number`, counting from 1.
std::int64_t positionOf(RuntimeContext& ctx, std::int16_t number) {
  return ctx.files.find(number)->position + 1;
}

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
  EXPECT_EQ(positionOf(ctx, number), 5);
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
  EXPECT_EQ(positionOf(ctx, number), 9);
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

// Over a buffer that already holds other bytes: a fresh buffer may hold zeros by chance.
TEST_F(FileOps, BytesPastTheEndOfAFileOverwriteTheBufferWithZeros) {
  for (const std::size_t size : {std::size_t{3}, kHeadSize + 3}) {
    OpenResult opened = ctx.fileSystem->open(dir.write("f.bin", std::string(size, 'a')));
    ASSERT_TRUE(opened.file);
    std::string buffer(8, 'x');
    ASSERT_TRUE(opened.file->read(static_cast<std::int64_t>(size) - 2, buffer.data(), 8));
    EXPECT_EQ(buffer, "aa" + std::string(6, '\0')) << size;
  }
}

TEST_F(FileOps, ReadsBeyondTheFirstReadComeFromTheFile) {
  std::string bytes(kHeadSize + 100, 'a');
  bytes.replace(kHeadSize - 2, 4, "WXYZ");
  bytes.replace(kHeadSize + 50, 4, "data");
  const auto number = openBinary(bytes);
  FixedText<4> straddling, distant;
  FileSeek(ctx, number, kHeadSize - 1);
  GetText(ctx, number, straddling);
  FileSeek(ctx, number, kHeadSize + 51);
  GetText(ctx, number, distant);
  EXPECT_EQ(straddling.view(), "WXYZ");
  EXPECT_EQ(distant.view(), "data");
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

// Records are made as numbers are first used; one in use stays where it is as more are made.
TEST_F(FileOps, EveryNumberCanBeOpenAtOnceAndThenNoneIsFree) {
  const std::string path = dir.write("a", "abcd");
  FileOpen(ctx, FreeFile(ctx), path, OpenMode::kBinary);
  const OpenedFile* first = FileOf(ctx, 1);
  for (int opened = 1; opened < kMaxFileNumber; ++opened) {
    FileOpen(ctx, FreeFile(ctx), path, OpenMode::kBinary);
  }
  EXPECT_EQ(FileOf(ctx, 1), first);
  EXPECT_EQ(first->head(), "abcd");
  ASSERT_NE(FileOf(ctx, kMaxFileNumber), nullptr);
  EXPECT_EQ(ctx.Err.Number, 0);
  EXPECT_EQ(FreeFile(ctx), 0);
  EXPECT_EQ(ctx.Err.Number, static_cast<std::int32_t>(ErrorNumber::kTooManyFiles));
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

}  // namespace
}  // namespace pelorin
