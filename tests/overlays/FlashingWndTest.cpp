// The border window on the bench's screen: its region read back from the window, moves
// clamped at the four screen edges and published to the recording, the drag with the
// four-headed cursor, and paint that reaches the marks only.
#include <gtest/gtest.h>

#include "ScreenTestSupport.h"
#include "overlays/FlashingWnd.h"
#include "recording/GdiRecording.h"

namespace vantor::test {
namespace {

HRGN RectRgn(int l, int t, int r, int b) { return ::CreateRectRgn(l, t, r, b); }

// The window's region, or null.
HRGN ReadRegion(HWND hWnd) {
  HRGN hRegion = RectRgn(0, 0, 0, 0);
  if (::GetWindowRgn(hWnd, hRegion) == ERROR) {
    ::DeleteObject(hRegion);
    return nullptr;
  }
  return hRegion;
}

// outer less each of the cuts, built by hand from rectangles.
HRGN Expected(RECT outer, std::initializer_list<RECT> cuts) {
  HRGN h = RectRgn(outer.left, outer.top, outer.right, outer.bottom);
  for (const RECT& c : cuts) {
    HRGN hc = RectRgn(c.left, c.top, c.right, c.bottom);
    ::CombineRgn(h, h, hc, RGN_DIFF);
    ::DeleteObject(hc);
  }
  return h;
}

class overlays_FlashingWnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ReadScreenSize();
    ASSERT_GT(g_ScreenWidth, 800);
    ASSERT_GT(g_ScreenHeight, 600);
    ASSERT_TRUE(m_Wnd.CreateOverScreen());
    // What a recording hears of the moves, as the recording's host wires it.
    m_Wnd.SetMoveListener(&PublishMovedArea);
    DiscardMovedArea();
  }
  void TearDown() override { DiscardMovedArea(); }
  CFlashingWnd m_Wnd;
};

TEST_F(overlays_FlashingWnd, CreatedHiddenTopmostOverTheScreen) {
  HWND hWnd = m_Wnd.get_Hwnd();
  ASSERT_TRUE(hWnd);
  EXPECT_FALSE(::IsWindowVisible(hWnd));
  EXPECT_TRUE(::GetWindowLongW(hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(::GetWindowLongW(hWnd, GWL_STYLE) & WS_POPUP);
  wchar_t szTitle[64] = {};
  ::GetWindowTextW(hWnd, szTitle, 64);
  EXPECT_STREQ(szTitle, L"Recording......");
  RECT rc;
  ::GetWindowRect(hWnd, &rc);
  EXPECT_EQ(rc.left, 0);
  EXPECT_EQ(rc.top, 0);
  EXPECT_EQ(rc.right, g_ScreenWidth);
  EXPECT_EQ(rc.bottom, g_ScreenHeight);
  EXPECT_EQ(ReadRegion(hWnd), nullptr) << "no region before the first area";
  const CaptureRect zero = {0, 0, 0, 0};
  EXPECT_TRUE(m_Wnd.get_Area() == zero);
  m_Wnd.Show();
  EXPECT_TRUE(::IsWindowVisible(hWnd));
  m_Wnd.Hide();
  EXPECT_FALSE(::IsWindowVisible(hWnd));
}

TEST_F(overlays_FlashingWnd, ShowingAndClickingLeaveTheFocusAlone) {
  // The program being recorded keeps the keyboard (and, under Wine, the cursor the
  // system reports is still its own).
  CPictureWindow picture(400, 300, 200, 100, [](int, int) { return RGB(0, 0, 0); });
  ASSERT_TRUE(picture.WaitShown());
  ::SetForegroundWindow(picture.m_hWnd);
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == picture.m_hWnd; }));
  m_Wnd.SetArea(100, 100, 200, 150);
  m_Wnd.Show();
  PumpFor(100);
  EXPECT_TRUE(::IsWindowVisible(m_Wnd.get_Hwnd()));
  EXPECT_EQ(::GetForegroundWindow(), picture.m_hWnd);
  EXPECT_EQ(::SendMessageW(m_Wnd.get_Hwnd(), WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(m_Wnd.get_Hwnd()),
                           MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
            MA_NOACTIVATE);
  m_Wnd.Hide();
}

