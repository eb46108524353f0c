#include "cli/SoundSources.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "app/Globals.h"
#include "media/AviRecorder.h"
#include "platform/Text.h"
#include "sound/AudioRing.h"
#include "sound/DirectSoundCapture.h"
#include "recording/GdiRecording.h"
#include "sound/LoopbackCapture.h"

namespace vantor {
namespace {

// The session's sink as the readers see it; a screen recording's pause (--commands)
// leaves its sound out.
class CSessionSink final : public IAudioSink {
 public:
  void Set(AudioSink sink) { m_Sink = std::move(sink); }
  void WriteAudio(const void* pData, std::uint32_t nBytes) override {
    if (m_Sink.fnWrite) m_Sink.fnWrite(pData, nBytes);
  }
  bool IsPaused() const override { return g_Paused.load() != 0; }

 private:
  AudioSink m_Sink;
};

// The readers decide by g_bUseLoopback whose sound counts; a VantorRec source says so
// for as long as it records, and then puts the program's choice back.
class CLoopbackChoice {
 public:
  void Take(bool bLoopback) {
    m_nSaved = g_bUseLoopback;
    g_bUseLoopback = bLoopback ? 1 : 0;
    m_bTaken = true;
  }
  void Restore() {
    if (m_bTaken) g_bUseLoopback = m_nSaved;
    m_bTaken = false;
  }

 private:
  std::int32_t m_nSaved = 0;
  bool m_bTaken = false;
};

class CDeviceSource final : public IAudioSource {
 public:
  ~CDeviceSource() override { Stop(); }
  bool Open(const RecOptions& options, std::string* pError) override {
    const std::size_t nColon = options.strAudio.find(':');
    const std::wstring strName = nColon == std::string::npos ? L"" : WideFromUtf8(options.strAudio.substr(nColon + 1));
    GUID guid{};
    std::wstring strWhy;
    if (!FindCaptureDevice(strName, &guid, &strWhy)) {
      *pError = Utf8FromWide(strWhy) + " (see --list-devices)";
      return false;
    }
    if (g_DirectSoundCapture.CreateDevice(guid)) {  // true: the device could not be created
      *pError = "the capture device cannot be opened";
      return false;
    }
    m_Format = GetCaptureFormat();
    return true;
  }
  WaveFormatBlock get_Format() const override { return m_Format; }
  bool Start(AudioSink sink, std::string* pError) override {
    // The sound is timed by the wall clock from the moment the capture starts, as a
    // screen recording's is (starting it earlier, before the device is ready, made the
    // sound longer than the pictures by the time the start took); but a recording of
    // generated frames ends when its last frame's time is over, which the session's
    // clock says (it counts each frame as soon as it is handed over).
    g_DirectSoundCapture.SetClock([fnMedia = sink.fnClock] {
      const std::int64_t nWall = g_DirectSoundCapture.get_CaptureMicros();
      return fnMedia ? std::max(nWall, fnMedia()) : nWall;
    });
    m_Sink.Set(std::move(sink));
    m_Choice.Take(false);
    g_DirectSoundCapture.SetSink(&m_Sink);
    if (g_DirectSoundCapture.SetRunning(1) != 0) {
      m_Choice.Restore();
      g_DirectSoundCapture.SetClock({});
      *pError = "the capture device does not start";
      return false;
    }
    m_bRunning = true;
    return true;
  }
  void Stop() override {
    if (!m_bRunning) return;
    m_bRunning = false;
    g_DirectSoundCapture.SetRunning(0);
    g_DirectSoundCapture.Release();
    g_DirectSoundCapture.SetSink(nullptr);
    g_DirectSoundCapture.SetClock({});
    m_Choice.Restore();
  }

 private:
  WaveFormatBlock m_Format;
  CSessionSink m_Sink;
  CLoopbackChoice m_Choice;
  bool m_bRunning = false;
};

class CLoopbackSource final : public IAudioSource {
 public:
  ~CLoopbackSource() override { Stop(); }
  bool Open(const RecOptions& /*options*/, std::string* /*pError*/) override {
    // Without a mix format the file keeps the capture format and gets no sound, as a
    // recording of the program would. A sub-format other than PCM or float is kept
    // whole, as the program's loopback source keeps it.
    std::vector<std::uint8_t> mix;
    if (!g_LoopbackCapture.GetMixFormat(&mix) || !FileWaveFormat(mix.data(), mix.size(), &m_Format))
      m_Format = GetCaptureFormat();
    return true;
  }
  WaveFormatBlock get_Format() const override { return m_Format; }
  bool Start(AudioSink sink, std::string* pError) override {
    m_Sink.Set(std::move(sink));
    m_Choice.Take(true);
    g_LoopbackCapture.SetSink(&m_Sink);
    if (!g_LoopbackCapture.Start()) {
      m_Choice.Restore();
      *pError = "the loopback reader cannot be started";
      return false;
    }
    m_bRunning = true;
    return true;
  }
  void Stop() override {
    if (!m_bRunning) return;
    m_bRunning = false;
    g_LoopbackCapture.Stop(true);
    g_LoopbackCapture.SetSink(nullptr);
    m_Choice.Restore();
  }

 private:
  WaveFormatBlock m_Format;
  CSessionSink m_Sink;
  CLoopbackChoice m_Choice;
  bool m_bRunning = false;
};

}  // namespace

void AddSoundDeviceSources(std::vector<SourceEntry>* pEntries) {
  pEntries->push_back({"device",
                       "a sound capture device, PCM 48,000 Hz 8-bit mono; device:NAME picks one by (part "
                       "of) its name (see --list-devices), plain device the default one",
                       nullptr, [] { return std::unique_ptr<IAudioSource>(new CDeviceSource); }, true});
  pEntries->push_back({"loopback", "what the default playback device plays, in its mix format", nullptr,
                       [] { return std::unique_ptr<IAudioSource>(new CLoopbackSource); }});
}

std::vector<std::string> ListSoundDeviceNames() {
  std::vector<std::string> names;
  for (const CaptureDeviceInfo& device : ListCaptureDevices()) names.push_back(Utf8FromWide(device.strName));
  return names;
}

}  // namespace vantor
