#include "recording/ScreenGrabber.h"

#include <cstring>

#include "recording/ScreenGrabberLayout.h"

namespace vantor {

std::atomic<HCURSOR> g_CurrentCursor{nullptr};

namespace {

std::atomic<FrameAllocFunction> s_pfnAlloc{nullptr};

HGLOBAL AllocFrameBlock(SIZE_T nBytes) {
  const FrameAllocFunction pfn = s_pfnAlloc.load();
  return pfn ? pfn(GHND, nBytes) : ::GlobalAlloc(GHND, nBytes);
}

// The cursor of the moment and where it is. A hook-reported cursor wins; without
// one, the cursor the system shows (any process's, when the system lets us see it),
// and only as a last resort GetCursor, which knows just this thread's cursor.
bool CurrentCursor(HCURSOR* phCursor, POINT* pPos) {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  const bool bInfo = ::GetCursorInfo(&info) != FALSE;
  if (bInfo) {
    *pPos = info.ptScreenPos;
  } else if (!::GetCursorPos(pPos)) {
    return false;
  }
  HCURSOR hCursor = g_CurrentCursor.load();
  if (!hCursor) {
    // A hidden cursor is not drawn. The fallback is not stored: it would freeze the
    // shape for the rest of the recording when no hook reports changes.
    if (bInfo) hCursor = (info.flags & CURSOR_SHOWING) ? info.hCursor : nullptr;
    if (!bInfo) hCursor = ::GetCursor();
  }
  *phCursor = hCursor;
  return hCursor != nullptr;
}

}  // namespace

void SetFrameAllocatorForTesting(FrameAllocFunction pfnAlloc) { s_pfnAlloc.store(pfnAlloc); }

bool DrawCursorAt(HDC hdc, HCURSOR hCursor, int x, int y) {
  if (!hCursor) return false;
  ICONINFO info{};
  if (::GetIconInfo(hCursor, &info)) {
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (::DrawIcon(hdc, x - static_cast<int>(info.xHotspot), y - static_cast<int>(info.yHotspot), hCursor))
      return true;
  }
  // Under Wine another process's cursor can be neither read nor drawn; the arrow is
  // the cursor a user sees most, and a frame without any cursor would hide where the
  // pointer is.
  HCURSOR hArrow = ::LoadCursorW(nullptr, IDC_ARROW);
  if (!hArrow || hArrow == hCursor || !::GetIconInfo(hArrow, &info)) return false;
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  return ::DrawIcon(hdc, x - static_cast<int>(info.xHotspot), y - static_cast<int>(info.yHotspot), hArrow) != FALSE;
}

HGLOBAL BitmapToDib(HBITMAP hBitmap, int nBitsPerPixel) {
  BITMAP bm{};
  if (!::GetObjectW(hBitmap, sizeof bm, &bm)) return nullptr;
  const FrameLayout layout = ComputeFrameLayout(bm.bmWidth, bm.bmHeight, nBitsPerPixel);
  if (!layout.bValid) return nullptr;
  HGLOBAL hBlock = AllocFrameBlock(layout.nBlockBytes);
  if (!hBlock) return nullptr;
  auto* pHeader = static_cast<BITMAPINFOHEADER*>(::GlobalLock(hBlock));
  if (!pHeader) {
    ::GlobalFree(hBlock);
    return nullptr;
  }
  const BitmapInfoHeader header = MakeFrameHeader(bm.bmWidth, bm.bmHeight, nBitsPerPixel, layout);
  static_assert(sizeof header == sizeof(BITMAPINFOHEADER));
  std::memcpy(pHeader, &header, sizeof header);

  if (HDC hdc = ::CreateCompatibleDC(nullptr)) {
    ::GetDIBits(hdc, hBitmap, 0, static_cast<UINT>(bm.bmHeight),
                reinterpret_cast<BYTE*>(pHeader) + layout.nPixelOffset, reinterpret_cast<BITMAPINFO*>(pHeader),
                DIB_RGB_COLORS);
    ::DeleteDC(hdc);
  }
  // GetDIBits may rewrite the header's table size; the block's layout is fixed.
  pHeader->biClrUsed = layout.nColorEntries;
  pHeader->biSizeImage = layout.nImageBytes;
  ::GlobalUnlock(hBlock);
  return hBlock;
}

BITMAPINFOHEADER* GrabScreenRect(int nLeft, int nTop, int nWidth, int nHeight, IGrabObserver* pObserver) {
  if (nWidth <= 0 || nHeight <= 0) return nullptr;
  HDC hScreen = ::GetDC(nullptr);
  if (!hScreen) return nullptr;
  if (pObserver) pObserver->BeforeCopy();

  HGLOBAL hBlock = nullptr;
  HDC hMem = ::CreateCompatibleDC(hScreen);
  HBITMAP hBitmap = hMem ? ::CreateCompatibleBitmap(hScreen, nWidth, nHeight) : nullptr;
  if (hBitmap) {
    HGDIOBJ hOld = ::SelectObject(hMem, hBitmap);
    ::BitBlt(hMem, 0, 0, nWidth, nHeight, hScreen, nLeft, nTop, SRCCOPY);
    HCURSOR hCursor = nullptr;
    POINT pos{};
    // Parts of the cursor outside the area are cut off by the bitmap's edges.
    if (CurrentCursor(&hCursor, &pos)) DrawCursorAt(hMem, hCursor, pos.x - nLeft, pos.y - nTop);
    ::SelectObject(hMem, hOld);
    hBlock = BitmapToDib(hBitmap, 24);
  }
  if (hBitmap) ::DeleteObject(hBitmap);
  if (hMem) ::DeleteDC(hMem);

  if (pObserver) pObserver->AfterCopy();
  ::ReleaseDC(nullptr, hScreen);
  if (!hBlock) return nullptr;
  auto* pFrame = static_cast<BITMAPINFOHEADER*>(::GlobalLock(hBlock));
  if (!pFrame) ::GlobalFree(hBlock);
  return pFrame;
}

void ReleaseFrame(const BITMAPINFOHEADER* pFrame) {
  if (!pFrame) return;
  HGLOBAL hBlock = ::GlobalHandle(pFrame);
  if (!hBlock) return;
  ::GlobalUnlock(hBlock);
  ::GlobalFree(hBlock);
}

}  // namespace vantor
