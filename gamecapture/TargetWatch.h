// The target watch's two switches, shared between the interface thread and the
// target-watch thread. Both are atomic: they are written on one thread and read on
// the other without a lock.
#pragma once
#include <atomic>

namespace vantor {

// True from the start of the program; clearing it (the main window closes) ends the
// target-watch loop, and its window walk and module scans give up early.
extern std::atomic<bool> g_bTargetThreadRun;

// GDI mode pauses the target watch, DirectX mode lets it continue. The loop tests the
// switch once per pass, between cycles, so it is never stopped inside a hook-library
// call or while it holds a lock. Setting it twice is the same as setting it once.
void SetTargetWatchPaused(bool bPaused);
bool IsTargetWatchPaused();

}  // namespace vantor
