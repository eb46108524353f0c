// GDI recording in the Windows programs: the program's recording engine on the screen
// grabber, the encoder thread (g_EncoderThread), the border the program hands over
// (UseBorderWindow) and the sound readers. The rules are those of GdiRecording.h and RecordingEngine.h.
#pragma once
#include <windows.h>

#include <cstdint>

#include "base/AreaBorder.h"
#include "recording/RecordingEngine.h"
#include "recording/ScreenGrabber.h"

namespace vantor {

// The program's one engine, made on first use (after every process-wide object it
// drives, so that it ends before them: a recording still running at exit is finished
// first). Its Record() records ProgramRecordingSettings(); its sound sources are the
// loopback and capture-device readers.
CRecordingEngine& TheGdiRecording();

// Waits up to nTimeoutMs for the recording thread to end, handling this thread's
// window messages meanwhile (the border window may belong to it). True when ended.
bool WaitForRecordingEnd(DWORD nTimeoutMs);
// The program's end during a recording: every frame grabbed reaches the file, and the
// file is closed when this returns (window messages are handled meanwhile).
void FinishRecordingAndWait();

// The border the recordings show (null: none), owned by the caller; its moves go to the
// recording. Taking a border away first waits for a recording that uses it to end, so
// the caller may destroy it afterwards.
void UseBorderWindow(IAreaBorder* pBorder);
// What flashes the border's marks grey around each grab but a recording's first.
IGrabObserver& BorderFlash();

// The file name for the present moment in g_OutputFolder (which keeps the separator
// added to it; an empty one becomes the default output folder, created when missing):
// FOLDER\YYYYMMDD-HHMMSSt.EXT into szOut (kOutputNameCapacity characters). False,
// with szOut empty, when the name would not fit.
bool MakeOutputFileName(wchar_t* szOut, const wchar_t* szExtension);

}  // namespace vantor
