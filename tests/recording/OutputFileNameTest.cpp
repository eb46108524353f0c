// The name of a recording's file: the folder's separator, the stamp with its tenth of a
// second, and names that would not fit.
#include <gtest/gtest.h>

#include <string>

#include "recording/OutputFileName.h"

namespace vantor::test {
namespace {

const LocalTimeParts kMarch7 = {2012, 3, 7, 9, 5, 2, 345};

std::wstring Name(std::wstring& strFolder, const LocalTimeParts& t = kMarch7, const wchar_t* szExt = L"avi",
                  const std::wstring& strDefault = L"C:\\Vantor\\output") {
  wchar_t sz[kOutputNameCapacity];
  EXPECT_TRUE(FormatOutputFileName(strFolder, strDefault, szExt, t, sz, kOutputNameCapacity));
  return sz;
}

TEST(recording_OutputFileName, FolderSeparatorRule) {
  struct Case {
    const wchar_t* szFolder;
    const wchar_t* szName;
    const wchar_t* szStoredFolder;
  } cases[] = {
      {L"D:\\out", L"D:\\out\\20120307-0905023.avi", L"D:\\out\\"},
      {L"C:\\rec", L"C:\\rec\\20120307-0905023.avi", L"C:\\rec\\"},
      {L"C:\\rec\\", L"C:\\rec\\20120307-0905023.avi", L"C:\\rec\\"},
      // A folder ending in '/' gets no second separator.
      {L"C:/rec/", L"C:/rec/20120307-0905023.avi", L"C:/rec/"},
      {L"/tmp/rec", L"/tmp/rec\\20120307-0905023.avi", L"/tmp/rec\\"},
      {L"rec", L"rec\\20120307-0905023.avi", L"rec\\"},
  };
  for (const Case& c : cases) {
    std::wstring strFolder = c.szFolder;
    EXPECT_EQ(Name(strFolder), c.szName) << c.szFolder;
    EXPECT_EQ(strFolder, c.szStoredFolder) << "the stored folder keeps its separator: " << c.szFolder;
  }
}

TEST(recording_OutputFileName, EmptyFolderMeansTheDefaultOutputFolder) {
  std::wstring strFolder;
  EXPECT_EQ(Name(strFolder), L"C:\\Vantor\\output\\20120307-0905023.avi");
  EXPECT_EQ(strFolder, L"C:\\Vantor\\output\\");
  // With no default either, the name stays relative rather than gaining a root "\".
  strFolder.clear();
  EXPECT_EQ(Name(strFolder, kMarch7, L"avi", L""), L"20120307-0905023.avi");
}

TEST(recording_OutputFileName, StampFields) {
  struct Case {
    LocalTimeParts t;
    const wchar_t* szName;
  } cases[] = {
      {{2012, 3, 7, 9, 5, 2, 345}, L"F\\20120307-0905023.avi"},
      // Tenths of a second, by integer division: one digit, never rounded up.
      {{2012, 3, 7, 9, 5, 2, 0}, L"F\\20120307-0905020.avi"},
      {{2012, 3, 7, 9, 5, 2, 99}, L"F\\20120307-0905020.avi"},
      {{2012, 3, 7, 9, 5, 2, 100}, L"F\\20120307-0905021.avi"},
      {{2012, 3, 7, 9, 5, 2, 999}, L"F\\20120307-0905029.avi"},
      {{2024, 12, 31, 23, 59, 59, 950}, L"F\\20241231-2359599.avi"},
      {{2000, 1, 1, 0, 0, 0, 0}, L"F\\20000101-0000000.avi"},
      // The year is not padded.
      {{999, 1, 2, 3, 4, 5, 600}, L"F\\9990102-0304056.avi"},
  };
  for (const Case& c : cases) {
    std::wstring strFolder = L"F";
    EXPECT_EQ(Name(strFolder, c.t), c.szName);
  }
  std::wstring strFolder = L"F";
  EXPECT_EQ(Name(strFolder, kMarch7, L"wav"), L"F\\20120307-0905023.wav");
}

TEST(recording_OutputFileName, NameThatDoesNotFitIsRefusedNotCut) {
  // "\" + 16 characters of stamp + "." + "avi": 21 characters after the folder.
  const std::size_t nStamp = 21;
  std::wstring strFits(kOutputNameCapacity - 1 - nStamp, L'a');
  std::wstring strFolder = strFits;
  wchar_t sz[kOutputNameCapacity];
  ASSERT_TRUE(FormatOutputFileName(strFolder, L"", L"avi", kMarch7, sz, kOutputNameCapacity));
  EXPECT_EQ(std::wstring(sz).size(), kOutputNameCapacity - 1);
  EXPECT_EQ(std::wstring(sz).substr(std::wstring(sz).size() - 4), L".avi");

  strFolder = strFits + L"b";
  sz[0] = L'x';
  EXPECT_FALSE(FormatOutputFileName(strFolder, L"", L"avi", kMarch7, sz, kOutputNameCapacity));
  EXPECT_EQ(sz[0], L'\0') << "a cut name would be some other file";
}

TEST(recording_OutputFileName, NumberedNameForASecondRecordingInTheSameTenth) {
  wchar_t sz[kOutputNameCapacity];
  ASSERT_TRUE(NumberOutputFileName(L"C:\\rec\\20120307-0905023.avi", 2, sz, kOutputNameCapacity));
  EXPECT_STREQ(sz, L"C:\\rec\\20120307-0905023-2.avi");
  // A dot in a folder name is not the extension's.
  ASSERT_TRUE(NumberOutputFileName(L"C:\\my.rec\\name", 3, sz, kOutputNameCapacity));
  EXPECT_STREQ(sz, L"C:\\my.rec\\name-3");
  const std::wstring strLong = std::wstring(kOutputNameCapacity - 5, L'a') + L".avi";
  wcscpy(sz, L"unchanged");
  EXPECT_FALSE(NumberOutputFileName(strLong.c_str(), 2, sz, kOutputNameCapacity));
  EXPECT_STREQ(sz, L"unchanged");
}

}  // namespace
}  // namespace vantor::test
