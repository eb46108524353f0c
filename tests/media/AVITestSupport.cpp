#include "AVITestSupport.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>

namespace vantor::test {

void CVectorSource::Read(std::int64_t nPos, void* p, std::size_t n) const {
  std::memset(p, 0, n);
  if (nPos < 0 || nPos >= get_Size()) return;
  const std::size_t nAvail = std::min<std::size_t>(n, m_Bytes.size() - static_cast<std::size_t>(nPos));
  std::memcpy(p, m_Bytes.data() + nPos, nAvail);
}

const void* CMemoryFile::get_BulkData() {
  static const char s_cBulk = 0;
  return &s_cBulk;
}

void CMemoryFile::Read(std::int64_t nPos, void* p, std::size_t n) const {
  auto* pOut = static_cast<std::uint8_t*>(p);
  std::memset(pOut, 0, n);
  for (std::size_t i = 0; i < n;) {
    const std::int64_t nAt = nPos + static_cast<std::int64_t>(i);
    const std::int64_t nPage = nAt / kPage, nIn = nAt % kPage;
    const std::size_t nRun = std::min<std::size_t>(n - i, static_cast<std::size_t>(kPage - nIn));
    if (nAt < m_nSize) {
      auto it = m_Pages.find(nPage);
      if (it != m_Pages.end()) std::memcpy(pOut + i, it->second.data() + nIn, nRun);
    }
    i += nRun;
  }
}

void CMemoryFile::Write(std::int64_t nPos, const void* p, std::size_t n) {
  if (p != get_BulkData()) {
    auto* pIn = static_cast<const std::uint8_t*>(p);
    for (std::size_t i = 0; i < n;) {
      const std::int64_t nAt = nPos + static_cast<std::int64_t>(i);
      const std::int64_t nPage = nAt / kPage, nIn = nAt % kPage;
      const std::size_t nRun = std::min<std::size_t>(n - i, static_cast<std::size_t>(kPage - nIn));
      auto& page = m_Pages[nPage];
      page.resize(kPage);
      std::memcpy(page.data() + nIn, pIn + i, nRun);
      i += nRun;
    }
  }
  m_nSize = std::max(m_nSize, nPos + static_cast<std::int64_t>(n));
}

void CMemoryFile::Resize(std::int64_t nSize) {
  if (nSize < m_nSize) {
    m_Pages.erase(m_Pages.lower_bound((nSize + kPage - 1) / kPage), m_Pages.end());
    auto it = m_Pages.find(nSize / kPage);
    if (it != m_Pages.end())
      std::fill(it->second.begin() + nSize % kPage, it->second.end(), std::uint8_t{0});
  }
  m_nSize = nSize;
}

namespace {

class CMemoryWriteFile final : public CWriteFile {
 public:
  CMemoryWriteFile(CMemoryFileSystem* pFs, std::shared_ptr<CMemoryFile> pFile)
      : m_pFs(pFs), m_pFile(std::move(pFile)) {}
  ~CMemoryWriteFile() override {
    if (m_pFile->m_bOpen) Close();
  }

  bool Seek(std::int64_t nPos) override {
    if (Hit(m_pFs->m_Counts.nSeeks++, m_pFs->m_Plan.nFailSeek)) return false;
    m_nPos = nPos;
    return m_pFile->m_bOpen;
  }
  bool Write(const void* p, std::uint32_t n, std::uint32_t* pWritten) override {
    *pWritten = 0;
    const int nCall = m_pFs->m_Counts.nWrites++;
    if (Hit(nCall, m_pFs->m_Plan.nFailWrite) || !m_pFile->m_bOpen) return false;
    // A short write stores part of the bytes and still reports success.
    const std::uint32_t nTake = Hit(nCall, m_pFs->m_Plan.nShortWrite) ? n / 2 : n;
    m_pFile->Write(m_nPos, p, nTake);
    m_nPos += nTake;
    *pWritten = nTake;
    return true;
  }
  bool SetEndOfFile() override {
    const int nCall = m_pFs->m_Counts.nSetEnds++;
    const FaultPlan& plan = m_pFs->m_Plan;
    if (Hit(nCall, plan.nFailSetEnd) ||
        (plan.bSetEndFailsFromThenOn && plan.nFailSetEnd >= 0 && nCall > plan.nFailSetEnd))
      return false;
    m_pFile->Resize(m_nPos);
    return m_pFile->m_bOpen;
  }
  bool GetSize(std::int64_t* pSize) override {
    if (Hit(m_pFs->m_Counts.nGetSizes++, m_pFs->m_Plan.nFailGetSize)) return false;
    *pSize = m_pFile->get_Size();
    return true;
  }
  bool Close() override {
    if (!m_pFile->m_bOpen) return false;
    m_pFile->m_bOpen = false;
    ++m_pFs->m_Counts.nCloses;
    if (m_pFs->m_Plan.bFailClose) {
      m_pFs->m_Counts.bFaultHit = true;
      return false;
    }
    return true;
  }

