// A small recorder for the sound end-to-end checks: it drives the program's sound
// readers (g_DirectSoundCapture, g_LoopbackCapture) exactly as a screen recording does,
// but writes them with plain, uncompressed frames through the AVI writer, so that the
// sound path can be judged by ffprobe and ffmpeg without the video encoder.
//
//   sound_record_tool --list-devices
//   sound_record_tool --out FILE [--device NAME | --loopback] [--seconds S] [--fps N]
//                     [--pause-at S --pause-for S [--pause-tone HZ]] [--again FILE2]
//
// --device NAME picks a capture device by (part of) its name; without it the default
// device records. --pause-tone plays a tone into the default playback device while the
// recording is paused, so that a check can tell whether any of it reached the file.
// --again records a second file in the same run, as the program's next recording
// does: without choosing the device again.
// Prints one line "frames=F audio_bytes=B ..." per file and exits 0, or 1 with a reason.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "app/Globals.h"
#include "media/AVIOutputFile.h"
#include "platform/Text.h"
#include "sound/AudioRing.h"
#include "sound/DirectSoundCapture.h"
#include "sound/LoopbackCapture.h"

namespace {

using namespace vantor;

constexpr std::int32_t kWidth = 64, kHeight = 48;

// The file's sound goes in under the writer's lock; frames are written under the same.
class CFileSink final : public IAudioSink {
 public:
  explicit CFileSink(AVIOutputFile& avi) : m_Avi(avi) {}
  void WriteAudio(const void* pData, std::uint32_t nBytes) override {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (!m_Avi.get_IsOpen()) return;
    m_Avi.get_AudioStream()->Write(0, pData, nBytes, 0);
    m_nBytes += nBytes;
    ++m_nBlocks;
  }
  bool IsPaused() const override { return m_bPaused.load(); }

  std::mutex m_Lock;
  std::atomic<bool> m_bPaused{false};
  std::uint64_t m_nBytes = 0;
  std::uint64_t m_nBlocks = 0;

 private:
  AVIOutputFile& m_Avi;
};

// A looping tone for PlaySound: 16-bit mono, 48 kHz, one second.
std::vector<std::uint8_t> MakeToneWav(double dHz) {
  const std::uint32_t nRate = 48000, nSamples = nRate;
  std::vector<std::uint8_t> wav(44 + nSamples * 2);
  auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&wav[at], &v, 4); };
  auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(&wav[at], &v, 2); };
  std::memcpy(&wav[0], "RIFF", 4);
  put32(4, static_cast<std::uint32_t>(wav.size() - 8));
  std::memcpy(&wav[8], "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, 1);
  put32(24, nRate);
  put32(28, nRate * 2);
  put16(32, 2);
  put16(34, 16);
  std::memcpy(&wav[36], "data", 4);
  put32(40, nSamples * 2);
  for (std::uint32_t i = 0; i < nSamples; ++i)
    put16(44 + 2 * i, static_cast<std::uint16_t>(static_cast<std::int16_t>(
                          std::lround(12000.0 * std::sin(2 * 3.14159265358979 * dHz * i / nRate)))));
  return wav;
}

struct Options {
  std::wstring strOut;
  std::wstring strAgain;
  std::wstring strDevice;
  bool bLoopback = false;
  bool bList = false;
  double dSeconds = 4;
  int nFps = 25;
  double dPauseAt = -1, dPauseFor = 0, dPauseTone = 0;
};

bool Parse(int argc, wchar_t** argv, Options* p) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    auto value = [&]() -> std::wstring { return i + 1 < argc ? argv[++i] : L""; };
    if (a == L"--list-devices") p->bList = true;
    else if (a == L"--loopback") p->bLoopback = true;
    else if (a == L"--out") p->strOut = value();
    else if (a == L"--again") p->strAgain = value();
    else if (a == L"--device") p->strDevice = value();
    else if (a == L"--seconds") p->dSeconds = _wtof(value().c_str());
    else if (a == L"--fps") p->nFps = _wtoi(value().c_str());
    else if (a == L"--pause-at") p->dPauseAt = _wtof(value().c_str());
    else if (a == L"--pause-for") p->dPauseFor = _wtof(value().c_str());
    else if (a == L"--pause-tone") p->dPauseTone = _wtof(value().c_str());
    else return false;
  }
  return p->bList || (!p->strOut.empty() && p->nFps > 0 && p->dSeconds > 0);
}

