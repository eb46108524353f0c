// The arithmetic of the two sound readers, kept apart from the devices so that it can
// be checked on any platform:
//  - the PCM formats a capture device is asked for, the fixed one it records in, and a
//    playback mix format as the format a file declares for it;
//  - the capture ring: 16 blocks of about 10 ms, one notification at the end of each,
//    and how many whole blocks lie ready between the reader's offset and the device's
//    read position (across the end of the ring, too);
//  - the capture time line: where a device's bytes belong in the recording (silence
//    for a late start, paused stretches left out, the end where the recording ends);
//  - the loopback block: a cycle's packets copied back to back into one fixed buffer,
//    written out early rather than overflowing it.
// Where the blocks go is an IAudioSink: the recorder in the program, a test file or a
// recording double in the tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/AVITypes.h"

namespace vantor {

// ---- Time on the readers' clocks ------------------------------------------------------

// Times of the sound readers are whole microseconds of a steady clock. They are
// integers on purpose: the byte position of a moment is then exact, and the same on
// every floating-point unit (x87's 80-bit intermediates cut 1.9 s x 1000 B/s down to
// 1899 bytes where SSE2 happens to round it up to 1900).
constexpr std::int64_t kMicrosPerSecond = 1000000;
// A moment on the recording's clock before its zero (the pictures' first grab) is
// known: whatever arrives then was captured before the zero.
constexpr std::int64_t kTimeUnknown = INT64_MIN;

// The bytes of the whole sample frames that nMicros of sound at nBytesPerSecond hold
// (rounded down to nBlockAlign); 0 for times at or before the start.
std::uint64_t BytesInMicros(std::int64_t nMicros, std::uint32_t nBytesPerSecond, std::uint32_t nBlockAlign);
// nTicks of a counter running at nFrequency per second, in microseconds (rounded down,
// without overflow for any count a process lives to see).
std::int64_t MicrosFromTicks(std::int64_t nTicks, std::int64_t nFrequency);

// Where captured sound goes. WriteAudio is called from the reader's thread.
class IAudioSink {
 public:
  // One block of sound in the recording's audio format; nBytes may be 0 (an empty
  // chunk still marks that the source was alive).
  virtual void WriteAudio(const void* pData, std::uint32_t nBytes) = 0;
  // True while the recording is paused: sound arriving meanwhile is thrown away.
  virtual bool IsPaused() const = 0;

 protected:
  ~IAudioSink() = default;
};

// The recorder as a sink, with the recording's pause flag (a plain or atomic integer).
// Both must outlive every reader that writes through it.
template <class Recorder, class Flag>
class CRecorderAudioSink final : public IAudioSink {
 public:
  CRecorderAudioSink(Recorder& recorder, const Flag& paused) : m_Recorder(recorder), m_Paused(paused) {}
  void WriteAudio(const void* pData, std::uint32_t nBytes) override { m_Recorder.WriteAudio(pData, nBytes); }
  bool IsPaused() const override { return m_Paused != 0; }

 private:
  Recorder& m_Recorder;
  const Flag& m_Paused;
};

// ---- PCM formats -------------------------------------------------------------------

// Sets rate, bits, channels, block align and bytes per second of *pFormat from a format
// index: the rate from nIndex / 4 (48,000, 44,100, 22,050, 11,025, 8,000 Hz; a larger
// quotient keeps the rate already there), the layout from nIndex % 4 (8-bit mono,
// 16-bit mono, 8-bit stereo, 16-bit stereo). A negative index changes no rate or layout.
// The tag and the extra size are the caller's.
void FillPcmFormat(int nIndex, WaveFormatEx* pFormat);

// What a capture device records in, and what the file declares for it: PCM, 48,000 Hz,
// 8 bits, mono (block align 1, 48,000 bytes per second, no extra bytes).
WaveFormatEx GetCaptureFormat();

// A playback device's mix format (an 18-byte format, or an extensible one of 40 bytes)
// as the plain format a file's 18-byte format block can carry: an extensible format
// becomes PCM (1) or IEEE float (3) after its sub-format, with no extra bytes. False
// for a format too short to read, without frames or rate, or with another sub-format.
bool PlainWaveFormat(const void* pFormat, std::size_t nBytes, WaveFormatEx* pPlain);

// The format a file declares for a playback device's mix format: the plain format of
// PlainWaveFormat where there is one, otherwise an extensible format of another
// sub-format whole (its 40 bytes, cbSize 22; extra bytes past the extension are not
// kept), so that its sound is recorded too and a reader learns what it is. False for
// a format too short to read, without channels, frames or rate, or an extensible one
// whose extension is missing (cbSize below 22, or fewer than 40 bytes).
bool FileWaveFormat(const void* pFormat, std::size_t nBytes, WaveFormatBlock* pFileFormat);

// ---- The capture ring ---------------------------------------------------------------

constexpr int kCaptureNotifyCount = 16;
constexpr std::uint32_t kCaptureBlockTarget = 480;

struct CaptureRingGeometry {
  std::uint32_t dwBlockBytes = 0;   // distance between notifications
  std::uint32_t dwBufferBytes = 0;  // kCaptureNotifyCount blocks

