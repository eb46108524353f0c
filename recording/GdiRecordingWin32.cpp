#include "recording/GdiRecordingWin32.h"

#include <mmsystem.h>

#include <string>

#include "app/FolderTree.h"
#include "app/Settings.h"
#include "overlays/FlashingWnd.h"
#include "recording/EncoderThread.h"
#include "recording/OutputFileName.h"
#include "sound/RecordingSound.h"
#include "recording/ScreenGrabber.h"

namespace vantor {

CRecordingControl g_RecordingControl(g_Recording, g_Paused);

namespace {

// What Record read for the recording it started: the settings may change (or be
// written by the next Record) while the recording thread is still starting.
struct RecordingSettings {
  CaptureRect rcArea{};
  float fFrameRate = 0;
  std::wstring strFolder;
};

// The run of the recording thread that executes RunCapture.
thread_local std::uint64_t t_nRun = 0;

class CBorderFlash final : public IGrabObserver {
 public:
  void BeforeCopy() override { Paint(kBorderGrey); }
  void AfterCopy() override { Paint(kBorderBlue); }

 private:
  static void Paint(COLORREF colour) {
    if (CFlashingWnd* pBorder = g_BorderWnd.load()) pBorder->PaintBorder(colour);
  }
};

CBorderFlash s_BorderFlash;

bool MakeFileNameIn(std::wstring& strFolder, wchar_t* szOut, const wchar_t* szExtension);
void TakeFreeName(wchar_t* szName);

class CGdiCaptureHost final : public ICaptureHost {
 public:
  const BitmapInfoHeader* GrabFrame(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth,
                                    std::int32_t nHeight, bool bFirstFrame) override {
    static_assert(sizeof(BITMAPINFOHEADER) == sizeof(BitmapInfoHeader));
    // The first grab only fixes the format: the border is not shown yet.
    return reinterpret_cast<const BitmapInfoHeader*>(
        GrabScreenRect(nLeft, nTop, nWidth, nHeight, bFirstFrame ? nullptr : &s_BorderFlash));
  }
  void ReleaseFrame(const BitmapInfoHeader* pFrame) override {
    vantor::ReleaseFrame(reinterpret_cast<const BITMAPINFOHEADER*>(pFrame));
  }
  Result BeginEncoding(const BitmapInfoHeader& firstFrame, const WaveFormatEx& audioFormat,
                       std::int32_t nFramesPerSecond, const wchar_t* szFileName, std::string* pError) override {
    // A recording too long for one file goes on in the next, named after its own start
    // in the same folder as the first.
    std::wstring strFolder(szFileName);
    const std::size_t nSlash = strFolder.find_last_of(L"\\/");
    strFolder.erase(nSlash == std::wstring::npos ? 0 : nSlash + 1);
    g_Recorder.SetNextFileName([strFolder](const std::string&, int) mutable {
      wchar_t szNext[kOutputNameCapacity] = {};
      if (strFolder.empty() || !MakeFileNameIn(strFolder, szNext, L"avi")) return std::string();
      TakeFreeName(szNext);
      return Utf8FromWide(szNext);
    });
    // The file stays open after Stop until the sound source has written its last blocks.
    const Result nResult = g_EncoderThread.Begin(firstFrame, &audioFormat, static_cast<double>(nFramesPerSecond),
                                                 szFileName, /*bHoldClose=*/true);
    if (nResult != kOk) *pError = g_EncoderThread.get_ErrorMessage();
    return nResult;
  }
  void PutFrame(const std::uint8_t* pBits) override { g_EncoderThread.PutFrame(pBits); }
  bool EndEncoding(bool bDrain) override {
    if (!bDrain) {
      // The Stop command has told the encoder thread; the sound has stopped, so the
      // file may be closed now.
      g_EncoderThread.ReleaseClose();
      g_FrameBuffer.Wake();
      return true;
    }
    g_EncoderThread.WaitUntilEncoded();
    g_EncoderThread.Stop(true);
    return g_EncoderThread.get_CloseResult() == kOk;
  }
  void ShowBorder(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth, std::int32_t nHeight) override {
    if (CFlashingWnd* pBorder = g_BorderWnd.load()) {
      pBorder->SetArea(nLeft, nTop, nWidth, nHeight);
      pBorder->Show();
    }
  }
  void HideBorder() override {
    // Posted: the window's thread may itself be waiting for this one to end.
    if (CFlashingWnd* pBorder = g_BorderWnd.load())
      if (HWND hWnd = pBorder->get_Hwnd()) ::ShowWindowAsync(hWnd, SW_HIDE);
  }
  std::uint32_t NowMs() override { return ::timeGetTime(); }
  void SleepMs(std::uint32_t nMilliseconds) override { ::Sleep(nMilliseconds); }
};

// Local time as the system clock gives it.
LocalTimeParts LocalNow() {
  SYSTEMTIME st{};
  ::GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

bool MakeFileNameIn(std::wstring& strFolder, wchar_t* szOut, const wchar_t* szExtension) {
  const bool bDefault = strFolder.empty();
  const std::wstring strDefault = DefaultOutputFolder();
  const bool bOk = FormatOutputFileName(strFolder, strDefault, szExtension, LocalNow(), szOut, kOutputNameCapacity);
  if (bDefault) CreateFolderTree(strDefault);
  return bOk;
}

// Two recordings (or two files of one) started within one tenth of a second would share
// the name; the second must not overwrite the first: it gets the first free number.
void TakeFreeName(wchar_t* szName) {
  for (int n = 2; ::GetFileAttributesW(szName) != INVALID_FILE_ATTRIBUTES && n < 1000; ++n) {
    wchar_t szNumbered[kOutputNameCapacity];
    if (!NumberOutputFileName(szName, n, szNumbered, kOutputNameCapacity)) break;
    if (::GetFileAttributesW(szNumbered) == INVALID_FILE_ATTRIBUTES) {
      ::lstrcpyW(szName, szNumbered);
      break;
    }
  }
}

void RecordWithoutFile(std::uint64_t nRun, const std::string& strWhy) {
  CaptureOutcome outcome;
  outcome.strError = strWhy;
  g_RecordingControl.SetLastOutcome(outcome);
  g_RecordingControl.Abandon(nRun);
}

DWORD RunRecordingThread(std::uint64_t nRun, RecordingSettings settings);

}  // namespace

void UseBorderWindow(CFlashingWnd* pBorder) {
  if (pBorder) pBorder->SetMoveListener(&PublishMovedArea);
  g_BorderWnd = pBorder;
}

IGrabObserver& BorderFlash() { return s_BorderFlash; }

bool MakeOutputFileName(wchar_t* szOut, const wchar_t* szExtension) {
  return MakeFileNameIn(g_OutputFolder, szOut, szExtension);
}

CRecordingControl::StartResult StartRecording() {
  // The folder gets its separator (or the default folder) here, on the thread that owns
  // the setting, so that the stored folder keeps it and no other thread writes it.
  if (g_OutputFolder.empty()) {
    FixOutputFolder(g_OutputFolder, DefaultOutputFolder());
    CreateFolderTree(g_OutputFolder);
  } else {
    FixOutputFolder(g_OutputFolder, DefaultOutputFolder());
  }
  RecordingSettings settings;
  settings.rcArea = g_CaptureRect;
  settings.fFrameRate = g_FrameRate;
  settings.strFolder = g_OutputFolder;
  return g_RecordingControl.Start(
      [settings](std::uint64_t nRun) { RunRecordingThread(nRun, settings); });
}

bool PauseRecording() { return g_RecordingControl.TogglePause(); }

void StopRecording() {
  if (CFlashingWnd* pBorder = g_BorderWnd.load())
    if (HWND hWnd = pBorder->get_Hwnd()) ::ShowWindowAsync(hWnd, SW_HIDE);
  g_RecordingControl.Stop();
  g_EncoderThread.Stop(false);
}

void FinishRecording() { g_RecordingControl.Finish(); }

bool WaitForRecordingEnd(DWORD nTimeoutMs) {
  const DWORD dwStart = ::GetTickCount();
  for (;;) {
    if (g_RecordingControl.WaitForThreadEnd(10)) return true;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (nTimeoutMs != INFINITE && ::GetTickCount() - dwStart >= nTimeoutMs) return false;
  }
}

DWORD RecordingThreadProc(std::uint64_t nRun) {
  RecordingSettings settings;
  settings.rcArea = g_CaptureRect;
  settings.fFrameRate = g_FrameRate;
  settings.strFolder = g_OutputFolder;
  return RunRecordingThread(nRun, settings);
}

namespace {

DWORD RunRecordingThread(std::uint64_t nRun, RecordingSettings settings) {
  wchar_t szName[kOutputNameCapacity] = {};
  if (!MakeFileNameIn(settings.strFolder, szName, L"avi")) {
    RecordWithoutFile(nRun, "Cannot record: the output folder's name is too long for a file name.");
    return 0;
  }
  TakeFreeName(szName);
  const CaptureRect& rc = settings.rcArea;
  const int nWidth = static_cast<int>(static_cast<std::int64_t>(rc.right) - rc.left + 1);
  const int nHeight = static_cast<int>(static_cast<std::int64_t>(rc.bottom) - rc.top + 1);
  t_nRun = nRun;
  RunCapture(rc.top, rc.left, nWidth, nHeight, WholeFramesPerSecond(settings.fFrameRate), szName);
  t_nRun = 0;
  // A recording that never started leaves the flag clear, so that the program does not
  // look as if it were recording.
  if (!g_RecordingControl.get_LastOutcome().bStarted) g_RecordingControl.Abandon(nRun);
  return 0;
}

}  // namespace

int RunCapture(int nTop, int nLeft, int nWidth, int nHeight, int nFramesPerSecond, const wchar_t* szFileName) {
  // The loopback and the capture device, unless a caller has put its own sources there.
  InstallRecordingSound();
  CGdiCaptureHost host;
  // Whole-millisecond sleeps need a whole-millisecond timer: at the default 15.6 ms
  // tick a sleep lasts up to a tick longer than asked, and every frame comes late.
  const bool bFineTimer = ::timeBeginPeriod(1) == TIMERR_NOERROR;
  const std::uint64_t nRun = t_nRun;
  const CaptureOutcome outcome = RunCaptureSession(host, g_RecordingControl, nRun, nTop, nLeft, nWidth, nHeight,
                                                   nFramesPerSecond, szFileName);
  if (bFineTimer) ::timeEndPeriod(1);
  g_RecordingControl.SetLastOutcome(outcome);
  return 0;
}

}  // namespace vantor
