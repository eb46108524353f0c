// The update check against a server on 127.0.0.1, through WinINet as the program uses
// it: the number each answer announces, what the check would show for it, the bounded
// wait for a server that never answers, a refused connection, and the real question
// box (found and answered by a probe) with what a Yes opens.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "TestHttpServer.h"
#include "ui/UpdateCheck.h"

namespace vantor {
namespace {

using test::CTestHttpServer;
using namespace std::string_literals;

struct OpenedPage {
  HWND hOwner;
  std::wstring strVerb, strFile;
  INT nShow;
};
std::vector<OpenedPage> g_opened;

HINSTANCE WINAPI RecordOpenedPage(HWND hOwner, LPCWSTR pszVerb, LPCWSTR pszFile, LPCWSTR, LPCWSTR, INT nShow) {
  g_opened.push_back({hOwner, pszVerb ? pszVerb : L"", pszFile ? pszFile : L"", nShow});
  return reinterpret_cast<HINSTANCE>(42);
}

class ui_UpdateCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    g_opened.clear();
    m_pfnSaved = g_pfnOpenUpdatePage;
    g_pfnOpenUpdatePage = &RecordOpenedPage;
  }
  void TearDown() override { g_pfnOpenUpdatePage = m_pfnSaved; }

  OpenUpdatePageFn m_pfnSaved = nullptr;
};

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(ui_UpdateCheck, EachAnswerIsReadAsItsFirstFourCharacters) {
  struct Case {
    std::string body;
    int nVersion;
    bool bPrompt;
  } cases[] = {
      {"2", 2, true},  {" 2", 2, true}, {"10", 10, true},   {"12345", 1234, true},
      {"1", 1, false}, {"0", 0, false}, {"2\r\n", 2, true}, {"", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("body \"" + c.body + "\"");
    CTestHttpServer server = CTestHttpServer::Answering(c.body);
    const std::optional<std::string> file = FetchVersionFile(server.Url());
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(*file, c.body);
    EXPECT_EQ(AnnouncedVersion(*file), c.nVersion);
    EXPECT_EQ(UpdatePromptFor(*file, L"English").has_value(), c.bPrompt);
  }
}

TEST_F(ui_UpdateCheck, OneGetOfTheVersionFile) {
  CTestHttpServer server = CTestHttpServer::Answering("1");
  ASSERT_TRUE(FetchVersionFile(server.Url()).has_value());
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].rfind("GET /version/version.t HTTP/1.1\r\n", 0), 0u) << requests[0];
  // The program's name as user agent (this test program's name here).
  EXPECT_NE(requests[0].find("\r\nUser-Agent: ui_update_check_tests\r\n"), std::string::npos) << requests[0];
}

TEST_F(ui_UpdateCheck, OnlyTheFirst32BytesAreRead) {
  const std::string strBody = "2" + std::string(200, 'x');
  CTestHttpServer server = CTestHttpServer::Answering(strBody);
  const std::optional<std::string> file = FetchVersionFile(server.Url());
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(*file, strBody.substr(0, 32));
}

TEST_F(ui_UpdateCheck, AnErrorPageGivesNoPrompt) {
  // The status is not looked at: the page's text is read like any version file.
  CTestHttpServer server = CTestHttpServer::Answering(
      "<!DOCTYPE html>\r\n<html><head><title>404 Not Found</title></head><body>Not Found</body></html>",
      "404 Not Found", "text/html");
  const std::optional<std::string> file = FetchVersionFile(server.Url());
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->rfind("<!DOCTYPE", 0), 0u);
  EXPECT_EQ(AnnouncedVersion(*file), 0);
  EXPECT_EQ(CheckForUpdate(nullptr, L"English", server.Url()), std::nullopt);
}

TEST_F(ui_UpdateCheck, ARefusedConnectionEndsTheCheckAtOnce) {
  const std::wstring strUrl =
      L"http://127.0.0.1:" + std::to_wstring(CTestHttpServer::RefusingPort()) + L"/version/version.t";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(FetchVersionFile(strUrl), std::nullopt);
  EXPECT_EQ(CheckForUpdate(nullptr, L"English", strUrl), std::nullopt);
  EXPECT_LT(MillisecondsSince(start), 3000);
  EXPECT_TRUE(g_opened.empty());
}

TEST_F(ui_UpdateCheck, AServerThatNeverAnswersIsGivenUpWithinTheTimeOut) {
  CTestHttpServer server = CTestHttpServer::Silent();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CheckForUpdate(nullptr, L"English", server.Url()), std::nullopt);
  const long long nElapsed = MillisecondsSince(start);
  EXPECT_FALSE(server.Requests().empty()) << "the request reached the server";
  // It waited for the answer, and not much longer than the time-out (a request that
  // failed on a kept connection may be sent once more).
  EXPECT_GE(nElapsed, kUpdateCheckTimeoutMs - 500);
  EXPECT_LT(nElapsed, 2 * kUpdateCheckTimeoutMs + 1500);
  EXPECT_TRUE(g_opened.empty());
}

TEST_F(ui_UpdateCheck, AShorterTimeOutEndsTheWaitSooner) {
  CTestHttpServer server = CTestHttpServer::Silent();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(FetchVersionFile(server.Url(), 1000), std::nullopt);
  const long long nElapsed = MillisecondsSince(start);
  EXPECT_GE(nElapsed, 800);
  EXPECT_LT(nElapsed, 3500);
}

// What the probe saw of the question box.
struct SeenBox {
  bool bFound = false;
  std::wstring strText;
  HWND hOwner = nullptr;
  int nDefaultButton = 0;  // -1: more than one
  bool bYes = false, bNo = false, bCancel = false, bQuestionIcon = false;
};

