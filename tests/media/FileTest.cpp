// The platform file seam the writer stands on, against the real file system.
#include <gtest/gtest.h>

#include <fstream>

#include "AVITestSupport.h"
#include "platform/File.h"

namespace vantor::test {
namespace {

struct RootCase {
  const char* szPath;
  const char* szRoot;
};

class media_FileVolumeRoot : public testing::TestWithParam<RootCase> {};

TEST_P(media_FileVolumeRoot, RootOfPath) {
  EXPECT_EQ(GetVolumeRoot(GetParam().szPath), GetParam().szRoot);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, media_FileVolumeRoot,
    testing::Values(RootCase{"C:\\Videos\\a.avi", "C:\\"}, RootCase{"d:a.avi", "d:\\"},
                    RootCase{"\\\\server\\share\\dir\\a.avi", "\\\\server\\share\\"},
                    RootCase{"\\\\server\\share", "\\\\server\\share\\"},
                    RootCase{"\\\\server", ""}, RootCase{"\\\\\\share\\a", ""},
                    RootCase{"\\\\server\\\\a", ""}, RootCase{"a.avi", ""},
                    RootCase{"\\Videos\\a.avi", ""}, RootCase{"/tmp/a.avi", ""},
                    RootCase{"1:\\a.avi", ""}, RootCase{"", ""}));

TEST(media_File, WriteSeekExtendCutClose) {
  CTempDir dir;
  // A name outside any ANSI code page: UTF-8 here, the wide API on Windows.
  const std::filesystem::path path = dir.get_Path() / u8"\u5f55\u753b-\u0394\u00e9.bin";
  { std::ofstream(path, std::ios::binary) << "old contents that must go"; }
  CFileSystem& fs = GetNativeFileSystem();
  std::unique_ptr<CWriteFile> pFile = fs.CreateWriteFile(PathToUtf8(path));
  ASSERT_NE(pFile, nullptr);
  std::int64_t nSize = -1;
  ASSERT_TRUE(pFile->GetSize(&nSize));
  EXPECT_EQ(nSize, 0) << "created over an existing file: truncated";

  std::uint32_t nWritten = 0;
  ASSERT_TRUE(pFile->Write("abcdef", 6, &nWritten));
  EXPECT_EQ(nWritten, 6u);
  // Grow, then write past 4 GiB (a hole where the file system allows), then cut back.
  ASSERT_TRUE(pFile->Seek((1 << 20) + 3));
  ASSERT_TRUE(pFile->SetEndOfFile());
  ASSERT_TRUE(pFile->GetSize(&nSize));
  EXPECT_EQ(nSize, (1 << 20) + 3);
  ASSERT_TRUE(pFile->Seek((std::int64_t{4} << 30) + 1));
  ASSERT_TRUE(pFile->Write("X", 1, &nWritten));
  ASSERT_TRUE(pFile->GetSize(&nSize));
  EXPECT_EQ(nSize, (std::int64_t{4} << 30) + 2);
  ASSERT_TRUE(pFile->Seek(2));
  ASSERT_TRUE(pFile->Write("ZZ", 2, &nWritten));
  ASSERT_TRUE(pFile->Seek(5));
  ASSERT_TRUE(pFile->SetEndOfFile());
  ASSERT_TRUE(pFile->GetSize(&nSize));
  EXPECT_EQ(nSize, 5);
  ASSERT_TRUE(pFile->Close());
  EXPECT_FALSE(pFile->Write("a", 1, &nWritten)) << "closed";
  EXPECT_FALSE(pFile->Close()) << "closed twice";
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abZZe");

  EXPECT_EQ(fs.CreateWriteFile(PathToUtf8(dir.get_Path() / "no" / "such.bin")), nullptr);
  std::string strName;
  EXPECT_TRUE(fs.GetFileSystemName(PathToUtf8(path), &strName));
  EXPECT_FALSE(strName.empty());
}

TEST(media_File, DestructorClosesAnOpenFile) {
  CTempDir dir;
  const std::filesystem::path path = dir.get_Path() / "a.bin";
  {
    std::unique_ptr<CWriteFile> pFile = GetNativeFileSystem().CreateWriteFile(PathToUtf8(path));
    ASSERT_NE(pFile, nullptr);
    std::uint32_t nWritten;
    ASSERT_TRUE(pFile->Write("abc", 3, &nWritten));
  }
  // Windows refuses to delete a file that is still open.
  std::error_code ec;
  EXPECT_TRUE(std::filesystem::remove(path, ec)) << ec.message();
}

}  // namespace
}  // namespace vantor::test
