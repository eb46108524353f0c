// VantorRec's command line, its file names and its test picture.
#include <gtest/gtest.h>

#include <vector>

#include "cli/RecOptions.h"
#include "cli/RecSession.h"
#include "cli/Sources.h"
#include "cli/TestPattern.h"

namespace vantor::test {
namespace {

std::vector<std::string> Split(const std::string& str) {
  std::vector<std::string> args;
  std::string strArg;
  for (char c : str) {
    if (c == ' ') {
      if (!strArg.empty()) args.push_back(strArg);
      strArg.clear();
    } else {
      strArg += c;
    }
  }
  if (!strArg.empty()) args.push_back(strArg);
  return args;
}

TEST(recorder_Cli, AcceptsTheDocumentedCommandLine) {
  RecOptions o;
  std::string strError;
  ASSERT_TRUE(ParseRecOptions(Split("--source testpattern --size 1280x720 --fps 30 --duration 5 --out D"), &o, &strError))
      << strError;
  EXPECT_EQ(o.strSource, "testpattern");
  EXPECT_EQ(o.nWidth, 1280);
  EXPECT_EQ(o.nHeight, 720);
  EXPECT_EQ(o.dFramesPerSecond, 30);
  EXPECT_EQ(o.get_FrameCount(), 150);
  EXPECT_EQ(o.strOutDir, "D");
  EXPECT_EQ(o.strAudio, "none");
  EXPECT_EQ(o.pace, RecPace::kRealTime);

  ASSERT_TRUE(ParseRecOptions(Split("--out=D --frames=7 --pace max --audio tone --size=320x240 --save-frames f.raw"),
                              &o, &strError))
      << strError;
  EXPECT_EQ(o.get_FrameCount(), 7);
  EXPECT_EQ(o.pace, RecPace::kMax);
  EXPECT_EQ(o.strAudio, "tone");
  EXPECT_EQ(o.strSaveFrames, "f.raw");
  EXPECT_EQ(o.nWidth, 320);

  ASSERT_TRUE(ParseRecOptions(Split("--help"), &o, &strError));
  EXPECT_TRUE(o.bHelp);
}

TEST(recorder_Cli, RejectsBadArgumentsWithOneLine) {
  const char* bad[] = {
      "",                                           // no folder
      "--out D --source screenx",                   // unknown source
      "--out D --audio loud",                       // unknown sound source
      "--out D --size 1280",                        // no height
      "--out D --size 1280x",                       //
      "--out D --size x720",                        //
      "--out D --size 8x8",                         // too small
      "--out D --size 99999x720",                   // too large
      "--out D --size -1280x720",                   //
      "--out D --fps 0",                            // no frame rate
      "--out D --fps abc",                          //
      "--out D --fps 1e3",                          //
      "--out D --fps 241",                          //
      "--out D --duration 0",                       //
      "--out D --duration -3",                      //
      "--out D --frames 0",                         //
      "--out D --frames 2.5",                       //
      "--out D --duration 2 --frames 60",           // both
      "--out D --pace slow",                        //
      "--out D --bogus",                            // unknown option
      "--out D extra",                              // stray argument
      "--out",                                      // value missing
      "--out D --help=yes",                         // value where none belongs
  };
  for (const char* sz : bad) {
    RecOptions o;
    std::string strError;
    EXPECT_FALSE(ParseRecOptions(Split(sz), &o, &strError)) << sz;
    EXPECT_FALSE(strError.empty()) << sz;
    EXPECT_EQ(strError.find('\n'), std::string::npos) << sz;
  }
  const std::string strUsage = GetRecUsage();
  EXPECT_EQ(strUsage.rfind("usage: VantorRec", 0), 0u);
  EXPECT_EQ(strUsage.find('\n'), std::string::npos);
  EXPECT_NE(strUsage.find("testpattern"), std::string::npos);
}

TEST(recorder_Cli, EverySourceTheParserOffersCanBeMade) {
  for (const SourceEntry& e : GetVideoSources()) EXPECT_NE(CreateVideoSource(e.szName), nullptr) << e.szName;
  for (const SourceEntry& e : GetAudioSources()) EXPECT_NE(CreateAudioSource(e.szName), nullptr) << e.szName;
  EXPECT_EQ(CreateAudioSource("none"), nullptr);
}

TEST(recorder_Cli, FileNamesFollowTheLocalTime) {
  std::tm t{};
  t.tm_year = 2012 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 7;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 2;
#if defined(_WIN32)
  EXPECT_EQ(MakeRecordingPath("D:\\out", t, 3), "D:\\out\\20120307-0905023.avi");
#else
  EXPECT_EQ(MakeRecordingPath("/out", t, 3), "/out/20120307-0905023.avi");
#endif
  EXPECT_EQ(MakeRecordingPath("D:\\out\\", t, 3), "D:\\out\\20120307-0905023.avi");
  EXPECT_EQ(MakeRecordingPath("out/", t, 9), "out/20120307-0905029.avi");
}

TEST(recorder_Cli, TestPatternCarriesItsFrameNumber) {
  for (const std::int32_t nWidth : {640, 642, 1279}) {
    const std::int32_t nHeight = 360;
    const std::uint32_t nStride = DibRowBytes(nWidth);
    std::vector<std::uint8_t> dib(static_cast<std::size_t>(nStride) * nHeight);
    std::vector<std::uint8_t> topDown(static_cast<std::size_t>(nWidth) * 3 * nHeight);
    for (const std::uint32_t nFrame : {0u, 1u, 77u, 1048575u}) {
      DrawTestPattern(dib.data(), nWidth, nHeight, nStride, nFrame);
      for (int y = 0; y < nHeight; ++y)
        std::copy_n(dib.data() + static_cast<std::size_t>(nHeight - 1 - y) * nStride, nWidth * 3,
                    topDown.data() + static_cast<std::size_t>(y) * nWidth * 3);
      EXPECT_EQ(ReadTestPatternFrame(topDown.data(), nWidth, nHeight, static_cast<std::uint32_t>(nWidth) * 3), nFrame);
      // Row padding stays zero, as a grab leaves it.
      if (nStride != static_cast<std::uint32_t>(nWidth) * 3) {
        EXPECT_EQ(dib[nStride - 1], 0);
      }
    }
    std::vector<std::uint8_t> grey(topDown.size(), 128);
    EXPECT_EQ(ReadTestPatternFrame(grey.data(), nWidth, nHeight, static_cast<std::uint32_t>(nWidth) * 3), -1);
  }
}

}  // namespace
}  // namespace vantor::test
