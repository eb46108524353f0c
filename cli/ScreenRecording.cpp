#include "cli/ScreenRecording.h"

#if defined(_WIN32)
#include <windows.h>

#include <atomic>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "cli/ProcessTimes.h"
#include "cli/Sources.h"
#include "cli/StopRequest.h"
#include "media/AviRecorder.h"
#include "overlays/FlashingWnd.h"
#include "platform/Text.h"
#include "platform/win32/MessagePump.h"
#include "platform/win32/Owners.h"
#include "recording/EncoderThread.h"
#include "recording/GdiRecordingWin32.h"
#include "recording/OutputFileName.h"
#include "app/Settings.h"
#endif

namespace vantor {

#if !defined(_WIN32)

bool IsScreenSourceAvailable() { return false; }

RecOutcome RunScreenRecording(const RecOptions&) {
  RecOutcome outcome;
  outcome.strError = "the screen can only be recorded in the Windows build";
  return outcome;
}

#else

namespace {

// The main thread, woken by Ctrl+C and by the command reader.
std::atomic<DWORD> s_dwMainThread{0};

void WakeMain() {
  if (const DWORD dwThread = s_dwMainThread.load()) ::PostThreadMessageW(dwThread, WM_NULL, 0, 0);
}

BOOL WINAPI OnConsoleControl(DWORD dwType) {
  if (dwType != CTRL_C_EVENT && dwType != CTRL_BREAK_EVENT && dwType != CTRL_CLOSE_EVENT) return FALSE;
  RequestRecordingStop();
  return TRUE;
}

void Say(const char* szState) {
  std::fprintf(stderr, "state: %s\n", szState);
  std::fflush(stderr);
}

// --commands: one command per line on standard input, as the dialog's buttons would
// give them. "pause" pauses or resumes, "record" resumes (or does nothing), "stop" is
// the Stop command: frames not yet encoded are dropped and the file is finished.
// Each command is answered on standard error once it has taken effect: "state:
// paused" only when no grab is in progress any more.
DWORD WINAPI ReadCommands(void*) {
  IRecordingCommands& commands = TheGdiRecording();
  const CRecordingControl& control = TheGdiRecording().get_Control();
  HANDLE hIn = ::GetStdHandle(STD_INPUT_HANDLE);
  std::string strLine;
  char c;
  DWORD dwRead;
  while (::ReadFile(hIn, &c, 1, &dwRead, nullptr) && dwRead == 1) {
    if (c != '\n') {
      if (c != '\r') strLine += c;
      continue;
    }
    if (strLine == "pause") {
      if (commands.Pause()) {
        while (!control.IsInPauseWait() && control.IsThreadRunning() && g_Paused.load()) ::Sleep(5);
        Say("paused");
      } else {
        Say("recording");
      }
    } else if (strLine == "record") {
      commands.Record();
      Say("recording");
    } else if (strLine == "stop") {
      commands.Stop();
      Say("stopped");
      WakeMain();
    } else if (!strLine.empty()) {
      Say(("unknown command '" + strLine + "'").c_str());
    }
    strLine.clear();
  }
  return 0;
}

// A VantorRec sound source as the recording's sound: its format for the file, its
// blocks into the recorder, and the recording's clock from the frames grabbed so far.
class CSourceAudio final : public IRecordingAudio {
 public:
  CSourceAudio(IAudioSource& source, double dFramesPerSecond) : m_Source(source), m_dFps(dFramesPerSecond) {}
  const WaveFormatBlock* PrepareFormat() override {
    m_Format = m_Source.get_Format();
    return &m_Format;
  }
  // VantorRec's sources keep their own clock (see CDeviceSource::Start).
  void Start(RecordingClock /*fnClock*/) override {
    AudioSink sink;
    sink.fnWrite = [](const void* pData, std::uint32_t nBytes) { g_Recorder.WriteAudio(pData, nBytes); };
    const double dFps = m_dFps;
    sink.fnClock = [dFps] { return MicrosOfFrames(TheGdiRecording().get_Control().get_Grabs(), dFps); };
    std::string strError;
    m_Source.Start(std::move(sink), &strError);
  }
  void Stop() override { m_Source.Stop(); }

