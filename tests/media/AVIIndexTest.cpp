// Standard indexes (ix00, ix01) and super indexes (indx) of files that outgrew their
// first RIFF segment. ExpectFileMatches checks every field against the chunks found
// by walking the file; the tests here make the files that stress the rules.
#include <gtest/gtest.h>

#include "AVITestSupport.h"

namespace vantor::test {
namespace {

std::size_t CountIndexChunks(const WalkedFile& walked, const char* szId) {
  std::size_t n = 0;
  for (const WalkedChunk& c : walked.indexChunks) n += c.strId == szId;
  return n;
}

struct Recording {
  CMemoryFileSystem fs;
  std::unique_ptr<AVIOutputFile> pAvi;
  WalkedFile walked;

  // Writes and closes; true when every chunk was written and the close succeeded.
  bool Make(const std::vector<TestChunk>& chunks, std::int64_t nLimit, const StreamSetup& setup = {}) {
    pAvi = std::make_unique<AVIOutputFile>(&fs, nLimit);
    PrepareStreams(*pAvi, setup);
    if (!pAvi->OpenFile("a.avi", 320, 240)) return false;
    const bool bAll = WriteChunks(*pAvi, chunks) == chunks.size();
    const bool bClosed = pAvi->CloseFile();
    if (bAll && bClosed) walked = WalkAVI(*fs.m_pFile);
    return bAll && bClosed;
  }
};

// 3072 records fit one standard index chunk; one more needs a second.
class media_AVIIndexCount : public testing::TestWithParam<int> {};

TEST_P(media_AVIIndexCount, RecordsPerStandardIndexChunk) {
  const int nFrames = GetParam();
  std::vector<TestChunk> chunks(static_cast<std::size_t>(nFrames), TestChunk{0, 100});
  chunks.push_back({1, 480});
  Recording rec;
  ASSERT_TRUE(rec.Make(chunks, 64 << 10));
  ExpectFileMatches(*rec.fs.m_pFile, rec.walked, chunks, *rec.pAvi);
  const std::size_t nExpected = (static_cast<std::size_t>(nFrames) + 3071) / 3072;
  EXPECT_EQ(CountIndexChunks(rec.walked, "ix00"), nExpected);
  EXPECT_EQ(rec.fs.m_pFile->U32(212 + 12), nExpected) << "video super index entries in use";
  EXPECT_EQ(rec.fs.m_pFile->U32(4442 + 12), 1u);
}

INSTANTIATE_TEST_SUITE_P(Counts, media_AVIIndexCount, testing::Values(3072, 3073, 6145));

// Durations: audio by bytes / sample size, video by entries; key and not-key marks.
struct DurationCase {
  const char* szName;
  std::uint16_t nChannels, nBits;
  std::vector<std::uint32_t> audioSizes;
};

class media_AVIIndexDurations : public testing::TestWithParam<DurationCase> {};

TEST_P(media_AVIIndexDurations, SuperIndexDurations) {
  const DurationCase& c = GetParam();
  StreamSetup setup;
  setup.nChannels = c.nChannels;
  setup.nBitsPerSample = c.nBits;
  std::vector<TestChunk> chunks;
  for (int i = 0; i < 4000; ++i) {
    chunks.push_back({0, 300u + i % 7, i % 12 != 0});
    chunks.push_back({1, c.audioSizes[static_cast<std::size_t>(i) % c.audioSizes.size()]});
  }
  Recording rec;
  ASSERT_TRUE(rec.Make(chunks, 256 << 10, setup));
  ExpectFileMatches(*rec.fs.m_pFile, rec.walked, chunks, *rec.pAvi);
  EXPECT_EQ(CountIndexChunks(rec.walked, "ix01"), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Audio, media_AVIIndexDurations,
    testing::Values(DurationCase{"Mono8SameSize", 1, 8, {480}},
                    DurationCase{"Stereo16SameSize", 2, 16, {480}},
                    DurationCase{"Stereo16MixedSizes", 2, 16, {480, 4, 1920, 64}}),
    [](const testing::TestParamInfo<DurationCase>& info) { return std::string(info.param.szName); });

TEST(media_AVIIndex, RolledOverWithoutAudioHasEmptyAudioSuperIndex) {
  std::vector<TestChunk> chunks(300, TestChunk{0, 1000});
  Recording rec;
  ASSERT_TRUE(rec.Make(chunks, 64 << 10));
  ASSERT_GT(rec.walked.segments.size(), 1u);
  ExpectFileMatches(*rec.fs.m_pFile, rec.walked, chunks, *rec.pAvi);
  const CMemoryFile& f = *rec.fs.m_pFile;
  EXPECT_EQ(f.FourCC(4442), "indx");
  EXPECT_EQ(f.U32(4442 + 12), 0u);
  EXPECT_EQ(f.FourCC(4442 + 16), "01wb");
  EXPECT_EQ(f.U32(4392), 1u) << "audio length of a stream without bytes";
}

TEST(media_AVIIndex, IndexChunkThatDoesNotFitOpensNextSegment) {
  // 64 chunks of 1000 bytes (1016 accounted) fill 65024 of a 65536-byte segment, which
  // leaves no room for an index chunk of 64 entries.
  std::vector<TestChunk> chunks(64 * 3, TestChunk{0, 1000});
  Recording rec;
  ASSERT_TRUE(rec.Make(chunks, 65536));
  ExpectFileMatches(*rec.fs.m_pFile, rec.walked, chunks, *rec.pAvi);
  ASSERT_EQ(rec.walked.segments.size(), 4u);
  EXPECT_EQ(rec.walked.dataChunks.back().nSegment, 2);
  for (const WalkedChunk& c : rec.walked.indexChunks) EXPECT_EQ(c.nSegment, 3) << c.strId;
}

// The last of 64 segments keeps room for an index chunk; the chunk that would need a
// 65th segment starts the next file instead.
TEST(media_AVIIndex, SixtyFourthSegmentEndsTheFileAndTheRecordingGoesOn) {
  std::vector<TestChunk> chunks(70, TestChunk{0, 1000});
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs, 1024);
  PrepareStreams(avi);
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  ASSERT_EQ(WriteChunks(avi, chunks), chunks.size());
  ASSERT_TRUE(avi.CloseFile());
  ASSERT_EQ(fs.m_Files.size(), 2u);
  EXPECT_EQ(fs.m_Files[1].first, "a-2.avi");
  const std::vector<WalkedFile> walks = ExpectRecordingMatches(FilesOf(fs), chunks);
  EXPECT_EQ(walks[0].segments.size(), 64u);
  EXPECT_EQ(walks[0].dataChunks.size(), 63u);
  EXPECT_EQ(walks[1].dataChunks.size(), 7u);
  EXPECT_EQ(avi.get_RecordingFrames(), 70u);
}

// Offsets in a standard index are 32-bit: groups whose records spread over 4 GiB must
// shrink, for the whole stream.
TEST(media_AVIIndex, GroupsShrinkWhenOffsetsPassFourGiB) {
  std::vector<TestChunk> chunks;
  for (int i = 0; i < 3000; ++i) {
    chunks.push_back({0, 1500000, false, true});
    chunks.push_back({1, 480});
  }
  Recording rec;
  ASSERT_TRUE(rec.Make(chunks, kAVISegmentLimit));
  ExpectFileMatches(*rec.fs.m_pFile, rec.walked, chunks, *rec.pAvi);
  const CMemoryFile& f = *rec.fs.m_pFile;
  std::vector<std::uint32_t> groupSizes;
  for (const WalkedChunk& c : rec.walked.indexChunks)
    if (c.strId == "ix00") groupSizes.push_back(f.U32(c.nPos + 12));
  ASSERT_GT(groupSizes.size(), 1u);
  for (std::size_t k = 0; k + 1 < groupSizes.size(); ++k) EXPECT_EQ(groupSizes[k], groupSizes[0]);
  // The groups are as large as the rule allows: one record more, and some group would
  // reach beyond the 32-bit offsets.
  std::vector<std::int64_t> videoPos;
  for (const WalkedChunk& c : rec.walked.dataChunks)
    if (c.strId == "00dc") videoPos.push_back(c.nPos);
  const std::size_t nPer = groupSizes[0] + 1;
  bool bSomeGroupTooWide = false;
  for (std::size_t g = 0; g < videoPos.size(); g += nPer) {
    const std::size_t nLast = std::min(videoPos.size(), g + nPer) - 1;
    bSomeGroupTooWide |= videoPos[nLast] - videoPos[g] >= (std::int64_t{1} << 32) - (10240 + 16);
  }
  EXPECT_TRUE(bSomeGroupTooWide);
  EXPECT_EQ(CountIndexChunks(rec.walked, "ix01"), 2u);
}

// Groups that shrink hold fewer chunks: a file with room for 2 index chunks of 16
// entries ends once shrunk groups could need more than 2, and still closes.
TEST(media_AVIIndex, SuperIndexLimitHoldsWhenGroupsShrink) {
  std::vector<TestChunk> chunks(40, TestChunk{0, 400u << 20, false, true});
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs, AVIWriterLimits{kAVISegmentLimit, 64, 16, 2});
  PrepareStreams(avi);
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  ASSERT_EQ(WriteChunks(avi, chunks), chunks.size());
  ASSERT_TRUE(avi.CloseFile());
  const std::vector<WalkedFile> walks = ExpectRecordingMatches(FilesOf(fs), chunks);
  ASSERT_GE(walks.size(), 3u);
  // Groups of 16 would span 6 GB; groups of 8 fit, so 16 chunks a file are safe.
  EXPECT_EQ(walks[0].dataChunks.size(), 16u);
  EXPECT_EQ(CountIndexChunks(walks[0], "ix00"), 2u);
}

// A record less than 4 GiB but more than 4 GiB minus the entry addend (first movi
// position + 16) from its group's base would wrap its 32-bit entry.
TEST(media_AVIIndex, EntryThatWouldWrapStartsANewGroup) {
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs);
  PrepareStreams(avi);
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  std::vector<TestChunk> chunks = {{0, 100}, {1, 1u << 30, false, true}, {1, 1u << 30, false, true},
                                   {1, 1u << 30, false, true}};
  ASSERT_EQ(WriteChunks(avi, chunks), chunks.size());
  // The next audio chunk opens a fourth segment; size it so that the video chunk after
  // it lies 4 GiB - 100 bytes after the first.
  const std::int64_t nTarget = 10252 + (std::int64_t{1} << 32) - 100;
  const std::int64_t nSize = nTarget - (avi.get_Position() + 24) - 8;
  ASSERT_GT(nSize, 0);
  ASSERT_EQ(nSize % 2, 0);
  chunks.push_back({1, static_cast<std::uint32_t>(nSize), false, true});
  chunks.push_back({0, 200});
  chunks.push_back({1, 480});
  chunks.push_back({0, 300});
  ASSERT_EQ(WriteChunks(avi, std::vector<TestChunk>(chunks.begin() + 4, chunks.end())), 4u);
  ASSERT_TRUE(avi.CloseFile());
  const WalkedFile walked = WalkAVI(*fs.m_pFile);
  ASSERT_TRUE(walked.bOk) << walked.strError;
  ASSERT_EQ(walked.dataChunks[5].nPos, nTarget);
  // WriteChunks numbered the later chunks from 0; only bulk and headers are compared.
  for (std::size_t i = 4; i < chunks.size(); ++i) chunks[i].bBulk = true;
  ExpectFileMatches(*fs.m_pFile, walked, chunks, avi);
  EXPECT_EQ(CountIndexChunks(walked, "ix00"), 3u);
}

