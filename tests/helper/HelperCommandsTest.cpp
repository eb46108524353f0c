// The helper's side of the exchange: which lines open it, which processes are hooked,
// and when the helper ends.
#include "VantorX64/HelperCommands.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "ScriptedSource.h"

namespace vantor::test {
namespace {

TEST(HelperCommands, BeginOpensInAnyCaseAndWithMoreText) {
  EXPECT_TRUE(IsBeginLine("begin"));
  EXPECT_TRUE(IsBeginLine("BEGIN"));
  EXPECT_TRUE(IsBeginLine("BeGiN and more"));
  EXPECT_TRUE(IsBeginLine("beginning"));
  EXPECT_FALSE(IsBeginLine(" begin"));
  EXPECT_FALSE(IsBeginLine("begi"));
  EXPECT_FALSE(IsBeginLine(""));
}

struct CommandCase {
  const char* pszLine;
  std::int32_t nValue;
};

class CommandValues : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandValues, AreReadFromTheLine) {
  EXPECT_EQ(ParseHelperCommand(GetParam().pszLine), GetParam().nValue) << '"' << GetParam().pszLine << '"';
}

INSTANTIATE_TEST_SUITE_P(
    HelperCommands, CommandValues,
    ::testing::Values(CommandCase{"pid 4242", 4242}, CommandCase{"PID 4242", 4242}, CommandCase{"Pid 17", 17},
                      CommandCase{"pid 42abc", 42}, CommandCase{"pid  \t\v\f 77", 77}, CommandCase{"pid +5", 5},
                      CommandCase{"pid -5", -5}, CommandCase{"pid - 5", 0}, CommandCase{"pid x5", 0},
                      CommandCase{"pid ", 0}, CommandCase{"pid", 0}, CommandCase{"pid4242", 0},
                      CommandCase{"pid 0", 0}, CommandCase{"pid 1", 1}, CommandCase{"pid 007", 7},
                      CommandCase{"pid 2147483647", INT32_MAX}, CommandCase{"pid 2147483648", INT32_MAX},
                      CommandCase{"pid 4294967297", INT32_MAX},  // never wraps round to 1
                      CommandCase{"pid -2147483648", INT32_MIN}, CommandCase{"pid -99999999999999999999", INT32_MIN},
                      CommandCase{"quit", 1}, CommandCase{"QUIT", 1}, CommandCase{"quitting now", 1},
                      CommandCase{" quit", 0}, CommandCase{"begin", 0}, CommandCase{"hookok", 0},
                      CommandCase{"", 0}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return "Line" + std::to_string(info.index); });

// Records what the helper asked of the system. Idle lets the next chunk of input
// arrive; once the script is done the sender goes away, so every run ends.
class CRecordingHost : public IHelperHost {
 public:
  explicit CRecordingHost(CScriptedSource& source) : m_Source(source) {}
  void HookProcess(std::uint32_t nProcessId) override { m_Hooked.push_back(nProcessId); }
  void StopHookLibrary() override { ++m_nStops; }
  void LineReceived(const char* pszLine) override { m_Received.emplace_back(pszLine); }
  void Idle() override {
    if (!m_Source.Deliver()) {
      m_bRanOut = true;
      m_Source.Close();
    }
  }

  std::vector<std::uint32_t> m_Hooked;
  std::vector<std::string> m_Received;
  int m_nStops = 0;
  bool m_bRanOut = false;  // the helper asked for more than the script had

