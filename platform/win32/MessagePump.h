// Handling the calling thread's window messages while it waits for something else.
#pragma once
#include <windows.h>

namespace vantor {

// Dispatches every message waiting in this thread's queue, then returns.
inline void PumpWindowMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace vantor