// A stream has room for 256 standard index chunks of 3072 entries in its super index:
// the chunk after a stream's 786,432nd starts the next file. 10 ms blocks of sound
// written one chunk each got there after 2 h 11 min.
class media_AVIIndexLimit : public testing::TestWithParam<int> {};

TEST_P(media_AVIIndexLimit, FullSuperIndexEndsTheFileAndTheRecordingGoesOn) {
  const int nStream = GetParam();
  const std::size_t nFull = 256 * 3072;
  std::vector<TestChunk> chunks = {{1 - nStream, 480}};
  chunks.resize(1 + nFull + 1, TestChunk{nStream, nStream ? 2u : 0u});
  chunks.push_back({1 - nStream, 480});
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs, 1 << 20);
  PrepareStreams(avi);
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  ASSERT_EQ(WriteChunks(avi, chunks), chunks.size());
  ASSERT_TRUE(avi.CloseFile());
  ASSERT_EQ(fs.m_Files.size(), 2u);
  const std::vector<WalkedFile> walks = ExpectRecordingMatches(FilesOf(fs), chunks);
  ASSERT_EQ(walks[0].dataChunks.size(), 1 + nFull);
  EXPECT_EQ(CountIndexChunks(walks[0], nStream ? "ix01" : "ix00"), 256u);
  EXPECT_EQ(fs.m_Files[0].second->U32((nStream ? 4442 : 212) + 12), 256u) << "super index entries in use";
  EXPECT_EQ(walks[1].dataChunks.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Streams, media_AVIIndexLimit, testing::Values(0, 1),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::string(info.param ? "Audio" : "Video");
                         });

}  // namespace
}  // namespace vantor::test
