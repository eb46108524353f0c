// The program's two sound sources as a screen recording uses them (IRecordingAudio):
// the loopback of the default playback device (g_LoopbackCapture) and the chosen
// capture device (g_DirectSoundCapture). Both write into g_Recorder and leave out what
// they hear while g_Paused is set.
//
// ProgramSoundSources() names them for the program's recording engine.
#pragma once
#include "media/AVITypes.h"
#include "recording/GdiRecording.h"

namespace vantor {

class CLoopbackRecordingAudio final : public IRecordingAudio {
 public:
  // The mix format as the file declares it (FileWaveFormat): a plain 18-byte format
  // for PCM or float, an extensible one of another sub-format whole; null when the
  // endpoint, its client or a usable mix format cannot be had: the recording then has
  // no sound.
  const WaveFormatBlock* PrepareFormat() override;
  // Starts the loopback reader on the recording's clock.
  void Start(RecordingClock fnClock) override;
  // Stops the reader; it writes the cycle it is in and ends before this returns.
  void Stop() override;

 private:
  WaveFormatBlock m_Format;
};

class CDeviceRecordingAudio final : public IRecordingAudio {
 public:
  // The capture format (PCM, 48,000 Hz, 8 bits, mono).
  const WaveFormatBlock* PrepareFormat() override;
  // Creates the buffer (and the chosen device again, after the last recording released
  // it) and starts capturing, its sound placed by the recording's clock (what it
  // captured before the first grab is dropped); a device that fails leaves the
  // recording without sound.
  void Start(RecordingClock fnClock) override;
  // Collects the sound up to this moment, stops capturing and releases the device.
  void Stop() override;

 private:
  WaveFormatBlock m_Format;
};

extern CLoopbackRecordingAudio g_LoopbackRecordingAudio;
extern CDeviceRecordingAudio g_DeviceRecordingAudio;

// The two, as the sources the program's recordings choose from.
RecordingSoundSources ProgramSoundSources();

}  // namespace vantor