  // The offset of the last byte of block i: the device signals once it has filled it.
  std::uint32_t NotifyOffset(int i) const { return dwBlockBytes * static_cast<std::uint32_t>(i + 1) - 1; }
};

// Blocks of 480 bytes cut down to whole sample frames (480 - 480 % align); a frame
// larger than 480 bytes makes a block of one frame. False for a block align of 0, which
// describes no sound at all.
bool ComputeCaptureRing(std::uint16_t nBlockAlign, CaptureRingGeometry* pGeometry);

// Whole blocks ready to read: from the reader's next offset up to the device's read
// position, across the end of the ring when the position has wrapped. 0 when either
// offset lies outside the ring (a confused driver must not make us read past it).
std::uint32_t ReadableBytes(std::uint32_t dwReadPosition, std::uint32_t dwNextOffset,
                            const CaptureRingGeometry& geometry);

// How nBytes from dwOffset lie in the ring: a first piece up to the ring's end and the
// rest from its start (what locking such a range of a capture buffer gives).
struct RingPieces {
  std::uint32_t dwBytes1 = 0;
  std::uint32_t dwBytes2 = 0;
};
RingPieces SplitRingRange(std::uint32_t dwOffset, std::uint32_t nBytes, std::uint32_t dwBufferBytes);

// ---- Keeping the capture in step with the recording ----------------------------------

// Places a capture device's bytes on the recording's time line, so that the sound in
// the file starts when the recording starts, leaves out exactly the paused stretches
// and ends when the recording ends, whatever the device's start-up delay and however
// coarsely it delivers. Positions are bytes of the sound stream from the recording's
// zero (time t lies at t x bytes per second; before the zero they are negative); the
// device's own clock counts from its first placed delivery on, so the steady stream is
// never stretched or squeezed.
//  - The first delivery is assumed to end when it arrives: a device that starts late
//    gets silence in front of its first sound, and what it captured before the zero
//    (it was started before the pictures' first grab) is dropped.
//  - Bytes that fall into a pause are dropped, bytes past the end too.
//  - At the end, what the device never delivered up to the end becomes silence.
// Times are microseconds of the recording's clock (pauses included), counted from its
// zero, the pictures' first grab; kTimeUnknown before that zero is known.
class CCaptureTimeline {
 public:
  struct Step {
    enum Kind { kSilence, kKeep, kDrop } kind;
    std::uint32_t nBytes;
  };

  void Begin(std::uint32_t nBytesPerSecond, std::uint32_t nBlockAlign);
  // The recording's pause flag as seen at nMicros; only changes count.
  void SetPaused(bool bPaused, std::int64_t nMicros);
  // nBytes arrived at nMicros, and the device had captured nNewerBytes more by then
  // (so the nBytes end that much before nMicros): appends to *pSteps how they (and any
  // silence in front of them) go into the file, in order. The kept and dropped steps
  // add up to nBytes. Bytes that arrive at kTimeUnknown are all dropped, and the
  // device's clock starts with a later delivery whose time is known.
  void Place(std::uint32_t nBytes, std::int64_t nMicros, std::vector<Step>* pSteps, std::uint32_t nNewerBytes = 0);
  // The recording ended at nMicros; later deliveries only fill up to that moment (a
  // recording that ended before its zero has no sound).
  void End(std::int64_t nMicros);
  // Everything up to the end has been delivered.
  bool IsComplete() const { return m_bEnded && m_nPosition >= m_nEnd; }
  // Silence for what is still missing up to the end (appended to *pSteps).
  void Finish(std::vector<Step>* pSteps);

  std::int64_t get_Position() const { return m_nPosition; }
  std::int64_t get_End() const { return m_nEnd; }
  // Bytes that reach the file for the time line so far (kept and silence).
  std::uint64_t get_Written() const { return m_nWritten; }

 private:
  struct Span {
    std::int64_t nFrom, nTo;  // [nFrom, nTo), nTo = max while open
  };
  // kTimeUnknown lies before every position.
  std::int64_t ToPosition(std::int64_t nMicros) const;
  // Emits [nFrom, nTo) as kind where it lies outside pauses, before the end and after
  // the zero, drop elsewhere (silence outside is simply not emitted).
  void Emit(std::int64_t nFrom, std::int64_t nTo, Step::Kind kind, std::vector<Step>* pSteps);
  void Push(Step::Kind kind, std::uint64_t nBytes, std::vector<Step>* pSteps);

