// Small pieces both sound readers (capture device, loopback) use.
#pragma once
#include <atomic>
#include <cstdint>

#include "app/Globals.h"

namespace vantor {

// g_bUseLoopback is a plain flag written by the options; the readers only look at it.
inline bool LoopbackChosen() {
  return std::atomic_ref<std::int32_t>(g_bUseLoopback).load(std::memory_order_relaxed) != 0;
}

}  // namespace vantor
