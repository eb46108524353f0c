#include "cli/RecOptions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "cli/ScreenRecording.h"
#include "cli/Sources.h"

namespace vantor {
namespace {

bool ParseNumber(const std::string& str, double* pValue) {
  if (str.empty() || str.size() > 32) return false;
  for (char c : str)
    if (!((c >= '0' && c <= '9') || c == '.')) return false;
  char* pEnd = nullptr;
  errno = 0;
  const double d = std::strtod(str.c_str(), &pEnd);
  if (errno || pEnd != str.c_str() + str.size() || !std::isfinite(d)) return false;
  *pValue = d;
  return true;
}

bool ParseWhole(const std::string& str, std::int64_t nMin, std::int64_t nMax, std::int64_t* pValue) {
  if (str.empty() || str.size() > 12) return false;
  std::int64_t n = 0;
  for (char c : str) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n < nMin || n > nMax) return false;
  *pValue = n;
  return true;
}

std::string Names(const std::vector<SourceEntry>& entries, const char* szExtra, const char* szSeparator = ", ") {
  std::string str;
  for (const SourceEntry& e : entries)
    str += (str.empty() ? "" : szSeparator) + std::string(e.szName) + (e.bTakesName ? "[:NAME]" : "");
  if (szExtra) str += (str.empty() ? "" : szSeparator) + std::string(szExtra);
  return str;
}

bool IsListed(const std::vector<SourceEntry>& entries, const std::string& strName) {
  for (const SourceEntry& e : entries)
    if (strName == e.szName) return true;
  return false;
}

// The video sources the command line offers: the registry's, and the screen where it
// can be recorded (it runs the program's capture loop, not through a source object).
std::string VideoSourceNames(const char* szSeparator) {
  return Names(GetVideoSources(), IsScreenSourceAvailable() ? kScreenSourceName : nullptr, szSeparator);
}

bool IsVideoSource(const std::string& strName) {
  return IsListed(GetVideoSources(), strName) || (IsScreenSourceAvailable() && strName == kScreenSourceName);
}

// A signed whole number of at most 9 digits.
bool ParseCoordinate(const std::string& str, std::int32_t* pValue) {
  const bool bNegative = !str.empty() && str[0] == '-';
  std::int64_t n = 0;
  if (!ParseWhole(bNegative ? str.substr(1) : str, 0, 999999999, &n)) return false;
  *pValue = static_cast<std::int32_t>(bNegative ? -n : n);
  return true;
}

constexpr std::int32_t kMinSide = 16;
constexpr std::int32_t kMaxSide = 8192;

struct OptionDef {
  const char* szName;
  bool bTakesValue;
  std::function<bool(const std::string&, RecOptions*, std::string*)> fnApply;
};

const std::vector<OptionDef>& GetOptionDefs() {
  static const std::vector<OptionDef> defs = {
      {"source", true,
       [](const std::string& v, RecOptions* p, std::string* e) {
         if (!IsVideoSource(v)) {
           *e = "unknown --source '" + v + "' (available: " + VideoSourceNames(", ") + ")";
           return false;
         }
         p->strSource = v;
         return true;
       }},
      {"audio", true,
       [](const std::string& v, RecOptions* p, std::string* e) {
         if (v != "none" && !IsAudioSourceName(v)) {
           *e = "unknown --audio '" + v + "' (available: " + Names(GetAudioSources(), "none") + ")";
           return false;
         }
         p->strAudio = v;
         return true;
       }},
      {"size", true,
       [](const std::string& v, RecOptions* p, std::string* e) {
         const std::size_t x = v.find('x');
         std::int64_t w = 0, h = 0;
         if (x == std::string::npos || !ParseWhole(v.substr(0, x), kMinSide, kMaxSide, &w) ||
             !ParseWhole(v.substr(x + 1), kMinSide, kMaxSide, &h)) {
           *e = "--size wants WIDTHxHEIGHT, each from " + std::to_string(kMinSide) + " to " +
                std::to_string(kMaxSide) + " (got '" + v + "')";
           return false;
         }
         p->nWidth = static_cast<std::int32_t>(w);
         p->nHeight = static_cast<std::int32_t>(h);
         return true;
       }},
      {"fps", true,
       [](const std::string& v, RecOptions* p, std::string* e) {
         double d = 0;
         if (!ParseNumber(v, &d) || d < 1 || d > 240) {
           *e = "--fps wants a frame rate from 1 to 240 (got '" + v + "')";
           return false;
         }
         p->dFramesPerSecond = d;
         return true;
       }},
      {"duration", true,
       [](const std::string& v, RecOptions* p, std::string* e) {
         double d = 0;
         if (!ParseNumber(v, &d) || d <= 0 || d > 86400) {
           *e = "--duration wants seconds above 0, at most 86400 (got '" + v + "')";
           return false;
         }
         p->dSeconds = d;
         return true;
       }},
      {"frames", true,
       [](const std::string& v, RecOptions* p, std::string* e) {
         std::int64_t n = 0;
         if (!ParseWhole(v, 1, 10000000, &n)) {
           *e = "--frames wants a count from 1 to 10000000 (got '" + v + "')";
           return false;
         }
         p->nFrames = n;
         return true;
       }},
      {"out", true,
       [](const std::string& v, RecOptions* p, std::string* e) {
         if (v.empty()) {
           *e = "--out wants a folder";
           return false;
         }
         p->strOutDir = v;
         return true;
       }},
      {"pace", true,
       [](const std::string& v, RecOptions* p, std::string* e) {
         if (v == "real") {
           p->pace = RecPace::kRealTime;
         } else if (v == "max") {
           p->pace = RecPace::kMax;
         } else {
           *e = "--pace wants 'real' or 'max' (got '" + v + "')";
           return false;
         }
         return true;
       }},
      {"save-frames", true,
       [](const std::string& v, RecOptions* p, std::string* e) {
         if (v.empty()) {
           *e = "--save-frames wants a file";
           return false;
         }
         p->strSaveFrames = v;
         return true;
       }},
      {"rect", true,
       [](const std::string& v, RecOptions* p, std::string* e) {
         std::int32_t a[4];
         std::vector<std::string> parts(1);
         for (char c : v) {
           if (c == ',')
             parts.emplace_back();
           else
             parts.back() += c;
         }
         bool bOk = parts.size() == 4;
         for (std::size_t i = 0; bOk && i < 4; ++i) bOk = ParseCoordinate(parts[i], &a[i]);
         const std::int64_t w = bOk ? static_cast<std::int64_t>(a[2]) - a[0] + 1 : 0;
         const std::int64_t h = bOk ? static_cast<std::int64_t>(a[3]) - a[1] + 1 : 0;
         if (!bOk || w < kMinSide || h < kMinSide || w > kMaxSide || h > kMaxSide) {
           *e = "--rect wants LEFT,TOP,RIGHT,BOTTOM (right and bottom inclusive), " + std::to_string(kMinSide) +
                " to " + std::to_string(kMaxSide) + " pixels each way (got '" + v + "')";
           return false;
         }
         p->bHasRect = true;
         p->nRectLeft = a[0];
         p->nRectTop = a[1];
         p->nRectRight = a[2];
         p->nRectBottom = a[3];
         return true;
       }},
      {"fullscreen", false,
       [](const std::string&, RecOptions* p, std::string*) {
         p->bFullscreen = true;
         return true;
       }},
      {"commands", false,
       [](const std::string&, RecOptions* p, std::string*) {
         p->bCommands = true;
         return true;
       }},
      {"stats", false,
       [](const std::string&, RecOptions* p, std::string*) {
         p->bStats = true;
         return true;
       }},
      {"list-devices", false,
       [](const std::string&, RecOptions* p, std::string*) {
         p->bListDevices = true;
         return true;
       }},
      {"help", false,
       [](const std::string&, RecOptions* p, std::string*) {
         p->bHelp = true;
         return true;
       }},
  };
  return defs;
}

}  // namespace