  std::uint32_t m_nBytesPerSecond = 0;
  std::uint32_t m_nBlockAlign = 1;
  std::int64_t m_nPosition = 0;
  std::int64_t m_nEnd = 0;
  std::uint64_t m_nWritten = 0;
  bool m_bStarted = false;
  bool m_bEnded = false;
  bool m_bPaused = false;
  std::vector<Span> m_Pauses;
};

// ---- The loopback block -------------------------------------------------------------

constexpr std::uint32_t kLoopbackBlockBytes = 600000;

// Collects one cycle's packets into a fixed buffer and hands them to a sink as one
// block. A packet that would not fit makes the block go out early and starts a new
// one; a packet larger than the whole buffer goes out in buffer-sized parts. Every part
// holds whole sample frames. The sink decides nothing: a "gate" says whether blocks are
// written at all (paused, or the other source chosen) at the moment they go out.
class CAudioBlockBuilder {
 public:
  // Writes or drops one finished block.
  class IGate {
   public:
    virtual void Deliver(const void* pData, std::uint32_t nBytes) = 0;

   protected:
    ~IGate() = default;
  };

  // pStorage: nCapacity bytes, owned by the caller, used for every cycle.
  CAudioBlockBuilder(std::uint8_t* pStorage, std::uint32_t nCapacity);

  // A new cycle: empty block, nothing delivered, no packet seen. nFrameBytes is the
  // block align of the sound (0 is treated as 1).
  void BeginCycle(std::uint32_t nFrameBytes);
  // A packet arrived (silent or not): the cycle counts as one that heard the device.
  void NotePacket() { m_bPacketSeen = true; }
  // Appends a packet's bytes, sending the block out first when they would not fit.
  void Append(const void* pData, std::uint64_t nBytes, IGate& gate);
  // Drops up to nBytes (whole frames) from the front of what the block holds, the
  // oldest sound; the cycle's sound is then what the block still holds.
  void DropFront(std::uint64_t nBytes);
  // Ends the cycle: the block goes out if a packet came, even empty when every packet
  // was silent, unless the cycle already delivered everything it had. nSilence bytes of
  // silence (each byte nSilenceByte) go out in front of the cycle's sound, in the same
  // block when they fit, so that a cycle with silence to fill always writes.
  void EndCycle(IGate& gate, std::uint64_t nSilence = 0, std::uint8_t nSilenceByte = 0);

  std::uint32_t get_Used() const { return m_nUsed; }
  // Bytes of sound appended in this cycle, those already sent out included.
  std::uint64_t get_CycleBytes() const { return m_nCycleBytes; }
  std::uint32_t get_Capacity() const { return m_nCapacity; }

 private:
  void Flush(IGate& gate);

  std::uint8_t* m_pStorage;
  std::uint32_t m_nCapacity;
  std::uint32_t m_nFrameBytes = 1;
  std::uint32_t m_nUsed = 0;
  std::uint64_t m_nCycleBytes = 0;
  bool m_bPacketSeen = false;
  bool m_bDelivered = false;
};

// ---- Keeping the loopback as long as the time it covers --------------------------------

// The loopback hears only what is played: while nothing plays it delivers no packets,
// and silent packets are dropped. Without a filler the file's sound would be shorter
// than the recording, and the pictures (whose rate follows the sound's length) would
// run too fast and drift from what was heard. The filler counts the time of every cycle
// that reaches the file and says how much silence goes in front of a cycle's sound to
// bring the stream back to that time. Shortfalls below kFillThresholdSeconds (packet
// latency, uneven wake-ups) are left alone; once passed, the whole shortfall is filled.
class CSilenceFiller {
 public:
  static constexpr std::int64_t kFillThresholdMicros = kMicrosPerSecond / 10;

  // The reader started at nStart (microseconds of any steady clock).
  void Begin(std::uint32_t nBytesPerSecond, std::uint32_t nBlockAlign, std::int64_t nStart);
  // A cycle ended at nNow with nBytes of sound. bWritten: the cycle reaches the file
  // (not paused, this source chosen); other cycles add no time. Returns the bytes of
  // silence (whole frames) to write in front of the cycle's sound.
  std::uint64_t EndCycle(std::uint64_t nBytes, std::int64_t nNow, bool bWritten);

  // Bytes written for the time so far (sound and silence).
  std::uint64_t get_Written() const { return m_nWritten; }

 private:
  std::uint32_t m_nBytesPerSecond = 0;
  std::uint32_t m_nBlockAlign = 1;
  std::int64_t m_nLast = 0;
  std::int64_t m_nCovered = 0;  // microseconds of cycles that reached the file
  std::uint64_t m_nWritten = 0;
};

// The byte that is silence in a stream of nBitsPerSample: unsigned 8-bit samples sit at
// 0x80, every other PCM and float format at 0.
inline std::uint8_t SilenceByte(std::uint16_t nBitsPerSample) { return nBitsPerSample == 8 ? 0x80 : 0; }

}  // namespace vantor
