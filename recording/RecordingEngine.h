// The recording engine: the one owner of a program's GDI recordings. It holds the
// commands' state (CRecordingControl), the sound sources a recording chooses from and
// the route's settings, and runs each recording on its own thread through its host
// (the screen, the encoder thread, the border, the file names).
//
// Every route starts recordings the same way: Record() with the settings its source
// gives (the dialog's, VantorRec's), or Record(settings) with a value of its own. The
// value is read once, when Record is called; nothing a route does later reaches the
// running recording.
//
// Its end is defined: Shutdown (and the destructor) ends a running recording keeping
// every frame grabbed, waits for its thread and for the file to be closed. The programs
// make their engine after every process-wide object it drives (the recorder, the frame
// hand-off, the sound readers), so it ends before them.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "recording/GdiRecording.h"
#include "recording/RecordingCommands.h"
#include "recording/RecordingSettings.h"

namespace vantor {

class CRecordingEngine final : public IRecordingCommands {
 public:
  using SettingsSource = std::function<RecordingSettings()>;

  // host and the sources outlive the engine. recording and paused are the flags the
  // commands set (the programs': g_Recording, g_Paused).
  CRecordingEngine(ICaptureHost& host, const RecordingSoundSources& sources, std::atomic<std::int32_t>& recording,
                   std::atomic<std::int32_t>& paused);
  CRecordingEngine(const CRecordingEngine&) = delete;
  CRecordingEngine& operator=(const CRecordingEngine&) = delete;
  ~CRecordingEngine() override;

  // The sources the next recordings choose from (a recording keeps those it started
  // with).
  void UseSoundSources(const RecordingSoundSources& sources);

  // Where Record() takes its settings, called on the commanding thread at each Record.
  // Without one, Record() starts nothing and answers kFailed.
  void SetSettingsSource(SettingsSource fnSettings);

  RecordResult Record() override;
  // Record with this value: a new recording records exactly it.
  RecordResult Record(const RecordingSettings& settings);
  bool Pause() override;
  void Stop() override;
  // Ends the recording after the frame in hand, like Stop, but every frame already
  // grabbed reaches the file.
  void Finish();
  // Waits up to nTimeoutMs for the recording thread to end; true when none runs.
  bool WaitForEnd(std::uint32_t nTimeoutMs);
  // Finish, then waits for the recording thread and for the file to be closed. Nothing
  // runs afterwards until the next Record. Safe to call at any time, and again.
  void Shutdown();

  CRecordingControl& get_Control() { return m_Control; }
  const CRecordingControl& get_Control() const { return m_Control; }

 private:
  void Run(std::uint64_t nRun, const RecordingSettings& settings, const RecordingSoundSources& sources);

  ICaptureHost& m_Host;
  std::mutex m_SettingsLock;
  RecordingSoundSources m_Sources;  // under m_SettingsLock
  SettingsSource m_fnSettings;      // under m_SettingsLock
  CRecordingControl m_Control;      // last: its threads use everything above
};

// Whole pixels between inclusive corners, or 0 when the area is empty or too large.
std::int32_t SpanOf(std::int32_t nFirst, std::int32_t nLast);

}  // namespace vantor
