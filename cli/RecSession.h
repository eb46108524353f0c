// One VantorRec recording on the program's engine: the source's frames go through
// g_EncoderThread (frame buffer, pending counter, encoder thread) into g_Recorder, and
// an audio source writes into g_Recorder from its own thread.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "cli/RecOptions.h"

namespace vantor {

struct RecOutcome {
  int nExit = 1;           // 0 recorded; 1 could not record
  std::string strPath;     // UTF-8: the file written (the first, when there are more)
  // UTF-8: every file of the recording, in order (a long recording goes on in more).
  std::vector<std::string> files;
  std::string strError;    // one line for the user when nExit != 0
  std::uint32_t nFrames = 0;  // video frames in the file
  double dSeconds = 0;        // from the start of the encoder to the file's close
  double dCpuSeconds = 0;     // processor time of the whole process meanwhile
  double dEncodeSeconds = 0;  // of it, inside Xvid's encode calls
  double dSourceSeconds = 0;  // a generated source: making its frames (the screen: 0)
  // --source screen: frames grabbed and handed to the encoder, grabs that gave no
  // frame, and the time from the first grab to the end of the last.
  std::uint32_t nGrabs = 0;
  std::uint32_t nSkipped = 0;
  std::uint32_t nRepeated = 0;  // places in the file that repeat the frame before them (late grabs)
  double dLoopSeconds = 0;
  double dPausedSeconds = 0;  // of the loop's time, waited out in pauses
};

RecOutcome RunRecording(const RecOptions& options);

// The file name for a recording started at local time tm plus nTenths tenths of a
// second, in strFolder: FOLDER\YYYYMMDD-HHMMSSt.avi (with '/' natively). A separator
// is added unless the folder ends in one.
std::string MakeRecordingPath(const std::string& strFolder, const std::tm& local, int nTenths);

}  // namespace vantor