TEST_F(overlays_FlashingWnd, RegionOfA640x480AreaAt100) {
  m_Wnd.SetArea(100, 100, 640, 480);
  const CaptureRect area = {100, 100, 739, 579};
  EXPECT_TRUE(m_Wnd.get_Area() == area);
  HRGN hRegion = ReadRegion(m_Wnd.get_Hwnd());
  ASSERT_TRUE(hRegion);
  HRGN hExpected = Expected({92, 92, 747, 587}, {{100, 100, 740, 580}, {92, 116, 747, 560}, {116, 92, 720, 587}});
  EXPECT_TRUE(::EqualRgn(hRegion, hExpected));
  RECT box;
  EXPECT_EQ(::GetRgnBox(hRegion, &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 92);
  EXPECT_EQ(box.top, 92);
  EXPECT_EQ(box.right, 747);
  EXPECT_EQ(box.bottom, 587);
  // A few pixels by name: the corners of the marks and the open middles.
  EXPECT_TRUE(::PtInRegion(hRegion, 92, 92));
  EXPECT_TRUE(::PtInRegion(hRegion, 746, 586));
  EXPECT_TRUE(::PtInRegion(hRegion, 115, 92));
  EXPECT_FALSE(::PtInRegion(hRegion, 116, 92));
  EXPECT_TRUE(::PtInRegion(hRegion, 720, 586));
  EXPECT_FALSE(::PtInRegion(hRegion, 719, 586));
  EXPECT_FALSE(::PtInRegion(hRegion, 100, 100));
  ::DeleteObject(hExpected);
  ::DeleteObject(hRegion);
}

TEST_F(overlays_FlashingWnd, SmallAreaIsFramedWhole) {
  m_Wnd.SetArea(300, 300, 20, 30);
  HRGN hRegion = ReadRegion(m_Wnd.get_Hwnd());
  ASSERT_TRUE(hRegion);
  HRGN hExpected = Expected({292, 292, 327, 337}, {{300, 300, 320, 330}});
  EXPECT_TRUE(::EqualRgn(hRegion, hExpected));
  ::DeleteObject(hExpected);
  ::DeleteObject(hRegion);
}

TEST_F(overlays_FlashingWnd, MoveClampsAtEveryEdgeAndPublishes) {
  const int W = g_ScreenWidth, H = g_ScreenHeight;
  struct Case {
    int dx, dy;
    CaptureRect moved;
  } cases[] = {
      {-500, 0, {0, 100, 639, 579}},
      {0, -500, {100, 0, 739, 479}},
      {5000, 0, {W - 640, 100, W - 1, 579}},
      {0, 5000, {100, H - 480, 739, H - 1}},
      {-20, 30, {80, 130, 719, 609}},
      {0, 0, {100, 100, 739, 579}},
  };
  for (const Case& c : cases) {
    m_Wnd.SetArea(100, 100, 640, 480);
    HRGN hBefore = ReadRegion(m_Wnd.get_Hwnd());
    DiscardMovedArea();
    m_Wnd.MoveArea(c.dx, c.dy);
    EXPECT_TRUE(m_Wnd.get_Area() == c.moved) << c.dx << "," << c.dy;
    EXPECT_EQ(g_RegionMoved.load(), 1) << "a click without a move publishes too";
    EXPECT_TRUE(g_MovedRect == c.moved);
    // The marks went along: the old region shifted by the move that was made.
    HRGN hAfter = ReadRegion(m_Wnd.get_Hwnd());
    ASSERT_TRUE(hBefore && hAfter);
    ::OffsetRgn(hBefore, c.moved.left - 100, c.moved.top - 100);
    EXPECT_TRUE(::EqualRgn(hBefore, hAfter)) << c.dx << "," << c.dy;
    ::DeleteObject(hBefore);
    ::DeleteObject(hAfter);
  }
}

TEST_F(overlays_FlashingWnd, DragMovesTheAreaByTheMouseTravel) {
  m_Wnd.SetArea(200, 150, 320, 240);
  m_Wnd.Show();
  HWND hWnd = m_Wnd.get_Hwnd();
  PumpFor(100);

  // Over a mark the four-headed arrow shows.
  ::SendMessageW(hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_SIZEALL));
  EXPECT_EQ(g_DragCursor, ::LoadCursorW(nullptr, IDC_SIZEALL));

  ASSERT_TRUE(::SetCursorPos(195, 145));
  ::SendMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(195, 145));
  EXPECT_EQ(g_BorderDragging, 1);
  EXPECT_EQ(::GetCapture(), hWnd);
  EXPECT_EQ(g_DragStart.x, 195);
  EXPECT_EQ(g_DragStart.y, 145);
  ::SetCursorPos(195 + 37, 145 - 21);
  ::SendMessageW(hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(195 + 37, 145 - 21));
  EXPECT_EQ(g_RegionMoved.load(), 0) << "nothing moves before the button is released";
  ::SendMessageW(hWnd, WM_LBUTTONUP, 0, MAKELPARAM(195 + 37, 145 - 21));
  EXPECT_EQ(g_BorderDragging, 0);
  EXPECT_NE(::GetCapture(), hWnd);
  const CaptureRect moved = {237, 129, 237 + 319, 129 + 239};
  EXPECT_TRUE(m_Wnd.get_Area() == moved);
  EXPECT_EQ(g_RegionMoved.load(), 1);

  // A button-up without a button-down on a mark moves nothing.
  DiscardMovedArea();
  ::SendMessageW(hWnd, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(g_RegionMoved.load(), 0);
  EXPECT_TRUE(m_Wnd.get_Area() == moved);

  // Capture lost mid-drag: the drag is over, the later button-up moves nothing.
  ::SendMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  ::ReleaseCapture();
  EXPECT_EQ(g_BorderDragging, 0);
  ::SetCursorPos(600, 600);
  ::SendMessageW(hWnd, WM_LBUTTONUP, 0, 0);
  EXPECT_TRUE(m_Wnd.get_Area() == moved);
  m_Wnd.Hide();
}