std::int64_t RecOptions::get_FrameCount() const {
  if (nFrames > 0) return nFrames;
  return std::max<std::int64_t>(1, std::llround(dSeconds * dFramesPerSecond));
}

bool ParseRecOptions(const std::vector<std::string>& args, RecOptions* pOptions, std::string* pError) {
  RecOptions options;
  bool bDuration = false;
  std::vector<std::string> given;  // option names, as they came
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& strArg = args[i];
    if (strArg == "-h" || strArg == "/?") {
      options.bHelp = true;
      continue;
    }
    if (strArg.size() < 3 || strArg.compare(0, 2, "--") != 0) {
      *pError = "unexpected argument '" + strArg + "'";
      return false;
    }
    std::string strName = strArg.substr(2), strValue;
    const std::size_t nEq = strName.find('=');
    const bool bInline = nEq != std::string::npos;
    if (bInline) {
      strValue = strName.substr(nEq + 1);
      strName.resize(nEq);
    }
    const OptionDef* pDef = nullptr;
    for (const OptionDef& def : GetOptionDefs())
      if (strName == def.szName) pDef = &def;
    if (!pDef) {
      *pError = "unknown option '--" + strName + "'";
      return false;
    }
    if (pDef->bTakesValue && !bInline) {
      if (i + 1 >= args.size()) {
        *pError = "--" + strName + " wants a value";
        return false;
      }
      strValue = args[++i];
    } else if (!pDef->bTakesValue && bInline) {
      *pError = "--" + strName + " takes no value";
      return false;
    }
    if (!pDef->fnApply(strValue, &options, pError)) return false;
    if (strName == "duration") bDuration = true;
    given.push_back(strName);
  }
  if (options.bHelp || options.bListDevices) {
    *pOptions = options;
    return true;
  }
  if (bDuration && options.nFrames > 0) {
    *pError = "give either --duration or --frames, not both";
    return false;
  }
  auto isGiven = [&given](const char* szName) { return std::find(given.begin(), given.end(), szName) != given.end(); };
  if (options.strSource == kScreenSourceName) {
    // The screen is recorded in real time for a duration, from a rectangle of it.
    for (const char* szName : {"size", "frames", "pace", "save-frames"})
      if (isGiven(szName)) {
        *pError = std::string("--") + szName + " does not apply to --source screen (it records --rect or --fullscreen for --duration seconds)";
        return false;
      }
    if (options.bHasRect && options.bFullscreen) {
      *pError = "give either --rect or --fullscreen, not both";
      return false;
    }
  } else {
    for (const char* szName : {"rect", "fullscreen", "commands"})
      if (isGiven(szName)) {
        *pError = std::string("--") + szName + " applies to --source screen only";
        return false;
      }
  }
  if (options.strOutDir.empty()) {
    *pError = "--out FOLDER is required";
    return false;
  }
  *pOptions = options;
  return true;
}

