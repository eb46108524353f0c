#include "recording/GdiRecordingWin32.h"

#include <mmsystem.h>

#include <string>

#include "app/FolderTree.h"
#include "app/Settings.h"
#include "platform/Text.h"
#include "platform/win32/MessagePump.h"
#include "platform/win32/Owners.h"
#include "recording/EncoderThread.h"
#include "recording/OutputFileName.h"
#include "recording/ScreenGrabber.h"
#include "sound/RecordingSound.h"

namespace vantor {

namespace {

// The border the recordings show (UseBorderWindow); null: none.
std::atomic<IAreaBorder*> s_pBorder{nullptr};

class CBorderFlash final : public IGrabObserver {
 public:
  void BeforeCopy() override { Paint(IAreaBorder::Marks::kDuringCopy); }
  void AfterCopy() override { Paint(IAreaBorder::Marks::kIdle); }

 private:
  static void Paint(IAreaBorder::Marks marks) {
    if (IAreaBorder* pBorder = s_pBorder.load()) pBorder->PaintMarks(marks);
  }
};

CBorderFlash s_BorderFlash;

bool MakeFileNameIn(std::wstring& strFolder, wchar_t* szOut, const wchar_t* szExtension);
void TakeFreeName(wchar_t* szName);

// The program's recordings on GDI: the grabber, g_EncoderThread with g_Recorder, and
// the border window. Calls from the recording thread never wait for another thread's
// window: the border is shown and hidden by posted messages.
class CGdiCaptureHost final : public ICaptureHost {
 public:
  const BitmapInfoHeader* GrabFrame(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth, std::int32_t nHeight,
                                    bool bFirstFrame) override {
    static_assert(sizeof(BITMAPINFOHEADER) == sizeof(BitmapInfoHeader));
    // The first grab fixes the format and makes what every grab of the recording
    // uses; the border is not shown yet.
    if (bFirstFrame && !m_Grab.Prepare(nWidth, nHeight)) return nullptr;
    return reinterpret_cast<const BitmapInfoHeader*>(
        m_Grab.Grab(nLeft, nTop, bFirstFrame ? nullptr : &s_BorderFlash));
  }
  // The frame is the held one: the next grab reuses it.
  void ReleaseFrame(const BitmapInfoHeader*) override {}
  // The grab's rows go straight into the encoder's slot: the only copy a frame makes.
  bool GrabAndPutFrame(std::int32_t nLeft, std::int32_t nTop, std::int32_t, std::int32_t,
                       std::uint32_t nFrameBytes) override {
    if (!m_Grab.IsPrepared() || m_Grab.get_Header().biSizeImage != nFrameBytes) return false;
    if (!m_Grab.GrabInto(nLeft, nTop, &s_BorderFlash, g_EncoderThread.get_WriteSlot())) return false;
    g_EncoderThread.PublishFrame();
    return true;
  }
  Result BeginEncoding(const BitmapInfoHeader& firstFrame, const WaveFormatBlock& audioFormat,
                       double dFramesPerSecond, const wchar_t* szFileName, std::string* pError) override {
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
    // The name goes on as UTF-8, the recorder's and the platform seam's paths.
    const Result nResult = g_EncoderThread.Begin(firstFrame, &audioFormat, dFramesPerSecond,
                                                 Utf8FromWide(szFileName), /*bHoldClose=*/true);
    if (nResult != kOk) *pError = g_EncoderThread.get_ErrorMessage();
    return nResult;
  }
  void PutFrame(const std::uint8_t* pBits) override { g_EncoderThread.PutFrame(pBits); }
  void RepeatFrame(std::uint32_t nSlots) override { g_EncoderThread.RepeatFrame(nSlots); }
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
  void StopEncoding() override { g_EncoderThread.Stop(false); }
  void WaitUntilClosed() override { g_EncoderThread.WaitUntilClosed(); }
  void ShowBorder(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth, std::int32_t nHeight) override {
    if (IAreaBorder* pBorder = s_pBorder.load()) pBorder->ShowAreaAsync(nLeft, nTop, nWidth, nHeight);
  }
  void HideBorder() override {
    if (IAreaBorder* pBorder = s_pBorder.load()) pBorder->HideAsync();
  }
  std::wstring NameFile(const std::wstring& strFolder) override {
    std::wstring strFixed = strFolder;
    wchar_t szName[kOutputNameCapacity] = {};
    if (!MakeFileNameIn(strFixed, szName, L"avi")) return std::wstring();
    TakeFreeName(szName);
    return szName;
  }
  void BeginSession() override {
    // Whole-millisecond sleeps need a whole-millisecond timer: at the default 15.6 ms
    // tick a sleep lasts up to a tick longer than asked, and every frame comes late.
    m_bFineTimer = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    // A wake-up meant for an earlier recording must not cut this one's sleeps short.
    if (!m_hWake) m_hWake.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (m_hWake) ::ResetEvent(m_hWake.get());
  }
  void EndSession() override {
    m_Grab.Reset();
    if (m_bFineTimer) ::timeEndPeriod(1);
    m_bFineTimer = false;
  }
  std::uint32_t NowMs() override { return ::timeGetTime(); }
  void SleepMs(std::uint32_t nMilliseconds) override {
    if (m_hWake)
      ::WaitForSingleObject(m_hWake.get(), nMilliseconds);
    else
      ::Sleep(nMilliseconds);
  }
  void WakeLoop() override {
    if (m_hWake) ::SetEvent(m_hWake.get());
  }

 private:
  // Set by Stop and Finish; made by the first recording and kept.
  CHandle m_hWake;
  // Recording thread only.
  bool m_bFineTimer = false;
  CHeldScreenGrab m_Grab;
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

}  // namespace

CRecordingEngine& TheGdiRecording() {
  // Made on first use, after g_Recorder, the frame hand-off, g_EncoderThread and the
  // sound readers (all made before the program starts): ended before them.
  static CGdiCaptureHost s_Host;
  static CRecordingEngine s_Engine(s_Host, ProgramSoundSources(), g_Recording, g_Paused);
  static const bool s_bSettings = [] {
    s_Engine.SetSettingsSource(&ProgramRecordingSettings);
    return true;
  }();
  (void)s_bSettings;
  return s_Engine;
}

bool WaitForRecordingEnd(DWORD nTimeoutMs) {
  const DWORD dwStart = ::GetTickCount();
  for (;;) {
    if (TheGdiRecording().WaitForEnd(10)) return true;
    PumpWindowMessages();
    if (nTimeoutMs != INFINITE && ::GetTickCount() - dwStart >= nTimeoutMs) return false;
  }
}

void FinishRecordingAndWait() {
  CRecordingEngine& engine = TheGdiRecording();
  engine.Finish();
  WaitForRecordingEnd(INFINITE);
  engine.Shutdown();
}

void UseBorderWindow(IAreaBorder* pBorder) {
  // The recording thread paints the border it found when it started: a border taken
  // away (to be destroyed) must first see that recording end.
  if (pBorder != s_pBorder.load() && TheGdiRecording().get_Control().IsThreadRunning()) FinishRecordingAndWait();
  if (pBorder) pBorder->SetMoveListener(&PublishMovedArea);
  s_pBorder = pBorder;
}

IGrabObserver& BorderFlash() { return s_BorderFlash; }

bool MakeOutputFileName(wchar_t* szOut, const wchar_t* szExtension) {
  return MakeFileNameIn(g_OutputFolder, szOut, szExtension);
}

}  // namespace vantor
