#include "cli/StopRequest.h"

#include <atomic>

namespace vantor {
namespace {

std::atomic<bool> s_bStopRequested{false};
std::atomic<void (*)()> s_pfnWake{nullptr};

}  // namespace

void RequestRecordingStop() {
  s_bStopRequested = true;
  if (void (*pfnWake)() = s_pfnWake.load()) pfnWake();
}

bool IsRecordingStopRequested() { return s_bStopRequested.load(); }

void ClearRecordingStopRequest() { s_bStopRequested = false; }

void SetRecordingStopWaker(void (*pfnWake)()) { s_pfnWake = pfnWake; }

}  // namespace vantor
