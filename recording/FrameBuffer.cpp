#include "recording/FrameBuffer.h"

#include <chrono>
#include <cstring>
#include <new>
#include <utility>

namespace vantor {
namespace {

// A waiter that was never woken (the flag cleared by code that forgot Wake) still
// notices within this time; it costs a few wake-ups per second, not a busy core.
constexpr std::chrono::milliseconds kRecheck(250);

}  // namespace

bool CFrameBuffer::Prepare(std::uint32_t nFrameBytes) {
  std::lock_guard<std::mutex> lock(m_Lock);
  m_bFresh = false;
  if (nFrameBytes > m_nCapacity || !m_apSlots[0]) {
    const std::uint32_t nCapacity = nFrameBytes > kDefaultFrameBytes ? nFrameBytes : kDefaultFrameBytes;
    for (auto& pSlot : m_apSlots) pSlot.reset();
    m_nCapacity = 0;
    m_nFrameBytes = 0;
    for (auto& pSlot : m_apSlots) {
      // Not cleared: the encoder only ever reads a published slot, and untouched pages
      // of a large slot cost no memory.
      pSlot.reset(new (std::nothrow) std::uint8_t[nCapacity]);
      if (!pSlot) {
        for (auto& p : m_apSlots) p.reset();
        return false;
      }
    }
    m_nCapacity = nCapacity;
  }
  m_nFrameBytes = nFrameBytes;
  return true;
}

void CFrameBuffer::Publish(CPendingCounter& pending) {
  {
    std::lock_guard<std::mutex> lock(m_Lock);
    std::swap(m_nBack, m_nReady);
    m_bFresh = true;
    // Counted under the lock, so that a waiter cannot test the count between the
    // increment and the wake-up and then sleep through it.
    pending.Inc();
  }
  m_Changed.notify_all();
}

void CFrameBuffer::PutFrame(const void* pBits, CPendingCounter& pending) {
  if (pBits && m_nFrameBytes) std::memcpy(get_WriteSlot(), pBits, m_nFrameBytes);
  Publish(pending);
}

void CFrameBuffer::Repeat(std::uint32_t nSlots, CPendingCounter& pending) {
  if (nSlots == 0) return;
  {
    std::lock_guard<std::mutex> lock(m_Lock);
    for (std::uint32_t i = 0; i < nSlots; ++i) pending.Inc();
  }
  m_Changed.notify_all();
}

bool CFrameBuffer::WaitForFrame(const CPendingCounter& pending, const std::atomic<std::int32_t>& recording,
                                const std::atomic<bool>& bStop) {
  std::unique_lock<std::mutex> lock(m_Lock);
  while (recording.load() != 0 && !bStop.load() && ReadCount(pending) <= 0) {
    m_Changed.wait_for(lock, kRecheck);
    m_nWaitRounds.fetch_add(1, std::memory_order_relaxed);
  }
  return recording.load() != 0 && !bStop.load();
}

const std::uint8_t* CFrameBuffer::TakeNewest() {
  bool bTaken = false;
  const std::uint8_t* pFrame;
  {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_bFresh) {
      std::swap(m_nReady, m_nFront);
      m_bFresh = false;
      bTaken = true;
    }
    pFrame = m_apSlots[m_nFront].get();
  }
  // A producer waiting to hand over its next frame may go on now (WaitUntilTaken).
  if (bTaken) m_Changed.notify_all();
  return pFrame;
}

bool CFrameBuffer::WaitUntilTaken(const std::atomic<std::int32_t>& recording, const std::atomic<bool>& bStop) {
  std::unique_lock<std::mutex> lock(m_Lock);
  while (recording.load() != 0 && !bStop.load() && m_bFresh) m_Changed.wait_for(lock, kRecheck);
  return !m_bFresh;
}

void CFrameBuffer::NotifyEncoded() {
  { std::lock_guard<std::mutex> lock(m_Lock); }
  m_Changed.notify_all();
}

void CFrameBuffer::Wake() {
  { std::lock_guard<std::mutex> lock(m_Lock); }
  m_Changed.notify_all();
}

bool CFrameBuffer::WaitUntilDrained(const CPendingCounter& pending, const std::atomic<std::int32_t>& recording,
                                    const std::atomic<bool>& bStop) {
  std::unique_lock<std::mutex> lock(m_Lock);
  while (recording.load() != 0 && !bStop.load() && ReadCount(pending) > 0) m_Changed.wait_for(lock, kRecheck);
  return ReadCount(pending) <= 0;
}

}  // namespace vantor
