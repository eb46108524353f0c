#include "overlays/RegionSelection.h"

namespace vantor {

RegionPoint g_AnchorPoint{};
CaptureRect g_DragRect{};
CaptureRect g_LastRect{};
std::int32_t g_Dragging = 0;

namespace {

// The drag is over, one way or the other: its rectangle is the last one.
void StopDragging() {
  NormalizeRect(g_DragRect);
  g_LastRect = g_DragRect;
  g_Dragging = 0;
}

}  // namespace

void BeginRegionDrag(RegionPoint pt) {
  g_AnchorPoint = pt;
  g_DragRect = {pt.x, pt.y, pt.x, pt.y};
  g_Dragging = 1;
}

bool FollowRegionDrag(RegionPoint pt) {
  if (!g_Dragging) return false;
  g_DragRect = DragRectFor(g_AnchorPoint, pt);
  return true;
}

bool EndRegionDrag(CaptureRect& rcCapture) {
  if (!g_Dragging) return false;
  StopDragging();
  if (!IsEmptyRegionRect(g_LastRect)) rcCapture = g_LastRect;
  return true;
}

void CancelRegionDrag() { StopDragging(); }

}  // namespace vantor
