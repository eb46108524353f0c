#include "cli/RecSession.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/ProcessTimes.h"
#include "cli/ScreenRecording.h"
#include "cli/StopRequest.h"
#include "cli/Sources.h"
#include "cli/TestPattern.h"
#include "media/AviRecorder.h"
#include "recording/EncoderThread.h"

namespace vantor {
namespace {

std::filesystem::path PathFromUtf8(const std::string& str) {
  return std::filesystem::path(std::u8string(str.begin(), str.end()));
}

bool EndsWithSeparator(const std::string& str) {
  return !str.empty() && (str.back() == '/' || str.back() == '\\');
}

// Two recordings started within the same tenth of a second would share a name; the
// second gets a number rather than replacing the first.
std::string UniquePath(const std::string& strPath);

// A new file in strFolder named after the local time, numbered when the name is taken.
std::string RecordingPathNow(const std::string& strFolder) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t tNow = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &tNow);
#else
  localtime_r(&tNow, &local);
#endif
  const int nTenths = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000 / 100);
  return UniquePath(MakeRecordingPath(strFolder, local, nTenths));
}

std::string UniquePath(const std::string& strPath) {
  std::error_code ec;
  if (!std::filesystem::exists(PathFromUtf8(strPath), ec)) return strPath;
  for (int i = 2; i < 1000; ++i) {
    // The recorder's own rule for the files that follow a first one.
    const std::string strTry = NumberedPath(strPath, i);
    if (!std::filesystem::exists(PathFromUtf8(strTry), ec)) return strTry;
  }
  return strPath;
}

// Writes frames as raw bgr24, top row first, without row padding: what ffmpeg's
// rawvideo reader takes.
class CFrameDump {
 public:
  bool Open(const std::string& strPath, const BitmapInfoHeader& format) {
    m_File.open(PathFromUtf8(strPath), std::ios::binary | std::ios::trunc);
    m_nWidth = format.biWidth;
    m_nHeight = format.biHeight;
    m_Row.resize(static_cast<std::size_t>(m_nWidth) * 3);
    return m_File.good();
  }
  bool IsOpen() const { return m_File.is_open(); }
  void Write(const std::uint8_t* pDib) {
    const auto nStride = static_cast<std::uint32_t>(DibRowBytes(m_nWidth));
    for (std::int32_t y = 0; y < m_nHeight; ++y)
      m_File.write(reinterpret_cast<const char*>(pDib + static_cast<std::size_t>(m_nHeight - 1 - y) * nStride),
                   static_cast<std::streamsize>(m_Row.size()));
  }
  bool Close() {
    m_File.close();
    return !m_File.fail();
  }

 private:
  std::ofstream m_File;
  std::int32_t m_nWidth = 0, m_nHeight = 0;
  std::vector<char> m_Row;
};

}  // namespace

std::string MakeRecordingPath(const std::string& strFolder, const std::tm& local, int nTenths) {
  char szName[64];
  std::snprintf(szName, sizeof szName, "%04d%02d%02d-%02d%02d%02d%01d.avi", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, nTenths % 10);
#if defined(_WIN32)
  const char* szSeparator = "\\";
#else
  const char* szSeparator = "/";
#endif
  return strFolder + (EndsWithSeparator(strFolder) ? "" : szSeparator) + szName;
}

