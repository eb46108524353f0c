// A recording's settings as one value, taken by Record: what the recording reads when it
// starts, so that later changes (and the next Record) never reach a running recording.
#pragma once
#include <string>

#include "base/CaptureRect.h"

namespace vantor {

class IRecordingAudio;

// Which of the program's sound sources a recording records.
enum class SoundChoice {
  kNone,           // a silent sound stream in the capture-device format
  kLoopback,       // what the default playback device plays
  kCaptureDevice,  // the chosen capture device
};

struct RecordingSettings {
  CaptureRect rcArea{};          // inclusive corners
  float fFrameRate = 0;          // kept to a thousandth of a frame (MilliFramesPerSecond)
  std::wstring strOutputFolder;  // empty: the default output folder
  SoundChoice sound = SoundChoice::kNone;
  // A source of the caller's own, used instead of the choice; it must outlive every
  // recording started with it (VantorRec's sources, the tests' doubles).
  IRecordingAudio* pOwnSound = nullptr;
  // A recording of a fixed length (VantorRec's --duration) ends by itself once it has
  // recorded this many milliseconds, pauses left out, and every frame reaches the file;
  // 0: it runs until Stop.
  std::uint32_t nDurationMs = 0;
};

// The program's sound choice from its flags: the loopback when g_bUseLoopback is set,
// else a capture device when one was found, else none.
SoundChoice ProgramSoundChoice();

// The main dialog's recording settings. Written on the user-interface thread only, by
// the dialog (tests play its part); read by ProgramRecordingSettings on the same thread.
extern CaptureRect g_CaptureRect;
extern float g_FrameRate;
extern std::wstring g_OutputFolder;  // gains its trailing separator at each Record

// What the program's Record starts: the values above, read now. The output folder gets
// its separator (or becomes the default folder, created when missing) in place, so that
// the stored folder keeps it.
RecordingSettings ProgramRecordingSettings();

}  // namespace vantor