TEST_F(overlays_FlashingWnd, PaintReachesTheMarksOnly) {
  const COLORREF kBackground = RGB(10, 200, 30);
  CPictureWindow picture(250, 150, 400, 300, [&](int, int) { return kBackground; });
  ASSERT_TRUE(picture.WaitShown());
  ::SetCursorPos(g_ScreenWidth - 5, g_ScreenHeight - 5);
  m_Wnd.SetArea(300, 200, 200, 150);  // marks at 292..506 x 192..356
  m_Wnd.Show();
  m_Wnd.PaintBorder(RGB(255, 0, 0));
  EXPECT_TRUE(PumpUntil([] { return ScreenPixel(292, 192) == RGB(255, 0, 0); }));
  EXPECT_EQ(ScreenPixel(506, 356), RGB(255, 0, 0)) << "the bottom-right mark's corner";
  EXPECT_EQ(ScreenPixel(299, 199), RGB(255, 0, 0));
  EXPECT_EQ(ScreenPixel(300, 200), kBackground) << "the area itself stays visible";
  EXPECT_EQ(ScreenPixel(400, 275), kBackground);
  EXPECT_EQ(ScreenPixel(295, 275), kBackground) << "the open middle of the left side";
  EXPECT_EQ(ScreenPixel(400, 195), kBackground) << "the open middle of the top side";
  EXPECT_EQ(ScreenPixel(507, 357), kBackground) << "just outside the marks";

  m_Wnd.PaintBorder(RGB(36, 107, 185));
  EXPECT_TRUE(PumpUntil([] { return ScreenPixel(292, 192) == RGB(36, 107, 185); }));

  // An area without width is not painted.
  m_Wnd.SetArea(300, 200, 1, 150);
  PumpFor(100);
  m_Wnd.PaintBorder(RGB(255, 255, 0));
  PumpFor(200);
  EXPECT_NE(ScreenPixel(292, 200), RGB(255, 255, 0));
  m_Wnd.Hide();
}

}  // namespace
}  // namespace vantor::test
