// VantorRec: records from the command line with the engine of the program, for scripts.
//
//   VantorRec --source testpattern --size 1280x720 --fps 30 --duration 5 --out DIR
//   VantorRec --source screen --rect 100,100,739,579 --fps 30 --duration 5 --out DIR
//                                  (Windows: the program's own capture loop and border)
//
// Prints the recorded file's path and exits 0; a bad argument gets one line (the reason
// and the usage) on standard error and exit status 2; a recording that cannot be made, a line saying
// why and status 1.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/RecOptions.h"
#include "cli/RecSession.h"
#include "cli/Sources.h"
#include "cli/StopRequest.h"
#include "platform/Text.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

void OnInterrupt(int) { vantor::RequestRecordingStop(); }

// Text goes out as UTF-8; a Windows console gets it as wide characters so that any
// name shows, whatever its code page.
void Print(std::FILE* pStream, const std::string& strText) {
#if defined(_WIN32)
  const HANDLE hOut = ::GetStdHandle(pStream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD dwMode;
  if (hOut != INVALID_HANDLE_VALUE && ::GetConsoleMode(hOut, &dwMode)) {
    const std::wstring strWide = vantor::WideFromUtf8(strText);
    DWORD dwWritten;
    std::fflush(pStream);
    ::WriteConsoleW(hOut, strWide.data(), static_cast<DWORD>(strWide.size()), &dwWritten, nullptr);
    return;
  }
#endif
  std::fwrite(strText.data(), 1, strText.size(), pStream);
  std::fflush(pStream);
}

int Run(const std::vector<std::string>& args) {
  vantor::RecOptions options;
  std::string strError;
  if (!vantor::ParseRecOptions(args, &options, &strError)) {
    Print(stderr, "VantorRec: " + strError + "; " + vantor::GetRecUsage() + "\n");
    return 2;
  }
  if (options.bHelp) {
    Print(stdout, vantor::GetRecHelp());
    return 0;
  }
  if (options.bListDevices) {
    std::vector<std::string> names;
    if (!vantor::ListSoundDevices(&names, &strError)) {
      Print(stderr, "VantorRec: " + strError + "\n");
      return 1;
    }
    for (const std::string& strName : names) Print(stdout, strName + "\n");
    return 0;
  }
  std::signal(SIGINT, OnInterrupt);
  const vantor::RecOutcome outcome = vantor::RunRecording(options);
  if (outcome.nExit != 0) {
    Print(stderr, "VantorRec: " + outcome.strError + "\n");
    return outcome.nExit;
  }
  // The file's path; a recording that went on into more files names each on a line.
  if (outcome.files.size() > 1) {
    for (const std::string& strFile : outcome.files) Print(stdout, strFile + "\n");
  } else {
    Print(stdout, outcome.strPath + "\n");
  }
  if (options.bStats) {
    char szLine[200];
    // encode_seconds: inside Xvid; source_seconds: making generated frames. What the
    // processor time holds beyond both is the pipeline's own cost and the start and end.
    std::snprintf(szLine, sizeof szLine,
                  "stats: frames=%u seconds=%.3f fps=%.1f cpu_seconds=%.3f encode_seconds=%.3f "
                  "source_seconds=%.3f\n",
                  static_cast<unsigned>(outcome.nFrames), outcome.dSeconds,
                  outcome.dSeconds > 0 ? outcome.nFrames / outcome.dSeconds : 0.0, outcome.dCpuSeconds,
                  outcome.dEncodeSeconds, outcome.dSourceSeconds);
    Print(stderr, szLine);
    if (options.strSource == "screen") {
      // The capture loop's own figures: grabs made, grabs that gave no frame, places that
      // repeat the frame before them (frames due while a grab was late), and the grab
      // rate over the loop's running time (pauses left out), and the paused time.
      const double dRecorded = outcome.dLoopSeconds - outcome.dPausedSeconds;
      std::snprintf(szLine, sizeof szLine,
                    "capture: grabs=%u skipped=%u repeated=%u loop_seconds=%.3f paused_seconds=%.3f "
                    "grab_rate=%.2f\n",
                    static_cast<unsigned>(outcome.nGrabs), static_cast<unsigned>(outcome.nSkipped),
                    static_cast<unsigned>(outcome.nRepeated), outcome.dLoopSeconds, outcome.dPausedSeconds,
                    dRecorded > 0 ? outcome.nGrabs / dRecorded : 0.0);
      Print(stderr, szLine);
    }
  }
  return 0;
}

}  // namespace

#if defined(_WIN32)
// The wide command line, so that folder names outside the ANSI code page arrive whole.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(vantor::Utf8FromWide(argv[i]));
  return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
