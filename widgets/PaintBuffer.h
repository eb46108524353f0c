// An off-screen copy of a control's client area: a control draws its background and
// then itself into it, and the screen gets the finished picture at once, without the
// flicker of the background showing alone.
#pragma once
#include <windows.h>

#include "platform/win32/Owners.h"

namespace vantor {

class CPaintBuffer {
 public:
  CPaintBuffer(HDC hTarget, const RECT& rc)
      : m_hTarget(hTarget),
        m_rc(rc),
        m_dc(CreateCompatibleDC(hTarget)),
        m_bitmap(CreateCompatibleBitmap(hTarget, rc.right - rc.left, rc.bottom - rc.top)),
        m_select(m_dc.get(), m_bitmap.get()) {
    // Drawing uses the target's coordinates.
    SetViewportOrgEx(m_dc.get(), -rc.left, -rc.top, nullptr);
  }
  CPaintBuffer(const CPaintBuffer&) = delete;
  CPaintBuffer& operator=(const CPaintBuffer&) = delete;
  ~CPaintBuffer() {
    if (*this) {
      BitBlt(m_hTarget, m_rc.left, m_rc.top, m_rc.right - m_rc.left, m_rc.bottom - m_rc.top, m_dc.get(), m_rc.left,
             m_rc.top, SRCCOPY);
    }
  }
  explicit operator bool() const { return m_dc && m_bitmap; }
  // Where to draw: the buffer, or the target itself when no buffer could be made.
  HDC get() const { return *this ? m_dc.get() : m_hTarget; }

 private:
  HDC m_hTarget;
  RECT m_rc;
  CMemoryDC m_dc;
  CBitmap m_bitmap;
  CSelectObject m_select;
};

}  // namespace vantor