 private:
  bool Hit(int nCall, int nFailAt) {
    if (nCall != nFailAt) return false;
    m_pFs->m_Counts.bFaultHit = true;
    return true;
  }

  CMemoryFileSystem* m_pFs;
  std::shared_ptr<CMemoryFile> m_pFile;
  std::int64_t m_nPos = 0;
};

}  // namespace

std::unique_ptr<CWriteFile> CMemoryFileSystem::CreateWriteFile(const std::string& strPath) {
  const int nCall = m_Counts.nCreates++;
  if (m_Plan.bFailCreate || nCall == m_Plan.nFailCreate) {
    m_Counts.bFaultHit = true;
    return nullptr;
  }
  m_pFile = std::make_shared<CMemoryFile>();
  m_Files.emplace_back(strPath, m_pFile);
  return std::make_unique<CMemoryWriteFile>(this, m_pFile);
}

std::vector<const CByteSource*> FilesOf(const CMemoryFileSystem& fs) {
  std::vector<const CByteSource*> files;
  for (const auto& file : fs.m_Files) files.push_back(file.second.get());
  return files;
}

bool CMemoryFileSystem::GetFileSystemName(const std::string&, std::string* pName) {
  *pName = m_Plan.strFileSystem;
  return true;
}

WalkedFile WalkAVI(const CByteSource& src) {
  WalkedFile w;
  const std::int64_t nFileSize = src.get_Size();
  auto fail = [&](const std::string& s, std::int64_t nPos) {
    w.strError = s + " at " + std::to_string(nPos);
    return w;
  };
  std::int64_t nPos = 0;
  while (nPos + 12 <= nFileSize) {
    if (src.FourCC(nPos) != "RIFF") return fail("no RIFF", nPos);
    const std::string strType = src.FourCC(nPos + 8);
    if (strType != (w.segments.empty() ? "AVI " : "AVIX")) return fail("RIFF type " + strType, nPos);
    WalkedSegment seg{nPos, -1, src.U32(nPos + 4), 0};
    const std::int64_t nEnd = nPos + 8 + seg.nRiffSize;
    if (nEnd > nFileSize) return fail("RIFF past end of file", nPos);
    for (std::int64_t p = nPos + 12; p + 8 <= nEnd;) {
      const std::string strId = src.FourCC(p);
      const std::uint32_t nSize = src.U32(p + 4);
      if (p + 8 + nSize > nEnd) return fail("chunk " + strId + " past its RIFF", p);
      if (strId == "LIST" && src.FourCC(p + 8) == "movi") {
        seg.nMoviPos = p;
        seg.nMoviSize = nSize;
        for (std::int64_t q = p + 12; q + 8 <= p + 8 + nSize;) {
          const WalkedChunk c{src.FourCC(q), q, src.U32(q + 4), static_cast<int>(w.segments.size())};
          if (q + 8 + c.nSize > p + 8 + nSize) return fail("chunk " + c.strId + " past its list", q);
          (c.strId.compare(0, 2, "ix") == 0 ? w.indexChunks : w.dataChunks).push_back(c);
          q += 8 + c.nSize + (c.nSize & 1);
        }
      } else if (strId == "idx1") {
        w.nIdx1Pos = p;
        w.nIdx1Size = nSize;
      }
      p += 8 + nSize + (nSize & 1);
    }
    if (seg.nMoviPos < 0) return fail("segment without movie list", nPos);
    w.segments.push_back(seg);
    nPos = nEnd;
  }
  w.nEnd = nPos;
  w.bOk = !w.segments.empty();
  if (!w.bOk) w.strError = "no segment";
  return w;
}

void PrepareStreams(AVIOutputFile& avi, const StreamSetup& setup) {
  avi.ResetFile();
  avi.CreateStreams();
  AVIVideoOutputStream& video = *avi.get_VideoStream();
  AVIStreamHeader& vh = video.get_Header();
  vh = {};
  vh.fccType = MakeFourCC("vids");
  vh.dwScale = 1;
  vh.dwRate = setup.nFrameRate;
  vh.dwLength = 1;
  vh.dwSuggestedBufferSize = static_cast<std::uint32_t>(setup.nWidth * setup.nHeight * 3);
  vh.dwQuality = 0xFFFFFFFF;
  vh.rcFrame = {0, 0, static_cast<std::int16_t>(setup.nWidth), static_cast<std::int16_t>(setup.nHeight)};
  video.set_ChunkId(MakeFourCC("00dc"));
  BitmapInfoHeader bih{};
  bih.biSize = sizeof bih;
  bih.biWidth = setup.nWidth;
  bih.biHeight = setup.nHeight;
  bih.biPlanes = 1;
  bih.biBitCount = 24;
  bih.biCompression = MakeFourCC("XVID");
  bih.biSizeImage = static_cast<std::uint32_t>(setup.nWidth * setup.nHeight * 3);
  video.SetFormat(&bih, sizeof bih);

  AVIAudioOutputStream& audio = *avi.get_AudioStream();
  WaveFormatEx wfx{};
  wfx.wFormatTag = 1;
  wfx.nChannels = setup.nChannels;
  wfx.nSamplesPerSec = setup.nSamplesPerSec;
  wfx.wBitsPerSample = setup.nBitsPerSample;
  wfx.nBlockAlign = static_cast<std::uint16_t>(setup.nChannels * setup.nBitsPerSample / 8);
  wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
  AVIStreamHeader& ah = audio.get_Header();
  ah = {};
  ah.fccType = MakeFourCC("auds");
  ah.fccHandler = 1;
  ah.dwScale = wfx.nBlockAlign;
  ah.dwRate = wfx.nAvgBytesPerSec;
  ah.dwLength = 1;
  ah.dwSampleSize = wfx.nBlockAlign;
  audio.SetFormat(&wfx, sizeof wfx);
}

std::vector<std::uint8_t> PatternData(std::uint32_t nSize, std::uint32_t nOrdinal) {
  std::vector<std::uint8_t> v(nSize);
  for (std::uint32_t i = 0; i < nSize; ++i) v[i] = static_cast<std::uint8_t>(nOrdinal * 131 + i * 7 + 1);
  return v;
}

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string PathToUtf8(const std::filesystem::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

CTempDir::CTempDir() {
  static std::atomic<int> s_nNext{0};
  std::random_device rd;
  for (;;) {
    m_Path = std::filesystem::temp_directory_path() /
             ("vantor-media-" + std::to_string(rd()) + "-" + std::to_string(s_nNext++));
    if (std::filesystem::create_directory(m_Path)) break;
  }
}

CTempDir::~CTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_Path, ec);
}

}  // namespace vantor::test

