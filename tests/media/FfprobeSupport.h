// Runs ffprobe, the independent reader our files must satisfy (native builds only).
#pragma once
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vantor::test {

struct ProbeResult {
  int nExit = -1;
  std::vector<std::string> lines;  // standard output
  std::string strErrors;           // standard error
};

inline ProbeResult RunFfprobe(const std::string& strFfprobe, const std::string& strArgs,
                              const std::string& strFile, const std::string& strErrFile) {
  ProbeResult r;
  const std::string strCommand =
      "'" + strFfprobe + "' " + strArgs + " '" + strFile + "' 2>'" + strErrFile + "'";
  FILE* p = ::popen(strCommand.c_str(), "r");
  if (!p) return r;
  std::string strOut;
  char szBuf[65536];
  for (std::size_t n; (n = std::fread(szBuf, 1, sizeof szBuf, p)) > 0;) strOut.append(szBuf, n);
  r.nExit = ::pclose(p);
  std::istringstream in(strOut);
  for (std::string strLine; std::getline(in, strLine);)
    if (!strLine.empty()) r.lines.push_back(strLine);
  std::ifstream err(strErrFile);
  r.strErrors.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return r;
}

// Packets of "-show_entries packet=stream_index,pts,size -of csv=p=0".
struct ProbePacket {
  int nStream;
  long long nPts;
  unsigned nSize;
};

inline std::vector<ProbePacket> ParsePackets(const std::vector<std::string>& lines) {
  std::vector<ProbePacket> packets;
  for (const std::string& strLine : lines) {
    ProbePacket p{};
    if (std::sscanf(strLine.c_str(), "%d,%lld,%u", &p.nStream, &p.nPts, &p.nSize) == 3) packets.push_back(p);
  }
  return packets;
}

// Seek points spread over the whole recording, as a "-read_intervals" argument that
// reads a few packets after each seek. Seeking goes through the file's indexes, so
// the packets found there prove the index entries.
inline std::string SeekIntervals(double dSeconds, int nPoints) {
  std::string str;
  for (int i = 1; i <= nPoints; ++i) {
    char sz[64];
    std::snprintf(sz, sizeof sz, "%s%.3f%%+#4", i > 1 ? "," : "", dSeconds * i / (nPoints + 1));
    str += sz;
  }
  return str;
}

}  // namespace vantor::test
