// The screen grabber on the bench's screen: the frame block's header and rows against
// a window whose every pixel is known, row padding, other depths, a block that cannot
// be allocated, the cursor at its hotspot-corrected place (and nowhere when outside the
// area), the border's grey before the copy and blue after it, and the grab a recording
// holds, which must give the same frames.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ScreenTestSupport.h"
#include "overlays/FlashingWnd.h"
#include "recording/GdiRecordingWin32.h"
#include "recording/ScreenGrabber.h"

namespace vantor::test {
namespace {

// A picture in which every pixel differs from its neighbours.
COLORREF Gradient(int x, int y) { return RGB((x * 7 + 3) & 255, (y * 5 + 1) & 255, (x + 2 * y) & 255); }
COLORREF White(int, int) { return RGB(255, 255, 255); }

struct Bgr {
  std::uint8_t b, g, r;
};

// Pixel (x, y), counted from the frame's top, of a 24-bit bottom-up frame.
Bgr PixelAt(const BITMAPINFOHEADER* p, int x, int y) {
  const int nStride = ((p->biWidth * 24 + 31) / 32) * 4;
  const auto* pRows = reinterpret_cast<const std::uint8_t*>(p) + p->biSize + 4 * p->biClrUsed;
  const std::uint8_t* px = pRows + static_cast<std::size_t>(p->biHeight - 1 - y) * nStride + 3 * x;
  return {px[0], px[1], px[2]};
}

bool Is(const Bgr& px, COLORREF c) { return px.r == GetRValue(c) && px.g == GetGValue(c) && px.b == GetBValue(c); }

// Owns a grabbed frame.
struct Frame {
  BITMAPINFOHEADER* p;
  explicit Frame(BITMAPINFOHEADER* pFrame) : p(pFrame) {}
  ~Frame() { ReleaseFrame(p); }
};

class recording_ScreenGrabber : public ::testing::Test {
 protected:
  void SetUp() override {
    g_CurrentCursor = nullptr;
    UseBorderWindow(nullptr);
    ReadScreenSize();
    // Out of every area below, over nothing of ours.
    ::SetCursorPos(g_ScreenWidth - 2, g_ScreenHeight - 2);
  }
  void TearDown() override {
    g_CurrentCursor = nullptr;
    UseBorderWindow(nullptr);
    SetFrameAllocatorForTesting(nullptr);
  }
};

TEST_F(recording_ScreenGrabber, FrameBlockHeaderAndBottomUpRows) {
  CPictureWindow picture(200, 150, 64, 48, Gradient);
  ASSERT_TRUE(picture.WaitShown());
  Frame frame(GrabScreenRect(200, 150, 64, 48, nullptr));
  ASSERT_TRUE(frame.p);
  const BITMAPINFOHEADER& h = *frame.p;
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 64);
  EXPECT_EQ(h.biHeight, 48);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(h.biSizeImage, 192u * 48);
  EXPECT_EQ(h.biXPelsPerMeter, 0);
  EXPECT_EQ(h.biYPelsPerMeter, 0);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(h.biClrImportant, 0u);
  EXPECT_GE(::GlobalSize(::GlobalHandle(frame.p)), 40u + 192u * 48);
  // Movable, as its receiver frees it through the handle.
  EXPECT_EQ(::GlobalFlags(::GlobalHandle(frame.p)) & GMEM_LOCKCOUNT, 1u);
  int nWrong = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) nWrong += !Is(PixelAt(frame.p, x, y), Gradient(x, y));
  EXPECT_EQ(nWrong, 0);
  // The first row in memory is the bottom row of the area.
  const auto* pFirstRow = reinterpret_cast<const std::uint8_t*>(frame.p) + 40;
  EXPECT_TRUE(Is({pFirstRow[0], pFirstRow[1], pFirstRow[2]}, Gradient(0, 47)));

  // An area that starts inside the window: the copy is taken at its corner.
  Frame part(GrabScreenRect(210, 160, 20, 10, nullptr));
  ASSERT_TRUE(part.p);
  EXPECT_TRUE(Is(PixelAt(part.p, 0, 0), Gradient(10, 10)));
  EXPECT_TRUE(Is(PixelAt(part.p, 19, 9), Gradient(29, 19)));
}

