// The Win32 file system: what each kind of path and each system reason gives, long paths, and
// files that other programs hold open.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "runtime/file.h"
#include "runtime/win32_file_system.h"
#include "runtime/win32_text.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

using testing::probe;
using testing::TempDir;

std::wstring wide(const std::string& path) {
  return toWide(path).value();
}

// Creates the file `path`, given in the system's own form, holding `bytes`.
void writeWide(const std::wstring& path, const std::string& bytes) {
  UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  DWORD written = 0;
  ASSERT_TRUE(
      ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

TEST(Win32Paths, DeviceNamesAreKnownInAnyFolderWithAnyExtension) {
  const struct {
    const wchar_t* path;
    bool device;
  } cases[] = {
      {L"NUL", true},          {L"nul.wav", true},       {L"C:\\x\\Con.tar.gz", true},
      {L"dir/aux .wav", true}, {L"C:NUL", true},         {L"COM1", true},
      {L"lpt9.wav", true},     {L"COM\u00B9.wav", true}, {L"CONIN$", true},
      {L"conout$.txt", true},  {L"prn:stream", true},    {L"NULL.wav", false},
      {L"COM0", false},        {L"COM10", false},        {L"nul\\x.wav", false},
      {L"x.nul", false},       {L"CONSOLE", false},      {L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isDeviceName(c.path), c.device) << toUtf8(c.path);
  }
}

// Windows reads "\" and "/" alike in a device path's prefix; only "\\?\" as written names a file.
TEST(Win32Paths, DevicePathsAreKnownInEverySpelling) {
  const struct {
    const wchar_t* path;
    bool device;
  } cases[] = {
      {L"\\\\.\\C:", true},
      {L"\\/.\\PhysicalDrive0", true},
      {L"/\\.\\C:\\x.wav", true},
      {L"//./C:/x.wav", true},
      {L"\\\\./pipe/x", true},
      {L"//?/C:/x.wav", true},
      {L"\\/?\\C:\\x.wav", true},
      {L"\\\\?/C:/x.wav", true},
      {L"\\\\.", true},
      {L"\\\\?\\C:\\x.wav", false},
      {L"\\\\server\\share", false},
      {L"\\\\.x\\share", false},
      {L"C:\\.\\x.wav", false},
      {L".\\x.wav", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isDevicePath(c.path), c.device) << toUtf8(c.path);
  }
}

TEST(Win32Paths, LongPathsTakeTheExtendedFormAndShortOnesStayAsGiven) {
  const std::wstring part(100, L'p');
  const std::wstring longTail = part + L"\\" + part + L"\\" + part + L".wav";
  EXPECT_EQ(systemPathOf(L"C:\\short.wav"), L"C:\\short.wav");
  EXPECT_EQ(systemPathOf(L"C:/a/" + longTail), L"\\\\?\\C:\\a\\" + longTail);
  EXPECT_EQ(systemPathOf(L"C:\\a\\b\\..\\.\\" + longTail), L"\\\\?\\C:\\a\\" + longTail);
  EXPECT_EQ(systemPathOf(L"\\\\server\\share\\" + longTail),
            L"\\\\?\\UNC\\server\\share\\" + longTail);
  EXPECT_EQ(systemPathOf(L"\\\\?\\C:/a/b.wav"), L"\\\\?\\C:\\a\\b.wav");
}

struct FailureCase {
  const char* name;
  unsigned long systemError;
  std::int32_t number;
};

TEST(Win32Paths, SystemReasonsMapToTheRuntimesNumbers) {
  TempDir dir;
  const std::wstring file = wide(dir.write("f", "x"));
  const FailureCase cases[] = {
      {"not found", ERROR_FILE_NOT_FOUND, 53},
      {"path not found", ERROR_PATH_NOT_FOUND, 76},
      {"no such drive", ERROR_INVALID_DRIVE, 76},
      {"access denied", ERROR_ACCESS_DENIED, 70},
      {"sharing violation", ERROR_SHARING_VIOLATION, 70},
      {"too many open files", ERROR_TOO_MANY_OPEN_FILES, 67},
      {"invalid name", ERROR_INVALID_NAME, 52},
      {"bad path name", ERROR_BAD_PATHNAME, 52},
      {"name too long", ERROR_FILENAME_EXCED_RANGE, 52},
      {"device not ready", ERROR_NOT_READY, 57},
      {"anything else", ERROR_PIPE_BUSY, 75},
  };
  for (const FailureCase& c : cases) {
    EXPECT_EQ(static_cast<std::int32_t>(openFailure(c.systemError, file)), c.number) << c.name;
  }
  // What the path is decides before its permissions do.
  EXPECT_EQ(openFailure(ERROR_ACCESS_DENIED, wide(dir.path())), ErrorNumber::kPathFileAccessError);
}

class Win32Open : public ::testing::Test {
 protected:
  // The error number of testing that `path` opens; 0 when it does.
  std::int32_t openError(const std::string& path) {
    testing::RecordingSink sink;
    RuntimeContext ctx(sink);
    OnErrorResumeNext resume(ctx);
    FileOpen(ctx, 1, path, OpenMode::kInput);
    FileClose(ctx, 1);
    return ctx.Err.Number;
  }

  TempDir dir;
};

TEST_F(Win32Open, EachKindOfPathGivesItsNumberedError) {
  const std::string plain = dir.write("plain.wav", "x");
  const struct {
    const char* name;
    std::string path;
    std::int32_t number;
  } cases[] = {
      {"missing file", dir / "missing.wav", 53},
      {"missing folder", dir / "nowhere\\missing.wav", 76},
      {"file as a folder", plain + "\\inside.wav", 76},
      {"folder", dir.path(), 75},
      {"folder with a trailing separator", dir.path() + "\\", 75},
      {"device", "NUL", 75},
      {"device in a folder", dir / "com1.wav", 75},
      {"device path", "\\\\.\\C:", 75},
      {"device path with a slash", "\\/.\\" + plain, 75},
      {"device path in the extended form's slashes", "//?/" + plain, 75},
      {"empty", "", 52},
      {"not UTF-8", dir / "x\xFF.wav", 52},
      {"zero character", std::string("a\0b", 3), 52},
      {"longer than the system takes", dir / std::string(33000, 'n'), 52},
      {"a file", plain, 0},
      {"a file in the extended form", "\\\\?\\" + plain, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(openError(c.path), c.number) << c.name;
}

TEST_F(Win32Open, ADeviceNameInTheExtendedFormIsAFile) {
  const std::wstring file = L"\\\\?\\" + wide(dir / "NUL.wav");
  writeWide(file, canonicalWave(8));
  EXPECT_EQ(openError(dir / "NUL.wav"), 75);
  EXPECT_EQ(probe(toUtf8(file)).outcome.report, Report::kInformation);
  ::DeleteFileW(file.c_str());  // which the folder's removal, by plain names, could not
}

TEST_F(Win32Open, PathsLongerThanMaxPathAreProbedWithOrWithoutThePrefix) {
  std::string path = dir.path();
  for (int i = 0; i < 3; ++i) {
    path += "\\" + std::string(100, static_cast<char>('a' + i));
    ASSERT_TRUE(::CreateDirectoryW(systemPathOf(wide(path))->c_str(), nullptr));
  }
  path += "\\long.wav";
  writeWide(*systemPathOf(wide(path)), canonicalWave());
  ASSERT_GT(path.size(), static_cast<std::size_t>(MAX_PATH));
  std::string slashes = "\\\\?\\" + path;
  std::replace(slashes.begin() + 4, slashes.end(), '\\', '/');
  for (const std::string& form : {path, "\\\\?\\" + path, slashes}) {
    const auto run = probe(form);
    EXPECT_EQ(run.outcome.report, Report::kInformation) << form;
    EXPECT_EQ(run.result, 1.0) << form;
  }
}

TEST_F(Win32Open, NamesInAnyScriptAreProbed) {
  const std::string name = "caf\xC3\xA9 \xE2\x99\xAA \xE6\xB3\xA2.wav";
  writeWide(wide(dir / name), canonicalWave());
  const auto run = probe(dir / name);
  EXPECT_EQ(run.outcome.report, Report::kInformation);
  EXPECT_NE(run.boxes.at(0).prompt.find("Filename =" + (dir / name) + "\r\n"), std::string::npos);
}

TEST_F(Win32Open, AFileAnotherProgramIsWritingIsProbedAndStaysWritable) {
  const std::string path = dir.write("recording.wav", canonicalWave(4000));
  UniqueHandle recorder(::CreateFileW(wide(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(recorder);
  EXPECT_EQ(probe(path).outcome.report, Report::kInformation);

  // While the probe holds the file open, its writer can still open, write and delete it.
  testing::RecordingSink sink;
  RuntimeContext ctx(sink);
  FileOpen(ctx, 1, path, OpenMode::kBinary);
  UniqueHandle writer(::CreateFileW(wide(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(writer);
  recorder.reset();
  writer.reset();
  EXPECT_TRUE(::DeleteFileW(wide(path).c_str()));
  FileClose(ctx, 1);
}

TEST_F(Win32Open, AFileHeldWithoutSharingIsAPermissionError) {
  const std::string path = dir.write("locked.wav", canonicalWave(8));
  UniqueHandle owner(::CreateFileW(wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(owner);
  EXPECT_EQ(openError(path), 70);
}

}  // namespace
}  // namespace pelorin