// ---------------------------------------------------------------------------------
// Writing and checking chunk sequences

#include <gtest/gtest.h>

namespace vantor::test {

std::vector<TestChunk> Interleave(const std::vector<std::uint32_t>& videoSizes, int nAudioPer,
                                  std::uint32_t nAudioSize) {
  std::vector<TestChunk> chunks;
  for (std::uint32_t nSize : videoSizes) {
    chunks.push_back({0, nSize});
    for (int i = 0; i < nAudioPer; ++i) chunks.push_back({1, nAudioSize});
  }
  return chunks;
}

std::size_t WriteChunks(AVIOutputFile& avi, const std::vector<TestChunk>& chunks) {
  std::vector<std::uint8_t> data;
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    const TestChunk& c = chunks[i];
    const void* p = CMemoryFile::get_BulkData();
    if (!c.bBulk) {
      data = PatternData(c.nSize, static_cast<std::uint32_t>(i));
      p = data.data();
    }
    const std::uint32_t dwFlags = c.bNotKey ? kAVIChunkNotKeyFrame : 0;
    const bool bOk = c.nStream == 0 ? avi.get_VideoStream()->Write(dwFlags, p, c.nSize, 1)
                                    : avi.get_AudioStream()->Write(dwFlags, p, c.nSize, 0);
    if (!bOk) return i;
  }
  return chunks.size();
}