TEST_F(recording_ScreenGrabber, RowsArePaddedWithZeroBytes) {
  CPictureWindow picture(200, 150, 64, 48, White);
  ASSERT_TRUE(picture.WaitShown());
  struct Case {
    int nWidth;
    int nStride;
  } cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}};
  for (const Case& c : cases) {
    Frame frame(GrabScreenRect(210, 160, c.nWidth, 3, nullptr));
    ASSERT_TRUE(frame.p);
    EXPECT_EQ(frame.p->biSizeImage, static_cast<DWORD>(c.nStride * 3)) << c.nWidth;
    const auto* pRows = reinterpret_cast<const std::uint8_t*>(frame.p) + 40;
    for (int y = 0; y < 3; ++y) {
      for (int i = 0; i < 3 * c.nWidth; ++i) EXPECT_EQ(pRows[y * c.nStride + i], 255) << c.nWidth;
      for (int i = 3 * c.nWidth; i < c.nStride; ++i) EXPECT_EQ(pRows[y * c.nStride + i], 0) << c.nWidth;
    }
  }
}

TEST_F(recording_ScreenGrabber, BitmapToDibAtEightBitsCarriesAColourTable) {
  HDC hScreen = ::GetDC(nullptr);
  HBITMAP hBitmap = ::CreateCompatibleBitmap(hScreen, 10, 4);
  ::ReleaseDC(nullptr, hScreen);
  ASSERT_TRUE(hBitmap);
  HGLOBAL hBlock = BitmapToDib(hBitmap, 8);
  ASSERT_TRUE(hBlock);
  auto* p = static_cast<BITMAPINFOHEADER*>(::GlobalLock(hBlock));
  EXPECT_EQ(p->biBitCount, 8);
  EXPECT_EQ(p->biClrUsed, 256u);
  EXPECT_EQ(p->biSizeImage, 12u * 4);
  EXPECT_GE(::GlobalSize(hBlock), 40u + 256 * 4 + 12 * 4);
  ::GlobalUnlock(hBlock);
  EXPECT_EQ(::GlobalFlags(hBlock) & GMEM_LOCKCOUNT, 0u) << "handed over unlocked";
  ::GlobalFree(hBlock);
  ::DeleteObject(hBitmap);
}

// The grab a recording holds gives the frame the one-shot grab gives, byte for byte
// (rows, padding, cursor), in the same block every time, following the picture.
TEST_F(recording_ScreenGrabber, HeldGrabGivesTheOneShotFrameInOneBlock) {
  CPictureWindow picture(200, 150, 61, 47, Gradient);  // an odd width: padded rows
  ASSERT_TRUE(picture.WaitShown());
  ::SetCursorPos(220, 170);  // over the picture: the cursor is drawn in
  ::Sleep(100);
  CHeldScreenGrab grab;
  EXPECT_EQ(grab.Grab(200, 150, nullptr), nullptr) << "nothing before Prepare";
  ASSERT_TRUE(grab.Prepare(61, 47));
  const BITMAPINFOHEADER* pHeld = grab.Grab(200, 150, nullptr);
  ASSERT_TRUE(pHeld);
  Frame once(GrabScreenRect(200, 150, 61, 47, nullptr));
  ASSERT_TRUE(once.p);
  const std::size_t nBytes = once.p->biSize + once.p->biSizeImage;
  EXPECT_EQ(std::memcmp(pHeld, once.p, nBytes), 0) << "the same header and rows";

  ::SetCursorPos(g_ScreenWidth - 2, g_ScreenHeight - 2);
  ::Sleep(100);
  EXPECT_EQ(grab.Grab(200, 150, nullptr), pHeld) << "the same block";
  EXPECT_TRUE(Is(PixelAt(pHeld, 20, 20), Gradient(20, 20))) << "the cursor has gone with the pointer";
  EXPECT_TRUE(Is(PixelAt(pHeld, 60, 46), Gradient(60, 46)));

  grab.Reset();
  EXPECT_FALSE(grab.IsPrepared());
  EXPECT_FALSE(grab.Prepare(0, 47)) << "an empty area";
}

