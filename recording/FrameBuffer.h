// The hand-off of captured frames from the recording thread to the encoder thread.
//
// Three frame slots rotate: the recording thread fills its own slot while the encoder
// reads another, and publishing swaps the filled slot with the "newest" one under a
// short lock. So a frame is never encoded while it is half overwritten, and the
// recording thread never waits for an encode; when the encoder falls behind, it picks
// up the newest complete frame, never a mixture of two.
//
// The buffer also wakes the encoder thread: publishing a frame, or Wake() after the
// recording flag was cleared, ends its wait, so it sleeps instead of polling.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "recording/PendingCounter.h"

namespace vantor {

class CFrameBuffer {
 public:
  // A frame of 4,096,000 pixels (2560 x 1600) at 3 bytes fits without growing.
  static constexpr std::uint32_t kDefaultFrameBytes = 12288000;

  CFrameBuffer() = default;
  CFrameBuffer(const CFrameBuffer&) = delete;
  CFrameBuffer& operator=(const CFrameBuffer&) = delete;

  // Makes room for frames of nFrameBytes (larger frames than the default get larger
  // slots). Only while no encoder thread runs. False when memory is short.
  bool Prepare(std::uint32_t nFrameBytes);
  std::uint32_t get_FrameBytes() const { return m_nFrameBytes; }
  std::uint32_t get_Capacity() const { return m_nCapacity; }

  // Recording thread: the slot to fill with the next frame (get_FrameBytes() bytes),
  // then Publish() it. The slot stays the caller's until Publish.
  std::uint8_t* get_WriteSlot() { return m_apSlots[m_nBack].get(); }
  // Makes the filled slot the newest frame, counts it in pending and wakes the encoder.
  void Publish(CPendingCounter& pending);
  // Copies get_FrameBytes() bytes of pBits and publishes them.
  void PutFrame(const void* pBits, CPendingCounter& pending);
  // Counts the newest frame nSlots more times: the encoder writes it again for each.
  void Repeat(std::uint32_t nSlots, CPendingCounter& pending);

  // Encoder thread: waits until a frame is pending, or the recording flag is cleared,
  // or bStop is set (the encoder thread's own stop, which a new recording setting the
  // flag again cannot undo). True when there is a frame to encode and the recording
  // goes on.
  bool WaitForFrame(const CPendingCounter& pending, const std::atomic<std::int32_t>& recording,
                    const std::atomic<bool>& bStop);
  // The newest published frame; the pointer stays valid and unchanged until the next
  // call. Repeated calls without a new frame give the same picture.
  const std::uint8_t* TakeNewest();
  // After the encoder has counted a frame down: wakes WaitUntilDrained.
  void NotifyEncoded();

  // Waits until the encoder has taken the newest published frame (or the recording
  // flag is cleared, or bStop is set): a frame published from then on cannot replace
  // one the encoder has not seen. True when taken.
  bool WaitUntilTaken(const std::atomic<std::int32_t>& recording, const std::atomic<bool>& bStop);

  // Wakes every waiter, so that they look at the recording flag again.
  void Wake();
  // Waits until no frame is pending, or the recording flag is cleared, or bStop is set.
  // True when drained.
  bool WaitUntilDrained(const CPendingCounter& pending, const std::atomic<std::int32_t>& recording,
                        const std::atomic<bool>& bStop);

  // How often the encoder's wait has come back, with or without work: a measure of
  // how busy an idle encoder thread keeps the processor.
  std::uint64_t get_WaitRounds() const { return m_nWaitRounds.load(); }

 private:
  std::unique_ptr<std::uint8_t[]> m_apSlots[3];
  std::uint32_t m_nCapacity = 0;
  std::uint32_t m_nFrameBytes = 0;
  int m_nBack = 0;   // recording thread's slot
  int m_nReady = 1;  // newest published frame (under m_Lock)
  int m_nFront = 2;  // encoder thread's slot
  bool m_bFresh = false;  // m_nReady holds a frame the encoder has not taken (under m_Lock)

  std::atomic<std::uint64_t> m_nWaitRounds{0};

  std::mutex m_Lock;
  std::condition_variable m_Changed;
};

}  // namespace vantor
