// The output folder is created with all its missing parents; paths that cannot name a
// folder fail without creating anything. Also the Windows-version rule.
#include <gtest/gtest.h>

#include <string>

#include "app/FolderTree.h"
#include "app/SystemVersion.h"
#include "platform/Folders.h"
#include "platform/Text.h"
#include "tests/app/TestFiles.h"

namespace vantor {
namespace {

using test::CTempDir;

TEST(app_FolderTree, CreatesEveryMissingParent) {
  CTempDir dir;
  const std::wstring strDeep = dir.File(L"a\\b\\c");
  ASSERT_FALSE(FolderExists(Utf8FromWide(dir.File(L"a"))));
  EXPECT_TRUE(CreateFolderTree(strDeep));
  EXPECT_TRUE(FolderExists(Utf8FromWide(dir.File(L"a"))));
  EXPECT_TRUE(FolderExists(Utf8FromWide(dir.File(L"a\\b"))));
  EXPECT_TRUE(FolderExists(Utf8FromWide(strDeep)));
  // Existing folders succeed again, with or without a trailing backslash.
  EXPECT_TRUE(CreateFolderTree(strDeep));
  EXPECT_TRUE(CreateFolderTree(strDeep + L"\\"));
}

TEST(app_FolderTree, RefusesWhatCannotBeAFolder) {
  CTempDir dir;
  EXPECT_FALSE(CreateFolderTree(L""));
  EXPECT_FALSE(CreateFolderTree(L"x"));
  // A bare relative name without a backslash is never created.
  EXPECT_FALSE(CreateFolderTree(L"vantor-no-such-folder-name"));
  EXPECT_FALSE(FolderExists("vantor-no-such-folder-name"));
  // A file in the way of a parent stops the chain.
  test::WriteBytes(dir.File(L"file"), "x");
  EXPECT_FALSE(CreateFolderTree(dir.File(L"file\\sub")));
}

TEST(app_SystemVersion, Windows7AndLaterOnly) {
  struct Case {
    unsigned nMajor, nMinor;
    bool bWin7OrLater;
  } const cases[] = {{5, 1, false}, {5, 2, false}, {6, 0, false}, {6, 1, true},
                     {6, 2, true},  {6, 3, true},  {10, 0, true}};
  for (const Case& c : cases)
    EXPECT_EQ(IsWin7OrLaterVersion(c.nMajor, c.nMinor), c.bWin7OrLater) << c.nMajor << "." << c.nMinor;
}

#ifdef _WIN32
TEST(app_FolderTree, DriveRootsMustExist) {
  EXPECT_TRUE(CreateFolderTree(L"C:"));
  EXPECT_TRUE(CreateFolderTree(L"C:\\"));
  // Wine maps few drive letters; Q: is not one of the bench's.
  EXPECT_FALSE(CreateFolderTree(L"Q:\\nowhere\\output"));
}
#endif

}  // namespace
}  // namespace vantor
