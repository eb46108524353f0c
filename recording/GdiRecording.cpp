#include "recording/GdiRecording.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <system_error>

#include "recording/ScreenGrabberLayout.h"

namespace vantor {

std::atomic<std::int32_t> g_Paused{0};
CaptureRect g_MovedRect{};
std::atomic<std::int32_t> g_RegionMoved{0};

namespace {

// Guards g_MovedRect together with g_RegionMoved.
std::mutex s_MovedLock;

constexpr std::uint32_t kPausePollMs = 50;

}  // namespace

void PublishMovedArea(const CaptureRect& rc) {
  std::lock_guard<std::mutex> lock(s_MovedLock);
  g_MovedRect = rc;
  g_RegionMoved.store(1);
}

bool TakeMovedOrigin(std::int32_t* pLeft, std::int32_t* pTop) {
  // The flag alone is read without the lock: most frames have no move to take.
  if (g_RegionMoved.load() == 0) return false;
  std::lock_guard<std::mutex> lock(s_MovedLock);
  if (g_RegionMoved.load() == 0) return false;
  *pLeft = g_MovedRect.left;
  *pTop = g_MovedRect.top;
  g_RegionMoved.store(0);
  return true;
}

void DiscardMovedArea() {
  std::lock_guard<std::mutex> lock(s_MovedLock);
  g_RegionMoved.store(0);
}

IRecordingAudio* ChooseRecordingAudio(SoundChoice choice, const RecordingSoundSources& sources) {
  switch (choice) {
    case SoundChoice::kLoopback:
      return sources.pLoopback;
    case SoundChoice::kCaptureDevice:
      return sources.pCaptureDevice;
    case SoundChoice::kNone:
      break;
  }
  return nullptr;
}

WaveFormatEx DefaultCaptureFormat() {
  WaveFormatEx format{};
  format.wFormatTag = 1;  // PCM
  format.nChannels = 1;
  format.nSamplesPerSec = 48000;
  format.nAvgBytesPerSec = 48000;
  format.nBlockAlign = 1;
  format.wBitsPerSample = 8;
  format.cbSize = 0;
  return format;
}

std::uint32_t MilliFramesPerSecond(float fFrameRate) {
  // NaN compares false, so it ends up as 0 with everything else below 1.
  if (!(fFrameRate >= 1.0f)) return 0;
  // Far beyond any screen's rate; keeps the thousandths in 32 bits.
  constexpr double kMostMillis = 4000000000.0;
  return static_cast<std::uint32_t>(std::min(std::round(static_cast<double>(fFrameRate) * 1000.0), kMostMillis));
}

bool ICaptureHost::GrabAndPutFrame(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth, std::int32_t nHeight,
                                   std::uint32_t nFrameBytes) {
  const BitmapInfoHeader* pFrame = GrabFrame(nLeft, nTop, nWidth, nHeight, false);
  const bool bPut = pFrame && pFrame->biSizeImage == nFrameBytes;
  if (bPut) PutFrame(reinterpret_cast<const std::uint8_t*>(pFrame) + FramePixelOffset(*pFrame));
  if (pFrame) ReleaseFrame(pFrame);
  return bPut;
}

// ---------------------------------------------------------------------------------

CRecordingControl::CRecordingControl(std::atomic<std::int32_t>& recording, std::atomic<std::int32_t>& paused)
    : m_Recording(recording), m_Paused(paused) {}

CRecordingControl::~CRecordingControl() {
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(m_Lock);
    thread = std::move(m_Thread);
  }
  if (thread.joinable()) {
    m_Recording.store(0);
    thread.join();
  }
}

