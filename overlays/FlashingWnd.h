// The recording border: a topmost popup window whose region is cut down to four
// L-shaped marks just outside the recorded area, so the rest of the screen stays
// visible and clickable. The recording thread paints the marks around every grab
// (PaintBorder); the user drags a mark to move the area, which the capture loop takes
// at its next frame.
//
// The window and its messages belong to the thread that created it (the main thread);
// PaintBorder and SetArea may be called from the recording thread, which is why the
// area is kept under a lock.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include <functional>

#include "base/AreaBorder.h"
#include "base/CaptureRect.h"
#include "base/Screen.h"

namespace vantor {

// The marks' colours: grey while the screen is copied (so that a grab never sees them
// in their own colour), blue the rest of the time.
constexpr COLORREF kBorderGrey = RGB(200, 200, 200);
constexpr COLORREF kBorderBlue = RGB(36, 107, 185);

class CFlashingWnd : public IAreaBorder {
 public:
  CFlashingWnd();
  CFlashingWnd(const CFlashingWnd&) = delete;
  CFlashingWnd& operator=(const CFlashingWnd&) = delete;
  // Destroys the window. Call on the thread that created it.
  virtual ~CFlashingWnd();

  // Creates the hidden window over rc (screen coordinates, right and bottom exclusive).
  bool Create(const wchar_t* szTitle, const RECT& rc);
  // Creates it over the whole primary screen, g_ScreenWidth x g_ScreenHeight (read
  // from the screen first when they are still 0), with the title "Recording......".
  bool CreateOverScreen();
  void Destroy();

  // The recorded area: nWidth x nHeight pixels from (nLeft, nTop). Builds the marks'
  // region and hands it to the window.
  void SetArea(int nLeft, int nTop, int nWidth, int nHeight);
  // Moves the area by (dx, dy), kept on the screen and at its size, and tells the
  // listener (the recording takes the new area from it).
  void MoveArea(int dx, int dy);
  // Who hears of the user's moves (called on the window's thread); empty: nobody.
  // Not while the window may be dragged.
  void SetMoveListener(std::function<void(const CaptureRect&)> fnMoved) override { m_fnMoved = std::move(fnMoved); }
  // Paints the marks in one colour (nothing for an area without width or height).
  void PaintBorder(COLORREF colour);
  // Grey during a copy, blue otherwise.
  void PaintMarks(Marks marks) override { PaintBorder(marks == Marks::kDuringCopy ? kBorderGrey : kBorderBlue); }

  void Show();
  void Hide();
  // From another thread (the recording's), without waiting for the window's thread,
  // which may itself be waiting for the caller: the area is taken at once (PaintBorder
  // paints it from then on), the region and the showing follow on the window's thread,
  // in the order posted.
  void ShowAreaAsync(int nLeft, int nTop, int nWidth, int nHeight) override;
  void HideAsync() override;

  HWND get_Hwnd() const { return m_hWnd.load(); }
  CaptureRect get_Area() const;

 protected:
  virtual LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  // Hands the region of area to the window; the window then owns it.
  void ApplyRegion(const CaptureRect& area);

  // Posted by ShowAreaAsync (wParam 1) and HideAsync (wParam 0).
  static constexpr UINT kShowMessage = WM_APP + 1;

  std::atomic<HWND> m_hWnd{nullptr};
  POINT m_ptOrigin{};  // the window's top-left corner on the screen
  mutable std::mutex m_AreaLock;
  CaptureRect m_rcArea{};  // under m_AreaLock
  HRGN m_hRegion = nullptr;  // the region last handed over; the window owns it
  std::function<void(const CaptureRect&)> m_fnMoved;
};

// The program's border window, created and destroyed by the main dialog. A recording
// must have ended before it is destroyed.
extern std::atomic<CFlashingWnd*> g_BorderWnd;

// The drag of a mark: where the left button went down, and whether it is still down.
extern POINT g_DragStart;
extern std::int32_t g_BorderDragging;
// The four-headed arrow shown over the marks: a shared system cursor, never destroyed.
extern HCURSOR g_DragCursor;

// Reads the primary screen's size into g_ScreenWidth and g_ScreenHeight.
void ReadScreenSize();

}  // namespace vantor
