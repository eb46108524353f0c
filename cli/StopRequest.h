// The one request to end a recording early: Ctrl+C, the console closing, or the "stop"
// command's wake-up. Whichever recording runs (a source's or the screen's) watches it;
// the file is finished normally.
#pragma once

namespace vantor {

// Sets the request and wakes the running recording. Safe from a signal or console
// handler: it only sets a flag and calls the waker.
void RequestRecordingStop();
bool IsRecordingStopRequested();
// A recording clears the request when it starts.
void ClearRecordingStopRequest();
// What RequestRecordingStop wakes after setting the request; null: nothing. Set by the
// recording that runs, before it watches the request.
void SetRecordingStopWaker(void (*pfnWake)());

}  // namespace vantor
