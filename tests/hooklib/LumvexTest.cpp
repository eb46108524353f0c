// Lumvex: the cursor reports reach the window while installed, and stop with
// UninstallOstrel.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "Lumvex/Lumvex.h"

namespace {

// A generous bound so that a broken reporter fails instead of hanging the run;
// a working one answers within a few polls.
constexpr DWORD kGiveUpMs = 10000;

UINT CursorMessage() {
  static const UINT uMsg = RegisterWindowMessageW(L"WM_USER_SAVECURSOR_MSG");
  return uMsg;
}

// A visible window that records every cursor report and keeps whatever cursor the
// test sets, as the main dialog receives them.
class CReportWindow {
 public:
  explicit CReportWindow(int nLeft) {
    static const ATOM atom = [] {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = &CReportWindow::WndProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"hooklib_report_window";
      return RegisterClassW(&wc);
    }();
    m_hWnd = CreateWindowExW(WS_EX_TOPMOST, MAKEINTATOM(atom), L"hooklib reports", WS_POPUP | WS_VISIBLE,
                             nLeft, 100, 300, 300, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    SetForegroundWindow(m_hWnd);
  }
  ~CReportWindow() { DestroyWindow(m_hWnd); }

  POINT Inside(int dx, int dy) const {
    RECT rc;
    GetWindowRect(m_hWnd, &rc);
    return POINT{rc.left + 50 + dx, rc.top + 50 + dy};
  }

  HWND m_hWnd = nullptr;
  std::vector<HCURSOR> m_reports;

 private:
  static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_NCCREATE) {
      SetWindowLongPtrW(hWnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    CReportWindow* pThis = reinterpret_cast<CReportWindow*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pThis && uMsg == CursorMessage()) {
      pThis->m_reports.push_back(reinterpret_cast<HCURSOR>(wParam));
      return 0;
    }
    if (uMsg == WM_SETCURSOR) return TRUE;
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
  }
};

void PumpFor(DWORD dwMs) {
  const DWORD dwStart = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const DWORD dwElapsed = GetTickCount() - dwStart;
    if (dwElapsed >= dwMs) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, dwMs - dwElapsed, QS_ALLINPUT);
  }
}

// Pumps until pred holds; false when it never did.
bool PumpUntil(const std::function<bool()>& pred) {
  const DWORD dwStart = GetTickCount();
  while (!pred()) {
    if (GetTickCount() - dwStart > kGiveUpMs) return false;
    PumpFor(5);
  }
  return true;
}

HCURSOR SystemCursor() {
  CURSORINFO ci = {};
  ci.cbSize = sizeof(ci);
  GetCursorInfo(&ci);
  return ci.hCursor;
}

// The system cursor is the foreground thread's: bring the window forward and set the
// shape until the system shows it (another program may hold the foreground briefly).
bool ShowShape(HWND hWnd, HCURSOR hCursor) {
  return PumpUntil([&] {
    SetForegroundWindow(hWnd);
    SetCursor(hCursor);
    return SystemCursor() == hCursor;
  });
}

bool Contains(const std::vector<HCURSOR>& reports, size_t nFrom, HCURSOR hCursor) {
  for (size_t i = nFrom; i < reports.size(); ++i) {
    if (reports[i] == hCursor) return true;
  }
  return false;
}

// There is one pointer for the whole desktop: these tests take turns with each
// other even when CTest runs them in parallel processes.
class hooklib_Lumvex : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hTurn = CreateMutexW(nullptr, FALSE, L"Local\\VantorHooklibPointer");
    ASSERT_NE(m_hTurn, nullptr);
    const DWORD dwWait = WaitForSingleObject(m_hTurn, 10 * kGiveUpMs);
    ASSERT_TRUE(dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED);
    m_bHeld = true;
  }
  void TearDown() override {
    UninstallOstrel(nullptr);  // a failed case must not leave a reporter behind
    if (m_bHeld) ReleaseMutex(m_hTurn);
    if (m_hTurn) CloseHandle(m_hTurn);
  }

 private:
  HANDLE m_hTurn = nullptr;
  bool m_bHeld = false;
};

