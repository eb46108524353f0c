// Fuzzing the helper's reader and command rules with whatever bytes a sender might
// write, cut into whatever pieces a pipe might deliver. The first bytes of an input
// choose the kind of input and the piece sizes; the rest is the text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ScriptedSource.h"
#include "VantorX64/HelperCommands.h"
#include "VantorX64/LineReader.h"

namespace {

using vantor::test::CScriptedSource;

void Check(bool bHolds, const char* pszWhat) {
  if (!bHolds) {
    std::fprintf(stderr, "broken: %s\n", pszWhat);
    std::abort();
  }
}

// The number rule against the C library's own reading of a decimal.
void CheckCommand(const char* pszLine) {
  const std::int32_t nValue = vantor::ParseHelperCommand(pszLine);
  const bool bPid = std::strlen(pszLine) >= 4 && (pszLine[0] | 0x20) == 'p' && (pszLine[1] | 0x20) == 'i' &&
                    (pszLine[2] | 0x20) == 'd' && pszLine[3] == ' ';
  if (bPid) {
    long long nReference = std::strtoll(pszLine + 4, nullptr, 10);
    if (nReference > INT32_MAX) nReference = INT32_MAX;
    if (nReference < INT32_MIN) nReference = INT32_MIN;
    Check(nValue == nReference, "pid value differs from strtoll");
  } else {
    Check(nValue == 0 || nValue == 1, "a line that is no pid line gives 0 or 1");
  }
}

// Runs the helper over the text; checks what it may hook.
class CFuzzHost : public vantor::IHelperHost {
 public:
  explicit CFuzzHost(CScriptedSource& source) : m_Source(source) {}
  void HookProcess(std::uint32_t nPid) override {
    Check(nPid != 0 && nPid != 1, "hooked process 0 or 1");
    Check(!m_bHooked || nPid != m_nLast, "hooked the same process twice in a row");
    Check(m_nStops == 0, "hooked after stopping the hook library");
    m_bHooked = true;
    m_nLast = nPid;
  }
  void StopHookLibrary() override { ++m_nStops; }
  void Idle() override {
    if (!m_Source.Deliver()) m_Source.Close();
  }
  int m_nStops = 0;

 private:
  CScriptedSource& m_Source;
  bool m_bHooked = false;
  std::uint32_t m_nLast = 0;
};

// A file is there whole from the start; a pipe or a console gets the text in pieces.
void Feed(CScriptedSource& source, const std::string& strText, std::size_t nPiece) {
  for (std::size_t i = 0; i < strText.size(); i += nPiece) source.Queue(strText.substr(i, nPiece));
  if (source.get_Kind() != CScriptedSource::Kind::kFile) return;
  source.DeliverAll();
  source.Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
  if (nSize < 2) return 0;
  const std::uint8_t nMode = pData[0];
  const std::size_t nPiece = 1 + pData[1] * 37u;  // 1 to 9436 bytes a delivery
  std::string strText(reinterpret_cast<const char*>(pData + 2), nSize - 2);
  const auto kind = static_cast<CScriptedSource::Kind>(nMode % 3);
  // In accounting mode every byte but LF survives into some line, so the lines must
  // give back the text, less its LFs, byte for byte.
  const bool bAccounting = (nMode & 0x80) != 0;
  if (bAccounting) {
    for (char& c : strText) {
      if (c == '\r' || c == '\0') c = '.';
    }
  }

  {
    CScriptedSource source(kind);
    Feed(source, strText, nPiece);
    vantor::CLineReader reader;
    reader.Open(&source);
    std::string strJoined;
    char szLine[vantor::kHelperLineSize];
    for (;;) {
      if (reader.ReadLine(szLine)) {
        const std::size_t nLength = std::strlen(szLine);
        Check(nLength <= 4095, "a line longer than 4095 bytes");
        Check(std::memchr(szLine, '\n', nLength) == nullptr, "a line feed inside a line");
        Check(std::memchr(szLine, '\r', nLength) == nullptr, "a carriage return inside a line");
        CheckCommand(szLine);
        strJoined += szLine;
        continue;
      }
      if (reader.IsEnded()) break;
      if (!source.Deliver()) source.Close();
    }
    Check(source.m_nBlockingReads == 0 || kind == CScriptedSource::Kind::kConsole, "read an empty pipe");
    if (bAccounting) {
      std::string strExpected;
      for (const char c : strText) {
        if (c != '\n') strExpected += c;
      }
      Check(strJoined == strExpected, "the lines do not give back the text");
    }
  }
  {
    CScriptedSource source(kind);
    Feed(source, strText, nPiece);
    CFuzzHost host(source);
    vantor::CLineReader reader;
    reader.Open(&source);
    Check(vantor::RunHelper(reader, host) == 0, "an exit code other than 0");
    Check(host.m_nStops <= 1, "the hook library stopped twice");
  }
  return 0;
}