CRecordingControl::StartResult CRecordingControl::Start(RunFunction fnRun) {
  std::lock_guard<std::mutex> lock(m_Lock);
  const bool bLive = m_Recording.load() != 0 && m_bThreadRunning && m_nFinishRun.load() != m_nRun;
  if (bLive) return m_Paused.exchange(0) != 0 ? StartResult::kResumed : StartResult::kAlreadyRunning;

  const std::uint64_t nRun = m_nRun + 1;
  // The run is in place before its thread exists: the thread may look at once.
  const std::uint64_t nPreviousRun = m_nRun;
  m_nRun = nRun;
  m_nGrabs.store(0);
  m_bInPauseWait.store(false);
  {
    std::lock_guard<std::mutex> clock(m_ClockLock);
    m_bLoopStarted = m_bPauseOpen = false;
    m_nPausedMs = 0;
  }
  m_Paused.store(0);
  m_nCurrentRun.store(nRun);
  m_Recording.store(1);
  // The previous thread (stopping, or already ended) is joined by the new one before
  // it starts, so that two recordings never share the recorder, the buffer or the
  // sound source, and no command ever waits for a recording to end.
  auto pPrevious = std::make_shared<std::thread>(std::move(m_Thread));
  try {
    m_Thread = std::thread([this, nRun, fnRun = std::move(fnRun), pPrevious] {
      if (pPrevious->joinable()) pPrevious->join();
      fnRun(nRun);
      {
        std::lock_guard<std::mutex> threadLock(m_Lock);
        if (m_nRun == nRun) m_bThreadRunning = false;
      }
      m_Ended.notify_all();
    });
  } catch (const std::system_error&) {
    m_Thread = std::move(*pPrevious);
    m_nRun = nPreviousRun;
    m_nCurrentRun.store(nPreviousRun);
    m_Recording.store(0);
    return StartResult::kFailed;
  }
  m_bThreadRunning = true;
  return StartResult::kStarted;
}

bool CRecordingControl::TogglePause() {
  std::lock_guard<std::mutex> lock(m_Lock);
  if (m_Recording.load() == 0 || !m_bThreadRunning) return false;
  const std::int32_t nNow = m_Paused.load() != 0 ? 0 : 1;
  m_Paused.store(nNow);
  return nNow != 0;
}

void CRecordingControl::Stop() { m_Recording.store(0); }

void CRecordingControl::Abandon(std::uint64_t nRun) {
  std::lock_guard<std::mutex> lock(m_Lock);
  if (m_nRun == nRun) m_Recording.store(0);
}

void CRecordingControl::Finish() { m_nFinishRun.store(m_nCurrentRun.load()); }

bool CRecordingControl::IsActive(std::uint64_t nRun) const {
  return m_Recording.load() != 0 && m_nCurrentRun.load() == nRun && m_nFinishRun.load() != nRun;
}

bool CRecordingControl::IsFinishRequested(std::uint64_t nRun) const { return m_nFinishRun.load() == nRun; }

bool CRecordingControl::IsThreadRunning() const {
  std::lock_guard<std::mutex> lock(m_Lock);
  return m_bThreadRunning;
}

bool CRecordingControl::WaitForThreadEnd(std::uint32_t nTimeoutMs) {
  std::thread thread;
  {
    std::unique_lock<std::mutex> lock(m_Lock);
    if (!m_Ended.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [this] { return !m_bThreadRunning; }))
      return false;
    thread = std::move(m_Thread);
  }
  // It has finished its work; what is left is its return.
  if (thread.joinable()) thread.join();
  return true;
}

void CRecordingControl::MarkLoopStart(std::uint32_t nNowMs) {
  std::lock_guard<std::mutex> clock(m_ClockLock);
  m_bLoopStarted = true;
  m_nLoopStartMs = nNowMs;
}

void CRecordingControl::MarkPause(bool bPaused, std::uint32_t nNowMs) {
  std::lock_guard<std::mutex> clock(m_ClockLock);
  if (bPaused == m_bPauseOpen) return;
  m_bPauseOpen = bPaused;
  if (bPaused)
    m_nPauseStartMs = nNowMs;
  else
    m_nPausedMs += nNowMs - m_nPauseStartMs;
}

bool CRecordingControl::get_RecordedMs(std::uint32_t nNowMs, std::uint32_t* pMs) const {
  std::lock_guard<std::mutex> clock(m_ClockLock);
  if (!m_bLoopStarted) return false;
  const std::uint32_t nPaused = m_nPausedMs + (m_bPauseOpen ? nNowMs - m_nPauseStartMs : 0u);
  *pMs = nNowMs - m_nLoopStartMs - nPaused;
  return true;
}

std::int64_t CRecordingControl::get_SoundMicros(std::uint32_t nNowMs) const {
  std::lock_guard<std::mutex> clock(m_ClockLock);
  if (!m_bLoopStarted) return kClockBeforeFirstGrab;
  // Signed: a reader may have read the clock just before the first grab was marked.
  return static_cast<std::int64_t>(static_cast<std::int32_t>(nNowMs - m_nLoopStartMs)) * 1000;
}

CaptureOutcome CRecordingControl::get_LastOutcome() const {
  std::lock_guard<std::mutex> lock(m_Lock);
  return m_LastOutcome;
}

void CRecordingControl::SetLastOutcome(const CaptureOutcome& outcome) {
  std::lock_guard<std::mutex> lock(m_Lock);
  m_LastOutcome = outcome;
}

