// A stand-in platform for the recording's rules: a clock that moves only when the
// recording sleeps or grabs, frames that carry their grab number, and a log of every
// call, so that the order of a recording's steps and its timing can be checked
// exactly, without a screen, an encoder or real time.
#pragma once
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "recording/GdiRecording.h"
#include "recording/RecordingEngine.h"
#include "recording/ScreenGrabberLayout.h"

namespace vantor::test {

class CFakeCaptureHost : public ICaptureHost {
 public:
  struct Grab {
    std::int32_t nLeft, nTop, nWidth, nHeight;
    bool bFirst;
  };

  // Called at each loop grab (counted from 0, the first frame of the start excluded),
  // on the recording thread, before the frame is returned: the place for a test to
  // press Pause, Stop or move the area "while this frame is grabbed".
  std::function<void(int nGrab)> fnOnGrab;
  // Called at each pause poll (a 50 ms sleep), counted from 0.
  std::function<void(int nPoll)> fnOnPausePoll;
  // Loop grabs for which no frame can be made.
  std::function<bool(int nGrab)> fnNoFrame;
  // Colour-table entries of the frames handed out (0: a 24-bit frame).
  std::uint32_t nColorEntries = 0;
  std::uint32_t nGrabCostMs = 5;
  std::uint32_t nNow = 1000;
  Result nBeginResult = kOk;
  bool bFirstGrabFails = false;
  // A loop grab that returns a frame of another size than the first.
  int nWrongSizeGrab = -1;

  std::vector<std::string> log;
  std::vector<Grab> grabs;          // loop grabs only
  std::vector<int> handedOver;      // grab number of each frame given to PutFrame
  std::vector<std::uint32_t> repeats;  // each RepeatFrame's count
  std::vector<std::uint32_t> sleeps;  // every sleep, pause polls included
  BitmapInfoHeader beganWith{};
  WaveFormatBlock audioFormat;  // as BeginEncoding got it, whole
  double dBeganFps = 0;
  std::wstring strBeganName;
  std::wstring strNextName;  // what NameFile answers
  int nStopEncodings = 0;
  int nLiveFrames = 0;
  std::atomic<bool> bSawPauseWait{false};
  CRecordingControl* pControl = nullptr;

  const BitmapInfoHeader* GrabFrame(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth,
                                    std::int32_t nHeight, bool bFirstFrame) override {
    nNow += nGrabCostMs;
    int nIndex = -1;
    if (bFirstFrame) {
      log.push_back("grab first " + Rect(nLeft, nTop, nWidth, nHeight));
      if (bFirstGrabFails) return nullptr;
    } else {
      nIndex = static_cast<int>(grabs.size());
      grabs.push_back({nLeft, nTop, nWidth, nHeight, bFirstFrame});
      log.push_back("grab " + std::to_string(nLeft) + "," + std::to_string(nTop));
      if (fnOnGrab) fnOnGrab(nIndex);
      if (fnNoFrame && fnNoFrame(nIndex)) return nullptr;
    }
    const std::int32_t nFrameWidth = nIndex == nWrongSizeGrab && nIndex >= 0 ? nWidth + 1 : nWidth;
    const FrameLayout layout = ComputeFrameLayout(nFrameWidth, nHeight, 24);
    auto block = std::make_unique<std::uint8_t[]>(layout.nBlockBytes + nColorEntries * 4);
    BitmapInfoHeader h = MakeFrameHeader(nFrameWidth, nHeight, 24, layout);
    h.biClrUsed = nColorEntries;
    std::memcpy(block.get(), &h, sizeof h);
    // Colour table 0xEE, pixels the grab number (0xFF for the first frame).
    std::memset(block.get() + sizeof h, 0xEE, nColorEntries * 4);
    std::memset(block.get() + sizeof h + nColorEntries * 4, nIndex < 0 ? 0xFF : nIndex & 0x7F, layout.nImageBytes);
    auto* pFrame = reinterpret_cast<const BitmapInfoHeader*>(block.get());
    m_Frames[pFrame] = std::move(block);
    ++nLiveFrames;
    return pFrame;
  }
  void ReleaseFrame(const BitmapInfoHeader* pFrame) override {
    log.push_back(reinterpret_cast<const std::uint8_t*>(pFrame)[40 + nColorEntries * 4] == 0xFF ? "release first"
                                                                                                 : "release");
    m_Frames.erase(pFrame);
    --nLiveFrames;
  }
  Result BeginEncoding(const BitmapInfoHeader& firstFrame, const WaveFormatBlock& audio, double dFps,
                       const wchar_t* szFileName, std::string* pError) override {
    beganWith = firstFrame;
    audioFormat = audio;
    dBeganFps = dFps;
    strBeganName = szFileName;
    log.push_back("begin");
    if (nBeginResult != kOk) *pError = "no file for you";
    return nBeginResult;
  }
  void RepeatFrame(std::uint32_t nSlots) override { repeats.push_back(nSlots); }
  void PutFrame(const std::uint8_t* pBits) override {
    handedOver.push_back(pBits[0]);
    log.push_back("put " + std::to_string(pBits[0]));
  }
  bool EndEncoding(bool bDrain) override {
    log.push_back(bDrain ? "end drain" : "end");
    return true;
  }
  void ShowBorder(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth, std::int32_t nHeight) override {
    log.push_back("border " + Rect(nLeft, nTop, nWidth, nHeight));
  }
  void HideBorder() override { log.push_back("hide border"); }
  void StopEncoding() override { ++nStopEncodings; }
  void WaitUntilClosed() override {}
  std::wstring NameFile(const std::wstring&) override { return strNextName; }
  std::uint32_t NowMs() override { return nNow; }
  void SleepMs(std::uint32_t nMs) override {
    sleeps.push_back(nMs);
    nNow += nMs;
    if (pControl && pControl->IsInPauseWait()) {
      bSawPauseWait = true;
      if (fnOnPausePoll) fnOnPausePoll(m_nPausePolls++);
    }
  }