 private:
  CScriptedSource& m_Source;
};

struct RunResult {
  int nExitCode;
  std::vector<std::uint32_t> hooked;
  int nStops;
  bool bRanOut;
  std::vector<std::string> received;
};

RunResult RunScript(const std::vector<std::string>& chunks,
              CScriptedSource::Kind kind = CScriptedSource::Kind::kPipe) {
  CScriptedSource source(kind);
  for (const std::string& strChunk : chunks) source.Queue(strChunk);
  CRecordingHost host(source);
  CLineReader reader;
  reader.Open(&source);
  const int nExitCode = RunHelper(reader, host);
  EXPECT_EQ(source.m_nBlockingReads, 0);
  return {nExitCode, host.m_Hooked, host.m_nStops, host.m_bRanOut, host.m_Received};
}

using Pids = std::vector<std::uint32_t>;

TEST(HelperRun, AFirstLineOtherThanBeginEndsAtOnceWithoutTheHookLibrary) {
  for (const char* pszFirst : {" begin\r\n", "pid 5\r\n", "quit\r\n", "\r\n", "hello\r\n"}) {
    const RunResult r = RunScript({pszFirst, "begin\r\npid 5\r\n"});
    EXPECT_EQ(r.nExitCode, 0) << pszFirst;
    EXPECT_TRUE(r.hooked.empty()) << pszFirst;
    EXPECT_EQ(r.nStops, 0) << pszFirst;
    EXPECT_FALSE(r.bRanOut) << pszFirst;
  }
}

TEST(HelperRun, BeginInCapitalsOrWithMoreTextOpens) {
  EXPECT_EQ(RunScript({"BEGIN\r\n", "pid 5\r\n", "quit\r\n"}).hooked, Pids{5});
  EXPECT_EQ(RunScript({"begin now, please\r\n", "pid 5\r\n", "quit\r\n"}).hooked, Pids{5});
}

TEST(HelperRun, QuitStopsTheHookLibraryAndEnds) {
  const RunResult r = RunScript({"begin\r\n", "pid 5\r\n", "QUIT\r\n", "pid 6\r\n"});
  EXPECT_EQ(r.nExitCode, 0);
  EXPECT_EQ(r.hooked, Pids{5});
  EXPECT_EQ(r.nStops, 1);
  EXPECT_FALSE(r.bRanOut);
}

TEST(HelperRun, PidOneEndsLikeQuit) {
  const RunResult r = RunScript({"begin\r\n", "pid 1\r\n", "pid 6\r\n"});
  EXPECT_EQ(r.nExitCode, 0);
  EXPECT_TRUE(r.hooked.empty());
  EXPECT_EQ(r.nStops, 1);
  EXPECT_FALSE(r.bRanOut);
}

TEST(HelperRun, PidZeroAndOtherLinesAreIgnored) {
  const RunResult r =
      RunScript({"begin\r\n", "pid 0\r\n", "pid\r\n", "pid7\r\n", "pid x\r\n", "hookok\r\n", "\r\n", "begin\r\n",
           "PID 7\r\n", "quit\r\n"});
  EXPECT_EQ(r.hooked, Pids{7});
}

TEST(HelperRun, TheSameProcessTwiceInARowIsHookedOnce) {
  EXPECT_EQ(RunScript({"begin\r\npid 10\r\npid 10\r\nquit\r\n"}).hooked, Pids{10});
  // A, B, A: three hooks. An ignored line in between changes nothing.
  EXPECT_EQ(RunScript({"begin\r\npid 10\r\npid 20\r\npid 0\r\npid 20\r\npid 10\r\nquit\r\n"}).hooked,
            (Pids{10, 20, 10}));
}

TEST(HelperRun, CrLfAndLfGiveTheSameRun) {
  const RunResult crlf = RunScript({"begin\r\npid 3\r\npid 4\r\nquit\r\n"});
  const RunResult lf = RunScript({"begin\npid 3\npid 4\nquit\n"});
  EXPECT_EQ(crlf.hooked, (Pids{3, 4}));
  EXPECT_EQ(lf.hooked, crlf.hooked);
  EXPECT_EQ(lf.nStops, crlf.nStops);
}

TEST(HelperRun, A5000ByteLineIsTwoLines) {
  // The second piece of the cut line starts at byte 4095: a command there is served.
  const std::string strLong = std::string(4095, 'x') + "pid 77 " + std::string(5000 - 4095 - 7, 'y');
  ASSERT_EQ(strLong.size(), 5000u);
  const RunResult r = RunScript({"begin\r\n" + strLong + "\r\npid 78\r\nquit\r\n"});
  EXPECT_EQ(r.hooked, (Pids{77, 78}));
}

TEST(HelperRun, ASenderGoneWithoutQuitEndsTheHelper) {
  const RunResult r = RunScript({"begin\r\n", "pid 5\r\n"});
  EXPECT_EQ(r.nExitCode, 0);
  EXPECT_EQ(r.hooked, Pids{5});
  EXPECT_EQ(r.nStops, 1);
  EXPECT_TRUE(r.bRanOut);
}

TEST(HelperRun, ASenderGoneBeforeBeginEndsWithoutTheHookLibrary) {
  const RunResult r = RunScript({"beg"});
  EXPECT_EQ(r.nExitCode, 0);
  EXPECT_EQ(r.nStops, 0);
}

TEST(HelperRun, TypedIntoAConsoleRunsTheSame) {
  const RunResult r = RunScript({"begin\r\n", "pid 12\r\n", "Pid 12\r\n", "pid 13\r\n", "quit\r\n"},
                          CScriptedSource::Kind::kConsole);
  EXPECT_EQ(r.hooked, (Pids{12, 13}));
  EXPECT_EQ(r.nStops, 1);
  EXPECT_FALSE(r.bRanOut);
}

// The trace sees what arrived, not what was made of it: a first line that ends the
// helper, ignored lines and repeated processes too; nothing after the end.
TEST(HelperRun, EveryLineReachesTheHostBeforeItIsActedOn) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(RunScript({"hello\r\n", "begin\r\n"}).received, Lines{"hello"});
  const RunResult r = RunScript({"Begin\r\npid 10\r\n", "pid 10\r\n\r\nnoise\npid 0\r\n", "QUIT\r\npid 11\r\n"});
  EXPECT_EQ(r.received, (Lines{"Begin", "pid 10", "pid 10", "", "noise", "pid 0", "QUIT"}));
  EXPECT_EQ(r.hooked, Pids{10});
}

TEST(HelperRun, NegativeAndLargeNumbersAreProcessIds) {
  // Only 0 and 1 are special; whatever else arrives is tried as a process.
  EXPECT_EQ(RunScript({"begin\r\npid -4\r\npid 99999999999\r\nquit\r\n"}).hooked,
            (Pids{0xFFFFFFFCu, 0x7FFFFFFFu}));
}

}  // namespace
}  // namespace vantor::test