// ---------------------------------------------------------------------------------

namespace {

// When frame k of a run of the schedule is due: its anchor plus k frame intervals, each
// computed from k so that the whole-millisecond rounding never adds up. At 60 frames
// per second the grabs come 16 or 17 ms apart, 60 a second, rather than every 16 ms,
// which made 62.5 a second: a file without sound then played longer than it ran. The
// rate is in thousandths of a frame a second, so 12.5 or 29.97 keep their fractions.
class CFrameSchedule {
 public:
  explicit CFrameSchedule(std::uint32_t nMilliFps) : m_nMilliFps(nMilliFps) {}
  // Frame 0 of a new run is due at nNow (the first grab, and the first after a pause).
  void Anchor(std::uint32_t nNow) {
    m_nAnchor = nNow;
    m_nFrame = 0;
  }
  // After frame k's grab, at nNow: how long to wait for the next grab (0: at once).
  // A late grab is taken at once for the latest frame already due; the frames due
  // before it that had no grab are counted in *pMissed. They are never made up by
  // grabbing faster than the rate: the frame before them stands in for them, so that
  // the file still plays as long as the recording ran.
  std::uint32_t WaitForNext(std::uint32_t nNow, std::uint32_t* pMissed) {
    *pMissed = 0;
    const std::int32_t nUntilNext = static_cast<std::int32_t>(Due(m_nFrame + 1) - nNow);
    if (nUntilNext > 0) {
      ++m_nFrame;
      return static_cast<std::uint32_t>(nUntilNext);
    }
    // The latest frame due by now: the one grabbed next.
    const std::uint64_t nElapsed = static_cast<std::uint32_t>(nNow - m_nAnchor);
    std::uint64_t nLatest = std::max<std::uint64_t>(m_nFrame + 1, nElapsed * m_nMilliFps / kMicrosPerSecond);
    while (static_cast<std::int32_t>(Due(nLatest + 1) - nNow) <= 0) ++nLatest;
    while (nLatest > m_nFrame + 1 && static_cast<std::int32_t>(Due(nLatest) - nNow) > 0) --nLatest;
    *pMissed = static_cast<std::uint32_t>(std::min<std::uint64_t>(nLatest - m_nFrame - 1, 0xFFFFFFFFu));
    m_nFrame = nLatest;
    return 0;
  }

 private:
  std::uint32_t Due(std::uint64_t nFrame) const {
    return m_nAnchor + static_cast<std::uint32_t>(nFrame * kMicrosPerSecond / m_nMilliFps);
  }

  // Milliseconds a second times thousandths of a frame.
  static constexpr std::uint64_t kMicrosPerSecond = 1000000u;
  std::uint32_t m_nMilliFps;
  std::uint32_t m_nAnchor = 0;
  std::uint64_t m_nFrame = 0;
};

// The capture loop of run nRun, at the area's origin (left, top) with its size fixed.
void RunCaptureLoop(ICaptureHost& host, CRecordingControl& control, std::uint64_t nRun, std::int32_t nLeft,
                    std::int32_t nTop, std::int32_t nWidth, std::int32_t nHeight, std::uint32_t nFrameBytes,
                    std::uint32_t nMilliFramesPerSecond, std::uint32_t nDurationMs, CaptureOutcome& outcome) {
  std::atomic<std::int32_t>& paused = control.get_PausedFlag();
  CFrameSchedule schedule(nMilliFramesPerSecond);
  bool bFirst = true;
  bool bAnchor = true;
  std::uint32_t nLoopStart = 0;
  while (control.IsActive(nRun)) {
    if (paused.load() != 0) {
      // From here to the next grab is left out of the file: the frames before the pause
      // fill the time up to it, and the schedule starts again at that grab.
      const std::uint32_t nPauseStart = host.NowMs();
      if (!bFirst) control.MarkPause(true, nPauseStart);
      control.SetInPauseWait(true);
      while (paused.load() != 0 && control.IsActive(nRun)) host.SleepMs(kPausePollMs);
      control.SetInPauseWait(false);
      const std::uint32_t nPauseEnd = host.NowMs();
      if (!bFirst) control.MarkPause(false, nPauseEnd);
      // Stop during a pause ends the recording without one more frame.
      if (!control.IsActive(nRun)) break;
      // Between two grabs of the loop's time (a pause after the last grab is not).
      if (!bFirst) outcome.nPausedMs += nPauseEnd - nPauseStart;
      bAnchor = true;
    }
    const std::uint32_t nStart = host.NowMs();
    if (bFirst) {
      nLoopStart = nStart;
      control.MarkLoopStart(nStart);
    }
    bFirst = false;
    // A recording of a fixed length ends where its time is full, by its own clock: the
    // frames already grabbed fill it (a command from another thread could only come
    // later), and every one of them reaches the file.
    std::uint32_t nRecorded = 0;
    if (nDurationMs > 0 && control.get_RecordedMs(nStart, &nRecorded) && nRecorded >= nDurationMs) {
      control.Finish();
      break;
    }
    if (bAnchor) schedule.Anchor(nStart);
    bAnchor = false;
    TakeMovedOrigin(&nLeft, &nTop);

    // No frame (memory was short): nothing to hand over, and the count stays as it is
    // so that the file has exactly one frame per frame handed over.
    if (host.GrabAndPutFrame(nLeft, nTop, nWidth, nHeight, nFrameBytes)) {
      ++outcome.nGrabs;
      control.CountGrab();
    } else {
      ++outcome.nSkipped;
    }
    outcome.nLoopMs = host.NowMs() - nLoopStart;

    // The next grab at its deadline; a late one starts at once (see CFrameSchedule).
    std::uint32_t nMissed = 0;
    const std::uint32_t nWait = schedule.WaitForNext(host.NowMs(), &nMissed);
    // Frames that fell due during the last grab of a recording that has ended meanwhile
    // lie (at least partly) after its end: they are not added to the file.
    if (nMissed > 0 && outcome.nGrabs > 0 && control.IsActive(nRun)) {
      host.RepeatFrame(nMissed);
      outcome.nRepeated += nMissed;
    }
    if (nWait > 0 && control.IsActive(nRun)) host.SleepMs(nWait);
  }
}

}  // namespace

