#include "recording/ScreenGrabber.h"

#include <cstring>
#include <new>

#include "platform/win32/Owners.h"
#include "recording/FramePixels.h"
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

bool CHeldScreenGrab::Prepare(int nWidth, int nHeight) {
  Reset();
  const FrameLayout layout = ComputeFrameLayout(nWidth, nHeight, 24);
  // The section is larger than the frame by a third; its size must fit too.
  if (!layout.bValid || !ComputeFrameLayout(nWidth, nHeight, 32).bValid) return false;
  // The memory counts against the frame allocator (tests make it fail): a recording
  // that cannot have its frame does not start.
  if (const FrameAllocFunction pfn = s_pfnAlloc.load()) {
    const CGlobalMemory probe(pfn(GHND, layout.nBlockBytes));
    if (!probe) return false;
  }
  // Whatever was made before a step that fails is given back.
  auto fail = [this] {
    Reset();
    return false;
  };
  const BitmapInfoHeader header = MakeFrameHeader(nWidth, nHeight, 24, layout);
  static_assert(sizeof header == sizeof(BITMAPINFOHEADER));
  std::memcpy(&m_Header, &header, sizeof header);

  m_hScreen = ::GetDC(nullptr);
  if (!m_hScreen) return fail();
  m_hMem = ::CreateCompatibleDC(m_hScreen);
  if (!m_hMem) return fail();
  BITMAPINFO section{};
  section.bmiHeader = m_Header;
  section.bmiHeader.biBitCount = 32;
  section.bmiHeader.biSizeImage = 0;
  void* pBits = nullptr;
  m_hDib = ::CreateDIBSection(m_hMem, &section, DIB_RGB_COLORS, &pBits, nullptr, 0);
  if (!m_hDib || !pBits) return fail();
  m_hOldBitmap = ::SelectObject(m_hMem, m_hDib);
  if (!m_hOldBitmap || m_hOldBitmap == HGDI_ERROR) {
    m_hOldBitmap = nullptr;
    return fail();
  }
  m_pBits = static_cast<const std::uint8_t*>(pBits);
  m_nWidth = nWidth;
  m_nHeight = nHeight;
  return true;
}

void CHeldScreenGrab::Capture(int nLeft, int nTop, IGrabObserver* pObserver) {
  if (pObserver) pObserver->BeforeCopy();
  // One copy of the whole area, never bands: under Wine each copy is one request to the
  // X server, and a window repainted between two bands would show its old picture
  // above the edge and its new one below it. (Bands small enough for the allocator's
  // heap would cost a third of the processor time at 1920x1080, as Wine's buffers of a
  // whole frame are mapped and zeroed afresh on every grab.)
  ::BitBlt(m_hMem, 0, 0, m_nWidth, m_nHeight, m_hScreen, nLeft, nTop, SRCCOPY);
  HCURSOR hCursor = nullptr;
  POINT pos{};
  // Parts of the cursor outside the area are cut off by the section's edges.
  if (CurrentCursor(&hCursor, &pos)) DrawCursorAt(m_hMem, hCursor, pos.x - nLeft, pos.y - nTop);
  // The rows must be in the section before anyone reads them.
  ::GdiFlush();
  if (pObserver) pObserver->AfterCopy();
}

bool CHeldScreenGrab::GrabInto(int nLeft, int nTop, IGrabObserver* pObserver, std::uint8_t* pRows) {
  if (!m_pBits || !pRows) return false;
  Capture(nLeft, nTop, pObserver);
  ConvertRows32To24(m_pBits, pRows, m_nWidth, m_nHeight);
  return true;
}

const BITMAPINFOHEADER* CHeldScreenGrab::Grab(int nLeft, int nTop, IGrabObserver* pObserver) {
  if (!m_pBits) return nullptr;
  if (!m_pFrame) {
    // The header and the rows in one block, as GrabScreenRect lays a frame out.
    m_pFrame.reset(new (std::nothrow) std::uint8_t[sizeof m_Header + m_Header.biSizeImage]);
    if (!m_pFrame) return nullptr;
    std::memcpy(m_pFrame.get(), &m_Header, sizeof m_Header);
  }
  GrabInto(nLeft, nTop, pObserver, m_pFrame.get() + sizeof m_Header);
  return reinterpret_cast<const BITMAPINFOHEADER*>(m_pFrame.get());
}

void CHeldScreenGrab::Reset() {
  if (m_hOldBitmap) ::SelectObject(m_hMem, m_hOldBitmap);
  m_hOldBitmap = nullptr;
  if (m_hDib) ::DeleteObject(m_hDib);
  m_hDib = nullptr;
  m_pBits = nullptr;
  if (m_hMem) ::DeleteDC(m_hMem);
  m_hMem = nullptr;
  if (m_hScreen) ::ReleaseDC(nullptr, m_hScreen);
  m_hScreen = nullptr;
  m_pFrame.reset();
  m_Header = {};
  m_nWidth = m_nHeight = 0;
}

void ReleaseFrame(const BITMAPINFOHEADER* pFrame) {
  if (!pFrame) return;
  HGLOBAL hBlock = ::GlobalHandle(pFrame);
  if (!hBlock) return;
  ::GlobalUnlock(hBlock);
  ::GlobalFree(hBlock);
}

}  // namespace vantor
