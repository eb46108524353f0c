// The language texts on real dialogs under Wine: LoadLangString through the system's
// profile functions (the shipped files included), and LocalizeDialog on a dialog with
// labels, check boxes, buttons and a hotkey control, and on the main dialog's template.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "LocalizationTestIds.h"
#include "app/Globals.h"
#include "ui/Localization.h"
#include "ui/resource.h"

namespace vantor {
namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT uMsg, WPARAM, LPARAM) { return uMsg == WM_INITDIALOG; }

// A language file of the given [String] lines, in UTF-16 with a byte-order mark, as
// the Chinese file is kept; g_strLanguageFile names it while the object lives.
class CLanguageFile {
 public:
  explicit CLanguageFile(const std::wstring& strLines) {
    wchar_t szFolder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, szFolder);
    m_path = std::filesystem::path(szFolder) / ("vantor_lang_" + std::to_string(GetCurrentProcessId()) + ".ini");
    const std::wstring strText = L"\xFEFF[String]\r\n" + strLines;
    std::ofstream file(m_path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(strText.data()), static_cast<std::streamsize>(strText.size() * 2));
    file.close();
    m_strSaved = g_strLanguageFile;
    g_strLanguageFile = m_path.wstring();
  }
  ~CLanguageFile() {
    g_strLanguageFile = m_strSaved;
    std::error_code error;
    std::filesystem::remove(m_path, error);
  }

 private:
  std::filesystem::path m_path;
  std::wstring m_strSaved;
};

struct Box {
  int x, y, cx, cy;
};

// A control's place in the dialog's client area.
Box PlaceOf(HWND hDlg, int nId) {
  RECT rc = {};
  GetWindowRect(GetDlgItem(hDlg, nId), &rc);
  MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
  return {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

std::wstring TextOf(HWND hWnd) {
  wchar_t szText[1100] = {};
  GetWindowTextW(hWnd, szText, 1100);
  return szText;
}

// How wide the control's font draws the text, measured another way than the program
// measures it.
int DrawnWidth(HWND hControl, const std::wstring& strText) {
  HDC hDC = GetDC(hControl);
  HGDIOBJ hOld = SelectObject(hDC, reinterpret_cast<HFONT>(SendMessageW(hControl, WM_GETFONT, 0, 0)));
  RECT rc = {0, 0, 0, 0};
  DrawTextW(hDC, strText.c_str(), static_cast<int>(strText.size()), &rc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(hDC, hOld);
  ReleaseDC(hControl, hDC);
  return rc.right - rc.left;
}

class ui_Localization : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_HOTKEY_CLASS | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
  }
  void TearDown() override {
    if (m_hDlg) DestroyWindow(m_hDlg);
  }
  HWND Open(int nTemplate) {
    m_hDlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(nTemplate), nullptr, PlainDialogProc, 0);
    return m_hDlg;
  }
  HWND m_hDlg = nullptr;
};

const wchar_t kTestFile[] =
    L"IDD900_Title=Localized dialog\r\n"
    L"FrameRate=Fps\r\n"
    L"OutputFolder=The folder where every recording is written\r\n"
    L"WindowAlwaysOnTop=Top\r\n"
    L"RecordWin7Sound=Record what the computer plays\r\n"
    L"Record=Start recording now\r\n"
    L"Help=Two\\nlines\r\n"
    L"Pause=暂停录像\r\n";

