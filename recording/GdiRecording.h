// GDI recording: what one recording does from its start to its end, and the commands
// that drive it. This part is portable; the screen, the clock, the encoder hand-off
// and the border window come in through ICaptureHost, so the rules below are the same
// wherever they run (GdiRecordingWin32.cpp binds them to GDI for the programs).
//
// A recording, on its own thread:
//   start   grab a first frame (it fixes the frame format and is never encoded), choose
//           the sound, start the encoder and open the file, start the sound, show the
//           border round the area;
//   loop    while recording: wait out a pause, take a moved origin, grab, hand the
//           frame to the encoder, sleep until the next frame is due (frame k of the
//           recording at k / rate seconds after the first, the paused time left out;
//           a grab more than a frame late starts the schedule again from then);
//   end     stop the sound, hide the border; the encoder thread closes the file.
//
// The commands (Record, Pause, Stop) go through CRecordingControl. Decisions that the
// commands leave open, made here once for every caller:
//   - Pause pauses a running recording and resumes a paused one; Record resumes too.
//   - Stop ends a paused recording as well (the pause wait watches the recording flag).
//   - Record while a recording runs does nothing else. A recording that is stopping
//     finishes first: the new one's thread waits for the old thread before it starts.
//   - Every start clears the pause flag and forgets a move published for an earlier
//     recording.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "base/CaptureRect.h"
#include "base/Screen.h"
#include "media/AVITypes.h"
#include "platform/Types.h"
#include "recording/RecordingCommands.h"
#include "recording/RecordingSettings.h"