std::vector<ContinuationCase> ContinuationCases() {
  auto video = [](std::uint32_t nFrame, std::uint32_t nFrom, std::uint32_t nSpread) {
    return TestChunk{0, nFrom + nFrame * 7919u % nSpread, nFrame % 5 != 0};
  };
  std::vector<ContinuationCase> cases(3);
  // 8 index chunks of 16 entries: 128 chunks of a stream per file, over several segments.
  cases[0] = {"SuperIndexFull", {8 << 10, 64, 16, 8}, true, false, {}};
  for (std::uint32_t i = 0; i < 1500; ++i) {
    cases[0].chunks.push_back(video(i, 100, 300));
    cases[0].chunks.push_back({1, 48});
  }
  // Four segments of 16 KiB, a few frames each.
  cases[1] = {"SegmentsFull", {16 << 10, 4, 3072, 256}, false, true, {}};
  for (std::uint32_t i = 0; i < 400; ++i) {
    cases[1].chunks.push_back(video(i, 2000, 4001));
    for (int k = 0; k < 3; ++k) cases[1].chunks.push_back({1, 480});
  }
  // Stretches of small chunks fill the super index, stretches of large ones the segments.
  cases[2] = {"Mixed", {8 << 10, 6, 8, 16}, true, true, {}};
  for (std::uint32_t i = 0; i < 1200; ++i) {
    const bool bLarge = i / 300 % 2 == 1;
    cases[2].chunks.push_back(video(i, bLarge ? 2500 : 20, bLarge ? 1500 : 40));
    cases[2].chunks.push_back({1, bLarge ? 960u : 2u});
  }
  return cases;
}