TEST_F(hooklib_Lumvex, ReportsTheCursorOnInstallMovesAndShapeChanges) {
  CReportWindow window(100);
  const POINT pt = window.Inside(0, 0);
  SetCursorPos(pt.x, pt.y);
  const HCURSOR hArrow = LoadCursorW(nullptr, IDC_ARROW);
  ASSERT_TRUE(ShowShape(window.m_hWnd, hArrow));

  ASSERT_TRUE(InstallOstrel(window.m_hWnd, CursorMessage()));
  ASSERT_TRUE(PumpUntil([&] { return !window.m_reports.empty(); }));
  EXPECT_EQ(window.m_reports.front(), hArrow);

  size_t nSeen = window.m_reports.size();
  const POINT ptMoved = window.Inside(40, 30);
  SetCursorPos(ptMoved.x, ptMoved.y);
  EXPECT_TRUE(PumpUntil([&] { return window.m_reports.size() > nSeen; })) << "no report after a move";

  // A new shape without any movement.
  nSeen = window.m_reports.size();
  const HCURSOR hCross = LoadCursorW(nullptr, IDC_CROSS);
  ASSERT_TRUE(ShowShape(window.m_hWnd, hCross));
  EXPECT_TRUE(PumpUntil([&] { return Contains(window.m_reports, nSeen, hCross); }))
      << "the cross cursor was not reported";

  nSeen = window.m_reports.size();
  ASSERT_TRUE(ShowShape(window.m_hWnd, hArrow));
  EXPECT_TRUE(PumpUntil([&] { return Contains(window.m_reports, nSeen, hArrow); }))
      << "the arrow cursor was not reported";

  EXPECT_TRUE(UninstallOstrel(window.m_hWnd));
}

TEST_F(hooklib_Lumvex, NothingArrivesAfterUninstall) {
  CReportWindow window(100);
  ASSERT_TRUE(InstallOstrel(window.m_hWnd, CursorMessage()));
  ASSERT_TRUE(PumpUntil([&] { return !window.m_reports.empty(); }));

  EXPECT_TRUE(UninstallOstrel(window.m_hWnd));
  const size_t nAtUninstall = window.m_reports.size();
  // Give a running reporter every chance: moves and shape changes over many polls.
  const HCURSOR shapes[] = {LoadCursorW(nullptr, IDC_CROSS), LoadCursorW(nullptr, IDC_ARROW)};
  for (int i = 0; i < 10; ++i) {
    const POINT pt = window.Inside(i * 7, i * 5);
    SetCursorPos(pt.x, pt.y);
    SetCursor(shapes[i % 2]);
    PumpFor(40);
  }
  EXPECT_EQ(window.m_reports.size(), nAtUninstall);
  EXPECT_FALSE(UninstallOstrel(window.m_hWnd));
}

TEST_F(hooklib_Lumvex, UninstallForAnotherWindowLeavesTheReportsOn) {
  CReportWindow window(100);
  CReportWindow other(500);
  ASSERT_TRUE(InstallOstrel(window.m_hWnd, CursorMessage()));
  EXPECT_FALSE(UninstallOstrel(other.m_hWnd));
  ASSERT_TRUE(PumpUntil([&] { return !window.m_reports.empty(); }));
  const size_t nSeen = window.m_reports.size();
  const POINT pt = window.Inside(20, 20);
  SetCursorPos(pt.x, pt.y);
  EXPECT_TRUE(PumpUntil([&] { return window.m_reports.size() > nSeen; }));
  // Stop's window handle is null when Record never ran: that stops whatever runs.
  EXPECT_TRUE(UninstallOstrel(nullptr));
  EXPECT_TRUE(other.m_reports.empty());
}

TEST_F(hooklib_Lumvex, InstallingAgainMovesTheReportsToTheNewWindow) {
  CReportWindow first(100);
  CReportWindow second(500);
  ASSERT_TRUE(InstallOstrel(first.m_hWnd, CursorMessage()));
  ASSERT_TRUE(PumpUntil([&] { return !first.m_reports.empty(); }));
  ASSERT_TRUE(InstallOstrel(second.m_hWnd, CursorMessage()));
  const size_t nFirst = first.m_reports.size();
  ASSERT_TRUE(PumpUntil([&] { return !second.m_reports.empty(); }));
  const POINT pt = second.Inside(10, 10);
  SetCursorPos(pt.x, pt.y);
  const size_t nSecond = second.m_reports.size();
  EXPECT_TRUE(PumpUntil([&] { return second.m_reports.size() > nSecond; }));
  EXPECT_EQ(first.m_reports.size(), nFirst);
  EXPECT_FALSE(UninstallOstrel(first.m_hWnd));
  EXPECT_TRUE(UninstallOstrel(second.m_hWnd));
}

TEST_F(hooklib_Lumvex, RefusesWhatCannotBeReportedTo) {
  CReportWindow window(100);
  EXPECT_FALSE(InstallOstrel(nullptr, CursorMessage()));
  EXPECT_FALSE(InstallOstrel(window.m_hWnd, 0));
  HWND hGone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(hGone);
  EXPECT_FALSE(InstallOstrel(hGone, CursorMessage()));
  EXPECT_FALSE(UninstallOstrel(nullptr));
}

}  // namespace
