// The helper's opt-in trace: one record per line in one write each, off when no file
// could be made, and off for good after a failed write, without stopping the helper.
#include "VantorX64/HelperTrace.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vantor::test {
namespace {

struct TraceFileState {
  std::vector<std::string> writes;
  bool bFailNext = false;
  bool bDestroyed = false;
};

class CTraceFile : public CWriteFile {
 public:
  explicit CTraceFile(TraceFileState& state) : m_State(state) {}
  ~CTraceFile() override { m_State.bDestroyed = true; }
  bool Seek(std::int64_t) override { return true; }
  bool Write(const void* pData, std::uint32_t nBytes, std::uint32_t* pWritten) override {
    if (m_State.bFailNext) {
      *pWritten = nBytes / 2;  // a short write counts as a failure
      return true;
    }
    m_State.writes.emplace_back(static_cast<const char*>(pData), nBytes);
    *pWritten = nBytes;
    return true;
  }
  bool SetEndOfFile() override { return true; }
  bool GetSize(std::int64_t* pSize) override {
    *pSize = 0;
    return true;
  }
  bool Close() override { return true; }

 private:
  TraceFileState& m_State;
};

class CTraceFileSystem : public CFileSystem {
 public:
  std::unique_ptr<CWriteFile> CreateWriteFile(const std::string& strPath) override {
    paths.push_back(strPath);
    if (!bCanCreate) return nullptr;
    return std::make_unique<CTraceFile>(state);
  }
  bool GetFileSystemName(const std::string&, std::string*) override { return false; }

  bool bCanCreate = true;
  std::vector<std::string> paths;
  TraceFileState state;
};

TEST(HelperTrace, RecordsEachLineInOneWrite) {
  CTraceFileSystem files;
  CHelperTrace trace;
  ASSERT_TRUE(trace.Open(files, "C:\\trace.txt"));
  trace.Received("begin");
  trace.Received("pid 42");
  trace.Sent("hookok");
  trace.Received("");
  trace.Received(nullptr);
  EXPECT_EQ(files.state.writes, (std::vector<std::string>{"< begin\n", "< pid 42\n", "> hookok\n", "< \n"}));
}

TEST(HelperTrace, StaysOffWithoutAFile) {
  CTraceFileSystem files;
  CHelperTrace trace;
  // No variable set: no name, and nothing is even tried.
  EXPECT_FALSE(trace.Open(files, ""));
  EXPECT_TRUE(files.paths.empty());
  files.bCanCreate = false;
  EXPECT_FALSE(trace.Open(files, "Z:\\no such folder\\trace.txt"));
  trace.Received("begin");
  EXPECT_FALSE(trace.IsOpen());
}

TEST(HelperTrace, AFailedWriteEndsTheTraceAndClosesItsFile) {
  CTraceFileSystem files;
  CHelperTrace trace;
  ASSERT_TRUE(trace.Open(files, "trace.txt"));
  trace.Received("begin");
  files.state.bFailNext = true;
  trace.Received("pid 42");
  EXPECT_FALSE(trace.IsOpen());
  EXPECT_TRUE(files.state.bDestroyed);
  files.state.bFailNext = false;
  trace.Sent("hookok");
  EXPECT_EQ(files.state.writes, std::vector<std::string>{"< begin\n"});
}

}  // namespace
}  // namespace vantor::test