TEST_F(ui_Localization, TextsComeFromTheFileAndLabelsTakeTheirMeasuredWidth) {
  CLanguageFile file(kTestFile);
  HWND hDlg = Open(IDD_TEST_DIALOG);
  ASSERT_TRUE(hDlg);
  const int ids[] = {1201, 1004, 1005, 1202, 1015, 1213, 1009, 1208, 1200, 1203, 1216};
  std::map<int, Box> before;
  std::map<int, std::wstring> textBefore;
  for (int nId : ids) {
    before[nId] = PlaceOf(hDlg, nId);
    textBefore[nId] = TextOf(GetDlgItem(hDlg, nId));
  }
  SendDlgItemMessageW(hDlg, 1208, HKM_SETHOTKEY, MAKEWORD(VK_F7, HOTKEYF_CONTROL), 0);

  LocalizeDialog(hDlg, IDD_TEST_DIALOG);

  EXPECT_EQ(TextOf(hDlg), L"Localized dialog");
  auto expectPlaceKept = [&](int nId) {
    const Box b = PlaceOf(hDlg, nId), a = before[nId];
    EXPECT_EQ(b.x, a.x) << nId;
    EXPECT_EQ(b.y, a.y) << nId;
    EXPECT_EQ(b.cy, a.cy) << nId;
  };
  // Labels: exactly as wide as the text, narrower or wider than before.
  for (int nId : {1201, 1004}) {
    SCOPED_TRACE(nId);
    HWND hLabel = GetDlgItem(hDlg, nId);
    const std::wstring strText = TextOf(hLabel);
    EXPECT_EQ(PlaceOf(hDlg, nId).cx, DrawnWidth(hLabel, strText));
    expectPlaceKept(nId);
  }
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, 1201)), L"Fps");
  EXPECT_LT(PlaceOf(hDlg, 1201).cx, before[1201].cx) << "a shorter text narrows a label";
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, 1004)), L"The folder where every recording is written");
  EXPECT_GT(PlaceOf(hDlg, 1004).cx, before[1004].cx) << "a longer text widens a label";

  // Other controls only grow.
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, 1202)), L"Top");
  EXPECT_EQ(PlaceOf(hDlg, 1202).cx, before[1202].cx) << "a check box keeps its width for a shorter text";
  expectPlaceKept(1202);
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, 1015)), L"Record what the computer plays");
  EXPECT_EQ(PlaceOf(hDlg, 1015).cx, DrawnWidth(GetDlgItem(hDlg, 1015), L"Record what the computer plays"));
  EXPECT_GT(PlaceOf(hDlg, 1015).cx, before[1015].cx);
  expectPlaceKept(1015);
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, 1213)), L"Start recording now");
  EXPECT_EQ(PlaceOf(hDlg, 1213).cx, DrawnWidth(GetDlgItem(hDlg, 1213), L"Start recording now"));
  EXPECT_GT(PlaceOf(hDlg, 1213).cx, before[1213].cx);
  expectPlaceKept(1213);

  // A dialog text keeps "\n" as written; a button wider than its text keeps its width.
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, 1009)), L"Two\\nlines");
  EXPECT_EQ(PlaceOf(hDlg, 1009).cx, before[1009].cx);

  // The hotkey control takes the text and still shows its hotkey.
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, 1208)), L"暂停录像");
  EXPECT_EQ(SendDlgItemMessageW(hDlg, 1208, HKM_GETHOTKEY, 0, 0), MAKEWORD(VK_F7, HOTKEYF_CONTROL));
  EXPECT_GE(PlaceOf(hDlg, 1208).cx, before[1208].cx);

  // No key in the file, an empty entry of the table, an index of 16 or more, no id.
  for (int nId : {1005, 1200, 1203, 1216}) {
    SCOPED_TRACE(nId);
    EXPECT_EQ(TextOf(GetDlgItem(hDlg, nId)), textBefore[nId]);
    EXPECT_EQ(PlaceOf(hDlg, nId).cx, before[nId].cx);
  }
  bool bFoundNoId = false;
  for (HWND h = GetWindow(hDlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    if (GetDlgCtrlID(h) == -1) bFoundNoId = TextOf(h) == L"no id";
  }
  EXPECT_TRUE(bFoundNoId) << "the label without an id keeps its text";
}

TEST_F(ui_Localization, OnlyDirectChildrenAreVisited) {
  CLanguageFile file(kTestFile);
  HWND hDlg = Open(IDD_TEST_DIALOG);
  ASSERT_TRUE(hDlg);
  // A page inside a container, as the option pages sit inside the tab control.
  HWND hContainer = CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 160, 200, 30, hDlg,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(1299)), nullptr, nullptr);
  HWND hInner = CreateWindowExW(0, L"Static", L"inner label", WS_CHILD, 0, 0, 150, 10, hContainer,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(1201)), nullptr, nullptr);
  LocalizeDialog(hDlg, IDD_TEST_DIALOG);
  EXPECT_EQ(TextOf(hInner), L"inner label");
  RECT rc;
  GetWindowRect(hInner, &rc);
  EXPECT_EQ(rc.right - rc.left, 150);
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, 1201)), L"Fps");
}

