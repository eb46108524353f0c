// The pending-frame counter on the hook library's CThreadLockedLong, as Vantor.exe
// counts (Ostrel.dll, OstrelX64.dll in 64-bit builds).
#pragma once
#include "Ostrel/Ostrel.h"
#include "recording/PendingCounter.h"

namespace vantor {

class COstrelPendingCounter final : public CPendingCounter {
 public:
  explicit COstrelPendingCounter(std::int32_t nInitial = 0) : m_Counter(nInitial) {}
  COstrelPendingCounter(const COstrelPendingCounter&) = delete;
  COstrelPendingCounter& operator=(const COstrelPendingCounter&) = delete;

  std::int32_t Inc() override { return m_Counter.Inc(); }
  std::int32_t Dec() override { return m_Counter.Dec(); }
  std::int32_t Exchange(std::int32_t nValue) override { return m_Counter.Exchange(nValue); }
  // An aligned 32-bit read is atomic on every processor Windows runs on.
  std::int32_t Read() const override { return m_Counter.m_nValue; }

 private:
  ::CThreadLockedLong m_Counter;
};

}  // namespace vantor