namespace vantor {

// Recording state shared by the commands, the recording thread and the border window.
// Flags are 32-bit integers used as booleans.
extern std::atomic<std::int32_t> g_Paused;  // the recording is paused

// The area as the user last moved it with the border window. Only its left and top
// matter to the recording; g_RegionMoved says that a move waits to be taken.
extern CaptureRect g_MovedRect;
extern std::atomic<std::int32_t> g_RegionMoved;

// Border window: hands a moved area to the recording. The rectangle is in place
// before the flag is set, and the two are written under one lock, so that a taker
// never sees a left from one move with a top from another.
void PublishMovedArea(const CaptureRect& rc);
// Recording thread: the origin of the latest move, if one waits; clears the flag.
bool TakeMovedOrigin(std::int32_t* pLeft, std::int32_t* pTop);
// Forgets a waiting move (one published after the previous recording's last frame).
void DiscardMovedArea();

// The recording's clock as its sound sees it: microseconds since the pictures' first
// grab, the one start moment of both, pauses included (the sound leaves paused stretches
// out by itself); kClockBeforeFirstGrab until that grab. Sound captured before the zero
// is not the recording's: a source started ahead of the first grab drops it.
using RecordingClock = std::function<std::int64_t()>;
constexpr std::int64_t kClockBeforeFirstGrab = INT64_MIN;

// The sound of a recording. Each audio source implements this; until one is set, a
// recording has a silent sound stream in the capture-device format.
class IRecordingAudio {
 public:
  virtual ~IRecordingAudio() = default;
  // The format of the file's sound stream, asked for before the file is opened. Null
  // when the source cannot record now; the recording then goes on without sound.
  virtual const WaveFormatBlock* PrepareFormat() = 0;
  // Once the file is open: start writing sound into the recorder, placed by fnClock
  // (callable from any thread until Stop returns).
  virtual void Start(RecordingClock fnClock) = 0;
  // After the last frame: stop writing; returns once no more writes can come.
  virtual void Stop() = 0;
};

// The sources a recording chooses from: the loopback of the default playback device and
// a capture device. Null: not available.
struct RecordingSoundSources {
  IRecordingAudio* pLoopback = nullptr;
  IRecordingAudio* pCaptureDevice = nullptr;
};
// The source for a choice, or null for a recording without sound.
IRecordingAudio* ChooseRecordingAudio(SoundChoice choice, const RecordingSoundSources& sources);
// PCM, 48,000 Hz, 8 bits, mono: the capture devices' format, and the sound stream's
// format when nothing is recorded.
WaveFormatEx DefaultCaptureFormat();

// What a recording needs from its platform.
class ICaptureHost {
 public:
  virtual ~ICaptureHost() = default;
  // One frame of the area (header, colour table, rows), or null when none could be
  // made. bFirstFrame: the recording's first grab, which leaves the border alone.
  virtual const BitmapInfoHeader* GrabFrame(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth,
                                            std::int32_t nHeight, bool bFirstFrame) = 0;
  virtual void ReleaseFrame(const BitmapInfoHeader* pFrame) = 0;
  // Prepares the recorder (formats, encoder, file) and starts the encoder thread.
  // On failure nothing runs and *pError says why.
  virtual Result BeginEncoding(const BitmapInfoHeader& firstFrame, const WaveFormatBlock& audioFormat,
                               double dFramesPerSecond, const wchar_t* szFileName,
                               std::string* pError) = 0;
  // Hands the pixel rows of one frame to the encoder (the first frame's image size).
  virtual void PutFrame(const std::uint8_t* pBits) = 0;
  // Grabs the area and hands its rows to the encoder in one step: true when a frame of
  // nFrameBytes was handed over, false when none could be made (nothing is handed
  // over). The default grabs with GrabFrame and copies with PutFrame; a host that can
  // grab straight into the encoder's frame makes that its only copy.
  virtual bool GrabAndPutFrame(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth, std::int32_t nHeight,
                               std::uint32_t nFrameBytes);
  // The frame last handed over takes nSlots more places in the file: the frames that
  // fell due while a grab took too long, so that the file keeps the time it ran.
  virtual void RepeatFrame(std::uint32_t nSlots) = 0;
  // The end of the recording. bDrain: let the encoder write every frame handed over
  // and close the file before returning; otherwise the Stop command has already told
  // the encoder thread, which closes the file on its own. False when the file could not
  // be finished (known only with bDrain).
  virtual bool EndEncoding(bool bDrain) = 0;
  // The Stop command's part: the encoder drops the frames not yet encoded and closes the
  // file on its own once EndEncoding(false) lets it.
  virtual void StopEncoding() = 0;
  // Waits until the latest recording's file is closed (at once when none is open).
  virtual void WaitUntilClosed() = 0;
  // The border round the area. Called from the recording thread (and HideBorder also
  // from the command's thread): they must not wait for the window's own thread.
  virtual void ShowBorder(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth, std::int32_t nHeight) = 0;
  virtual void HideBorder() = 0;
  // A free name for a file started now in strFolder (empty: the default output folder,
  // created when missing), or empty when none fits.
  virtual std::wstring NameFile(const std::wstring& strFolder) = 0;
  // Around a whole recording on its thread (the Windows host sharpens the timer).
  virtual void BeginSession() {}
  virtual void EndSession() {}
  // The millisecond clock (it may wrap; the sound's reader threads read it too) and a
  // sleep in whole milliseconds.
  virtual std::uint32_t NowMs() = 0;
  virtual void SleepMs(std::uint32_t nMilliseconds) = 0;
  // Stop and Finish, from any thread: a sleep of the capture loop may end now, so that
  // the recording, and with it the sound, ends at the command rather than when the
  // next frame would have been due. A host whose sleeps cannot be cut short ignores it.
  virtual void WakeLoop() {}
};

// How one recording went, for those who want to know (VantorRec, tests). The program
// itself stays silent.
struct CaptureOutcome {
  bool bStarted = false;      // the file was opened and frames were grabbed into it
  bool bClosed = true;        // with a drained end: the file was finished completely
  std::string strError;       // why it did not start, in words for the user
  std::wstring strFileName;
  std::uint32_t nGrabs = 0;   // frames handed to the encoder
  std::uint32_t nSkipped = 0;  // grabs that gave no frame (nothing was handed over)
  std::uint32_t nRepeated = 0;  // places in the file that repeat the frame before them
  std::uint32_t nIntervalMs = 0;
  std::uint32_t nLoopMs = 0;   // from the first grab of the loop to the end of the last
  std::uint32_t nPausedMs = 0;  // of that, waited out in pauses (left out of the file)
};

// The Record, Pause and Stop commands and the recording thread they start. One per
// engine (the programs' is TheGdiRecording(); tests make their own with their own
// flags).
class CRecordingControl {
 public:
  using RunFunction = std::function<void(std::uint64_t nRun)>;

  CRecordingControl(std::atomic<std::int32_t>& recording, std::atomic<std::int32_t>& paused);
  CRecordingControl(const CRecordingControl&) = delete;
  CRecordingControl& operator=(const CRecordingControl&) = delete;
  // Waits for a recording thread that still runs (it must be stopping by then).
  ~CRecordingControl();

  // kStarted: a new recording thread runs fnRun; kFailed: the flag is clear again.
  using StartResult = RecordResult;
  // Record. A new recording sets the recording flag, clears the pause flag and runs
  // fnRun(nRun) on a new thread, after the previous recording's thread has ended.
  StartResult Start(RunFunction fnRun);
  // Pause: true when the recording is now paused. Without a running recording it does
  // nothing and answers false.
  bool TogglePause();
  // Stop: clears the recording flag; the recording ends after the frame in hand.
  void Stop();
  // Ends the recording after the frame in hand, like Stop, but lets every frame
  // already grabbed reach the file (for scripts that count them).
  void Finish();

