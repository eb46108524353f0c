// Process-wide flags and values fixed at start-up or by the settings, read across
// subsystems. Flags are 32-bit integers used as booleans. They are plain variables:
// each is written on the user-interface thread before any thread that reads it starts
// a recording.
#pragma once
#include <cstdint>
#include <string>

namespace vantor {

// The system is Windows 7 or later (set at start-up).
extern std::int32_t g_bWin7OrLater;
// The 32-bit program runs on 64-bit Windows (set at start-up).
extern std::int32_t g_bWow64;
// Record the loopback of the default playback device instead of a capture device.
extern std::int32_t g_bUseLoopback;
// At least one DirectSound capture device was found.
extern std::int32_t g_bCaptureDevicePresent;
// The full path of the active language file.
extern std::wstring g_strLanguageFile;

}  // namespace vantor
