#include "gamecapture/TargetWatch.h"

namespace vantor {

std::atomic<bool> g_bTargetThreadRun{true};

namespace {
std::atomic<bool> s_bPaused{false};
}  // namespace

void SetTargetWatchPaused(bool bPaused) { s_bPaused = bPaused; }

bool IsTargetWatchPaused() { return s_bPaused; }

}  // namespace vantor
