#include "sound/RecordingSound.h"

#include <atomic>
#include <vector>

#include "media/AviRecorder.h"
#include "sound/AudioRing.h"
#include "sound/DirectSoundCapture.h"
#include "sound/LoopbackCapture.h"

namespace vantor {

CLoopbackRecordingAudio g_LoopbackRecordingAudio;
CDeviceRecordingAudio g_DeviceRecordingAudio;

namespace {

// Lives as long as the program: a reader may still be writing after a recording ends.
CRecorderAudioSink<CAviRecorder, std::atomic<std::int32_t>> s_RecorderSink(g_Recorder, g_Paused);

// The readers' time lines and fillers take the recording's clock as it is.
static_assert(kClockBeforeFirstGrab == kTimeUnknown);

}  // namespace

const WaveFormatBlock* CLoopbackRecordingAudio::PrepareFormat() {
  std::vector<std::uint8_t> mix;
  // PCM and float go to the file under their plain tags, which every reader knows; any
  // other sub-format is handed on whole, so that its sound is recorded all the same.
  if (!g_LoopbackCapture.GetMixFormat(&mix) || !FileWaveFormat(mix.data(), mix.size(), &m_Format)) return nullptr;
  return &m_Format;
}

void CLoopbackRecordingAudio::Start(RecordingClock fnClock) {
  g_LoopbackCapture.SetSink(&s_RecorderSink);
  g_LoopbackCapture.SetClock(std::move(fnClock));
  g_LoopbackCapture.Start();
}

void CLoopbackRecordingAudio::Stop() {
  g_LoopbackCapture.Stop(true);
  // The clock belongs to the recording that has ended.
  g_LoopbackCapture.SetClock({});
}

const WaveFormatBlock* CDeviceRecordingAudio::PrepareFormat() {
  m_Format = GetCaptureFormat();
  return &m_Format;
}

void CDeviceRecordingAudio::Start(RecordingClock fnClock) {
  g_DirectSoundCapture.SetSink(&s_RecorderSink);
  // The device's own clock would start when its buffer starts, before the pictures'
  // first grab: the sound came out longer than the pictures by that much.
  g_DirectSoundCapture.SetClock(std::move(fnClock));
  g_DirectSoundCapture.SetRunning(1);
}

void CDeviceRecordingAudio::Stop() {
  g_DirectSoundCapture.SetRunning(0);
  g_DirectSoundCapture.Release();
  g_DirectSoundCapture.SetClock({});
}

RecordingSoundSources ProgramSoundSources() {
  RecordingSoundSources sources;
  sources.pLoopback = &g_LoopbackRecordingAudio;
  sources.pCaptureDevice = &g_DeviceRecordingAudio;
  return sources;
}

}  // namespace vantor
