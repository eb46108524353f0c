// Record, Pause and Stop: the one interface every route drives a recording through
// (the dialog's buttons, the hotkeys, the tray menu, VantorRec's --commands).
#pragma once

namespace vantor {

enum class RecordResult {
  kStarted,         // a new recording thread runs
  kResumed,         // the running recording was paused and goes on
  kAlreadyRunning,  // nothing changed
  kFailed,          // the thread could not be started
};

class IRecordingCommands {
 public:
  virtual ~IRecordingCommands() = default;
  // Starts a recording with the route's settings, or resumes a paused one; otherwise
  // does nothing while one runs. Does not wait.
  virtual RecordResult Record() = 0;
  // Pauses a running recording or resumes a paused one; true when now paused.
  virtual bool Pause() = 0;
  // Ends the recording after the frame in hand (a paused one too); frames not yet
  // encoded are dropped and the file is finished.
  virtual void Stop() = 0;
};

}  // namespace vantor