RecOutcome RunRecording(const RecOptions& options) {
  // The screen is recorded by the program's own capture loop, not through a source.
  if (options.strSource == kScreenSourceName) return RunScreenRecording(options);

  RecOutcome outcome;
  ClearRecordingStopRequest();
  // A stop while a frame waits for the encoder must not wait for the next frame.
  SetRecordingStopWaker([] { g_FrameBuffer.Wake(); });

  std::unique_ptr<IVideoSource> pVideo = CreateVideoSource(options.strSource);
  if (!pVideo) {
    outcome.strError = "unknown source '" + options.strSource + "'";
    return outcome;
  }
  std::string strError;
  if (!pVideo->Open(options, &strError)) {
    outcome.strError = "the source '" + options.strSource + "' cannot be opened: " + strError;
    return outcome;
  }
  std::unique_ptr<IAudioSource> pAudio;
  if (options.strAudio != "none") {
    pAudio = CreateAudioSource(options.strAudio);
    if (!pAudio || !pAudio->Open(options, &strError)) {
      outcome.strError = "the sound source '" + options.strAudio + "' cannot be opened: " + strError;
      return outcome;
    }
  }

  std::error_code ec;
  std::filesystem::create_directories(PathFromUtf8(options.strOutDir), ec);
  if (!std::filesystem::is_directory(PathFromUtf8(options.strOutDir), ec)) {
    outcome.strError = "the folder " + options.strOutDir + " cannot be created";
    return outcome;
  }
  outcome.strPath = RecordingPathNow(options.strOutDir);
  // A recording too long for one file goes on in files named the same way.
  g_Recorder.SetNextFileName(
      [strFolder = options.strOutDir](const std::string&, int) { return RecordingPathNow(strFolder); });

  CFrameDump dump;
  if (!options.strSaveFrames.empty() && !dump.Open(options.strSaveFrames, pVideo->get_Format())) {
    outcome.strError = "the frame file " + options.strSaveFrames + " cannot be created";
    return outcome;
  }

  // Without a sound source the file still carries the capture device's format, as a
  // recording without a microphone does.
  const WaveFormatBlock audioFormat = pAudio ? pAudio->get_Format() : WaveFormatEx{1, 1, 48000, 48000, 1, 8, 0};
  const double dFps = options.dFramesPerSecond;
  const double dCpuStart = ProcessCpuSeconds();
  const auto tBegin = std::chrono::steady_clock::now();
  g_Recording = 1;
  const Result nBegin = g_EncoderThread.Begin(pVideo->get_Format(), &audioFormat, dFps, outcome.strPath);
  if (nBegin != kOk) {
    g_Recording = 0;
    outcome.strError = g_EncoderThread.get_ErrorMessage();
    return outcome;
  }

  std::atomic<std::int64_t> nHandedOver{0};
  if (pAudio) {
    AudioSink sink;
    sink.fnWrite = [](const void* pData, std::uint32_t nBytes) { g_Recorder.WriteAudio(pData, nBytes); };
    sink.fnClock = [&nHandedOver, dFps] { return MicrosOfFrames(nHandedOver.load(), dFps); };
    if (!pAudio->Start(std::move(sink), &strError)) {
      g_EncoderThread.Stop(true);
      outcome.strError = "the sound source cannot start: " + strError;
      return outcome;
    }
  }

  const std::int64_t nFrames = options.get_FrameCount();
  const auto tStart = std::chrono::steady_clock::now();
  const std::chrono::duration<double> period(1.0 / dFps);
  for (std::int64_t k = 0; k < nFrames && !IsRecordingStopRequested(); ++k) {
    if (options.pace == RecPace::kRealTime)
      std::this_thread::sleep_until(tStart + std::chrono::duration_cast<std::chrono::steady_clock::duration>(period * k));
    std::uint8_t* pSlot = g_FrameBuffer.get_WriteSlot();
    const auto tGrab = std::chrono::steady_clock::now();
    pVideo->Grab(pSlot, static_cast<std::uint32_t>(k));
    outcome.dSourceSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - tGrab).count();
    if (dump.IsOpen()) dump.Write(pSlot);
    // At full speed every frame is encoded exactly once: hand the next one over only
    // when the encoder has taken the previous one (it was drawn meanwhile). It then
    // waits while the encoder works, so that the encoder finds the next frame ready
    // the moment it is done and never waits for a hand-off.
    if (options.pace == RecPace::kMax) g_EncoderThread.WaitUntilTaken();
    g_FrameBuffer.Publish(g_PendingFrames);
    ++nHandedOver;
  }
  // A script wants every frame it asked for: let the encoder catch up before stopping.
  g_EncoderThread.WaitUntilEncoded();
  if (pAudio) pAudio->Stop();
  g_EncoderThread.Stop(true);
  pVideo->Close();
  outcome.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - tBegin).count();
  outcome.dCpuSeconds = ProcessCpuSeconds() - dCpuStart;
  outcome.dEncodeSeconds = g_Recorder.get_EncodeSeconds();

  if (dump.IsOpen() && !dump.Close()) {
    outcome.strError = "the frame file " + options.strSaveFrames + " could not be written";
    return outcome;
  }
  if (g_EncoderThread.get_CloseResult() != kOk) {
    outcome.strError = "writing " + outcome.strPath + " failed; the file is incomplete";
    return outcome;
  }
  outcome.nFrames = g_EncoderThread.get_FramesEncoded();
  outcome.files = g_Recorder.get_Files();
  outcome.nExit = 0;
  return outcome;
}

}  // namespace vantor