TEST_F(ui_Localization, WithoutTextsEverythingKeepsItsBuiltInText) {
  for (const wchar_t* lines : {L"", L"IDD280_Title=Only the system page's title\r\n"}) {
    CLanguageFile file(lines);
    HWND hDlg = Open(IDD_TEST_DIALOG);
    ASSERT_TRUE(hDlg);
    SetWindowTextW(hDlg, L"Built-in title");
    const Box label = PlaceOf(hDlg, 1201);
    LocalizeDialog(hDlg, IDD_TEST_DIALOG);
    EXPECT_EQ(TextOf(hDlg), L"Built-in title");
    EXPECT_EQ(TextOf(GetDlgItem(hDlg, 1201)), L"A built-in label that is long");
    EXPECT_EQ(PlaceOf(hDlg, 1201).cx, label.cx);
    DestroyWindow(hDlg);
    m_hDlg = nullptr;
  }
  // No language file at all.
  const std::wstring strSaved = g_strLanguageFile;
  g_strLanguageFile = L"C:\\no such folder\\Nowhere.ini";
  HWND hDlg = Open(IDD_TEST_DIALOG);
  LocalizeDialog(hDlg, IDD_TEST_DIALOG);
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, 1213)), L"录像");
  g_strLanguageFile = strSaved;
}

TEST_F(ui_Localization, TheMainDialogInEnglish) {
  const std::wstring strSaved = g_strLanguageFile;
  g_strLanguageFile = std::filesystem::path(VANTOR_SOURCE_DIR "/Language/English.ini").wstring();
  HWND hDlg = Open(IDD_VANTOR_DIALOG);
  ASSERT_TRUE(hDlg);
  LocalizeDialog(hDlg, IDD_VANTOR_DIALOG);
  EXPECT_EQ(TextOf(hDlg), L"Vantor 1.0 Beta1");
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, IDC_RECORD)), L"Record");
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, IDC_PAUSE)), L"Pause");
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, IDC_STOP)), L"Stop");
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, IDC_HELP_BUTTON)), L"Help");
  // The close button has no text of its own (it shows a picture) and gets none.
  EXPECT_EQ(TextOf(GetDlgItem(hDlg, IDC_CLOSE_BUTTON)), L"");
  g_strLanguageFile = strSaved;
}

TEST_F(ui_Localization, LoadLangStringBreaksLinesAndCutsLongTexts) {
  const std::wstring strLong(1500, L'y');
  CLanguageFile file(L"RestartVantor=First line.\\nSecond line.\r\nLong=" + strLong +
                     L"\r\nQuoted=\"  blanks kept  \"\r\nChinese=录像\\n停止\r\n");
  EXPECT_EQ(LoadLangString(L"RestartVantor"), L"First line.\nSecond line.");
  EXPECT_EQ(LoadLangString(L"Chinese"), L"录像\n停止");
  EXPECT_EQ(LoadLangString(L"Long"), std::wstring(999, L'y'));
  EXPECT_EQ(LoadLangString(L"Quoted"), L"  blanks kept  ");
  EXPECT_EQ(LoadLangString(L"Missing"), L"");
  EXPECT_EQ(LoadLangString(L"restartvantor"), L"First line.\nSecond line.");
}

TEST_F(ui_Localization, LoadLangStringWithoutAFile) {
  const std::wstring strSaved = g_strLanguageFile;
  g_strLanguageFile = L"C:\\no such folder\\Nowhere.ini";
  EXPECT_EQ(LoadLangString(L"Record"), L"");
  g_strLanguageFile.clear();
  EXPECT_EQ(LoadLangString(L"Record"), L"");
  g_strLanguageFile = strSaved;
}

TEST_F(ui_Localization, TheShippedFilesThroughTheSystem) {
  const std::wstring strSaved = g_strLanguageFile;
  g_strLanguageFile = std::filesystem::path(VANTOR_SOURCE_DIR "/Language/SimpChinese.ini").wstring();
  EXPECT_EQ(LoadLangString(L"Record"), L"录像");
  EXPECT_EQ(LoadLangString(L"HotKey"), L"热键");
  const std::wstring strRestart = LoadLangString(L"RestartVantor");
  EXPECT_NE(strRestart.find(L'\n'), std::wstring::npos);
  EXPECT_EQ(strRestart.find(L"\\n"), std::wstring::npos);
  g_strLanguageFile = std::filesystem::path(VANTOR_SOURCE_DIR "/Language/English.ini").wstring();
  EXPECT_EQ(LoadLangString(L"Quit"), L"Quit");
  EXPECT_EQ(LoadLangString(L"FullScreen"), L"Full screen");
  g_strLanguageFile = strSaved;
}

}  // namespace
}  // namespace vantor
