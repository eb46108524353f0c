// Recordings that outgrow one file: the writer finishes the file and goes on in the
// next, so that every file is complete and together they hold every chunk, in order.
#include <gtest/gtest.h>

#include <fstream>

#include "AVITestSupport.h"

namespace vantor::test {
namespace {

struct Continued {
  CMemoryFileSystem fs;
  std::unique_ptr<AVIOutputFile> pAvi;

  explicit Continued(const AVIWriterLimits& limits) : pAvi(std::make_unique<AVIOutputFile>(&fs, limits)) {
    PrepareStreams(*pAvi);
  }
};

TEST(media_AVIContinuation, LimitsAreInjectableAndKeepTheFormatsBounds) {
  CMemoryFileSystem fs;
  const AVIWriterLimits format;
  EXPECT_EQ(format.nSegmentBytes, kAVISegmentLimit);
  EXPECT_EQ(format.nMaxSegments, 64);
  EXPECT_EQ(format.nStandardIndexEntries, 3072);
  EXPECT_EQ(format.nSuperIndexEntries, 256);
  const AVIOutputFile small(&fs, AVIWriterLimits{4096, 3, 16, 8});
  EXPECT_EQ(small.get_Limits().nSegmentBytes, 4096);
  EXPECT_EQ(small.get_Limits().nMaxSegments, 3);
  EXPECT_EQ(small.get_Limits().nStandardIndexEntries, 16);
  EXPECT_EQ(small.get_Limits().nSuperIndexEntries, 8);
  for (const AVIWriterLimits& wrong : {AVIWriterLimits{0, 0, 0, 0}, AVIWriterLimits{kAVISegmentLimit + 1, 65, 3073, 257}}) {
    const AVIOutputFile avi(&fs, wrong);
    EXPECT_EQ(avi.get_Limits().nSegmentBytes, format.nSegmentBytes);
    EXPECT_EQ(avi.get_Limits().nMaxSegments, format.nMaxSegments);
    EXPECT_EQ(avi.get_Limits().nStandardIndexEntries, format.nStandardIndexEntries);
    EXPECT_EQ(avi.get_Limits().nSuperIndexEntries, format.nSuperIndexEntries);
  }
}

class media_AVIContinuationDrive : public testing::TestWithParam<ContinuationCase> {};

// Before every chunk HasRoomFor says whether it stays in the current file; every file
// is complete (RIFF sizes, idx1, ix##, indx, lengths) and repeats the first one's head.
TEST_P(media_AVIContinuationDrive, EveryFileCompleteAndEveryChunkInOrder) {
  const ContinuationCase& c = GetParam();
  Continued rec(c.limits);
  AVIOutputFile& avi = *rec.pAvi;
  ASSERT_TRUE(avi.OpenFile("drive.avi", 320, 240));
  std::vector<std::uint8_t> data;
  for (std::size_t i = 0; i < c.chunks.size(); ++i) {
    const TestChunk& ch = c.chunks[i];
    const bool bRoom = ch.nStream ? avi.HasRoomFor(1, ch.nSize, 0, 0) : avi.HasRoomFor(0, 0, 1, ch.nSize);
    const int nFile = avi.get_FileNumber();
    data = PatternData(ch.nSize, static_cast<std::uint32_t>(i));
    AVIOutputStream& stream = ch.nStream ? static_cast<AVIOutputStream&>(*avi.get_AudioStream()) : *avi.get_VideoStream();
    ASSERT_TRUE(stream.Write(ch.bNotKey ? kAVIChunkNotKeyFrame : 0, data.data(), ch.nSize, ch.nStream ? 0 : 1)) << i;
    ASSERT_EQ(avi.get_FileNumber(), nFile + (bRoom ? 0 : 1)) << "chunk " << i;
  }
  ASSERT_TRUE(avi.CloseFile());
  ASSERT_GT(rec.fs.m_Files.size(), 4u);
  const std::vector<WalkedFile> walks = ExpectRecordingMatches(FilesOf(rec.fs), c.chunks);
  std::uint64_t nFrames = 0, nAudioBytes = 0;
  for (const TestChunk& ch : c.chunks) (ch.nStream ? nAudioBytes : nFrames) += ch.nStream ? ch.nSize : 1;
  EXPECT_EQ(avi.get_RecordingFrames(), nFrames);
  EXPECT_EQ(avi.get_RecordingAudioBytes(), nAudioBytes);
  ASSERT_EQ(avi.get_Paths().size(), rec.fs.m_Files.size());
  bool bSuperIndexFull = false, bSegmentsFull = false;
  for (std::size_t f = 0; f < rec.fs.m_Files.size(); ++f) {
    SCOPED_TRACE("file " + std::to_string(f + 1));
    EXPECT_EQ(rec.fs.m_Files[f].first, f ? "drive-" + std::to_string(f + 1) + ".avi" : "drive.avi");
    EXPECT_EQ(avi.get_Paths()[f], rec.fs.m_Files[f].first);
    EXPECT_LE(walks[f].segments.size(), static_cast<std::size_t>(c.limits.nMaxSegments));
    const CMemoryFile& file = *rec.fs.m_Files[f].second;
    // avih microseconds per frame, both strf blocks: as in the first file.
    EXPECT_EQ(file.U32(32), rec.fs.m_Files[0].second->U32(32));
    for (const std::int64_t nStrf : {std::int64_t{164}, std::int64_t{4416}}) {
      ASSERT_EQ(file.FourCC(nStrf), "strf");
      EXPECT_EQ(file.Bytes(nStrf, 8 + file.U32(nStrf + 4)), rec.fs.m_Files[0].second->Bytes(nStrf, 8 + file.U32(nStrf + 4)));
    }
    bSegmentsFull |= walks[f].segments.size() == static_cast<std::size_t>(c.limits.nMaxSegments);
    if (walks[f].segments.size() == 1) continue;
    for (const std::int64_t nIndx : {std::int64_t{212}, std::int64_t{4442}}) {
      EXPECT_LE(file.U32(nIndx + 12), static_cast<std::uint32_t>(c.limits.nSuperIndexEntries));
      bSuperIndexFull |= file.U32(nIndx + 12) == static_cast<std::uint32_t>(c.limits.nSuperIndexEntries);
    }
  }
  EXPECT_EQ(bSuperIndexFull, c.bFillsSuperIndex);
  EXPECT_EQ(bSegmentsFull, c.bFillsSegments);
}

INSTANTIATE_TEST_SUITE_P(Limits, media_AVIContinuationDrive, testing::ValuesIn(ContinuationCases()),
                         [](const testing::TestParamInfo<ContinuationCase>& info) {
                           return std::string(info.param.szName);
                         });

TEST(media_AVIContinuation, NumberedNames) {
  EXPECT_EQ(NumberedPath("20261209-1430153.avi", 2), "20261209-1430153-2.avi");
  EXPECT_EQ(NumberedPath("D:\\out\\x.y\\rec.avi", 3), "D:\\out\\x.y\\rec-3.avi");
  EXPECT_EQ(NumberedPath("/tmp/a.b/rec", 4), "/tmp/a.b/rec-4");
  EXPECT_EQ(NumberedPath("dir/.avi", 2), "dir/.avi-2");
  EXPECT_EQ(NumberedPath("rec-2.avi", 2), "rec-2-2.avi");
}

// A provider names the files; asked with the first path and each file's number.
TEST(media_AVIContinuation, ProviderNamesEveryNextFile) {
  Continued rec({1024, 2, 3072, 256});
  std::vector<std::pair<std::string, int>> asked;
  rec.pAvi->SetNextPathProvider([&](const std::string& strFirst, int n) {
    asked.emplace_back(strFirst, n);
    return "then" + std::to_string(n) + ".avi";
  });
  ASSERT_TRUE(rec.pAvi->OpenFile("first.avi", 320, 240));
  const std::vector<TestChunk> chunks(4, TestChunk{0, 1000});
  ASSERT_EQ(WriteChunks(*rec.pAvi, chunks), chunks.size());
  ASSERT_TRUE(rec.pAvi->CloseFile());
  EXPECT_EQ(asked, (std::vector<std::pair<std::string, int>>{{"first.avi", 2}, {"first.avi", 3}, {"first.avi", 4}}));
  EXPECT_EQ(rec.pAvi->get_Paths(), (std::vector<std::string>{"first.avi", "then2.avi", "then3.avi", "then4.avi"}));
  ExpectRecordingMatches(FilesOf(rec.fs), chunks);
}

// No name (or the name of a file this recording wrote): the recording ends at the
// limit, the file complete, and nothing more is taken.
TEST(media_AVIContinuation, WithoutANextNameTheRecordingEndsWithACompleteFile) {
  for (const char* szAnswer : {"", "first.avi"}) {
    SCOPED_TRACE(szAnswer);
    Continued rec({1024, 2, 3072, 256});
    rec.pAvi->SetNextPathProvider([&](const std::string&, int) { return std::string(szAnswer); });
    ASSERT_TRUE(rec.pAvi->OpenFile("first.avi", 320, 240));
    const std::vector<TestChunk> chunks(3, TestChunk{0, 1000});
    EXPECT_EQ(WriteChunks(*rec.pAvi, chunks), 1u);
    EXPECT_TRUE(rec.pAvi->get_LimitReached());
    EXPECT_FALSE(rec.pAvi->get_WriteFailed());
    EXPECT_FALSE(rec.pAvi->get_AudioStream()->Write(0, "ab", 2, 0)) << "the recording has ended";
    EXPECT_FALSE(rec.pAvi->HasRoomFor(0, 0, 0, 0));
    ASSERT_TRUE(rec.pAvi->CloseFile());
    ASSERT_EQ(rec.fs.m_Files.size(), 1u);
    ExpectRecordingMatches(FilesOf(rec.fs), {chunks[0]});
  }
}

// The FAT rule is a limit like the others: files stay below 4 GiB.
TEST(media_AVIContinuation, FatVolumeFilesStayBelowFourGiB) {
  Continued rec({});
  rec.fs.m_Plan.strFileSystem = "FAT32";
  ASSERT_TRUE(rec.pAvi->OpenFile("a.avi", 320, 240));
  const std::vector<TestChunk> chunks(9, TestChunk{0, 1u << 30, false, true});
  ASSERT_EQ(WriteChunks(*rec.pAvi, chunks), chunks.size());
  ASSERT_TRUE(rec.pAvi->CloseFile());
  const std::vector<WalkedFile> walks = ExpectRecordingMatches(FilesOf(rec.fs), chunks);
  ASSERT_EQ(walks.size(), 3u);
  for (const WalkedFile& w : walks) EXPECT_EQ(w.dataChunks.size(), 3u);
  for (const auto& file : rec.fs.m_Files) EXPECT_LT(file.second->get_Size(), std::int64_t{1} << 32);
}

// The next file cannot be created: the finished one stays complete, the writer is
// failed and holds no file.
TEST(media_AVIContinuation, NextFileThatCannotBeCreatedLeavesTheFinishedOne) {
  Continued rec({1024, 2, 3072, 256});
  rec.fs.m_Plan.nFailCreate = 1;
  ASSERT_TRUE(rec.pAvi->OpenFile("a.avi", 320, 240));
  const std::vector<TestChunk> chunks(3, TestChunk{0, 1000});
  EXPECT_EQ(WriteChunks(*rec.pAvi, chunks), 1u);
  EXPECT_TRUE(rec.pAvi->get_WriteFailed());
  EXPECT_FALSE(rec.pAvi->get_HasFile());
  EXPECT_FALSE(rec.pAvi->CloseFile());
  rec.pAvi->ResetFile();
  EXPECT_EQ(rec.fs.m_Counts.nCreates, 2);
  ExpectRecordingMatches(FilesOf(rec.fs), {chunks[0]});
}

// The default names never replace a file that exists, nor one of this recording.
TEST(media_AVIContinuation, DefaultNamesSkipFilesThatExist) {
  CTempDir dir;
  { std::ofstream(dir.get_Path() / "rec-2.avi") << "someone else's"; }
  { std::ofstream(dir.get_Path() / "rec-4.avi") << "someone else's"; }
  AVIOutputFile avi(nullptr, AVIWriterLimits{1024, 2, 3072, 256});
  PrepareStreams(avi);
  ASSERT_TRUE(avi.OpenFile(dir.File("rec.avi").c_str(), 320, 240));
  const std::vector<TestChunk> chunks(3, TestChunk{0, 1000});
  ASSERT_EQ(WriteChunks(avi, chunks), chunks.size());
  ASSERT_TRUE(avi.CloseFile());
  EXPECT_EQ(avi.get_Paths(), (std::vector<std::string>{dir.File("rec.avi"), dir.File("rec-3.avi"), dir.File("rec-5.avi")}));
  for (const char* szOther : {"rec-2.avi", "rec-4.avi"}) {
    const std::vector<std::uint8_t> kept = ReadWholeFile(dir.get_Path() / szOther);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "someone else's");
  }
  std::vector<CVectorSource> files;
  for (const std::string& strPath : avi.get_Paths()) files.emplace_back(ReadWholeFile(std::filesystem::path(std::u8string(strPath.begin(), strPath.end()))));
  ExpectRecordingMatches({&files[0], &files[1], &files[2]}, chunks);
}

}  // namespace
}  // namespace vantor::test
