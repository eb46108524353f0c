// The pending-frame counter. Vantor.exe can take the hook library's CThreadLockedLong
// (define VANTOR_PENDING_FROM_OSTREL and link Ostrel); everything else, including the
// native builds where no hook library exists, uses CLockedLong, its portable twin with
// the same layout (one 32-bit value, first and only member) and the same operations.
#pragma once
#include <atomic>
#include <cstdint>

#if defined(VANTOR_PENDING_FROM_OSTREL)
#include "Ostrel/Ostrel.h"
#endif

namespace vantor {

class CLockedLong {
 public:
  explicit CLockedLong(std::int32_t nInitial = 0) : m_nValue(nInitial) {}
  CLockedLong(const CLockedLong&) = delete;
  CLockedLong& operator=(const CLockedLong&) = delete;

  std::int32_t Inc() { return m_nValue.fetch_add(1) + 1; }              // the new value
  std::int32_t Dec() { return m_nValue.fetch_sub(1) - 1; }              // the new value
  std::int32_t Exchange(std::int32_t nValue) { return m_nValue.exchange(nValue); }  // the old value

  std::atomic<std::int32_t> m_nValue;
};
static_assert(sizeof(CLockedLong) == 4);

#if defined(VANTOR_PENDING_FROM_OSTREL)
using CPendingCounter = ::CThreadLockedLong;
// An aligned 32-bit read is atomic on every processor Windows runs on.
inline std::int32_t ReadCount(const CPendingCounter& counter) { return counter.m_nValue; }
#else
using CPendingCounter = CLockedLong;
inline std::int32_t ReadCount(const CPendingCounter& counter) { return counter.m_nValue.load(); }
#endif

}  // namespace vantor
