// The primary screen's size in pixels, as last read (ReadScreenSize in overlays/, or
// whoever measures the screen first). Read by the recording, the border window and the
// settings; 0 until read.
#pragma once
#include <cstdint>

namespace vantor {

inline std::int32_t g_ScreenWidth = 0;
inline std::int32_t g_ScreenHeight = 0;

}  // namespace vantor
