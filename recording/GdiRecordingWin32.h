// GDI recording in the Windows programs: the Record, Pause and Stop commands, the
// recording thread and the file name, on the screen grabber, the encoder thread
// (g_EncoderThread) and the border window (g_BorderWnd). The rules are those of
// GdiRecording.h.
#pragma once
#include <windows.h>

#include <cstdint>

#include "recording/GdiRecording.h"
#include "recording/ScreenGrabber.h"

namespace vantor {

class CFlashingWnd;

// The program's commands and recording thread.
extern CRecordingControl g_RecordingControl;

// Record: starts a recording of g_CaptureRect at g_FrameRate into g_OutputFolder, all
// three read now; resumes a paused recording; otherwise does nothing while one runs.
// Does not wait.
CRecordingControl::StartResult StartRecording();
// Pause: pauses a running recording or resumes a paused one; true when now paused.
bool PauseRecording();
// Stop: hides the border and ends the recording after the frame in hand; the encoder
// thread drops frames not yet encoded and closes the file. Also ends a paused one.
void StopRecording();
// Ends the recording like Stop, but every frame grabbed reaches the file first.
void FinishRecording();
// Waits up to nTimeoutMs for the recording thread to end, handling this thread's
// window messages meanwhile (the border window may belong to it). True when ended.
bool WaitForRecordingEnd(DWORD nTimeoutMs);

// The recording thread's body for run nRun (started by StartRecording). Returns 0.
DWORD RecordingThreadProc(std::uint64_t nRun);
// One whole recording, from the first grab to the end, in the calling recording
// thread's run. Returns 0 in every case; g_RecordingControl.get_LastOutcome() tells how
// it went.
int RunCapture(int nTop, int nLeft, int nWidth, int nHeight, int nFramesPerSecond, const wchar_t* szFileName);

// The border the recordings show (null: none), owned by the caller, who keeps it until
// every recording has ended: becomes g_BorderWnd, and its moves go to the recording.
void UseBorderWindow(CFlashingWnd* pBorder);
// What flashes the border's marks grey around each grab but a recording's first.
IGrabObserver& BorderFlash();

// The file name for the present moment in g_OutputFolder (which keeps the separator
// added to it; an empty one becomes the default output folder, created when missing):
// FOLDER\YYYYMMDD-HHMMSSt.EXT into szOut (kOutputNameCapacity characters). False,
// with szOut empty, when the name would not fit.
bool MakeOutputFileName(wchar_t* szOut, const wchar_t* szExtension);

}  // namespace vantor
