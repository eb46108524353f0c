// File errors: every call of every kind fails once in turn (or from then on), and the
// writer must abort cleanly, never touch memory it does not own, close its file exactly
// once, and leave a file that ResetFile cuts where the data ends.
#include <gtest/gtest.h>

#include "AVITestSupport.h"

#ifndef _WIN32
#include <sched.h>
#include <sys/mount.h>
#endif

namespace vantor::test {
namespace {

constexpr std::int64_t kLimit = 64 << 10;

std::vector<TestChunk> ScenarioChunks() {
  std::vector<std::uint32_t> sizes;
  for (std::uint32_t i = 0; i < 150; ++i) sizes.push_back(1300 + i * 37 % 400);
  return Interleave(sizes, 1, 480);
}

struct Outcome {
  bool bOpened = false, bAllWritten = false, bClosed = false;
  bool bRefusedAfterFailure = true;
  bool bFaultHitBeforeReset = false;
  bool bFailed = false;
  std::int64_t nHighWater = 0;
};

Outcome RunScenario(CMemoryFileSystem& fs) {
  Outcome out;
  AVIOutputFile avi(&fs, kLimit);
  PrepareStreams(avi);
  out.bOpened = avi.OpenFile("a.avi", 320, 240);
  const std::vector<TestChunk> chunks = ScenarioChunks();
  out.bAllWritten = out.bOpened && WriteChunks(avi, chunks) == chunks.size();
  out.bClosed = out.bOpened && avi.CloseFile();
  out.bFailed = avi.get_WriteFailed();
  if (out.bFailed) {
    const std::uint8_t data[4] = {};
    out.bRefusedAfterFailure = !avi.WriteChunk(MakeFourCC("00dc"), 0, data, 4) && !avi.CloseFile();
  }
  out.nHighWater = avi.get_HighWaterPosition();
  out.bFaultHitBeforeReset = fs.m_Counts.bFaultHit;
  avi.ResetFile();
  return out;
}

// Up to the high-water mark, an abandoned file holds what the clean run wrote, except
// for size fields the clean run patched at close and the abandoned file did not.
void ExpectDataAsInCleanRun(const CMemoryFile& faulted, const CMemoryFile& clean) {
  const std::size_t nEnd = static_cast<std::size_t>(std::min(faulted.get_Size(), clean.get_Size()));
  const std::vector<std::uint8_t> a = faulted.Bytes(0, nEnd), b = clean.Bytes(0, nEnd);
  // A size field left as the placeholder, or patched only in part by a short write.
  auto isPlaceholderAt = [&](std::size_t q) {
    if (q < 4 || q + 4 > nEnd) return false;
    const std::string strBefore(reinterpret_cast<const char*>(&b[q - 4]), 4);
    if (strBefore != "RIFF" && strBefore != "LIST") return false;
    for (std::size_t j = 0; j < 4; ++j)
      if (a[q + j] != b[q + j] && a[q + j] != ((kAVIExtendedPlaceholder >> (8 * j)) & 0xFF)) return false;
    return true;
  };
  for (std::size_t i = 10252; i < nEnd; ++i) {
    if (a[i] == b[i]) continue;
    bool bPlaceholder = false;
    for (std::size_t q = i - 3; q <= i; ++q) bPlaceholder |= isPlaceholderAt(q);
    ASSERT_TRUE(bPlaceholder) << "byte " << i << " differs from the clean run";
  }
}

enum class Kind { Seek, Write, ShortWrite, SetEndOnce, SetEndFromThenOn, GetSize };

struct KindCase {
  const char* szName;
  Kind kind;
};

class media_AVIFaults : public testing::TestWithParam<KindCase> {};

TEST_P(media_AVIFaults, EveryCallFailingInTurn) {
  CMemoryFileSystem clean;
  const Outcome ref = RunScenario(clean);
  ASSERT_TRUE(ref.bClosed);
  ASSERT_GT(clean.m_pFile->get_Size(), 4 * kLimit) << "the scenario must span segments";
  const CallCounts counts = clean.m_Counts;
  const Kind kind = GetParam().kind;
  const int nCalls = kind == Kind::Seek                                      ? counts.nSeeks
                     : kind == Kind::Write || kind == Kind::ShortWrite       ? counts.nWrites
                     : kind == Kind::GetSize                                 ? counts.nGetSizes
                                                                             : counts.nSetEnds;
  ASSERT_GT(nCalls, 0);
  for (int nAt = 0; nAt < nCalls; ++nAt) {
    SCOPED_TRACE("failing call " + std::to_string(nAt) + " of " + std::to_string(nCalls));
    CMemoryFileSystem fs;
    switch (kind) {
      case Kind::Seek: fs.m_Plan.nFailSeek = nAt; break;
      case Kind::Write: fs.m_Plan.nFailWrite = nAt; break;
      case Kind::ShortWrite: fs.m_Plan.nShortWrite = nAt; break;
      case Kind::GetSize: fs.m_Plan.nFailGetSize = nAt; break;
      case Kind::SetEndFromThenOn: fs.m_Plan.bSetEndFailsFromThenOn = true; [[fallthrough]];
      case Kind::SetEndOnce: fs.m_Plan.nFailSetEnd = nAt; break;
    }
    const Outcome out = RunScenario(fs);
    ASSERT_TRUE(out.bFaultHitBeforeReset);
    EXPECT_EQ(fs.m_Counts.nCloses, 1) << "the file is closed exactly once";
    EXPECT_TRUE(out.bRefusedAfterFailure);
    const CMemoryFile& f = *fs.m_pFile;
    const bool bMustFail = kind == Kind::Seek || kind == Kind::Write || kind == Kind::ShortWrite;
    const bool bFinalCut = kind != Kind::GetSize && nAt == counts.nSetEnds - 1;
    if (bMustFail) {
      EXPECT_TRUE(out.bFailed);
    }
    if (kind == Kind::SetEndOnce || kind == Kind::GetSize) {
      EXPECT_FALSE(out.bFailed);
    }
    if (out.bFailed) {
      EXPECT_FALSE(out.bClosed);
      EXPECT_EQ(f.get_Size(), out.nHighWater) << "cut at the high-water position";
      ExpectDataAsInCleanRun(f, *clean.m_pFile);
    } else {
      // A failed extension only stops pre-extension; a failed final cut leaves the tail.
      EXPECT_TRUE(out.bClosed);
      const std::int64_t nCleanSize = clean.m_pFile->get_Size();
      if (bFinalCut || kind == Kind::SetEndFromThenOn)
        EXPECT_GE(f.get_Size(), nCleanSize);
      else
        EXPECT_EQ(f.get_Size(), nCleanSize);
      EXPECT_EQ(f.Bytes(0, static_cast<std::size_t>(nCleanSize)),
                clean.m_pFile->Bytes(0, static_cast<std::size_t>(nCleanSize)));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, media_AVIFaults,
    testing::Values(KindCase{"Seek", Kind::Seek}, KindCase{"Write", Kind::Write},
                    KindCase{"ShortWrite", Kind::ShortWrite}, KindCase{"SetEndOnce", Kind::SetEndOnce},
                    KindCase{"SetEndFromThenOn", Kind::SetEndFromThenOn},
                    KindCase{"GetSize", Kind::GetSize}),
    [](const testing::TestParamInfo<KindCase>& info) { return std::string(info.param.szName); });

TEST(media_AVIFaults, CreateFailureLeavesNoFile) {
  CMemoryFileSystem fs;
  fs.m_Plan.bFailCreate = true;
  const Outcome out = RunScenario(fs);
  EXPECT_FALSE(out.bOpened);
  EXPECT_EQ(fs.m_Counts.nCreates, 1);
  EXPECT_EQ(fs.m_pFile, nullptr);

  CTempDir dir;
  AVIOutputFile avi;
  PrepareStreams(avi);
  const std::filesystem::path path = dir.get_Path() / "missing" / "a.avi";
  EXPECT_FALSE(avi.OpenFile(PathToUtf8(path).c_str(), 320, 240));
  EXPECT_FALSE(avi.get_HasFile());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(avi.ResetFile());
}

TEST(media_AVIFaults, CloseFailureIsReportedAndTheHandleIsGone) {
  CMemoryFileSystem clean;
  ASSERT_TRUE(RunScenario(clean).bClosed);
  CMemoryFileSystem fs;
  fs.m_Plan.bFailClose = true;
  const Outcome out = RunScenario(fs);
  EXPECT_TRUE(out.bAllWritten);
  EXPECT_FALSE(out.bClosed);
  EXPECT_EQ(fs.m_Counts.nCloses, 1);
  EXPECT_EQ(fs.m_pFile->Bytes(0, static_cast<std::size_t>(fs.m_pFile->get_Size())),
            clean.m_pFile->Bytes(0, static_cast<std::size_t>(clean.m_pFile->get_Size())));
}

#ifndef _WIN32
// A real file system running out of space: a small tmpfs in a mount namespace of this
// test process only.
TEST(media_AVIFaults, FullFileSystem) {
  if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    GTEST_SKIP() << "no private mount namespace here; the failing backend covers this";
  CTempDir dir;
  const std::string strDir = PathToUtf8(dir.get_Path());
  if (::mount("tmpfs", strDir.c_str(), "tmpfs", 0, "size=12m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here; the failing backend covers this";
  struct Unmount {
    std::string str;
    ~Unmount() { ::umount2(str.c_str(), MNT_DETACH); }
  } unmount{strDir};

  const std::string strFile = strDir + "/full.avi";
  AVIOutputFile avi;
  PrepareStreams(avi);
  ASSERT_TRUE(avi.OpenFile(strFile.c_str(), 320, 240));
  std::size_t nWritten = 0;
  while (nWritten < 400 && WriteChunks(avi, Interleave({100000}, 1, 480)) == 2) ++nWritten;
  EXPECT_LT(nWritten, 400u) << "12 MiB cannot hold 40 MB";
  EXPECT_GT(nWritten, 10u);
  EXPECT_TRUE(avi.get_WriteFailed());
  EXPECT_FALSE(avi.CloseFile());
  const std::int64_t nHighWater = avi.get_HighWaterPosition();
  avi.ResetFile();
  EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(strFile)), nHighWater);
  const CVectorSource src(ReadWholeFile(strFile));
  EXPECT_EQ(src.FourCC(0), "RIFF");
  EXPECT_EQ(src.U32(10244), kAVIFirstMoviPlaceholder);
  EXPECT_EQ(src.FourCC(10252), "00dc");
}
#endif

}  // namespace
}  // namespace vantor::test
