// The command line of VantorRec. Sources are named, not hard-wired: the parser accepts
// whatever the source registry (Sources.h) offers on this platform, so a new source
// needs no change here.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vantor {

enum class RecPace {
  kRealTime,  // frames at the frame rate, as a capture would deliver them
  kMax,       // each frame as soon as the encoder has taken the previous one
};

struct RecOptions {
  std::string strSource = "testpattern";
  std::string strAudio = "none";
  std::int32_t nWidth = 1280;
  std::int32_t nHeight = 720;
  double dFramesPerSecond = 30;
  double dSeconds = 5;      // --duration
  std::int64_t nFrames = -1;  // --frames; -1: from the duration
  std::string strOutDir;    // UTF-8
  RecPace pace = RecPace::kRealTime;
  std::string strSaveFrames;  // UTF-8; empty: none
  bool bStats = false;  // --stats: timing and processor time on standard error
  bool bHelp = false;
  bool bListDevices = false;  // --list-devices: print the sound capture devices and exit
  // --source screen: --rect L,T,R,B (inclusive screen coordinates) or --fullscreen
  // (the default): the area to record.
  bool bHasRect = false;
  std::int32_t nRectLeft = 0, nRectTop = 0, nRectRight = 0, nRectBottom = 0;
  bool bFullscreen = false;
  // --commands: "pause", "record" and "stop" lines on standard input.
  bool bCommands = false;

  // Frames to record: --frames, or the duration at the frame rate.
  std::int64_t get_FrameCount() const;
};

// Parses the arguments after the program name (UTF-8). False with a one-line reason.
bool ParseRecOptions(const std::vector<std::string>& args, RecOptions* pOptions, std::string* pError);

// "usage: VantorRec ..." in one line, and the longer help text.
std::string GetRecUsage();
std::string GetRecHelp();

}  // namespace vantor