namespace {

// Positions of the "indx" (or placeholder) chunk and of "strh" in each stream header list.
struct StreamHead {
  std::int64_t nIndexPos = -1, nStrhPos = -1;
};

std::vector<StreamHead> FindStreamHeads(const CByteSource& src) {
  std::vector<StreamHead> heads;
  const std::int64_t nHdrlEnd = 20 + src.U32(16);
  for (std::int64_t p = 24; p < nHdrlEnd;) {
    const std::uint32_t nSize = src.U32(p + 4);
    if (src.FourCC(p) == "LIST" && src.FourCC(p + 8) == "strl") {
      StreamHead h;
      for (std::int64_t q = p + 12; q < p + 8 + nSize;) {
        const std::string strId = src.FourCC(q);
        if (strId == "strh") h.nStrhPos = q;
        if (strId == "indx" || strId == "JUNK") h.nIndexPos = q;
        const std::uint32_t n = src.U32(q + 4);
        q += 8 + n + (n & 1);
      }
      heads.push_back(h);
    }
    p += 8 + nSize + (nSize & 1);
  }
  return heads;
}

void ExpectStreamIndex(const CByteSource& src, const WalkedFile& walked,
                       const std::vector<TestChunk>& chunks, int nStream, const StreamHead& head) {
  const std::string strCkid = nStream ? "01wb" : "00dc";
  const std::string strIx = nStream ? "ix01" : "ix00";
  const std::uint32_t nSampleSize = src.U32(head.nStrhPos + 8 + 44);
  const std::int64_t p = head.nIndexPos;
  ASSERT_EQ(src.FourCC(p), "indx");
  EXPECT_EQ(src.U32(p + 4), 4120u);
  EXPECT_EQ(src.U16(p + 8), 4u);
  EXPECT_EQ(src.U16(p + 10), 0u);  // sub-type 0, type 0: index of indexes
  EXPECT_EQ(src.FourCC(p + 16), strCkid);
  EXPECT_EQ(src.Bytes(p + 20, 12), std::vector<std::uint8_t>(12, 0));
  const std::uint32_t nEntries = src.U32(p + 12);
  ASSERT_LE(nEntries, 256u);

  std::vector<std::size_t> dataOfStream;
  for (std::size_t i = 0; i < walked.dataChunks.size(); ++i)
    if (walked.dataChunks[i].strId == strCkid) dataOfStream.push_back(i);
  std::vector<WalkedChunk> ixOfStream;
  for (const WalkedChunk& c : walked.indexChunks)
    if (c.strId == strIx) ixOfStream.push_back(c);
  ASSERT_EQ(ixOfStream.size(), nEntries);

  std::size_t nNext = 0;  // next data chunk of the stream to be found in an index
  for (std::uint32_t k = 0; k < nEntries; ++k) {
    const std::int64_t e = p + 32 + 16 * k;
    const std::int64_t ix = static_cast<std::int64_t>(src.U64(e));
    ASSERT_EQ(ix, ixOfStream[k].nPos) << "super entry " << k;
    const std::uint32_t n = src.U32(ix + 12);
    EXPECT_EQ(src.U32(e + 8), 32 + 8 * n);
    EXPECT_EQ(src.U32(ix + 4), 24 + 8 * n);
    EXPECT_EQ(src.U16(ix + 8), 2u);
    EXPECT_EQ(src.U16(ix + 10), 0x100u);  // sub-type 0, type 1: index of chunks
    EXPECT_EQ(src.FourCC(ix + 16), strCkid);
    EXPECT_EQ(src.U32(ix + 28), 0u);
    const std::uint64_t nBase = src.U64(ix + 20);
    std::uint64_t nBytes = 0;
    for (std::uint32_t i = 0; i < n; ++i, ++nNext) {
      ASSERT_LT(nNext, dataOfStream.size());
      const WalkedChunk& data = walked.dataChunks[dataOfStream[nNext]];
      const TestChunk& written = chunks[dataOfStream[nNext]];
      const std::uint32_t nOffset = src.U32(ix + 32 + 8 * i);
      if (k == 0 && i == 0) {
        EXPECT_EQ(nOffset, walked.segments[0].nMoviPos + 16);
      }
      EXPECT_EQ(nBase + nOffset, static_cast<std::uint64_t>(data.nPos + 8)) << strIx << " " << k << "/" << i;
      EXPECT_EQ(src.U32(ix + 36 + 8 * i), written.nSize | (written.bNotKey ? 0x80000000u : 0u));
      nBytes += written.nSize;
    }
    EXPECT_EQ(src.U32(e + 12), nSampleSize ? static_cast<std::uint32_t>(nBytes / nSampleSize) : n)
        << "duration of " << strIx << " " << k;
  }
  EXPECT_EQ(nNext, dataOfStream.size()) << "chunks missing from " << strIx;
  EXPECT_EQ(src.Bytes(p + 32 + 16 * nEntries, 16 * (256 - nEntries)),
            std::vector<std::uint8_t>(16 * (256 - nEntries), 0));
}

}  // namespace

void ExpectFileMatches(const CByteSource& src, const WalkedFile& walked,
                       const std::vector<TestChunk>& chunks, const AVIOutputFile& avi) {
  ExpectFileMatches(src, walked, chunks, 0u);
  EXPECT_EQ(static_cast<std::size_t>(avi.get_CompletedSegments()), walked.segments.size());
}

