// `VantorRec --source screen`: the screen, or a rectangle of it, recorded through the
// program's own recording engine (TheGdiRecording()), with the border window shown
// round the area and the cursor drawn in. Windows only; the
// other builds do not offer the source.
#pragma once
#include "cli/RecOptions.h"
#include "cli/RecSession.h"

namespace vantor {

constexpr const char* kScreenSourceName = "screen";

// True where the screen can be recorded (the Windows builds).
bool IsScreenSourceAvailable();

// Records until the duration has passed, Ctrl+C, or a "stop" command (--commands), and
// reports the file. The main thread keeps the border window's messages flowing
// meanwhile, as the main dialog does.
RecOutcome RunScreenRecording(const RecOptions& options);

}  // namespace vantor
