// The widget kit's controls on real windows under Wine, drawn on the bench's screen:
// the image button's hover icon and caption colour over the skin, the hover bitmap
// button's states with the see-through colour keyed out, the see-through label, the
// option pages' white, the tab host's pages, and the About box's texts and links.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "WidgetsTestIds.h"
#include "ui/AboutDlg.h"
#include "ui/DialogBase.h"
#include "ui/resource.h"
#include "widgets/HoverBitmapButton.h"
#include "widgets/HyperlinkLabel.h"
#include "widgets/ImageButton.h"
#include "widgets/TabHost.h"
#include "widgets/TransparentLabel.h"
#include "widgets/WidgetGeometry.h"

namespace vantor {
namespace {

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// What a window shows on the screen now, in its client coordinates.
class CSnapshot {
 public:
  explicit CSnapshot(HWND hWnd) {
    InvalidateRect(hWnd, nullptr, TRUE);
    UpdateWindow(hWnd);
    Pump();
    RECT rc = {};
    GetClientRect(hWnd, &rc);
    m_cx = rc.right;
    m_cy = rc.bottom;
    BITMAPINFO bmi = {};
    bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), m_cx, -m_cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* pBits = nullptr;
    HDC hWindowDC = GetDC(hWnd);
    HDC hMemDC = CreateCompatibleDC(hWindowDC);
    HBITMAP hBitmap = CreateDIBSection(hWindowDC, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HGDIOBJ hOld = SelectObject(hMemDC, hBitmap);
    BitBlt(hMemDC, 0, 0, m_cx, m_cy, hWindowDC, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* pPixels = static_cast<const DWORD*>(pBits);
    m_pixels.assign(pPixels, pPixels + static_cast<std::size_t>(m_cx) * m_cy);
    SelectObject(hMemDC, hOld);
    DeleteObject(hBitmap);
    DeleteDC(hMemDC);
    ReleaseDC(hWnd, hWindowDC);
  }
  COLORREF At(int x, int y) const {
    const DWORD p = m_pixels[static_cast<std::size_t>(y) * m_cx + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  int Count(const std::function<bool(int r, int g, int b)>& pred) const {
    int n = 0;
    for (int y = 0; y < m_cy; ++y) {
      for (int x = 0; x < m_cx; ++x) {
        const COLORREF c = At(x, y);
        if (pred(GetRValue(c), GetGValue(c), GetBValue(c))) ++n;
      }
    }
    return n;
  }
  int Width() const { return m_cx; }
  int Height() const { return m_cy; }

 private:
  int m_cx = 0, m_cy = 0;
  std::vector<DWORD> m_pixels;
};

COLORREF SkinAt(HWND hDlg, int yInDialog) {
  RECT rc = {};
  GetClientRect(hDlg, &rc);
  const WidgetColour c = SkinColourAt(yInDialog, rc.bottom);
  return RGB(c.r, c.g, c.b);
}

// The top of a child in its parent's client coordinates.
int TopInParent(HWND hChild) {
  POINT pt = {0, 0};
  MapWindowPoints(hChild, GetParent(hChild), &pt, 1);
  return pt.y;
}

void HoverOver(HWND hControl) {
  RECT rc = {};
  GetWindowRect(hControl, &rc);
  SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  Pump();
  SendMessageW(hControl, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  Pump();
}

void LeaveControl(HWND hControl) {
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2);
  SendMessageW(hControl, WM_MOUSELEAVE, 0, 0);
  Pump();
}

bool IsCaptionGreen(int r, int g, int b) { return g >= 150 && r <= 160 && b <= 130; }

class CTestDialog : public CDialogBase {
 public:
  CTestDialog() : CDialogBase(IDD_WIDGETS_TEST) {}
  int m_nClicks = 0;
  CImageButton m_button;
  CHoverBitmapButton m_closeButton;
  CTransparentLabel m_label;
  CTabHost m_tab;

 protected:
  void OnCommand(WORD wId, WORD wCode, HWND) override {
    if (wId == IDC_TEST_BITMAP_BUTTON && wCode == BN_CLICKED) ++m_nClicks;
  }
};

// A click of the left button in the middle of a control, as the mouse makes it.
void ClickOn(HWND hControl) {
  RECT rc = {};
  GetClientRect(hControl, &rc);
  const LPARAM lPoint = MAKELPARAM(rc.right / 2, rc.bottom / 2);
  SendMessageW(hControl, WM_LBUTTONDOWN, MK_LBUTTON, lPoint);
  SendMessageW(hControl, WM_LBUTTONUP, 0, lPoint);
  Pump();
}

class widgets_Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dlg.Create(GetModuleHandleW(nullptr), nullptr));
    SetWindowPos(m_dlg.get_Hwnd(), HWND_TOPMOST, 100, 100, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    Pump();
  }
  void TearDown() override {
    if (m_dlg.get_Hwnd()) DestroyWindow(m_dlg.get_Hwnd());
    Pump();
  }
  HWND Item(int nId) const { return GetDlgItem(m_dlg.get_Hwnd(), nId); }

  CTestDialog m_dlg;
};

TEST_F(widgets_Controls, ImageButtonShowsTheSkinUnderItAndTurnsGreenWithItsHoverIconUnderTheMouse) {
  HWND hButton = Item(IDC_TEST_IMAGE_BUTTON);
  ASSERT_TRUE(m_dlg.m_button.Attach(hButton));
  EXPECT_EQ(GetWindowLongPtrW(hButton, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  ASSERT_TRUE(m_dlg.m_button.LoadIcons(GetModuleHandleW(nullptr), IDI_RECORD, IDI_RECORD_HOVER, 24));
  m_dlg.m_button.SetLayout(CImageButton::Layout::IconAbove);
  m_dlg.m_button.SetTextColours(RGB(44, 62, 80), RGB(100, 200, 50));
  m_dlg.m_button.SetTransparent(true);
  SetFocus(m_dlg.get_Hwnd());
  LeaveControl(hButton);

  const auto isHoverRing = [](int r, int g, int b) { return r >= 235 && g >= 160 && g <= 205 && b >= 150 && b <= 200; };
  const auto isRecordRed = [](int r, int g, int b) { return r >= 150 && g <= 90 && b <= 80; };
  const CSnapshot normal(hButton);
  const int nTop = TopInParent(hButton);
  // The corners are the dialog's skin, row for row: the button has no face of its own.
  EXPECT_EQ(normal.At(1, 1), SkinAt(m_dlg.get_Hwnd(), nTop + 1));
  EXPECT_EQ(normal.At(normal.Width() - 2, normal.Height() - 2), SkinAt(m_dlg.get_Hwnd(), nTop + normal.Height() - 2));
  EXPECT_GT(normal.Count(isRecordRed), 20) << "the record icon is drawn";
  EXPECT_EQ(normal.Count(IsCaptionGreen), 0);
  EXPECT_EQ(normal.Count(isHoverRing), 0);

  HoverOver(hButton);
  ASSERT_TRUE(m_dlg.m_button.IsHovered());
  const CSnapshot hovered(hButton);
  EXPECT_GT(hovered.Count(IsCaptionGreen), 0) << "the caption takes the hover colour";
  EXPECT_GT(hovered.Count(isHoverRing), 0) << "the hover icon is drawn";

  LeaveControl(hButton);
  EXPECT_FALSE(m_dlg.m_button.IsHovered());
  const CSnapshot left(hButton);
  EXPECT_EQ(left.Count(IsCaptionGreen), 0);
}

TEST_F(widgets_Controls, ImageButtonWithOneIconKeepsItWhileHovered) {
  HWND hButton = Item(IDC_TEST_IMAGE_BUTTON);
  ASSERT_TRUE(m_dlg.m_button.Attach(hButton));
  ASSERT_TRUE(m_dlg.m_button.LoadIcons(GetModuleHandleW(nullptr), IDI_HELP, 0, 24));
  m_dlg.m_button.SetLayout(CImageButton::Layout::IconAbove);
  m_dlg.m_button.SetTransparent(true);
  const auto isHelpBlue = [](int r, int g, int b) { return r <= 70 && g >= 110 && g <= 150 && b >= 170; };
  LeaveControl(hButton);
  const int nNormal = CSnapshot(hButton).Count(isHelpBlue);
  EXPECT_GT(nNormal, 50);
  HoverOver(hButton);
  EXPECT_EQ(CSnapshot(hButton).Count(isHelpBlue), nNormal);
}

TEST_F(widgets_Controls, HoverBitmapButtonShowsOneStateCellWithTheSeeThroughColourKeyedOut) {
  HWND hButton = Item(IDC_TEST_BITMAP_BUTTON);
  ASSERT_TRUE(m_dlg.m_closeButton.Attach(hButton));
  ASSERT_TRUE(m_dlg.m_closeButton.LoadStrip(GetModuleHandleW(nullptr), IDB_CLOSE));
  const auto isMagenta = [](int r, int g, int b) { return r == 255 && g == 0 && b == 255; };
  const auto isHoverRed = [](int r, int g, int b) { return r == 0xe7 && g == 0x4c && b == 0x3c; };
  const auto isPressedRed = [](int r, int g, int b) { return r == 0xa9 && g == 0x32 && b == 0x26; };
  LeaveControl(hButton);

  const CSnapshot normal(hButton);
  EXPECT_EQ(normal.Count(isMagenta), 0);
  EXPECT_EQ(normal.Count(isHoverRed), 0);
  EXPECT_EQ(normal.At(0, 0), SkinAt(m_dlg.get_Hwnd(), TopInParent(hButton)));

  HoverOver(hButton);
  const CSnapshot hovered(hButton);
  EXPECT_GT(hovered.Count(isHoverRed), 100);
  EXPECT_EQ(hovered.Count(isPressedRed), 0);
  EXPECT_EQ(hovered.Count(isMagenta), 0);

  SendMessageW(hButton, BM_SETSTATE, TRUE, 0);
  const CSnapshot pressed(hButton);
  EXPECT_GT(pressed.Count(isPressedRed), 100);
  EXPECT_EQ(pressed.Count(isHoverRed), 0);
  SendMessageW(hButton, BM_SETSTATE, FALSE, 0);
}

TEST_F(widgets_Controls, LockedBitmapButtonIgnoresClicksAndShowsItsLockedCell) {
  HWND hButton = Item(IDC_TEST_BITMAP_BUTTON);
  ASSERT_TRUE(m_dlg.m_closeButton.Attach(hButton));
  ASSERT_TRUE(m_dlg.m_closeButton.LoadStrip(GetModuleHandleW(nullptr), IDB_REGION, 4));
  // The region picture: a blue dashed frame, all grey in the locked cell.
  const auto isBlue = [](int r, int g, int b) { return r == 0x2e && g == 0x86 && b == 0xc1; };
  const auto isGrey = [](int r, int g, int b) { return r == 0xb3 && g == 0xb6 && b == 0xb7; };
  LeaveControl(hButton);

  m_dlg.m_closeButton.SetLocked(true);
  ClickOn(hButton);
  EXPECT_EQ(m_dlg.m_nClicks, 0);
  const CSnapshot locked(hButton);
  EXPECT_EQ(locked.Count(isBlue), 0);
  EXPECT_GT(locked.Count(isGrey), 10);

  m_dlg.m_closeButton.SetLocked(false);
  ClickOn(hButton);
  EXPECT_EQ(m_dlg.m_nClicks, 1);
  LeaveControl(hButton);
  const CSnapshot unlocked(hButton);
  EXPECT_GT(unlocked.Count(isBlue), 10);
  EXPECT_EQ(unlocked.Count(isGrey), 0);
}

TEST_F(widgets_Controls, TransparentLabelDrawsItsNewTextOverTheSkin) {
  HWND hLabel = Item(IDC_TEST_LABEL);
  ASSERT_TRUE(m_dlg.m_label.Attach(hLabel));
  SetWindowTextW(hLabel, L"Vantor 1.0 Beta1");
  const CSnapshot shot(hLabel);
  const int nTop = TopInParent(hLabel);
  EXPECT_EQ(shot.At(shot.Width() - 1, 0), SkinAt(m_dlg.get_Hwnd(), nTop));
  EXPECT_EQ(shot.At(shot.Width() - 1, shot.Height() - 1), SkinAt(m_dlg.get_Hwnd(), nTop + shot.Height() - 1));
  const auto isText = [](int r, int g, int b) { return r < 150 && g < 150 && b < 170; };
  EXPECT_GT(shot.Count(isText), 10);
}

TEST_F(widgets_Controls, TabHostShowsOnePageAtATimeInItsDisplayArea) {
  ASSERT_TRUE(m_dlg.m_tab.Create(m_dlg.get_Hwnd(), IDC_TAB));
  HWND hTab = m_dlg.m_tab.get_Hwnd();
  EXPECT_EQ(GetDlgCtrlID(hTab), IDC_TAB);
  EXPECT_TRUE(IsWindowVisible(hTab));
  CDialogBase pages[3] = {CDialogBase(IDD_OPT_VIDEO), CDialogBase(IDD_OPT_AUDIO), CDialogBase(IDD_OPT_HOTKEY)};
  HWND hPages[3];
  for (int i = 0; i < 3; ++i) {
    hPages[i] = pages[i].Create(GetModuleHandleW(nullptr), hTab);
    ASSERT_TRUE(hPages[i]);
  }
  EXPECT_EQ(m_dlg.m_tab.AddPage(hPages[0], L"Video"), 0);
  EXPECT_EQ(m_dlg.m_tab.AddPage(hPages[1], L"Audio"), 1);
  EXPECT_EQ(m_dlg.m_tab.AddPage(hPages[2], L""), 2);
  // A page already shown by a tab gets no second one.
  EXPECT_EQ(m_dlg.m_tab.AddPage(hPages[1], L"Audio again"), -1);
  EXPECT_EQ(TabCtrl_GetItemCount(hTab), 3);
  m_dlg.m_tab.SetDisplayOptions();

  const RECT rcTarget = {2, 80, 462, 300};
  m_dlg.m_tab.MoveTo(rcTarget);
  RECT rcTab = {};
  GetWindowRect(hTab, &rcTab);
  MapWindowPoints(nullptr, m_dlg.get_Hwnd(), reinterpret_cast<POINT*>(&rcTab), 2);
  EXPECT_TRUE(EqualRect(&rcTab, &rcTarget));

  RECT rcDisplay = {};
  GetClientRect(hTab, &rcDisplay);
  TabCtrl_AdjustRect(hTab, FALSE, &rcDisplay);
  for (HWND hPage : hPages) {
    RECT rcPage = {};
    GetWindowRect(hPage, &rcPage);
    MapWindowPoints(nullptr, hTab, reinterpret_cast<POINT*>(&rcPage), 2);
    EXPECT_TRUE(EqualRect(&rcPage, &rcDisplay));
    EXPECT_EQ(GetParent(hPage), hTab);
  }
  const auto visible = [&] {
    std::string s;
    for (HWND hPage : hPages) s += IsWindowVisible(hPage) ? '1' : '0';
    return s;
  };
  EXPECT_EQ(visible(), "100");
  m_dlg.m_tab.SelectPage(2);
  EXPECT_EQ(visible(), "001");
  // A tab chosen on the control itself (as a click does) reaches the host through the
  // dialog's notification.
  TabCtrl_SetCurFocus(hTab, 1);
  Pump();
  EXPECT_EQ(TabCtrl_GetCurSel(hTab), 1);
  EXPECT_EQ(visible(), "010");

  // The pages are white, wherever the skin is.
  const CSnapshot page(hPages[1]);
  EXPECT_EQ(page.At(0, 0), RGB(255, 255, 255));
  EXPECT_EQ(page.At(page.Width() - 1, page.Height() - 1), RGB(255, 255, 255));
  for (HWND hPage : hPages) DestroyWindow(hPage);
}

// What the About box showed, gathered while it was open.
struct AboutSeen {
  bool bFound = false;
  std::wstring strTitle;
  std::vector<std::wstring> texts;
  std::wstring strWeb, strMail, strOk;
  std::wstring strWebTarget, strMailTarget;
  bool bWebUnderlined = false, bMailUnderlined = false;
  bool bIcon = false;
};
AboutSeen g_about;

std::wstring TextOf(HWND hWnd) {
  wchar_t sz[512] = {};
  GetWindowTextW(hWnd, sz, 512);
  return sz;
}

bool IsUnderlined(CWidget* pWidget) {
  auto* pLink = dynamic_cast<CHyperlinkLabel*>(pWidget);
  LOGFONTW lf = {};
  return pLink && pLink->get_LinkFont() && GetObjectW(pLink->get_LinkFont(), sizeof(lf), &lf) && lf.lfUnderline;
}

void CALLBACK InspectAboutBox(HWND, UINT, UINT_PTR nTimer, DWORD) {
  HWND hAbout = FindWindowW(L"#32770", L"About Vantor");
  if (!hAbout) return;
  KillTimer(nullptr, nTimer);
  g_about.bFound = true;
  g_about.strTitle = TextOf(hAbout);
  for (HWND h = GetWindow(hAbout, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    g_about.texts.push_back(TextOf(h));
    if (SendMessageW(h, STM_GETICON, 0, 0)) g_about.bIcon = true;
  }
  g_about.strWeb = TextOf(GetDlgItem(hAbout, IDC_WEB_LINK));
  g_about.strMail = TextOf(GetDlgItem(hAbout, IDC_MAIL_LINK));
  g_about.strOk = TextOf(GetDlgItem(hAbout, IDOK));
  if (auto* pWeb = dynamic_cast<CHyperlinkLabel*>(CWidget::FromHandle(GetDlgItem(hAbout, IDC_WEB_LINK)))) {
    g_about.strWebTarget = pWeb->get_Target();
    g_about.bWebUnderlined = IsUnderlined(pWeb);
  }
  if (auto* pMail = dynamic_cast<CHyperlinkLabel*>(CWidget::FromHandle(GetDlgItem(hAbout, IDC_MAIL_LINK)))) {
    g_about.strMailTarget = pMail->get_Target();
    g_about.bMailUnderlined = IsUnderlined(pMail);
  }
  PostMessageW(hAbout, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

TEST(widgets_AboutBox, ShowsNameVersionAndUnderlinedLinksAndClosesWithOk) {
  g_about = {};
  const UINT_PTR nTimer = SetTimer(nullptr, 0, 50, InspectAboutBox);
  ASSERT_NE(nTimer, 0u);
  ShowAboutBox(nullptr);  // returns once the inspection pressed Ok
  ASSERT_TRUE(g_about.bFound);
  EXPECT_EQ(g_about.strTitle, L"About Vantor");
  const auto has = [](const std::wstring& s) {
    for (const std::wstring& t : g_about.texts) {
      if (t == s) return true;
    }
    return false;
  };
  EXPECT_TRUE(has(L"Vantor"));
  EXPECT_TRUE(has(L"V 1.0 Beta1"));
  EXPECT_TRUE(g_about.bIcon) << "the program icon";
  EXPECT_EQ(g_about.strOk, L"Ok");
  EXPECT_EQ(g_about.strWeb, L"http://www.vantor-recorder.org/");
  EXPECT_EQ(g_about.strWebTarget, L"http://www.vantor-recorder.org/");
  EXPECT_EQ(g_about.strMail, L"support@vantor-recorder.org");
  EXPECT_EQ(g_about.strMailTarget, L"mailto:support@vantor-recorder.org");
  EXPECT_TRUE(g_about.bWebUnderlined);
  EXPECT_TRUE(g_about.bMailUnderlined);
}

}  // namespace
}  // namespace vantor