// Waits for a dialog box titled pszCaption on the other thread, reads it and presses
// nButton.
SeenBox AnswerBox(const wchar_t* pszCaption, int nButton) {
  SeenBox seen;
  HWND hBox = nullptr;
  for (int i = 0; i < 200 && !hBox; ++i) {
    hBox = FindWindowW(L"#32770", pszCaption);
    if (!hBox) Sleep(50);
  }
  if (!hBox) return seen;
  Sleep(200);  // let the box finish its initialisation
  seen.bFound = true;
  seen.hOwner = GetWindow(hBox, GW_OWNER);
  // The default button is the one drawn as such.
  for (int nButton : {IDYES, IDNO}) {
    HWND hButton = GetDlgItem(hBox, nButton);
    if (hButton && (GetWindowLongW(hButton, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      seen.nDefaultButton = seen.nDefaultButton ? -1 : nButton;
    }
  }
  seen.bYes = GetDlgItem(hBox, IDYES) != nullptr;
  seen.bNo = GetDlgItem(hBox, IDNO) != nullptr;
  seen.bCancel = GetDlgItem(hBox, IDCANCEL) != nullptr;
  const HICON hQuestion = LoadIconW(nullptr, IDI_QUESTION);
  for (HWND hChild = GetWindow(hBox, GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT)) {
    wchar_t szClass[32] = {};
    GetClassNameW(hChild, szClass, 32);
    if (lstrcmpiW(szClass, L"Static") != 0) continue;
    if (reinterpret_cast<HICON>(SendMessageW(hChild, STM_GETICON, 0, 0)) == hQuestion) seen.bQuestionIcon = true;
    wchar_t szText[512] = {};
    GetWindowTextW(hChild, szText, 512);
    if (szText[0]) seen.strText = szText;
  }
  PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(nButton, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hBox, nButton)));
  return seen;
}

// A hidden window in the main dialog's place: the box's owner.
HWND CreateOwner() {
  return CreateWindowExW(0, L"Static", L"Vantor 1.0 Beta1", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

TEST_F(ui_UpdateCheck, ANewerVersionAsksAndYesOpensTheSite) {
  CTestHttpServer server = CTestHttpServer::Answering("2");
  HWND hOwner = CreateOwner();
  ASSERT_TRUE(hOwner);
  std::future<SeenBox> probe = std::async(std::launch::async, AnswerBox, L"New version is available", IDYES);
  const std::optional<UpdatePrompt> shown = CheckForUpdate(hOwner, L"English", server.Url());
  const SeenBox seen = probe.get();
  ASSERT_TRUE(seen.bFound) << "no question box appeared";
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(seen.strText, shown->strText);
  EXPECT_NE(seen.strText.find(L"\r\nDo you want to download the latest version right now?"), std::wstring::npos);
  EXPECT_EQ(seen.hOwner, hOwner);
  EXPECT_TRUE(seen.bYes && seen.bNo);
  EXPECT_FALSE(seen.bCancel);
  EXPECT_EQ(seen.nDefaultButton, IDNO);
  EXPECT_TRUE(seen.bQuestionIcon);
  ASSERT_EQ(g_opened.size(), 1u);
  EXPECT_EQ(g_opened[0].strVerb, L"open");
  EXPECT_EQ(g_opened[0].strFile, UpdatePromptForLanguage(L"English").strTarget);
  EXPECT_EQ(g_opened[0].nShow, SW_SHOWNORMAL);
  DestroyWindow(hOwner);
}

TEST_F(ui_UpdateCheck, NoOpensNothingAndTheChineseNameAsksInChinese) {
  CTestHttpServer server = CTestHttpServer::Answering("10");
  HWND hOwner = CreateOwner();
  std::future<SeenBox> probe = std::async(std::launch::async, AnswerBox, L"更新提醒", IDNO);
  const std::optional<UpdatePrompt> shown = CheckForUpdate(hOwner, L"SimpChinese", server.Url());
  const SeenBox seen = probe.get();
  ASSERT_TRUE(seen.bFound) << "no Chinese question box appeared";
  EXPECT_NE(seen.strText.find(L"\r\n您现在是否需要下载更新?"), std::wstring::npos);
  EXPECT_TRUE(shown.has_value());
  EXPECT_TRUE(g_opened.empty());
  DestroyWindow(hOwner);
}

TEST_F(ui_UpdateCheck, ClosingTheBoxOpensNothing) {
  CTestHttpServer server = CTestHttpServer::Answering(" 2");
  HWND hOwner = CreateOwner();
  // A Yes/No box has no Cancel button; Escape and the close box answer No.
  std::future<SeenBox> probe = std::async(std::launch::async, [] {
    HWND hBox = nullptr;
    for (int i = 0; i < 200 && !hBox; ++i) {
      hBox = FindWindowW(L"#32770", L"New version is available");
      if (!hBox) Sleep(50);
    }
    SeenBox seen;
    seen.bFound = hBox != nullptr;
    if (!hBox) return seen;
    PostMessageW(hBox, WM_CLOSE, 0, 0);
    for (int i = 0; i < 20 && IsWindow(hBox); ++i) Sleep(50);
    // Where closing does nothing (Windows keeps a Yes/No box until one is chosen),
    // No ends it.
    seen.bCancel = !IsWindow(hBox);
    if (IsWindow(hBox)) PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
    return seen;
  });
  CheckForUpdate(hOwner, L"", server.Url());
  const SeenBox seen = probe.get();
  EXPECT_TRUE(seen.bFound);
  std::printf("closing the box %s it\n", seen.bCancel ? "ended" : "did not end");
  EXPECT_TRUE(g_opened.empty());
  DestroyWindow(hOwner);
}

}  // namespace
}  // namespace vantor
