#include "recording/RecordingEngine.h"

#include <limits>
#include <utility>

namespace vantor {

std::int32_t SpanOf(std::int32_t nFirst, std::int32_t nLast) {
  const std::int64_t nSpan = static_cast<std::int64_t>(nLast) - nFirst + 1;
  if (nSpan <= 0 || nSpan > std::numeric_limits<std::int32_t>::max()) return 0;
  return static_cast<std::int32_t>(nSpan);
}

CRecordingEngine::CRecordingEngine(ICaptureHost& host, const RecordingSoundSources& sources,
                                   std::atomic<std::int32_t>& recording, std::atomic<std::int32_t>& paused)
    : m_Host(host), m_Sources(sources), m_Control(recording, paused) {}

CRecordingEngine::~CRecordingEngine() { Shutdown(); }

void CRecordingEngine::UseSoundSources(const RecordingSoundSources& sources) {
  std::lock_guard<std::mutex> lock(m_SettingsLock);
  m_Sources = sources;
}

void CRecordingEngine::SetSettingsSource(SettingsSource fnSettings) {
  std::lock_guard<std::mutex> lock(m_SettingsLock);
  m_fnSettings = std::move(fnSettings);
}

RecordResult CRecordingEngine::Record() {
  SettingsSource fnSettings;
  {
    std::lock_guard<std::mutex> lock(m_SettingsLock);
    fnSettings = m_fnSettings;
  }
  if (!fnSettings) return RecordResult::kFailed;
  return Record(fnSettings());
}

RecordResult CRecordingEngine::Record(const RecordingSettings& settings) {
  RecordingSoundSources sources;
  {
    std::lock_guard<std::mutex> lock(m_SettingsLock);
    sources = m_Sources;
  }
  return m_Control.Start([this, settings, sources](std::uint64_t nRun) { Run(nRun, settings, sources); });
}

bool CRecordingEngine::Pause() { return m_Control.TogglePause(); }

void CRecordingEngine::Stop() {
  m_Host.HideBorder();
  m_Control.Stop();
  m_Host.WakeLoop();
  m_Host.StopEncoding();
}

void CRecordingEngine::Finish() {
  m_Control.Finish();
  m_Host.WakeLoop();
}

bool CRecordingEngine::WaitForEnd(std::uint32_t nTimeoutMs) { return m_Control.WaitForThreadEnd(nTimeoutMs); }

void CRecordingEngine::Shutdown() {
  Finish();
  while (!m_Control.WaitForThreadEnd(1000)) {
  }
  m_Host.WaitUntilClosed();
}

void CRecordingEngine::Run(std::uint64_t nRun, const RecordingSettings& settings,
                           const RecordingSoundSources& sources) {
  CaptureRequest request;
  request.strFileName = m_Host.NameFile(settings.strOutputFolder);
  if (request.strFileName.empty()) {
    CaptureOutcome outcome;
    outcome.strError = "Cannot record: the output folder's name is too long for a file name.";
    m_Control.SetLastOutcome(outcome);
    m_Control.Abandon(nRun);
    return;
  }
  const CaptureRect& rc = settings.rcArea;
  request.nLeft = rc.left;
  request.nTop = rc.top;
  request.nWidth = SpanOf(rc.left, rc.right);
  request.nHeight = SpanOf(rc.top, rc.bottom);
  request.nMilliFramesPerSecond = MilliFramesPerSecond(settings.fFrameRate);
  request.pAudio = settings.pOwnSound ? settings.pOwnSound : ChooseRecordingAudio(settings.sound, sources);
  request.nDurationMs = settings.nDurationMs;

  m_Host.BeginSession();
  const CaptureOutcome outcome = RunCaptureSession(m_Host, m_Control, nRun, request);
  m_Host.EndSession();
  m_Control.SetLastOutcome(outcome);
  // A recording that never started leaves the flag clear, so that the program does not
  // look as if it were recording.
  if (!outcome.bStarted) m_Control.Abandon(nRun);
}

}  // namespace vantor
