#include "cli/Sources.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <condition_variable>
#include <thread>
#include <vector>

#include "cli/TestPattern.h"
#include "sound/AudioRing.h"
#if defined(_WIN32)
#include "cli/SoundSources.h"
#endif

namespace vantor {
namespace {

class CTestPatternSource final : public IVideoSource {
 public:
  bool Open(const RecOptions& options, std::string* /*pError*/) override {
    m_Format = {};
    m_Format.biSize = sizeof m_Format;
    m_Format.biWidth = options.nWidth;
    m_Format.biHeight = options.nHeight;
    m_Format.biPlanes = 1;
    m_Format.biBitCount = 24;
    m_Format.biSizeImage = static_cast<std::uint32_t>(DibRowBytes(options.nWidth) * options.nHeight);
    return true;
  }
  const BitmapInfoHeader& get_Format() const override { return m_Format; }
  bool Grab(std::uint8_t* pDest, std::uint32_t nFrame) override {
    const auto nStride = static_cast<std::uint32_t>(DibRowBytes(m_Format.biWidth));
    DrawTestPattern(pDest, m_Format.biWidth, m_Format.biHeight, nStride, nFrame);
    return true;
  }

 private:
  BitmapInfoHeader m_Format{};
};

// A 440 Hz tone, 48,000 Hz, 16 bits, stereo, written every 20 ms up to the recording's
// clock, so that the sound lasts exactly as long as the recording.
class CToneSource final : public IAudioSource {
 public:
  ~CToneSource() override { Stop(); }

  bool Open(const RecOptions& /*options*/, std::string* /*pError*/) override {
    m_Format = {1, 2, 48000, 48000 * 4, 4, 16, 0};
    return true;
  }
  WaveFormatBlock get_Format() const override { return m_Format; }

  bool Start(AudioSink sink, std::string* pError) override {
    Stop();
    m_Sink = std::move(sink);
    m_nWritten = 0;
    m_bStop = false;
    try {
      m_Thread = std::thread([this] { Run(); });
    } catch (const std::exception&) {
      *pError = "the tone thread cannot be started";
      return false;
    }
    return true;
  }

  void Stop() override {
    {
      std::lock_guard<std::mutex> lock(m_Lock);
      m_bStop = true;
    }
    m_Wake.notify_all();
    if (m_Thread.joinable()) m_Thread.join();
  }

 private:
  void Run() {
    for (;;) {
      bool bStop;
      {
        std::unique_lock<std::mutex> lock(m_Lock);
        m_Wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_bStop; });
        bStop = m_bStop;
      }
      WriteUpTo(m_Sink.fnClock());
      if (bStop) return;
    }
  }

  void WriteUpTo(std::int64_t nMicros) {
    const auto nTarget = static_cast<std::int64_t>(BytesInMicros(nMicros, m_Format.nSamplesPerSec, 1));
    while (m_nWritten < nTarget) {
      // At most half a second per block, as a sound card would deliver it.
      const std::int64_t nCount = std::min<std::int64_t>(nTarget - m_nWritten, m_Format.nSamplesPerSec / 2);
      m_Block.resize(static_cast<std::size_t>(nCount) * 2);
      for (std::int64_t i = 0; i < nCount; ++i) {
        const double t = static_cast<double>(m_nWritten + i) / m_Format.nSamplesPerSec;
        const auto v = static_cast<std::int16_t>(std::lround(8000.0 * std::sin(2 * 3.14159265358979 * 440.0 * t)));
        m_Block[2 * i] = m_Block[2 * i + 1] = v;
      }
      m_Sink.fnWrite(m_Block.data(), static_cast<std::uint32_t>(nCount * m_Format.nBlockAlign));
      m_nWritten += nCount;
    }
  }

  WaveFormatEx m_Format{};
  AudioSink m_Sink;
  std::int64_t m_nWritten = 0;
  std::vector<std::int16_t> m_Block;
  std::thread m_Thread;
  std::mutex m_Lock;
  std::condition_variable m_Wake;
  bool m_bStop = false;
};

}  // namespace

std::int64_t MicrosOfFrames(std::int64_t nFrames, double dFramesPerSecond) {
  if (!(dFramesPerSecond > 0)) return 0;
  const auto nWhole = static_cast<std::int64_t>(dFramesPerSecond);
  if (static_cast<double>(nWhole) == dFramesPerSecond)
    return nFrames / nWhole * kMicrosPerSecond + nFrames % nWhole * kMicrosPerSecond / nWhole;
  // Rounded to the nearest microsecond: an intermediate a little below or above a whole
  // value lands on the same one.
  return std::llround(static_cast<double>(nFrames) * static_cast<double>(kMicrosPerSecond) / dFramesPerSecond);
}

const std::vector<SourceEntry>& GetVideoSources() {
  static const std::vector<SourceEntry> entries = {
      {"testpattern", "a moving test picture with the frame number drawn in",
       [] { return std::unique_ptr<IVideoSource>(new CTestPatternSource); }, nullptr},
  };
  return entries;
}

const std::vector<SourceEntry>& GetAudioSources() {
  static const std::vector<SourceEntry> entries = [] {
    std::vector<SourceEntry> v = {
        {"tone", "a 440 Hz tone, PCM 48,000 Hz 16-bit stereo", nullptr,
         [] { return std::unique_ptr<IAudioSource>(new CToneSource); }},
    };
#if defined(_WIN32)
    AddSoundDeviceSources(&v);
#endif
    return v;
  }();
  return entries;
}

namespace {

const SourceEntry* FindAudioSource(const std::string& strName) {
  const std::size_t nColon = strName.find(':');
  const std::string strBase = strName.substr(0, nColon);
  for (const SourceEntry& e : GetAudioSources())
    if (strBase == e.szName && e.fnAudio && (nColon == std::string::npos || e.bTakesName)) return &e;
  return nullptr;
}

}  // namespace

bool IsAudioSourceName(const std::string& strName) { return FindAudioSource(strName) != nullptr; }

bool ListSoundDevices(std::vector<std::string>* pNames, std::string* pError) {
#if defined(_WIN32)
  *pNames = ListSoundDeviceNames();
  return true;
#else
  pNames->clear();
  *pError = "sound capture devices are listed by the Windows build only";
  return false;
#endif
}

std::unique_ptr<IVideoSource> CreateVideoSource(const std::string& strName) {
  for (const SourceEntry& e : GetVideoSources())
    if (strName == e.szName && e.fnVideo) return e.fnVideo();
  return nullptr;
}

std::unique_ptr<IAudioSource> CreateAudioSource(const std::string& strName) {
  const SourceEntry* pEntry = FindAudioSource(strName);
  return pEntry ? pEntry->fnAudio() : nullptr;
}

}  // namespace vantor
