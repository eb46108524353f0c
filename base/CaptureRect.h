// The rectangle every part of a screen recording speaks of: the capture settings, the
// recording loop, the border window and its geometry.
#pragma once
#include <cstdint>

namespace vantor {

// An area of the screen: left, top, right, bottom, with right and bottom inclusive
// (the last column and row that belong to it).
struct CaptureRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

inline bool operator==(const CaptureRect& a, const CaptureRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace vantor