HGLOBAL WINAPI NoMemory(UINT, SIZE_T) {
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

TEST_F(recording_ScreenGrabber, BlockThatCannotBeAllocatedGivesNoFrame) {
  SetFrameAllocatorForTesting(&NoMemory);
  HDC hScreen = ::GetDC(nullptr);
  HBITMAP hBitmap = ::CreateCompatibleBitmap(hScreen, 10, 4);
  ::ReleaseDC(nullptr, hScreen);
  EXPECT_EQ(BitmapToDib(hBitmap, 24), nullptr);
  ::DeleteObject(hBitmap);
  EXPECT_EQ(GrabScreenRect(0, 0, 64, 48, &BorderFlash()), nullptr);
  EXPECT_EQ(GrabScreenRect(0, 0, 64, 48, nullptr), nullptr);
  ReleaseFrame(nullptr);  // what a careless caller would do next: harmless
  SetFrameAllocatorForTesting(nullptr);
  Frame frame(GrabScreenRect(0, 0, 64, 48, &BorderFlash()));
  EXPECT_TRUE(frame.p) << "the next grab works again";
  EXPECT_EQ(GrabScreenRect(0, 0, 0, 48, &BorderFlash()), nullptr) << "an empty area has no frame";

  // A recording whose frame cannot be had does not start; the next one can.
  CHeldScreenGrab grab;
  SetFrameAllocatorForTesting(&NoMemory);
  EXPECT_FALSE(grab.Prepare(64, 48));
  EXPECT_EQ(grab.Grab(0, 0, nullptr), nullptr);
  SetFrameAllocatorForTesting(nullptr);
  EXPECT_TRUE(grab.Prepare(64, 48));
}

// A 32 x 32 cursor: a black square over its top-left 16 x 16 pixels, the rest
// transparent, with its hotspot at (10, 10).
HCURSOR MakeSquareCursor() {
  std::uint8_t andMask[32 * 4], xorMask[32 * 4];
  std::memset(andMask, 0xFF, sizeof andMask);
  std::memset(xorMask, 0x00, sizeof xorMask);
  for (int y = 0; y < 16; ++y) andMask[y * 4] = andMask[y * 4 + 1] = 0x00;
  return ::CreateCursor(::GetModuleHandleW(nullptr), 10, 10, 32, 32, andMask, xorMask);
}

int BlackPixels(const BITMAPINFOHEADER* p) {
  int n = 0;
  for (int y = 0; y < p->biHeight; ++y)
    for (int x = 0; x < p->biWidth; ++x) n += Is(PixelAt(p, x, y), RGB(0, 0, 0));
  return n;
}

TEST_F(recording_ScreenGrabber, CursorAtItsHotspotCorrectedPlace) {
  HCURSOR hSquare = MakeSquareCursor();
  ASSERT_TRUE(hSquare);
  CPictureWindow picture(80, 30, 200, 150, White, hSquare);
  ASSERT_TRUE(picture.WaitShown());
  g_CurrentCursor = hSquare;
  // Cursor at screen (110, 60), area at (100, 50), hotspot (10, 10): the cursor's
  // image starts at the frame's (0, 0).
  ASSERT_TRUE(::SetCursorPos(110, 60));
  PumpFor(50);
  {
    Frame frame(GrabScreenRect(100, 50, 64, 48, &BorderFlash()));
    ASSERT_TRUE(frame.p);
    EXPECT_TRUE(Is(PixelAt(frame.p, 0, 0), RGB(0, 0, 0)));
    EXPECT_TRUE(Is(PixelAt(frame.p, 15, 15), RGB(0, 0, 0)));
    EXPECT_TRUE(Is(PixelAt(frame.p, 16, 16), RGB(255, 255, 255)));
    EXPECT_TRUE(Is(PixelAt(frame.p, 20, 20), RGB(255, 255, 255))) << "drawn without the hotspot correction";
    EXPECT_EQ(BlackPixels(frame.p), 16 * 16);
  }
  // Partly outside the area: cut by the frame's edges.
  ::SetCursorPos(100, 50);
  PumpFor(50);
  {
    Frame frame(GrabScreenRect(100, 50, 64, 48, &BorderFlash()));
    ASSERT_TRUE(frame.p);
    EXPECT_EQ(BlackPixels(frame.p), 6 * 6);
  }
  // Wholly outside the area: no cursor in the frame.
  ::SetCursorPos(250, 160);
  PumpFor(50);
  {
    Frame frame(GrabScreenRect(100, 50, 64, 48, &BorderFlash()));
    ASSERT_TRUE(frame.p);
    EXPECT_EQ(BlackPixels(frame.p), 0);
  }
  // No hook report: the cursor the system shows over the window, its class cursor.
  g_CurrentCursor = nullptr;
  ::SetCursorPos(130, 80);
  ASSERT_TRUE(PumpUntil([&] {
    CURSORINFO info = {};
    info.cbSize = sizeof info;
    return ::GetCursorInfo(&info) && info.hCursor == hSquare;
  }));
  {
    Frame frame(GrabScreenRect(100, 50, 64, 48, &BorderFlash()));
    ASSERT_TRUE(frame.p);
    EXPECT_TRUE(Is(PixelAt(frame.p, 20, 20), RGB(0, 0, 0)));
    EXPECT_TRUE(Is(PixelAt(frame.p, 35, 35), RGB(0, 0, 0)));
    EXPECT_EQ(BlackPixels(frame.p), 16 * 16);
    EXPECT_EQ(g_CurrentCursor.load(), nullptr) << "a fallback is not kept: the shape may change";
  }
  ::SetCursorPos(g_ScreenWidth - 2, g_ScreenHeight - 2);
  PumpFor(50);
  ::DestroyCursor(hSquare);
}

TEST_F(recording_ScreenGrabber, BorderIsGreyDuringTheCopyAndBlueAfter) {
  CPictureWindow picture(250, 250, 200, 160, White);
  ASSERT_TRUE(picture.WaitShown());
  CFlashingWnd border;
  ASSERT_TRUE(border.CreateOverScreen());
  border.SetArea(300, 300, 100, 60);  // marks from (292, 292) to (406, 366)
  border.Show();
  UseBorderWindow(&border);
  border.PaintBorder(RGB(255, 0, 0));
  ASSERT_TRUE(PumpUntil([] { return ScreenPixel(292, 292) == RGB(255, 0, 0); }));

  // A grab over the marks sees them grey, and leaves them blue.
  {
    Frame frame(GrabScreenRect(280, 280, 140, 100, &BorderFlash()));
    ASSERT_TRUE(frame.p);
    EXPECT_TRUE(Is(PixelAt(frame.p, 12, 12), RGB(200, 200, 200)));   // (292, 292)
    EXPECT_TRUE(Is(PixelAt(frame.p, 126, 86), RGB(200, 200, 200)));  // (406, 366)
    EXPECT_TRUE(Is(PixelAt(frame.p, 30, 30), RGB(255, 255, 255))) << "the area itself";
  }
  EXPECT_TRUE(PumpUntil([] { return ScreenPixel(292, 292) == RGB(36, 107, 185); }));
  EXPECT_EQ(ScreenPixel(406, 366), RGB(36, 107, 185));

  // A recording's first grab leaves the border alone.
  border.PaintBorder(RGB(255, 0, 0));
  ASSERT_TRUE(PumpUntil([] { return ScreenPixel(292, 292) == RGB(255, 0, 0); }));
  {
    Frame frame(GrabScreenRect(280, 280, 140, 100, nullptr));
    ASSERT_TRUE(frame.p);
    EXPECT_TRUE(Is(PixelAt(frame.p, 12, 12), RGB(255, 0, 0)));
  }
  PumpFor(100);
  EXPECT_EQ(ScreenPixel(292, 292), RGB(255, 0, 0));
  UseBorderWindow(nullptr);
}

}  // namespace
}  // namespace vantor::test