std::string GetRecUsage() {
  return "usage: VantorRec --out FOLDER [--source " + VideoSourceNames("|") +
         "] [--size WxH] [--fps N] [--duration SECONDS | --frames N] [--audio " +
         Names(GetAudioSources(), "none", "|") + "] [--pace real|max] [--save-frames FILE] [--stats]" +
         (IsScreenSourceAvailable() ? " [--rect L,T,R,B | --fullscreen] [--commands]" : "");
}

std::string GetRecHelp() {
  std::string str = GetRecUsage() + "\n\n";
  str +=
      "Records an AVI file (Xvid video, PCM sound) into FOLDER, named from the local time,\n"
      "and prints its path.\n\n"
      "  --source NAME     what to record (default testpattern)\n"
      "  --size WxH        frame size for generated pictures (default 1280x720)\n"
      "  --fps N           frames per second, 1 to 240 (default 30)\n"
      "  --duration S      seconds to record (default 5)\n"
      "  --frames N        frames to record instead of a duration\n"
      "  --audio NAME      sound to record with the pictures (default none)\n"
      "  --pace real|max   real: frames at the frame rate; max: as fast as the encoder goes\n"
      "  --save-frames F   also write every frame handed to the encoder to F, raw\n"
      "                    (bgr24, top row first), for comparing with the decoded file\n"
      "  --stats           print frames, seconds and processor time to standard error\n"
      "  --list-devices    print the sound capture devices, one name a line, and exit\n";
  if (IsScreenSourceAvailable())
    str +=
        "  --rect L,T,R,B    --source screen: the area, right and bottom inclusive\n"
        "  --fullscreen      --source screen: the whole primary screen (the default)\n"
        "  --commands        --source screen: read 'pause', 'record' and 'stop' lines from\n"
        "                    standard input, as the Pause, Record and Stop buttons; each is\n"
        "                    answered with a 'state: ...' line on standard error\n";
  str += "\nSources:\n";
  for (const SourceEntry& e : GetVideoSources()) str += "  " + std::string(e.szName) + ": " + e.szDescription + "\n";
  if (IsScreenSourceAvailable())
    str += std::string("  ") + kScreenSourceName +
           ": the screen, through the program's own capture loop, with the recording border and the cursor\n";
  for (const SourceEntry& e : GetAudioSources())
    str += "  --audio " + std::string(e.szName) + ": " + e.szDescription + "\n";
  str += "\nExit status: 0 recorded, 1 could not record, 2 bad arguments.\n";
  return str;
}

}  // namespace vantor