 private:
  IAudioSource& m_Source;
  WaveFormatBlock m_Format;
  double m_dFps;
};

}  // namespace

bool IsScreenSourceAvailable() { return true; }

RecOutcome RunScreenRecording(const RecOptions& options) {
  RecOutcome outcome;
  ClearRecordingStopRequest();
  s_dwMainThread = ::GetCurrentThreadId();
  SetRecordingStopWaker(&WakeMain);
  MSG msg;
  ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // this thread's queue, for the wake-ups

  ReadScreenSize();
  // VantorRec's own settings, as one value: the program's settings stay as they are.
  RecordingSettings settings;
  if (options.bHasRect)
    settings.rcArea = {options.nRectLeft, options.nRectTop, options.nRectRight, options.nRectBottom};
  else
    settings.rcArea = {0, 0, g_ScreenWidth - 1, g_ScreenHeight - 1};
  settings.fFrameRate = static_cast<float>(options.dFramesPerSecond);
  // --duration is recorded time: from the loop's first grab (the start before it makes
  // the file and the encoder), pauses left out, as the file counts it. The recording
  // ends by itself when it is full; waking this thread to stop it would come late.
  settings.nDurationMs = static_cast<std::uint32_t>(std::llround(options.dSeconds * 1000.0));
  settings.strOutputFolder = WideFromUtf8(options.strOutDir);
  FixOutputFolder(settings.strOutputFolder, DefaultOutputFolder());

  std::error_code ec;
  const std::filesystem::path folder(settings.strOutputFolder);
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec)) {
    outcome.strError = "the folder " + options.strOutDir + " cannot be created";
    return outcome;
  }

  std::unique_ptr<IAudioSource> pSound;
  std::unique_ptr<CSourceAudio> pSoundAdapter;
  std::string strError;
  if (options.strAudio != "none") {
    pSound = CreateAudioSource(options.strAudio);
    if (!pSound || !pSound->Open(options, &strError)) {
      outcome.strError = "the sound source '" + options.strAudio + "' cannot be opened: " + strError;
      return outcome;
    }
    pSoundAdapter =
        std::make_unique<CSourceAudio>(*pSound, MilliFramesPerSecond(settings.fFrameRate) / 1000.0);
    settings.pOwnSound = pSoundAdapter.get();
  }
  CRecordingEngine& engine = TheGdiRecording();
  // "record" on the command line starts (or resumes) with the same value.
  engine.SetSettingsSource([settings] { return settings; });

  CFlashingWnd border;
  if (!border.CreateOverScreen()) {
    outcome.strError = "the recording border window cannot be created";
    return outcome;
  }
  UseBorderWindow(&border);
  ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
  if (options.bCommands) {
    // It reads until standard input ends; nothing waits for it.
    const CThreadHandle reader(::CreateThread(nullptr, 0, &ReadCommands, nullptr, 0, nullptr));
  }

  const double dCpuStart = ProcessCpuSeconds();
  const auto tStart = std::chrono::steady_clock::now();
  if (engine.Record(settings) != RecordResult::kStarted) {
    outcome.strError = "the recording thread cannot be started";
  } else {
    if (options.bCommands) Say("recording");
    // The main dialog's part: keep the border window's messages flowing until the
    // recording has ended (by itself, or by Stop or Ctrl+C).
    while (engine.get_Control().IsThreadRunning() && !IsRecordingStopRequested()) {
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      PumpWindowMessages();
    }
    // After a Stop the encoder thread finishes the file on its own; either way it is
    // closed when this returns.
    FinishRecordingAndWait();
  }
  const auto tDone = std::chrono::steady_clock::now();
  ::SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
  UseBorderWindow(nullptr);
  border.Destroy();
  SetRecordingStopWaker(nullptr);
  s_dwMainThread = 0;
  if (!outcome.strError.empty()) return outcome;

  const CaptureOutcome capture = engine.get_Control().get_LastOutcome();
  outcome.strPath = Utf8FromWide(capture.strFileName);
  outcome.files = g_Recorder.get_Files();
  outcome.dSeconds = std::chrono::duration<double>(tDone - tStart).count();
  outcome.dCpuSeconds = ProcessCpuSeconds() - dCpuStart;
  outcome.dEncodeSeconds = g_Recorder.get_EncodeSeconds();
  outcome.nFrames = g_EncoderThread.get_FramesEncoded();
  outcome.nGrabs = capture.nGrabs;
  outcome.nSkipped = capture.nSkipped;
  outcome.nRepeated = capture.nRepeated;
  outcome.dLoopSeconds = capture.nLoopMs / 1000.0;
  outcome.dPausedSeconds = capture.nPausedMs / 1000.0;
  if (!capture.bStarted) {
    outcome.strError = capture.strError.empty() ? "the recording could not start" : capture.strError;
    return outcome;
  }
  if (!capture.bClosed || g_EncoderThread.get_CloseResult() != kOk) {
    outcome.strError = "writing " + outcome.strPath + " failed; the file is incomplete";
    return outcome;
  }
  outcome.nExit = 0;
  return outcome;
}

#endif

}  // namespace vantor
