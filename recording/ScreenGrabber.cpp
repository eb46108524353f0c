#include "recording/ScreenGrabber.h"

#include <cstring>

#include "platform/win32/Owners.h"
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
    // Only the hotspot is wanted; the copies of the cursor's bitmaps go at once.
    CBitmap(info.hbmMask).Reset();
    CBitmap(info.hbmColor).Reset();
    if (::DrawIcon(hdc, x - static_cast<int>(info.xHotspot), y - static_cast<int>(info.yHotspot), hCursor))
      return true;
  }
  // Under Wine another process's cursor can be neither read nor drawn; the arrow is
  // the cursor a user sees most, and a frame without any cursor would hide where the
  // pointer is.
  HCURSOR hArrow = ::LoadCursorW(nullptr, IDC_ARROW);
  if (!hArrow || hArrow == hCursor || !::GetIconInfo(hArrow, &info)) return false;
  CBitmap(info.hbmMask).Reset();
  CBitmap(info.hbmColor).Reset();
  return ::DrawIcon(hdc, x - static_cast<int>(info.xHotspot), y - static_cast<int>(info.yHotspot), hArrow) != FALSE;
}

HGLOBAL BitmapToDib(HBITMAP hBitmap, int nBitsPerPixel) {
  BITMAP bm{};
  if (!::GetObjectW(hBitmap, sizeof bm, &bm)) return nullptr;
  const FrameLayout layout = ComputeFrameLayout(bm.bmWidth, bm.bmHeight, nBitsPerPixel);
  if (!layout.bValid) return nullptr;
  CGlobalMemory block(AllocFrameBlock(layout.nBlockBytes));
  if (!block) return nullptr;
  {
    CGlobalLock<BITMAPINFOHEADER> lock(block.get());
    if (!lock) return nullptr;
    BITMAPINFOHEADER* pHeader = lock.get();
    const BitmapInfoHeader header = MakeFrameHeader(bm.bmWidth, bm.bmHeight, nBitsPerPixel, layout);
    static_assert(sizeof header == sizeof(BITMAPINFOHEADER));
    std::memcpy(pHeader, &header, sizeof header);

    if (CMemoryDC dc(::CreateCompatibleDC(nullptr)); dc) {
      ::GetDIBits(dc.get(), hBitmap, 0, static_cast<UINT>(bm.bmHeight),
                  reinterpret_cast<BYTE*>(pHeader) + layout.nPixelOffset, reinterpret_cast<BITMAPINFO*>(pHeader),
                  DIB_RGB_COLORS);
    }
    // GetDIBits may rewrite the header's table size; the block's layout is fixed.
    pHeader->biClrUsed = layout.nColorEntries;
    pHeader->biSizeImage = layout.nImageBytes;
  }
  return block.Detach();
}

BITMAPINFOHEADER* GrabScreenRect(int nLeft, int nTop, int nWidth, int nHeight, IGrabObserver* pObserver) {
  if (nWidth <= 0 || nHeight <= 0) return nullptr;
  CWindowDC screen(nullptr);
  if (!screen) return nullptr;
  if (pObserver) pObserver->BeforeCopy();

  CGlobalMemory block;
  {
    CMemoryDC mem(::CreateCompatibleDC(screen.get()));
    CBitmap bitmap(mem ? ::CreateCompatibleBitmap(screen.get(), nWidth, nHeight) : nullptr);
    if (bitmap) {
      {
        CSelectObject select(mem.get(), bitmap.get());
        ::BitBlt(mem.get(), 0, 0, nWidth, nHeight, screen.get(), nLeft, nTop, SRCCOPY);
        HCURSOR hCursor = nullptr;
        POINT pos{};
        // Parts of the cursor outside the area are cut off by the bitmap's edges.
        if (CurrentCursor(&hCursor, &pos)) DrawCursorAt(mem.get(), hCursor, pos.x - nLeft, pos.y - nTop);
      }
      // The bitmap is selected out again: GetDIBits needs it free.
      block.Attach(BitmapToDib(bitmap.get(), 24));
    }
  }

  if (pObserver) pObserver->AfterCopy();
  if (!block) return nullptr;
  auto* pFrame = static_cast<BITMAPINFOHEADER*>(::GlobalLock(block.get()));
  // The locked block now belongs to the frame: ReleaseFrame frees it.
  if (pFrame) block.Detach();
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