double Now() {
  LARGE_INTEGER f, c;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

int Record(const Options& o, const std::wstring& strOut, bool bChooseDevice) {
  // The file's sound format, chosen as the recording thread chooses it.
  std::vector<std::uint8_t> format;
  g_bUseLoopback = o.bLoopback ? 1 : 0;
  if (o.bLoopback && !g_LoopbackCapture.GetMixFormat(&format)) format.clear();
  if (format.empty()) {
    const WaveFormatEx capture = GetCaptureFormat();
    const auto* p = reinterpret_cast<const std::uint8_t*>(&capture);
    format.assign(p, p + sizeof capture);
  }
  const auto& wfx = *reinterpret_cast<const WaveFormatEx*>(format.data());

  GUID guid{};
  if (!o.bLoopback && bChooseDevice) {
    std::wstring strError;
    if (!FindCaptureDevice(o.strDevice, &guid, &strError)) {
      std::fprintf(stderr, "sound_record_tool: %s\n", Utf8FromWide(strError).c_str());
      return 1;
    }
    g_DirectSoundCapture.CreateDevice(guid);
  }

  AVIOutputFile avi;
  avi.ResetFile();
  avi.CreateStreams();
  AVIVideoOutputStream& video = *avi.get_VideoStream();
  AVIStreamHeader& vh = video.get_Header();
  vh = {};
  vh.fccType = MakeFourCC("vids");
  vh.dwScale = 1;
  vh.dwRate = static_cast<std::uint32_t>(o.nFps);
  vh.dwLength = 1;
  vh.dwSuggestedBufferSize = kWidth * kHeight * 3;
  vh.dwQuality = 0xFFFFFFFF;
  vh.rcFrame = {0, 0, kWidth, kHeight};
  video.set_ChunkId(MakeFourCC("00dc"));
  BitmapInfoHeader bih{};
  bih.biSize = sizeof bih;
  bih.biWidth = kWidth;
  bih.biHeight = kHeight;
  bih.biPlanes = 1;
  bih.biBitCount = 24;
  bih.biSizeImage = kWidth * kHeight * 3;
  video.SetFormat(&bih, sizeof bih);
  AVIAudioOutputStream& audio = *avi.get_AudioStream();
  AVIStreamHeader& ah = audio.get_Header();
  ah = {};
  ah.fccType = MakeFourCC("auds");
  ah.fccHandler = wfx.wFormatTag;
  ah.dwScale = wfx.nBlockAlign;
  ah.dwRate = wfx.nAvgBytesPerSec;
  ah.dwLength = 1;
  ah.dwSampleSize = wfx.nBlockAlign;
  audio.SetFormat(format.data(), static_cast<std::uint32_t>(format.size()));
  // The check compares the streams' lengths as recorded: keep the nominal frame rate.
  avi.SetRateAdjuster([](AVIVideoOutputStream&, const AVIAudioOutputStream&) {});
  if (!avi.OpenFile(Utf8FromWide(strOut).c_str(), kWidth, kHeight)) {
    std::fprintf(stderr, "sound_record_tool: cannot create %s\n", Utf8FromWide(strOut).c_str());
    return 1;
  }

  CFileSink sink(avi);
  std::int32_t nStartResult = 0;
  if (o.bLoopback) {
    g_LoopbackCapture.SetSink(&sink);
    nStartResult = g_LoopbackCapture.Start() ? 0 : 1;
  } else {
    g_DirectSoundCapture.SetSink(&sink);
    nStartResult = g_DirectSoundCapture.SetRunning(1);
  }

  const std::vector<std::uint8_t> tone = o.dPauseTone > 0 ? MakeToneWav(o.dPauseTone) : std::vector<std::uint8_t>();
  std::vector<std::uint8_t> frame(bih.biSizeImage);
  const double tStart = Now();
  double dPaused = 0;  // seconds spent paused so far
  std::uint32_t nFrames = 0;
  bool bPauseDone = o.dPauseAt < 0;
  for (;;) {
    const double dRecorded = Now() - tStart - dPaused;
    if (!bPauseDone && dRecorded >= o.dPauseAt) {
      // Paused as the program pauses: no frames, and the readers drop what they hear.
      bPauseDone = true;
      const double tPause = Now();
      sink.m_bPaused = true;
      // The tone sounds only inside the pause, away from its edges: the reader notes a
      // pause at its next look (every 10 ms, later when the machine is busy), and what is
      // played reaches the capture device only after the playback's latency. A tone
      // started with the pause reached the file at the pause's place (one 50 ms window)
      // in a quarter of the runs; one stopped at the resume could spill after it.
      const DWORD nPauseMs = static_cast<DWORD>(o.dPauseFor * 1000);
      const DWORD nEdgeMs = tone.empty() ? 0 : std::min<DWORD>(300, nPauseMs / 4);
      ::Sleep(nEdgeMs);
      if (!tone.empty())
        ::PlaySoundW(reinterpret_cast<LPCWSTR>(tone.data()), nullptr, SND_MEMORY | SND_ASYNC | SND_LOOP);
      ::Sleep(nPauseMs - 2 * nEdgeMs);
      if (!tone.empty()) ::PlaySoundW(nullptr, nullptr, 0);
      ::Sleep(nEdgeMs);
      sink.m_bPaused = false;
      dPaused += Now() - tPause;
      continue;
    }
    if (dRecorded >= o.dSeconds) break;
    const double dDue = static_cast<double>(nFrames) / o.nFps;
    if (dRecorded < dDue) {
      ::Sleep(static_cast<DWORD>(std::max(1.0, (dDue - dRecorded) * 1000)));
      continue;
    }
    std::memset(frame.data(), static_cast<int>(nFrames * 9 % 256), frame.size());
    std::lock_guard<std::mutex> lock(sink.m_Lock);
    video.Write(0, frame.data(), static_cast<std::uint32_t>(frame.size()), 1);
    ++nFrames;
  }

  if (o.bLoopback) {
    g_LoopbackCapture.Stop(true);
  } else {
    g_DirectSoundCapture.SetRunning(0);
    g_DirectSoundCapture.Release();
  }
  bool bClosed;
  {
    std::lock_guard<std::mutex> lock(sink.m_Lock);
    bClosed = avi.CloseFile();
  }
  std::printf("frames=%u audio_bytes=%llu audio_blocks=%llu start=%d tag=%u channels=%u rate=%u align=%u",
              nFrames, static_cast<unsigned long long>(sink.m_nBytes), static_cast<unsigned long long>(sink.m_nBlocks),
              nStartResult, wfx.wFormatTag, wfx.nChannels, wfx.nSamplesPerSec, wfx.nBlockAlign);
  if (o.bLoopback)
    std::printf(" loopback_exit=\"%s\" loopback_error=0x%08lX", DescribeLoopbackExit(g_LoopbackCapture.get_LastExit()),
                static_cast<unsigned long>(g_LoopbackCapture.get_LastError()));
  std::printf("\n");
  return bClosed ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: sound_record_tool --list-devices | --out FILE [--device NAME | --loopback] [--seconds S] "
                 "[--fps N] [--pause-at S --pause-for S [--pause-tone HZ]] [--again FILE2]\n");
    return 2;
  }
  if (o.bList) {
    for (const CaptureDeviceInfo& d : ListCaptureDevices()) std::printf("%s\n", Utf8FromWide(d.strName).c_str());
    return 0;
  }
  int nResult = Record(o, o.strOut, true);
  if (nResult == 0 && !o.strAgain.empty()) nResult = Record(o, o.strAgain, false);
  return nResult;
}
