// The screen grabber: one rectangle of the primary screen as a 24-bit frame with the
// mouse cursor drawn in, in a movable global block (BITMAPINFOHEADER, then bottom-up
// rows padded to 4 bytes; see ScreenGrabberLayout.h). It knows nothing of what else is
// on the screen: an observer told around each copy (the recording's border, which
// flashes its marks grey during the copy) keeps out of the picture itself.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace vantor {

// The cursor to draw: what the mouse-hook library last reported to the main window.
// While it is null the grabber draws the system's current cursor.
extern std::atomic<HCURSOR> g_CurrentCursor;

// Told on the grabbing thread just before and just after the screen is copied.
class IGrabObserver {
 public:
  virtual void BeforeCopy() = 0;
  virtual void AfterCopy() = 0;

 protected:
  ~IGrabObserver() = default;
};

// Grabs the area whose first pixel is (nLeft, nTop). Returns the locked frame, which
// the caller gives back with ReleaseFrame, or null when the frame's block could not be
// allocated (or the area is empty). pObserver (may be null) hears of the copy.
BITMAPINFOHEADER* GrabScreenRect(int nLeft, int nTop, int nWidth, int nHeight, IGrabObserver* pObserver);

// Unlocks and frees a frame from GrabScreenRect (null is ignored).
void ReleaseFrame(const BITMAPINFOHEADER* pFrame);

// Grabbing one area size for a whole recording: the screen's device context, a memory
// device context and a 32-bit DIB section of the area are made once, so that a grab is
// a copy of the screen into the section and the cursor drawn over it, and nothing is
// created or allocated per frame. The section has 32 bits per pixel because that is
// the screen's own format (under Wine the X server's): the copy then needs no
// conversion, and the one pass that makes the frame's 24-bit rows is the copy into the
// encoder's slot (GrabInto). Grab gives the same rows as a frame laid out as
// GrabScreenRect's, for callers that want a whole frame.
class CHeldScreenGrab {
 public:
  CHeldScreenGrab() = default;
  CHeldScreenGrab(const CHeldScreenGrab&) = delete;
  CHeldScreenGrab& operator=(const CHeldScreenGrab&) = delete;
  ~CHeldScreenGrab() { Reset(); }

  // Ready for frames of nWidth x nHeight (again after Reset, or for another size).
  // False when the area is empty or the memory or device contexts cannot be had.
  bool Prepare(int nWidth, int nHeight);
  // Grabs the area whose first pixel is (nLeft, nTop) and returns it as a frame
  // (header, 24-bit rows) held here; it stays valid and unchanged until the next Grab
  // or Reset. Null when not prepared or when the frame's memory cannot be had.
  // pObserver (may be null) hears of the copy.
  const BITMAPINFOHEADER* Grab(int nLeft, int nTop, IGrabObserver* pObserver);
  // Grabs the area and writes its 24-bit rows (get_Header().biSizeImage bytes, laid
  // out as a frame's) to pRows. False, with nothing written, when not prepared.
  bool GrabInto(int nLeft, int nTop, IGrabObserver* pObserver, std::uint8_t* pRows);
  // The header of the frames this grab makes (valid once prepared).
  const BITMAPINFOHEADER& get_Header() const { return m_Header; }
  // Gives back everything Prepare made.
  void Reset();
  bool IsPrepared() const { return m_pBits != nullptr; }

 private:
  // The screen and the cursor into the section.
  void Capture(int nLeft, int nTop, IGrabObserver* pObserver);

  HDC m_hScreen = nullptr;   // GetDC(nullptr), released by Reset
  HDC m_hMem = nullptr;      // CreateCompatibleDC
  HBITMAP m_hDib = nullptr;  // the 32-bit section, selected into m_hMem
  HGDIOBJ m_hOldBitmap = nullptr;
  const std::uint8_t* m_pBits = nullptr;  // the section's rows, bottom-up
  BITMAPINFOHEADER m_Header{};            // the 24-bit frame's
  std::unique_ptr<std::uint8_t[]> m_pFrame;  // Grab's frame, made on its first call
  int m_nWidth = 0;
  int m_nHeight = 0;
};

// A new, unlocked block holding the bitmap's pixels at nBitsPerPixel (header, colour
// table, rows), or null when it cannot be allocated. The bitmap must not be selected
// into a device context. The caller frees the block.
HGLOBAL BitmapToDib(HBITMAP hBitmap, int nBitsPerPixel);

// Draws the cursor hCursor with its hotspot at (x, y) of hdc. A cursor this process
// cannot read (another process's, under Wine) is drawn as the standard arrow. False
// when nothing was drawn.
bool DrawCursorAt(HDC hdc, HCURSOR hCursor, int x, int y);

// Tests only: the allocator behind BitmapToDib (null restores GlobalAlloc), so that a
// failed allocation can be shown to be harmless.
using FrameAllocFunction = HGLOBAL(WINAPI*)(UINT uFlags, SIZE_T nBytes);
void SetFrameAllocatorForTesting(FrameAllocFunction pfnAlloc);

}  // namespace vantor
