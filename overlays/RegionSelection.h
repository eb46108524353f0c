// The state of a region selection and its rules: where the drag began, the rectangle
// being dragged, the rectangle at the last release or Esc, and whether a drag is on.
// The selection window's messages drive it; it is portable so that what a drag, a
// release and Esc do to the recording area is checked everywhere.
//
// All of it belongs to the user-interface thread.
#pragma once
#include <cstdint>

#include "base/CaptureRect.h"
#include "overlays/RegionGeometry.h"

namespace vantor {

extern RegionPoint g_AnchorPoint;  // where the left button went down
extern CaptureRect g_DragRect;     // the rectangle being dragged, normalised
extern CaptureRect g_LastRect;     // the rectangle at the last release or Esc
extern std::int32_t g_Dragging;    // set from button-down to button-up or Esc

// The left button went down at pt: a drag starts there, its rectangle the single point.
void BeginRegionDrag(RegionPoint pt);
// The cursor is at pt: during a drag the rectangle follows it (DragRectFor); true when
// it did, false when no drag is on.
bool FollowRegionDrag(RegionPoint pt);
// The left button went up: the drag ends, and a rectangle that is not empty becomes
// rcCapture (a click without a move keeps the old one). False, with nothing changed,
// when no drag was on: a button-up that never had its button-down here (pressed before
// the window was shown) must not store a rectangle left from an earlier selection,
// perhaps one the user cancelled with Esc.
bool EndRegionDrag(CaptureRect& rcCapture);
// Esc: the selection ends without touching the recording area.
void CancelRegionDrag();

}  // namespace vantor
