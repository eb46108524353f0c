// What a recording needs of the border round its area, whoever draws it. Declared here,
// below both, so that the recording (recording/) and the border window (overlays/) need
// not know each other: the program hands its border to the recording as an IAreaBorder.
#pragma once
#include <functional>

#include "base/CaptureRect.h"

namespace vantor {

class IAreaBorder {
 public:
  // The marks' two looks: while the screen is copied (so that a grab never sees them in
  // their own colour) and the rest of the time.
  enum class Marks { kDuringCopy, kIdle };

  // From any thread, without waiting for the border's own thread (which may itself be
  // waiting for the caller): shows the marks round nWidth x nHeight from (nLeft, nTop),
  // or hides them, in the order asked.
  virtual void ShowAreaAsync(int nLeft, int nTop, int nWidth, int nHeight) = 0;
  virtual void HideAsync() = 0;
  // Paints the marks now, from the grabbing thread; they are on the screen on return.
  virtual void PaintMarks(Marks marks) = 0;
  // Who hears of the user's moves of the area (on the border's thread); empty: nobody.
  virtual void SetMoveListener(std::function<void(const CaptureRect&)> fnMoved) = 0;

 protected:
  ~IAreaBorder() = default;
};

}  // namespace vantor