std::vector<WalkedFile> ExpectRecordingMatches(const std::vector<const CByteSource*>& files,
                                               const std::vector<TestChunk>& chunks) {
  std::vector<WalkedFile> walks;
  std::size_t nNext = 0;
  for (const CByteSource* pFile : files) {
    SCOPED_TRACE("file " + std::to_string(walks.size() + 1));
    walks.push_back(WalkAVI(*pFile));
    const std::size_t nHere = std::min(walks.back().dataChunks.size(), chunks.size() - nNext);
    const std::vector<TestChunk> slice(chunks.begin() + static_cast<std::ptrdiff_t>(nNext),
                                       chunks.begin() + static_cast<std::ptrdiff_t>(nNext + nHere));
    ExpectFileMatches(*pFile, walks.back(), slice, static_cast<std::uint32_t>(nNext));
    nNext += nHere;
    // Each file's lengths are its own.
    std::uint32_t nFrames = 0;
    std::uint64_t nAudioBytes = 0;
    for (const TestChunk& c : slice) {
      if (c.nStream)
        nAudioBytes += c.nSize;
      else
        ++nFrames;
    }
    const std::vector<StreamHead> heads = FindStreamHeads(*pFile);
    if (heads.size() != 2) continue;
    const std::uint32_t nSampleSize = pFile->U32(heads[1].nStrhPos + 8 + 44);
    EXPECT_EQ(pFile->U32(heads[0].nStrhPos + 8 + 32), nFrames ? nFrames : 1u) << "video length";
    EXPECT_EQ(pFile->U32(heads[1].nStrhPos + 8 + 32),
              nAudioBytes ? static_cast<std::uint32_t>(nAudioBytes / (nSampleSize ? nSampleSize : 1)) : 1u)
        << "audio length";
  }
  EXPECT_EQ(nNext, chunks.size()) << "chunks missing from the recording";
  return walks;
}

void ExpectFileMatches(const CByteSource& src, const WalkedFile& walked,
                       const std::vector<TestChunk>& chunks, std::uint32_t nFirstOrdinal) {
  ASSERT_TRUE(walked.bOk) << walked.strError;
  EXPECT_EQ(walked.nEnd, src.get_Size()) << "the file must end with its last segment";
  ASSERT_EQ(walked.dataChunks.size(), chunks.size());
  const std::int64_t nMoviCode = walked.segments[0].nMoviPos + 8;
  std::size_t nInSegment0 = 0;
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    const WalkedChunk& w = walked.dataChunks[i];
    ASSERT_EQ(w.strId, chunks[i].nStream ? "01wb" : "00dc") << "chunk " << i;
    ASSERT_EQ(w.nSize, chunks[i].nSize) << "chunk " << i;
    if (!chunks[i].bBulk) {
      EXPECT_EQ(src.Bytes(w.nPos + 8, w.nSize), PatternData(w.nSize, nFirstOrdinal + static_cast<std::uint32_t>(i)));
    }
    if (w.nSize & 1) {
      EXPECT_EQ(src.Bytes(w.nPos + 8 + w.nSize, 1)[0], 0) << "pad byte of chunk " << i;
    }
    if (w.nSegment == 0) ++nInSegment0;
  }

  // idx1: segment 0 only, offsets from the first "movi" code.
  ASSERT_GE(walked.nIdx1Pos, 0);
  ASSERT_EQ(walked.nIdx1Size, 16 * nInSegment0);
  for (std::size_t i = 0; i < nInSegment0; ++i) {
    const std::int64_t e = walked.nIdx1Pos + 8 + 16 * static_cast<std::int64_t>(i);
    EXPECT_EQ(src.FourCC(e), walked.dataChunks[i].strId);
    EXPECT_EQ(src.U32(e + 4), chunks[i].bNotKey ? 0u : 0x10u);
    EXPECT_EQ(src.U32(e + 8), walked.dataChunks[i].nPos - nMoviCode);
    EXPECT_EQ(src.U32(e + 12), chunks[i].nSize);
  }

  const std::vector<StreamHead> heads = FindStreamHeads(src);
  ASSERT_EQ(heads.size(), 2u);
  if (walked.segments.size() == 1) {
    EXPECT_TRUE(walked.indexChunks.empty());
    for (const StreamHead& h : heads) {
      EXPECT_EQ(src.FourCC(h.nIndexPos), "JUNK");
      EXPECT_EQ(src.U32(h.nIndexPos + 4), 4120u);
      EXPECT_EQ(src.Bytes(h.nIndexPos + 8, 4120), std::vector<std::uint8_t>(4120, 0));
    }
  } else {
    ExpectStreamIndex(src, walked, chunks, 0, heads[0]);
    ExpectStreamIndex(src, walked, chunks, 1, heads[1]);
  }
}

}  // namespace vantor::test
