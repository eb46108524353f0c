#include "cli/ScreenRecording.h"

#if defined(_WIN32)
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "app/Globals.h"
#include "cli/Sources.h"
#include "cli/WideText.h"
#include "media/AviRecorder.h"
#include "overlays/FlashingWnd.h"
#include "recording/EncoderThread.h"
#include "recording/GdiRecordingWin32.h"
#endif

namespace vantor {

#if !defined(_WIN32)

bool IsScreenSourceAvailable() { return false; }

RecOutcome RunScreenRecording(const RecOptions&) {
  RecOutcome outcome;
  outcome.strError = "the screen can only be recorded in the Windows build";
  return outcome;
}

void RequestScreenRecordingStop() {}

#else

namespace {

// The main thread, woken by Ctrl+C and by the command reader.
std::atomic<DWORD> s_dwMainThread{0};
std::atomic<bool> s_bStopRequested{false};

void WakeMain() {
  if (const DWORD dwThread = s_dwMainThread.load()) ::PostThreadMessageW(dwThread, WM_NULL, 0, 0);
}

BOOL WINAPI OnConsoleControl(DWORD dwType) {
  if (dwType != CTRL_C_EVENT && dwType != CTRL_BREAK_EVENT && dwType != CTRL_CLOSE_EVENT) return FALSE;
  RequestScreenRecordingStop();
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
      if (PauseRecording()) {
        while (!g_RecordingControl.IsInPauseWait() && g_RecordingControl.IsThreadRunning() && g_Paused.load())
          ::Sleep(5);
        Say("paused");
      } else {
        Say("recording");
      }
    } else if (strLine == "record") {
      StartRecording();
      Say("recording");
    } else if (strLine == "stop") {
      StopRecording();
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
  const WaveFormatEx* PrepareFormat() override { return &m_Source.get_Format(); }
  void Start() override {
    AudioSink sink;
    sink.fnWrite = [](const void* pData, std::uint32_t nBytes) { g_Recorder.WriteAudio(pData, nBytes); };
    const double dFps = m_dFps;
    sink.fnClock = [dFps] { return MicrosOfFrames(g_RecordingControl.get_Grabs(), dFps); };
    std::string strError;
    m_Source.Start(std::move(sink), &strError);
  }
  void Stop() override { m_Source.Stop(); }

 private:
  IAudioSource& m_Source;
  double m_dFps;
};

double ProcessCpuSeconds() {
  FILETIME ftCreate, ftExit, ftKernel, ftUser;
  if (!::GetProcessTimes(::GetCurrentProcess(), &ftCreate, &ftExit, &ftKernel, &ftUser)) return 0;
  auto seconds = [](const FILETIME& ft) {
    return static_cast<double>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 1e7;
  };
  return seconds(ftKernel) + seconds(ftUser);
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace

bool IsScreenSourceAvailable() { return true; }

void RequestScreenRecordingStop() {
  s_bStopRequested = true;
  WakeMain();
}

RecOutcome RunScreenRecording(const RecOptions& options) {
  RecOutcome outcome;
  s_bStopRequested = false;
  s_dwMainThread = ::GetCurrentThreadId();
  MSG msg;
  ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // this thread's queue, for the wake-ups

  ReadScreenSize();
  if (options.bHasRect)
    g_CaptureRect = {options.nRectLeft, options.nRectTop, options.nRectRight, options.nRectBottom};
  else
    g_CaptureRect = {0, 0, g_ScreenWidth - 1, g_ScreenHeight - 1};
  g_FrameRate = static_cast<float>(options.dFramesPerSecond);
  g_OutputFolder = WideFromUtf8(options.strOutDir);

  std::error_code ec;
  const std::filesystem::path folder(g_OutputFolder);
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec)) {
    outcome.strError = "the folder " + options.strOutDir + " cannot be created";
    return outcome;
  }

  std::unique_ptr<IAudioSource> pSound;
  std::unique_ptr<CSourceAudio> pSoundAdapter;
  std::string strError;
  // The sound choice is VantorRec's own for this recording; the program's is restored.
  struct SoundChoice {
    std::int32_t bUseLoopback = g_bUseLoopback, bDevicePresent = g_bCaptureDevicePresent;
    IRecordingAudio* pDevice = g_pCaptureDeviceAudio;
    ~SoundChoice() {
      g_bUseLoopback = bUseLoopback;
      g_bCaptureDevicePresent = bDevicePresent;
      g_pCaptureDeviceAudio = pDevice;
    }
  } restoreSound;
  g_bUseLoopback = 0;
  g_bCaptureDevicePresent = 0;
  if (options.strAudio != "none") {
    pSound = CreateAudioSource(options.strAudio);
    if (!pSound || !pSound->Open(options, &strError)) {
      outcome.strError = "the sound source '" + options.strAudio + "' cannot be opened: " + strError;
      return outcome;
    }
    pSoundAdapter = std::make_unique<CSourceAudio>(*pSound, static_cast<double>(WholeFramesPerSecond(g_FrameRate)));
    g_pCaptureDeviceAudio = pSoundAdapter.get();
    g_bCaptureDevicePresent = 1;
  }

  CFlashingWnd border;
  if (!border.CreateOverScreen()) {
    outcome.strError = "the recording border window cannot be created";
    return outcome;
  }
  UseBorderWindow(&border);
  ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
  if (options.bCommands) {
    if (HANDLE hThread = ::CreateThread(nullptr, 0, &ReadCommands, nullptr, 0, nullptr)) ::CloseHandle(hThread);
  }

  const double dCpuStart = ProcessCpuSeconds();
  const auto tStart = std::chrono::steady_clock::now();
  const auto tEnd = tStart + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                 std::chrono::duration<double>(options.dSeconds));
  if (StartRecording() != CRecordingControl::StartResult::kStarted) {
    outcome.strError = "the recording thread cannot be started";
  } else {
    if (options.bCommands) Say("recording");
    // The main dialog's part: keep the border window's messages flowing until the
    // recording is to end.
    while (g_RecordingControl.IsThreadRunning() && !s_bStopRequested.load()) {
      const auto tNow = std::chrono::steady_clock::now();
      if (tNow >= tEnd) break;
      const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - tNow).count();
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<long long>(nLeft, 50)),
                                  QS_ALLINPUT);
      Pump();
    }
    FinishRecording();
    WaitForRecordingEnd(INFINITE);
    // After a Stop the encoder thread finishes the file on its own.
    g_EncoderThread.WaitUntilClosed();
  }
  const auto tDone = std::chrono::steady_clock::now();
  ::SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
  UseBorderWindow(nullptr);
  border.Destroy();
  s_dwMainThread = 0;
  if (!outcome.strError.empty()) return outcome;

  const CaptureOutcome capture = g_RecordingControl.get_LastOutcome();
  outcome.strPath = Utf8FromWide(capture.strFileName.c_str());
  outcome.files = g_Recorder.get_Files();
  outcome.dSeconds = std::chrono::duration<double>(tDone - tStart).count();
  outcome.dCpuSeconds = ProcessCpuSeconds() - dCpuStart;
  outcome.nFrames = g_EncoderThread.get_FramesEncoded();
  outcome.nGrabs = capture.nGrabs;
  outcome.nSkipped = capture.nSkipped;
  outcome.dLoopSeconds = capture.nLoopMs / 1000.0;
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
