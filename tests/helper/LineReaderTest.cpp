// The helper's line reader over pipes, consoles and files, in the chunks they deliver.
#include "VantorX64/LineReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptedSource.h"

namespace vantor::test {
namespace {

// Every line the reader gives while the chunks arrive one per empty answer, until it
// has nothing more and the script is done.
std::vector<std::string> ReadAll(CScriptedSource& source, bool bCloseAtEnd = false) {
  CLineReader reader;
  reader.Open(&source);
  std::vector<std::string> lines;
  char szLine[kHelperLineSize];
  for (int nGuard = 0; nGuard < 100000; ++nGuard) {
    if (reader.ReadLine(szLine)) {
      lines.emplace_back(szLine);
      continue;
    }
    if (reader.IsEnded()) break;
    if (!source.Deliver()) {
      if (!bCloseAtEnd) break;
      source.Close();
      bCloseAtEnd = false;
    }
  }
  return lines;
}

using Lines = std::vector<std::string>;

TEST(LineReader, CrLfAndLfGiveTheSameLines) {
  CScriptedSource crlf, lf;
  crlf.Queue("begin\r\npid 42\r\nquit\r\n");
  lf.Queue("begin\npid 42\nquit\n");
  EXPECT_EQ(ReadAll(crlf), (Lines{"begin", "pid 42", "quit"}));
  EXPECT_EQ(ReadAll(lf), (Lines{"begin", "pid 42", "quit"}));
}

TEST(LineReader, ALineEndsAtItsFirstCarriageReturn) {
  CScriptedSource source;
  source.Queue("pid 5\rpid 6\r\n\r\r\nx\r\r\n\n");
  EXPECT_EQ(ReadAll(source), (Lines{"pid 5", "", "x", ""}));
}

TEST(LineReader, LinesSplitAcrossChunksComeOutWhole) {
  CScriptedSource source;
  for (const char c : std::string("begin\r\npid 123\r\nquit\r\n")) source.Queue(std::string(1, c));
  EXPECT_EQ(ReadAll(source), (Lines{"begin", "pid 123", "quit"}));
  EXPECT_EQ(source.m_nBlockingReads, 0);
}

TEST(LineReader, NeverReadsAnEmptyPipe) {
  CScriptedSource source;
  CLineReader reader;
  reader.Open(&source);
  char szLine[kHelperLineSize];
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(reader.ReadLine(szLine));
  EXPECT_EQ(source.m_nBlockingReads, 0);
  EXPECT_FALSE(reader.IsEnded());
  source.Queue("begin\r\n");
  source.Deliver();
  ASSERT_TRUE(reader.ReadLine(szLine));
  EXPECT_STREQ(szLine, "begin");
}

// Lengths of the lines a long run of bytes comes out as, delivered at once or in
// pieces that cross the 4096-byte buffer at odd places.
struct LongLineCase {
  std::size_t nBytes;
  std::size_t nPiece;  // 0: the whole text at once
  std::vector<std::size_t> lengths;
};

class LongLines : public ::testing::TestWithParam<LongLineCase> {};

TEST_P(LongLines, AreCutAfter4095Bytes) {
  const LongLineCase& c = GetParam();
  const std::string strText = std::string(c.nBytes, 'a') + "\r\nnext\r\n";
  CScriptedSource source;
  if (c.nPiece == 0) {
    source.Queue(strText);
  } else {
    for (std::size_t i = 0; i < strText.size(); i += c.nPiece) source.Queue(strText.substr(i, c.nPiece));
  }
  std::vector<std::size_t> lengths;
  for (const std::string& strLine : ReadAll(source)) lengths.push_back(strLine.size());
  std::vector<std::size_t> expected = c.lengths;
  expected.push_back(4);  // "next": the reader is back in step after the long line
  EXPECT_EQ(lengths, expected);
}

INSTANTIATE_TEST_SUITE_P(
    LineReader, LongLines,
    ::testing::Values(LongLineCase{5000, 0, {4095, 905}},       // the line arriving at once
                      LongLineCase{5000, 700, {4095, 905}},     // and in pieces
                      LongLineCase{4094, 0, {4094}},            // fits with its CR LF
                      LongLineCase{4095, 0, {4095, 0}},         // its CR LF falls past the full buffer
                      LongLineCase{4096, 0, {4095, 1}},
                      LongLineCase{9000, 0, {4095, 4095, 810}},
                      LongLineCase{9000, 1, {4095, 4095, 810}}),
    [](const ::testing::TestParamInfo<LongLineCase>& info) {
      return std::to_string(info.param.nBytes) + "BytesInPiecesOf" + std::to_string(info.param.nPiece);
    });

TEST(LineReader, ACutLineKeepsWhatFollowsItsCut) {
  // The last byte of a full buffer starts the next line: a command there is seen.
  CScriptedSource source;
  source.Queue(std::string(4095, 'x') + "pid 77\r\n");
  EXPECT_EQ(ReadAll(source), (Lines{std::string(4095, 'x'), "pid 77"}));
}

TEST(LineReader, ABrokenPipeEndsTheInput) {
  CScriptedSource source;
  source.Queue("begin\r\npid 9");
  source.Close();
  CLineReader reader;
  reader.Open(&source);
  source.Deliver();
  char szLine[kHelperLineSize];
  ASSERT_TRUE(reader.ReadLine(szLine));
  EXPECT_STREQ(szLine, "begin");
  // Bytes left without a line end still make a line, then the input is over.
  ASSERT_TRUE(reader.ReadLine(szLine));
  EXPECT_STREQ(szLine, "pid 9");
  EXPECT_FALSE(reader.ReadLine(szLine));
  EXPECT_TRUE(reader.IsEnded());
  EXPECT_EQ(source.m_nBlockingReads, 0);
}

TEST(LineReader, AFileIsReadToItsEnd) {
  // Redirected from a file: the peek fails, every read gives bytes, the last gives none.
  CScriptedSource source(CScriptedSource::Kind::kFile);
  source.Queue("begin\npid 5\nquit");
  source.DeliverAll();
  source.Close();
  EXPECT_EQ(ReadAll(source), (Lines{"begin", "pid 5", "quit"}));
}

TEST(LineReader, ConsoleTypedLinesReadAsPipeLines) {
  CScriptedSource source(CScriptedSource::Kind::kConsole);
  source.Queue("begin\r\n");
  source.Queue("PID 7\r\n");
  source.Queue("quit\r\n");
  EXPECT_EQ(ReadAll(source), (Lines{"begin", "PID 7", "quit"}));
  EXPECT_EQ(source.m_nBlockingReads, 0);
}

TEST(LineReader, AConsoleIsReadOnlyOnceAKeyIsDownAndUp) {
  CScriptedSource source(CScriptedSource::Kind::kConsole);
  CLineReader reader;
  reader.Open(&source);
  char szLine[kHelperLineSize];
  source.m_nConsoleEventsExtra = 1;  // a key only pressed: its line may not be typed yet
  EXPECT_FALSE(reader.ReadLine(szLine));
  EXPECT_EQ(source.m_nBlockingReads, 0);
  EXPECT_GT(source.m_nConsoleQueries, 0);
}

}  // namespace
}  // namespace vantor::test