CaptureOutcome RunCaptureSession(ICaptureHost& host, CRecordingControl& control, std::uint64_t nRun,
                                 const CaptureRequest& request) {
  std::int32_t nLeft = request.nLeft, nTop = request.nTop;
  const std::int32_t nWidth = request.nWidth, nHeight = request.nHeight;
  const std::uint32_t nMilliFps = request.nMilliFramesPerSecond;
  CaptureOutcome outcome;
  outcome.strFileName = request.strFileName;
  if (nWidth <= 0 || nHeight <= 0) {
    outcome.strError = "Cannot record: the area to record is empty.";
    return outcome;
  }
  // Below 1 frame per second there is no frame interval.
  if (nMilliFps < 1000u) {
    outcome.strError = "Cannot record: the frame rate must be at least 1 frame per second.";
    return outcome;
  }
  // A move published after the previous recording's last frame belongs to that one.
  DiscardMovedArea();

  const BitmapInfoHeader* pFirst = host.GrabFrame(nLeft, nTop, nWidth, nHeight, true);
  if (!pFirst) {
    outcome.strError = "Cannot record: the screen could not be grabbed (not enough memory?).";
    return outcome;
  }
  const BitmapInfoHeader firstHeader = *pFirst;

  IRecordingAudio* pAudio = request.pAudio;
  WaveFormatBlock audioFormat = DefaultCaptureFormat();
  if (pAudio) {
    if (const WaveFormatBlock* pFormat = pAudio->PrepareFormat())
      audioFormat = *pFormat;
    else
      pAudio = nullptr;
  }

  const Result nBegin = host.BeginEncoding(firstHeader, audioFormat, nMilliFps / 1000.0, outcome.strFileName.c_str(),
                                           &outcome.strError);
  // The first frame only fixed the format; it is never encoded.
  host.ReleaseFrame(pFirst);
  if (nBegin != kOk) {
    if (outcome.strError.empty()) outcome.strError = "Cannot record: the file could not be created.";
    return outcome;
  }
  outcome.bStarted = true;

  // The sound starts before the first grab, so that it is already running then, but
  // counts from that grab: both start at the same moment.
  if (pAudio) pAudio->Start([&host, &control] { return control.get_SoundMicros(host.NowMs()); });
  host.ShowBorder(nLeft, nTop, nWidth, nHeight);
  outcome.nIntervalMs = 1000000u / nMilliFps;

  RunCaptureLoop(host, control, nRun, nLeft, nTop, nWidth, nHeight, firstHeader.biSizeImage,
                 nMilliFps, request.nDurationMs, outcome);

  if (pAudio) pAudio->Stop();
  host.HideBorder();
  outcome.bClosed = host.EndEncoding(control.IsFinishRequested(nRun));
  return outcome;
}

}  // namespace vantor
