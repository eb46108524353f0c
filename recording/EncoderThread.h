// The encoder thread of a screen recording and the hand-off that feeds it.
//
// The recording thread grabs frames and puts each into the frame buffer, which counts
// it in the pending-frame counter; the encoder thread encodes the newest frame once
// for every count and writes it through the recorder, and closes the file when the
// recording flag is cleared. The rule, on which the file's timing rests: exactly one
// video chunk per counted frame; when the encoder falls behind, the newest picture is
// encoded once for each count outstanding; counts still pending when the recording
// stops are dropped.
//
// The recording thread, per recording:
//   g_EncoderThread.Begin(firstFrameHeader, &audioFormat, fps, "file.avi")
//       (waits for the previous recording's file to be closed; the first frame only
//        fixes the format and is never written)
//   start the audio source (it calls g_Recorder.WriteAudio)
//   per frame: g_EncoderThread.PutFrame(bits)  (or fill g_FrameBuffer.get_WriteSlot()
//              and g_FrameBuffer.Publish(g_PendingFrames))
// The Stop command: g_EncoderThread.Stop(false) (clears g_Recording and wakes the
// encoder, which closes the file on its own thread, once the recording thread has
// stopped the sound source and called ReleaseClose when Begin was told to hold it).
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "media/AVITypes.h"
#include "media/AviRecorder.h"
#include "platform/Types.h"
#include "recording/FrameBuffer.h"
#include "recording/PendingCounter.h"

namespace vantor {

class CEncoderThread {
 public:
  // The objects one recording's hand-off works on; the program binds the globals below,
  // tests their own.
  CEncoderThread(CAviRecorder& recorder, CFrameBuffer& buffer, CPendingCounter& pending,
                 std::int32_t& nFrameBytes, std::atomic<std::int32_t>& recording);
  CEncoderThread(const CEncoderThread&) = delete;
  CEncoderThread& operator=(const CEncoderThread&) = delete;
  // Stops a thread that still runs and waits until its file is closed.
  ~CEncoderThread();

  // Everything the hand-off needs at the start of a recording: waits until the previous
  // recording's file is closed, sizes the buffer for the first frame, clears the
  // counter, prepares the recorder (audio format, video format, encoder, file) and
  // starts the encoder thread. The recording flag is left as the caller set it. On
  // failure nothing runs and no file is left open; get_ErrorMessage() says why.
  // *pAudioFormat reaches the recorder whole, an extensible format's extension with it
  // (null: the unknown tag).
  //
  // With bHoldClose the thread, once stopped, keeps the file open until ReleaseClose:
  // a sound source still drains its last blocks into the file after the Stop command,
  // and they belong in it.
  //
  // strFileName is UTF-8, as the recorder and the platform seam take paths.
  Result Begin(const BitmapInfoHeader& firstFrame, const WaveFormatBlock* pAudioFormat, double dFramesPerSecond,
               const std::string& strFileName, bool bHoldClose = false);

  // Recording thread: hands over one frame (g_FrameBytes bytes of bottom-up rows).
  void PutFrame(const void* pBits) { m_Buffer.PutFrame(pBits, m_Pending); }
  // Recording thread, instead of PutFrame for a frame made in place: the slot to fill
  // with the next frame (g_FrameBytes bytes), then PublishFrame.
  std::uint8_t* get_WriteSlot() { return m_Buffer.get_WriteSlot(); }
  void PublishFrame() { m_Buffer.Publish(m_Pending); }
  // The newest frame counts nSlots more times.
  void RepeatFrame(std::uint32_t nSlots) { m_Buffer.Repeat(nSlots, m_Pending); }
  // Waits until the encoder has taken the frame handed over last (or the recording
  // stops): the next one can then be handed over without replacing it unseen.
  bool WaitUntilTaken() { return m_Buffer.WaitUntilTaken(m_Recording, m_bStop); }
  // Waits until every frame handed over so far is encoded (or the recording stops).
  bool WaitUntilEncoded() { return m_Buffer.WaitUntilDrained(m_Pending, m_Recording, m_bStop); }

  // Clears the recording flag and wakes the encoder thread; frames still pending are
  // dropped and the thread closes the file. The thread stops even when a new recording
  // sets the flag again before it has looked. With bWait, releases a held close and
  // returns once the file is closed.
  void Stop(bool bWait);
  // Lets a stopped thread that Begin told to hold the file close it (the sound source
  // has stopped writing).
  void ReleaseClose();
  // Releases a held close and returns once the thread of the last recording has closed
  // its file (at once when none runs).
  void WaitUntilClosed();

  // The thread's body: encode while recording, then close the file. Returns 0.
  int Run();

  bool IsRunning() const;
  // Frames the thread has encoded in this recording.
  std::uint32_t get_FramesEncoded() const { return m_nEncoded.load(); }
  std::string get_ErrorMessage() const;
  // What the recorder's Close said when the thread finished the file: kFail when the
  // file could not be written completely. Read after Stop(true) or WaitUntilClosed.
  Result get_CloseResult() const { return m_nCloseResult.load(); }

 private:
  CAviRecorder& m_Recorder;
  CFrameBuffer& m_Buffer;
  CPendingCounter& m_Pending;
  std::int32_t& m_nFrameBytes;
  std::atomic<std::int32_t>& m_Recording;

  void JoinLocked();  // under m_JoinLock

  // Held by whoever waits for the thread to end, so that a second waiter returns only
  // once the file is really closed.
  std::mutex m_JoinLock;
  mutable std::mutex m_ThreadLock;  // m_Thread and m_strError
  std::thread m_Thread;
  std::string m_strError;
  // This run's own stop: set by Stop and by the next Begin, cleared when a thread starts.
  std::atomic<bool> m_bStop{false};
  std::atomic<std::uint32_t> m_nEncoded{0};
  std::atomic<Result> m_nCloseResult{kOk};
  // Set by Begin(bHoldClose), cleared by ReleaseClose; the stopped thread waits for it
  // before it closes the file, at most ten seconds.
  std::mutex m_CloseHoldLock;
  std::condition_variable m_CloseHoldChanged;
  bool m_bCloseHeld = false;
};

// The program's hand-off. g_Recording is set by the Record command and cleared by
// Stop; the capture loop and the encoder thread run while it is set.
extern std::atomic<std::int32_t> g_Recording;
extern CFrameBuffer g_FrameBuffer;
extern std::int32_t g_FrameBytes;
extern CPendingCounter& g_PendingFrames;  // ProgramPendingCounter()
extern CEncoderThread g_EncoderThread;

// The encoder thread procedure on the program's objects.
int EncoderThread();

}  // namespace vantor
