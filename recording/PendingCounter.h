// The pending-frame counter: how many frames the capture loop has handed to the encoder
// thread that it has not encoded yet. The hand-off (FrameBuffer, EncoderThread) counts
// through this interface and is built once; which counter a program uses is chosen by
// what it links:
//   vantor_pending_portable  CLockedLong, for VantorRec, the tests and the native builds
//   vantor_pending_ostrel    the hook library's CThreadLockedLong, for Vantor.exe
// Each defines ProgramPendingCounter(), which g_PendingFrames names.
#pragma once
#include <atomic>
#include <cstdint>

namespace vantor {

class CPendingCounter {
 public:
  virtual ~CPendingCounter() = default;
  virtual std::int32_t Inc() = 0;                         // the new value
  virtual std::int32_t Dec() = 0;                         // the new value
  virtual std::int32_t Exchange(std::int32_t nValue) = 0;  // the old value
  virtual std::int32_t Read() const = 0;
};

// The portable counter.
class CLockedLong final : public CPendingCounter {
 public:
  explicit CLockedLong(std::int32_t nInitial = 0) : m_nValue(nInitial) {}
  CLockedLong(const CLockedLong&) = delete;
  CLockedLong& operator=(const CLockedLong&) = delete;

  std::int32_t Inc() override { return m_nValue.fetch_add(1) + 1; }
  std::int32_t Dec() override { return m_nValue.fetch_sub(1) - 1; }
  std::int32_t Exchange(std::int32_t nValue) override { return m_nValue.exchange(nValue); }
  std::int32_t Read() const override { return m_nValue.load(); }

 private:
  std::atomic<std::int32_t> m_nValue;
};

inline std::int32_t ReadCount(const CPendingCounter& counter) { return counter.Read(); }

// The program's counter, made on first use (by g_PendingFrames, before main).
CPendingCounter& ProgramPendingCounter();

}  // namespace vantor