  static std::string Rect(std::int32_t l, std::int32_t t, std::int32_t w, std::int32_t h) {
    return std::to_string(l) + "," + std::to_string(t) + " " + std::to_string(w) + "x" + std::to_string(h);
  }

 private:
  std::map<const BitmapInfoHeader*, std::unique_ptr<std::uint8_t[]>> m_Frames;
  int m_nPausePolls = 0;
};

// Sound that only says what was asked of it.
class CFakeAudio : public IRecordingAudio {
 public:
  explicit CFakeAudio(std::vector<std::string>* pLog, const char* szName, bool bAvailable = true)
      : m_pLog(pLog), m_strName(szName), m_bAvailable(bAvailable) {}
  WaveFormatBlock format = WaveFormatEx{3, 2, 44100, 352800, 8, 32, 0};
  RecordingClock clock;  // as Start got it
  std::int64_t nClockAtStart = 0;
  const WaveFormatBlock* PrepareFormat() override {
    m_pLog->push_back(m_strName + " format");
    return m_bAvailable ? &format : nullptr;
  }
  void Start(RecordingClock fnClock) override {
    m_pLog->push_back(m_strName + " start");
    clock = std::move(fnClock);
    nClockAtStart = clock();
  }
  void Stop() override { m_pLog->push_back(m_strName + " stop"); }

 private:
  std::vector<std::string>* m_pLog;
  std::string m_strName;
  bool m_bAvailable;
};

// One recording of the fake host through a private engine, on its own thread as the
// programs run it. Returns once the recording thread has ended.
struct CaptureRun {
  std::atomic<std::int32_t> recording{0};
  std::atomic<std::int32_t> paused{0};
  CFakeCaptureHost host;
  CRecordingEngine engine{host, {}, recording, paused};
  CRecordingControl& control = engine.get_Control();
  CaptureOutcome outcome;

  CaptureRun() { host.pControl = &control; }

  // The area (nLeft, nTop) nWidth x nHeight, with the sound the program's flags choose
  // from `sources`.
  void Record(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth, std::int32_t nHeight, float fFps,
              const wchar_t* szName = L"C:\\rec\\x.avi") {
    RecordingSettings settings;
    settings.rcArea = {nLeft, nTop, nLeft + nWidth - 1, nTop + nHeight - 1};
    settings.fFrameRate = fFps;
    settings.sound = ProgramSoundChoice();
    settings.nDurationMs = nDurationMs;
    host.strNextName = szName;
    engine.UseSoundSources(sources);
    engine.Record(settings);
    control.WaitForThreadEnd(60000);
    outcome = control.get_LastOutcome();
  }

  RecordingSoundSources sources;
  std::uint32_t nDurationMs = 0;  // the settings' fixed length (0: until Stop)
};

}  // namespace vantor::test