  // Recording thread: run nRun could not start; clears the recording flag unless a
  // newer recording has been started meanwhile.
  void Abandon(std::uint64_t nRun);

  // Recording thread: true while run nRun should go on grabbing.
  bool IsActive(std::uint64_t nRun) const;
  bool IsFinishRequested(std::uint64_t nRun) const;
  // True while a recording thread runs (including one that is stopping).
  bool IsThreadRunning() const;
  // Waits up to nTimeoutMs for the recording thread to end; true when none runs.
  bool WaitForThreadEnd(std::uint32_t nTimeoutMs);

  // Observations of the running recording.
  std::uint32_t get_Grabs() const { return m_nGrabs.load(); }
  // The loop is waiting out a pause (no grab is in progress).
  bool IsInPauseWait() const { return m_bInPauseWait.load(); }
  // How long the running recording has recorded by nNowMs (the host's clock): from its
  // loop's first grab, less the time waited out in pauses, which the file leaves out.
  // False before the first grab.
  bool get_RecordedMs(std::uint32_t nNowMs, std::uint32_t* pMs) const;
  // The clock of the running recording's sound at nNowMs: microseconds since the loop's
  // first grab, pauses included; kClockBeforeFirstGrab before it.
  std::int64_t get_SoundMicros(std::uint32_t nNowMs) const;
  // The last finished recording.
  CaptureOutcome get_LastOutcome() const;

  // Used by RunCaptureSession.
  void CountGrab() { m_nGrabs.fetch_add(1); }
  void SetInPauseWait(bool b) { m_bInPauseWait.store(b); }
  // The loop's clock: its first grab, and the start and end of each pause wait.
  void MarkLoopStart(std::uint32_t nNowMs);
  void MarkPause(bool bPaused, std::uint32_t nNowMs);
  void SetLastOutcome(const CaptureOutcome& outcome);
  std::atomic<std::int32_t>& get_PausedFlag() { return m_Paused; }

 private:
  std::atomic<std::int32_t>& m_Recording;
  std::atomic<std::int32_t>& m_Paused;
  mutable std::mutex m_Lock;
  std::condition_variable m_Ended;
  std::thread m_Thread;        // the latest recording thread (under m_Lock)
  std::uint64_t m_nRun = 0;    // the latest run (under m_Lock; read by IsActive)
  std::atomic<std::uint64_t> m_nCurrentRun{0};
  std::atomic<std::uint64_t> m_nFinishRun{0};  // run asked to finish
  bool m_bThreadRunning = false;  // under m_Lock
  std::atomic<std::uint32_t> m_nGrabs{0};
  std::atomic<bool> m_bInPauseWait{false};
  // The loop's clock (under m_ClockLock): first grab, pauses so far, the pause under way.
  mutable std::mutex m_ClockLock;
  bool m_bLoopStarted = false;
  std::uint32_t m_nLoopStartMs = 0;
  std::uint32_t m_nPausedMs = 0;
  bool m_bPauseOpen = false;
  std::uint32_t m_nPauseStartMs = 0;
  CaptureOutcome m_LastOutcome;  // under m_Lock
};

// What one recording records: the area (nLeft, nTop) with nWidth x nHeight pixels, the
// frame rate (at least 1 frame a second), the file and the sound (null: a silent sound stream in the
// capture-device format).
struct CaptureRequest {
  std::int32_t nLeft = 0;
  std::int32_t nTop = 0;
  std::int32_t nWidth = 0;
  std::int32_t nHeight = 0;
  std::uint32_t nMilliFramesPerSecond = 0;  // see MilliFramesPerSecond
  std::wstring strFileName;
  IRecordingAudio* pAudio = nullptr;
  std::uint32_t nDurationMs = 0;  // ends by itself after this much recorded time (0: at Stop)
};

// One whole recording of run nRun: the start, the capture loop and the end.
CaptureOutcome RunCaptureSession(ICaptureHost& host, CRecordingControl& control, std::uint64_t nRun,
                                 const CaptureRequest& request);

// Frames per second as a recording keeps them, in thousandths of a frame: the rate the
// user chose to a thousandth (12.5 gives 12500, 29.97 gives 29970), so that a typed rate
// is the file's rate and its frames are due at that rate. 0 for anything below 1 (and
// for what is not a number), which no recording accepts.
std::uint32_t MilliFramesPerSecond(float fFrameRate);

}  // namespace vantor
