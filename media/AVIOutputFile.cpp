#include "media/AVIOutputFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#ifndef VANTOR_VERSION
#define VANTOR_VERSION "1.0"
#endif

namespace vantor {
namespace {

constexpr std::int64_t kPreExtendStep = 8 << 20;
constexpr std::uint32_t kPlaceholderBody = 4120;  // room for a super index
constexpr std::uint32_t kDmlhSize = 248;
constexpr std::int64_t k4GiB = std::int64_t{1} << 32;

// Shown to whoever opens a recording in a hex viewer.
constexpr char kFillerText[] = "AVI OpenDML Vantor " VANTOR_VERSION " release";

// a * b / c with a 64-bit product, rounded half away from zero; -1 when c is 0 or the
// result does not fit, as the Windows call of that name behaves.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (c == 0) return -1;
  const std::int64_t nProduct = static_cast<std::int64_t>(a) * b;
  const bool bNegative = (nProduct < 0) != (c < 0);
  const std::uint64_t nAbsProduct =
      nProduct < 0 ? 0 - static_cast<std::uint64_t>(nProduct) : static_cast<std::uint64_t>(nProduct);
  const std::uint64_t nAbsDivisor =
      c < 0 ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(c)) : static_cast<std::uint64_t>(c);
  const std::uint64_t nQuotient = (nAbsProduct + nAbsDivisor / 2) / nAbsDivisor;
  if (nQuotient > (bNegative ? 0x80000000ull : 0x7FFFFFFFull)) return -1;
  return bNegative ? static_cast<std::int32_t>(0 - nQuotient) : static_cast<std::int32_t>(nQuotient);
}

// Streams are told apart by the first two characters of the chunk id: "00" is video.
int StreamOf(std::uint32_t ckid) { return (ckid & 0xFFFF) > 0x3030 ? 1 : 0; }

void Store32(std::uint8_t* p, std::uint32_t n) { std::memcpy(p, &n, 4); }

bool IsFATName(const std::string& strName) {
  if (strName.size() < 3) return false;
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  return upper(strName[0]) == 'F' && upper(strName[1]) == 'A' && upper(strName[2]) == 'T';
}

AVIWriterLimits ClampLimits(AVIWriterLimits limits) {
  const AVIWriterLimits format;
  // Larger segments would let sizes overflow their 32 bits and collide with the not-key
  // bit; the head has room for no more segments, and the placeholder for no larger
  // super index, than the format's.
  if (limits.nSegmentBytes <= 0 || limits.nSegmentBytes > format.nSegmentBytes)
    limits.nSegmentBytes = format.nSegmentBytes;
  if (limits.nMaxSegments <= 0 || limits.nMaxSegments > format.nMaxSegments)
    limits.nMaxSegments = format.nMaxSegments;
  if (limits.nStandardIndexEntries <= 0 || limits.nStandardIndexEntries > format.nStandardIndexEntries)
    limits.nStandardIndexEntries = format.nStandardIndexEntries;
  if (limits.nSuperIndexEntries <= 0 || limits.nSuperIndexEntries > format.nSuperIndexEntries)
    limits.nSuperIndexEntries = format.nSuperIndexEntries;
  return limits;
}

}  // namespace

std::string NumberedPath(const std::string& strFirstPath, int nNumber) {
  const std::size_t nSeparator = strFirstPath.find_last_of("/\\");
  const std::size_t nNameStart = nSeparator == std::string::npos ? 0 : nSeparator + 1;
  const std::size_t nDot = strFirstPath.rfind('.');
  // A dot that starts the name belongs to the name, not to an extension.
  const std::size_t nCut = nDot != std::string::npos && nDot > nNameStart ? nDot : strFirstPath.size();
  return strFirstPath.substr(0, nCut) + "-" + std::to_string(nNumber) + strFirstPath.substr(nCut);
}

AVIOutputFile::AVIOutputFile(CFileSystem* pFileSystem, std::int64_t nSegmentLimit)
    : AVIOutputFile(pFileSystem, AVIWriterLimits{nSegmentLimit}) {}

AVIOutputFile::AVIOutputFile(CFileSystem* pFileSystem, const AVIWriterLimits& limits)
    : m_pFileSystem(pFileSystem ? pFileSystem : &GetNativeFileSystem()),
      m_Limits(ClampLimits(limits)),
      m_nSegmentLimit(m_Limits.nSegmentBytes) {
  Init();
}

AVIOutputFile::~AVIOutputFile() { Release(); }

void AVIOutputFile::Init() {
  m_pFile.reset();
  m_nPos = 0;
  m_nSegmentBytes = 0;
  std::fill(std::begin(m_aMoviPos), std::end(m_aMoviPos), 0);
  std::fill(std::begin(m_aMoviSize), std::end(m_aMoviSize), 0);
  std::fill(std::begin(m_aRiffPos), std::end(m_aRiffPos), 0);
  std::fill(std::begin(m_aRiffSize), std::end(m_aRiffSize), 0);
  m_nCompletedSegments = 0;
  m_nStrlOffset = m_nAvihOffset = m_nAudioStrhOffset = m_nAudioStrfOffset = 0;
  m_nVideoStrhOffset = m_nAudioIndexOffset = m_nVideoIndexOffset = m_nDmlhOffset = 0;
  m_pHeaderImage.reset(new (std::nothrow) std::uint8_t[kHeaderImageSize]);
  m_nHeaderHigh = 0;
  m_MainHeader = {};
  m_bOpen = false;
  m_nAllocatedEnd = 0;
  m_nHighWater = 0;
  m_aStats[0] = m_aStats[1] = Stats{};
  m_bFAT = false;
  m_nIndexReserve = 0;
  m_bPreExtendFailed = false;
  m_bWriteFailed = false;
}

void AVIOutputFile::Release() {
  m_pAudio.reset();
  m_pVideo.reset();
  m_pLegacyList.reset();
  m_pAudioList.reset();
  m_pVideoList.reset();
  m_pHeaderImage.reset();
  if (m_pFile) {
    // A file still held here was abandoned after an error: drop the pre-extended
    // tail so that it ends where its data ends.
    if (m_pFile->Seek(m_nHighWater)) m_pFile->SetEndOfFile();
    m_pFile->Close();
    m_pFile.reset();
  }
}

bool AVIOutputFile::ResetFile() {
  Release();
  Init();
  m_aOpenHeaders[0] = m_aOpenHeaders[1] = AVIStreamHeader{};
  m_nWidth = m_nHeight = 0;
  m_strFirstPath.clear();
  m_Paths.clear();
  m_nFileNumber = 0;
  m_nLastNumber = 1;
  m_nEarlierFrames = m_nEarlierAudioBytes = 0;
  m_bLimitReached = false;
  return true;
}

bool AVIOutputFile::CreateStreams() {
  // Replacing the streams under an open file would change what its head describes.
  if (m_pFile) return false;
  m_pAudio.reset(new (std::nothrow) AVIAudioOutputStream(this));
  m_pVideo.reset(new (std::nothrow) AVIVideoOutputStream(this));
  return m_pAudio && m_pVideo;
}

// ---------------------------------------------------------------------------------
// Head image

bool AVIOutputFile::ImageAppend(const void* pData, std::uint32_t nSize) {
  if (nSize > static_cast<std::uint32_t>(kHeaderImageSize - m_nHeaderHigh)) return false;
  if (pData)
    std::memcpy(m_pHeaderImage.get() + m_nHeaderHigh, pData, nSize);
  else
    std::memset(m_pHeaderImage.get() + m_nHeaderHigh, 0, nSize);
  m_nHeaderHigh += static_cast<std::int32_t>(nSize);
  return true;
}

bool AVIOutputFile::ImageChunk(std::uint32_t fcc, const void* pData, std::uint32_t nSize,
                               std::int32_t* pOffset) {
  if (pOffset) *pOffset = m_nHeaderHigh;
  const std::uint32_t aHeader[2] = {fcc, nSize};
  return ImageAppend(aHeader, 8) && ImageAppend(pData, nSize) &&
         ((nSize & 1) == 0 || ImageAppend(nullptr, 1));
}

bool AVIOutputFile::ImageZeroChunk(std::uint32_t fcc, std::uint32_t nSize, std::int32_t* pOffset) {
  return ImageChunk(fcc, nullptr, nSize, pOffset);
}

bool AVIOutputFile::ImageBeginList(std::uint32_t fccType, std::int32_t* pOffset) {
  *pOffset = m_nHeaderHigh;
  const std::uint32_t aHeader[3] = {MakeFourCC("LIST"), 0, fccType};
  return ImageAppend(aHeader, 12);
}

void AVIOutputFile::ImageEndList(std::int32_t nOffset) {
  Store32(m_pHeaderImage.get() + nOffset + 4,
          static_cast<std::uint32_t>(m_nHeaderHigh - nOffset - 8));
}

bool AVIOutputFile::ImageStream(AVIOutputStream& stream, std::int32_t* pHeaderOffset,
                                std::int32_t* pFormatOffset, std::int32_t* pIndexOffset) {
  if (!ImageBeginList(MakeFourCC("strl"), &m_nStrlOffset) ||
      !ImageChunk(MakeFourCC("strh"), &stream.get_Header(), sizeof(AVIStreamHeader), pHeaderOffset) ||
      !ImageChunk(MakeFourCC("strf"), stream.get_Format(), stream.get_FormatSize(), pFormatOffset) ||
      !ImageZeroChunk(MakeFourCC("JUNK"), kPlaceholderBody, pIndexOffset))
    return false;
  ImageEndList(m_nStrlOffset);
  // The head written at open carried the client's value; from here on the header
  // tracks the largest chunk actually written.
  stream.get_Header().dwSuggestedBufferSize = 0;
  return true;
}

bool AVIOutputFile::ImageFiller() {
  // The first movie list starts on a 2048-byte boundary.
  const std::uint32_t nBody = static_cast<std::uint32_t>(-(m_nHeaderHigh + 8)) & 2047u;
  if (nBody == 0) return true;
  std::int32_t nOffset;
  if (!ImageZeroChunk(MakeFourCC("JUNK"), nBody, &nOffset)) return false;
  if (nBody > 80) std::memcpy(m_pHeaderImage.get() + nOffset + 8, kFillerText, sizeof kFillerText);
  return true;
}

bool AVIOutputFile::BuildHead() {
  m_nHeaderHigh = 0;
  std::int32_t nHdrl, nOdml;
  const std::uint32_t aRiff[3] = {MakeFourCC("RIFF"), 0, MakeFourCC("AVI ")};
  if (!ImageAppend(aRiff, 12) || !ImageBeginList(MakeFourCC("hdrl"), &nHdrl) ||
      !ImageChunk(MakeFourCC("avih"), &m_MainHeader, sizeof m_MainHeader, &m_nAvihOffset))
    return false;
  std::int32_t nVideoStrf = 0;
  if (!ImageStream(*m_pVideo, &m_nVideoStrhOffset, &nVideoStrf, &m_nVideoIndexOffset) ||
      !ImageStream(*m_pAudio, &m_nAudioStrhOffset, &m_nAudioStrfOffset, &m_nAudioIndexOffset))
    return false;
  if (!ImageBeginList(MakeFourCC("odml"), &nOdml) ||
      !ImageZeroChunk(MakeFourCC("dmlh"), kDmlhSize, &m_nDmlhOffset))
    return false;
  ImageEndList(nOdml);
  ImageEndList(nHdrl);
  return ImageFiller();
}

// ---------------------------------------------------------------------------------
// File operations

void AVIOutputFile::SeekTo(std::int64_t nPos) {
  if (!m_pFile->Seek(nPos)) throw WriteError{};
}

bool AVIOutputFile::ExtendFile(std::int64_t nTarget) {
  if (nTarget < m_nAllocatedEnd) return true;
  SeekTo(nTarget);
  const bool bOk = m_pFile->SetEndOfFile();
  SeekTo(m_nPos);
  if (bOk) m_nAllocatedEnd = nTarget;
  return bOk;
}

void AVIOutputFile::WriteData(const void* pData, std::uint32_t nSize) {
  if (!m_bPreExtendFailed) {
    // Grow the file well ahead of the data so that it is laid out in one piece and
    // not grown on every write.
    const std::int64_t nEnd = m_nPos + m_nIndexReserve + nSize;
    if (nEnd > m_nAllocatedEnd - kPreExtendStep) {
      const std::int64_t nTarget =
          (nEnd + kPreExtendStep - 1) / kPreExtendStep * kPreExtendStep + kPreExtendStep;
      if (!ExtendFile(nTarget)) m_bPreExtendFailed = true;
    }
  }
  std::uint32_t nWritten = 0;
  if (!m_pFile->Write(pData, nSize, &nWritten) || nWritten != nSize) throw WriteError{};
  m_nPos += nSize;
  m_nHighWater = std::max(m_nHighWater, m_nPos);
}

void AVIOutputFile::WriteAt(std::int64_t nPos, const void* pData, std::uint32_t nSize) {
  SeekTo(nPos);
  m_nPos = nPos;
  WriteData(pData, nSize);
}

void AVIOutputFile::BeginSegment() {
  const int n = m_nCompletedSegments;
  if (n >= m_Limits.nMaxSegments) throw WriteError{};
  if (n == 0) {
    m_aRiffPos[0] = 0;
    m_aMoviPos[0] = m_nPos;
    const std::uint32_t aList[3] = {MakeFourCC("LIST"), kAVIFirstMoviPlaceholder, MakeFourCC("movi")};
    WriteData(aList, sizeof aList);
  } else {
    m_aRiffPos[n] = m_nPos;
    const std::uint32_t aHeader[6] = {MakeFourCC("RIFF"), kAVIExtendedPlaceholder, MakeFourCC("AVIX"),
                                      MakeFourCC("LIST"), kAVIExtendedPlaceholder, MakeFourCC("movi")};
    WriteData(aHeader, sizeof aHeader);
    m_aMoviPos[n] = m_nPos - 12;
  }
}

void AVIOutputFile::EndSegment() {
  const int n = m_nCompletedSegments;
  m_aMoviSize[n] = m_nPos - m_aMoviPos[n] - 8;
  if (n == 0) {
    m_MainHeader.dwTotalFrames = m_pVideo->get_FrameCount();
    WriteLegacyIndex();
  }
  m_aRiffSize[n] = m_nPos - m_aRiffPos[n] - 8;
  m_nCompletedSegments = n + 1;
  m_nSegmentBytes = 0;
}

void AVIOutputFile::WriteLegacyIndex() {
  const std::int32_t nCount = m_pLegacyList->get_Count();
  const AVILegacyIndexEntry* pEntries = nullptr;
  if (nCount) {
    pEntries = m_pLegacyList->FlattenLegacyIndex();
    if (!pEntries) throw WriteError{};
  }
  const std::uint32_t aHeader[2] = {MakeFourCC("idx1"), static_cast<std::uint32_t>(nCount) * 16u};
  WriteData(aHeader, sizeof aHeader);
  if (nCount) WriteData(pEntries, static_cast<std::uint32_t>(nCount) * 16u);
  // Later chunks lie beyond the reach of a legacy index.
  m_pLegacyList.reset();
}

std::int64_t AVIOutputFile::IndexReserve(const Stats (&aStats)[2]) const {
  std::int64_t nIndexChunks = 0;
  for (const Stats& s : aStats) {
    if (s.nLargestDistance <= 0) continue;
    const std::int64_t nPer =
        std::min<std::int64_t>(k4GiB / s.nLargestDistance, m_Limits.nStandardIndexEntries);
    nIndexChunks += (s.nChunks + nPer - 1) / nPer;
  }
  return 32 * nIndexChunks + 16 * (static_cast<std::int64_t>(aStats[0].nChunks) + aStats[1].nChunks) + 8;
}

void AVIOutputFile::UpdateIndexReserve() { m_nIndexReserve = IndexReserve(m_aStats); }

bool AVIOutputFile::WriteChunk(std::uint32_t ckid, std::uint32_t dwFlags, const void* pData,
                               std::uint32_t nSize) {
  if (!m_bOpen || !m_pFile || m_bWriteFailed || m_bLimitReached) return false;
  if (nSize && !pData) return false;
  // 8 bytes of chunk header and 8 for the chunk's future standard index entry. A chunk
  // that cannot fit even an empty segment would overflow the 32-bit sizes: refuse it.
  if (static_cast<std::int64_t>(nSize) + (nSize & 1) + 16 > m_nSegmentLimit) return false;
  Projection projected = CurrentProjection();
  if (!ProjectChunk(&projected, StreamOf(ckid), nSize)) {
    // A chunk that not even an empty file could take would open file after file.
    Projection empty = EmptyFileProjection();
    if (!ProjectChunk(&empty, StreamOf(ckid), nSize) || !ContinueFile()) return false;
  }
  try {
    WriteChunkBody(ckid, dwFlags, pData, nSize);
    return true;
  } catch (const WriteError&) {
    m_bWriteFailed = true;
    return false;
  }
}

void AVIOutputFile::WriteChunkBody(std::uint32_t ckid, std::uint32_t dwFlags, const void* pData,
                                   std::uint32_t nSize) {
  const int s = StreamOf(ckid);
  const std::uint32_t nPad = nSize & 1;
  const std::int64_t nAccounted = static_cast<std::int64_t>(nSize) + nPad + 16;
  // A chunk that exactly fills the segment still belongs to it.
  const bool bNewSegment = m_nSegmentBytes + nAccounted > m_nSegmentLimit;
  const std::int64_t nChunkPos = m_nPos + (bNewSegment ? 24 : 0);

  Stats& stats = m_aStats[s];
  const std::int32_t nDistance =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(nChunkPos - stats.nLatestPos));
  stats.nLargestDistance = std::max(stats.nLargestDistance, nDistance);
  TrackGroups(&stats, nChunkPos);
  ++stats.nChunks;
  UpdateIndexReserve();

  // Make sure the chunk and the indexes still to come have room.
  const std::int64_t nRequired = (m_nIndexReserve + nSize + nChunkPos + 6166) & ~std::int64_t{2047};
  if (m_bFAT && nRequired >= k4GiB) throw WriteError{};
  if (!ExtendFile(nRequired)) throw WriteError{};
  stats.nLatestPos = nChunkPos;

  if (bNewSegment) {
    EndSegment();
    BeginSegment();
  }

  const AVIChunkRecord record = {m_nPos - m_aMoviPos[0] - 8, ckid,
                                 (dwFlags & kAVIChunkNotKeyFrame) ? nSize | kAVIRecordNotKeyFrame : nSize};
  const std::uint32_t aHeader[2] = {ckid, nSize};
  WriteData(aHeader, sizeof aHeader);
  m_nSegmentBytes += nAccounted;

  AVIOutputStream& stream = s ? static_cast<AVIOutputStream&>(*m_pAudio) : *m_pVideo;
  stream.get_Header().dwSuggestedBufferSize =
      std::max(stream.get_Header().dwSuggestedBufferSize, nSize);
  AVIChunkList& list = s ? *m_pAudioList : *m_pVideoList;
  if (!list.Append(record)) throw WriteError{};
  if (m_pLegacyList && !m_pLegacyList->Append(record)) throw WriteError{};

  if (nSize) WriteData(pData, nSize);
  if (nPad) {
    const std::uint8_t nZero = 0;
    WriteData(&nZero, 1);
  }
}

// ---------------------------------------------------------------------------------
// Open and close

bool AVIOutputFile::OpenFile(const char* szName, std::int32_t nWidth, std::int32_t nHeight) {
  if (m_bOpen || m_pFile || m_bWriteFailed || !szName || !m_pHeaderImage) return false;
  if (!m_pVideo || !m_pAudio) return false;
  // What every later file of the recording repeats.
  m_aOpenHeaders[0] = m_pVideo->get_Header();
  m_aOpenHeaders[1] = m_pAudio->get_Header();
  m_nWidth = nWidth;
  m_nHeight = nHeight;
  m_strFirstPath = szName;
  m_Paths.clear();
  m_nFileNumber = 1;
  m_nLastNumber = 1;
  m_nEarlierFrames = m_nEarlierAudioBytes = 0;
  m_bLimitReached = false;
  return OpenCurrentFile(szName, nWidth, nHeight);
}

bool AVIOutputFile::OpenCurrentFile(const char* szName, std::int32_t nWidth, std::int32_t nHeight) {
  if (m_bOpen || m_pFile || m_bWriteFailed || !szName || !m_pHeaderImage) return false;

  std::string strFileSystem;
  m_bFAT = m_pFileSystem->GetFileSystemName(szName, &strFileSystem) && IsFATName(strFileSystem);

  if (!m_pVideo || !m_pAudio) return false;
  m_pLegacyList.reset(new (std::nothrow) AVIChunkList);
  m_pAudioList.reset(new (std::nothrow) AVIChunkList);
  m_pVideoList.reset(new (std::nothrow) AVIChunkList);
  if (!m_pLegacyList || !m_pAudioList || !m_pVideoList) return false;

  const AVIStreamHeader& video = m_pVideo->get_Header();
  m_MainHeader = {};
  m_MainHeader.dwMicroSecPerFrame = static_cast<std::uint32_t>(
      MulDiv(static_cast<std::int32_t>(video.dwScale), 1000000, static_cast<std::int32_t>(video.dwRate)));
  m_MainHeader.dwFlags = kAVIFlagHasIndex | kAVIFlagInterleaved;
  m_MainHeader.dwTotalFrames = video.dwLength;
  m_MainHeader.dwStreams = 2;
  m_MainHeader.dwWidth = static_cast<std::uint32_t>(nWidth);
  m_MainHeader.dwHeight = static_cast<std::uint32_t>(nHeight);

  // The head is built before the file exists, so that a head too large for the image
  // (oversized format blocks) fails without leaving a file behind.
  if (!BuildHead()) return false;

  m_pFile = m_pFileSystem->CreateWriteFile(szName);
  if (!m_pFile) {
    m_bWriteFailed = true;
    return false;
  }
  m_Paths.emplace_back(szName);
  try {
    WriteAt(0, m_pHeaderImage.get(), static_cast<std::uint32_t>(m_nHeaderHigh));
    BeginSegment();
  } catch (const WriteError&) {
    m_bWriteFailed = true;
    return false;
  }
  std::int64_t nSize = 0;
  m_nAllocatedEnd = m_pFile->GetSize(&nSize) ? nSize : 0;
  m_bOpen = true;
  return true;
}

bool AVIOutputFile::ContinueFile() {
  if (!m_bOpen || !m_pFile || m_bWriteFailed || m_bLimitReached) return false;
  const std::string strNext = NextPath();
  if (strNext.empty()) {
    m_bLimitReached = true;
    return false;
  }
  if (!CloseFile()) return false;
  m_nEarlierFrames += m_pVideo->get_FrameCount();
  m_nEarlierAudioBytes += m_pAudio->get_TotalBytes();
  m_pLegacyList.reset();
  m_pAudioList.reset();
  m_pVideoList.reset();
  Init();
  // Finish rewrote lengths, rates and buffer sizes for the file just closed; the next
  // one starts from what the client set, and counts its own frames and bytes.
  m_pVideo->get_Header() = m_aOpenHeaders[0];
  m_pVideo->m_nFrames = 0;
  m_pAudio->get_Header() = m_aOpenHeaders[1];
  m_pAudio->m_nTotalBytes = 0;
  ++m_nFileNumber;
  if (!OpenCurrentFile(strNext.c_str(), m_nWidth, m_nHeight)) {
    m_bWriteFailed = true;
    return false;
  }
  return true;
}

std::string AVIOutputFile::NextPath() {
  auto used = [this](const std::string& str) {
    return str == m_strFirstPath || std::find(m_Paths.begin(), m_Paths.end(), str) != m_Paths.end();
  };
  if (m_fnNextPath) {
    std::string str = m_fnNextPath(m_strFirstPath, m_nFileNumber + 1);
    // Reopening a file of this recording would destroy what was just finished.
    return used(str) ? std::string() : str;
  }
  const bool bNative = m_pFileSystem == &GetNativeFileSystem();
  for (int n = m_nLastNumber + 1; n < m_nLastNumber + 10000; ++n) {
    std::string str = NumberedPath(m_strFirstPath, n);
    std::error_code ec;
    if (used(str) ||
        (bNative && std::filesystem::exists(std::filesystem::path(std::u8string(str.begin(), str.end())), ec)))
      continue;
    m_nLastNumber = n;
    return str;
  }
  return {};
}

std::uint64_t AVIOutputFile::get_RecordingFrames() const {
  return m_nEarlierFrames + (m_pVideo ? m_pVideo->get_FrameCount() : 0);
}

std::uint64_t AVIOutputFile::get_RecordingAudioBytes() const {
  return m_nEarlierAudioBytes + (m_pAudio ? m_pAudio->get_TotalBytes() : 0);
}

// ---------------------------------------------------------------------------------
// Limits: whether the file could still be finished after more chunks. The rules are
// those WriteChunkBody and the index writer apply, run ahead on a copy of the state.

AVIOutputFile::Projection AVIOutputFile::CurrentProjection() const {
  return Projection{m_nPos, m_nSegmentBytes, m_nCompletedSegments, {m_aStats[0], m_aStats[1]}};
}

AVIOutputFile::Projection AVIOutputFile::EmptyFileProjection() const {
  // The next file has the same head, so its first chunk lies where this file's did.
  return Projection{m_aMoviPos[0] + 12, 0, 0, {}};
}

// At close each stream's records are cut into groups of one size, the largest (up to
// the entries per chunk) whose every group spans less than the 32-bit entries reach.
// Following that for a few sizes as chunks come gives a size that is known to fit, so
// the count from it is never below the count at close.
void AVIOutputFile::TrackGroups(Stats* pStats, std::int64_t nChunkPos) const {
  const std::int64_t nSpan = get_MaxIndexSpan();
  for (int k = 0; k < kGroupSizes; ++k) {
    const std::int32_t nSize = std::max(m_Limits.nStandardIndexEntries >> k, 1);
    if (pStats->nChunks % nSize == 0)
      pStats->aGroupBase[k] = nChunkPos;
    else if (nChunkPos - pStats->aGroupBase[k] >= nSpan)
      pStats->nGroupMisfits |= 1u << k;
  }
}

std::int64_t AVIOutputFile::IndexChunksNeeded(const Stats& stats) const {
  for (int k = 0; k < kGroupSizes; ++k) {
    const std::int64_t nSize = std::max(m_Limits.nStandardIndexEntries >> k, 1);
    if (!(stats.nGroupMisfits & 1u << k)) return (stats.nChunks + nSize - 1) / nSize;
  }
  return stats.nChunks;
}

bool AVIOutputFile::ProjectChunk(Projection* p, int nStream, std::uint32_t nSize) const {
  const std::uint32_t nPad = nSize & 1;
  const std::int64_t nAccounted = static_cast<std::int64_t>(nSize) + nPad + 16;
  if (nAccounted > m_nSegmentLimit) return false;
  const bool bNewSegment = p->nSegmentBytes + nAccounted > m_nSegmentLimit;
  if (bNewSegment && p->nSegment + 1 >= m_Limits.nMaxSegments) return false;
  const std::int64_t nChunkPos = p->nPos + (bNewSegment ? 24 : 0);

  Stats& stats = p->aStats[nStream];
  stats.nLargestDistance = std::max(
      stats.nLargestDistance, static_cast<std::int32_t>(static_cast<std::uint32_t>(nChunkPos - stats.nLatestPos)));
  TrackGroups(&stats, nChunkPos);
  ++stats.nChunks;
  stats.nLatestPos = nChunkPos;
  if (bNewSegment) {
    ++p->nSegment;
    p->nSegmentBytes = 0;
  }
  p->nPos = nChunkPos + 8 + nSize + nPad;
  p->nSegmentBytes += nAccounted;

  if (IndexChunksNeeded(stats) > m_Limits.nSuperIndexEntries) return false;
  // Index chunks that do not fit their segment open one more at close; in the last
  // segment there is none to open, so the largest index chunk must fit there.
  if (p->nSegment > 0 && p->nSegment == m_Limits.nMaxSegments - 1 &&
      p->nSegmentBytes + 32 + 8 * static_cast<std::int64_t>(m_Limits.nStandardIndexEntries) > m_nSegmentLimit)
    return false;
  if (m_bFAT &&
      ((IndexReserve(p->aStats) + nSize + nChunkPos + 6166) & ~std::int64_t{2047}) >= k4GiB)
    return false;
  return true;
}

bool AVIOutputFile::HasRoomFor(std::uint32_t nAudioChunks, std::uint32_t nAudioBytes,
                               std::uint32_t nVideoChunks, std::uint32_t nVideoBytes) const {
  if (!m_bOpen || !m_pFile || m_bWriteFailed || m_bLimitReached) return false;
  Projection p = CurrentProjection();
  for (std::uint32_t i = 0; i < nAudioChunks; ++i)
    if (!ProjectChunk(&p, 1, nAudioBytes)) return false;
  for (std::uint32_t i = 0; i < nVideoChunks; ++i)
    if (!ProjectChunk(&p, 0, nVideoBytes)) return false;
  return true;
}

void AVIOutputFile::AdjustVideoRate() {
  if (m_fnRateAdjuster) {
    m_fnRateAdjuster(*m_pVideo, *m_pAudio);
    return;
  }
  // Stretch the video to the sound's length in whole seconds. The length comes from the
  // bytes written and the byte rate, which holds for any block size.
  std::uint32_t nAvgBytesPerSec = 0;
  if (m_pAudio->get_Format() && m_pAudio->get_FormatSize() >= 12)
    std::memcpy(&nAvgBytesPerSec, m_pAudio->get_Format() + 8, 4);
  if (nAvgBytesPerSec == 0) return;
  const std::uint64_t nSeconds = m_pAudio->get_TotalBytes() / nAvgBytesPerSec;
  if (nSeconds == 0) return;
  AVIStreamHeader& video = m_pVideo->get_Header();
  // Fewer frames than seconds would give a rate of 0, which no reader can play.
  const std::uint64_t nRate = video.dwLength / nSeconds;
  if (nRate) video.dwRate = static_cast<std::uint32_t>(nRate);
}

bool AVIOutputFile::CloseFile() {
  if (m_bWriteFailed) return false;
  if (!m_bOpen || !m_pFile) return true;
  try {
    FinishFile();
    return true;
  } catch (const WriteError&) {
    m_bWriteFailed = true;
    return false;
  }
}

void AVIOutputFile::FinishFile() {
  m_pVideo->Finish();
  m_pAudio->Finish();
  AdjustVideoRate();

  AVISuperIndex videoIndex{}, audioIndex{};
  if (m_nCompletedSegments > 0) {
    BuildStandardIndex(m_pVideoList.get(), &videoIndex, false);
    BuildStandardIndex(m_pAudioList.get(), &audioIndex, true);
  }
  EndSegment();

  // Drop the pre-extended tail. Nothing may grow the file again after this.
  SeekTo(m_nPos);
  m_pFile->SetEndOfFile();
  m_bPreExtendFailed = true;

  std::uint8_t* pImage = m_pHeaderImage.get();
  m_MainHeader.dwSuggestedBufferSize = m_pVideo->get_Header().dwSuggestedBufferSize;
  std::memcpy(pImage + m_nAvihOffset + 8, &m_MainHeader, sizeof m_MainHeader);
  std::memcpy(pImage + m_nVideoStrhOffset + 8, &m_pVideo->get_Header(), sizeof(AVIStreamHeader));
  std::memcpy(pImage + m_nAudioStrhOffset + 8, &m_pAudio->get_Header(), sizeof(AVIStreamHeader));
  // Only as much of the format as the head made room for at open.
  std::uint32_t nStrfSize;
  std::memcpy(&nStrfSize, pImage + m_nAudioStrfOffset + 4, 4);
  if (m_pAudio->get_Format())
    std::memcpy(pImage + m_nAudioStrfOffset + 8, m_pAudio->get_Format(),
                std::min(nStrfSize, m_pAudio->get_FormatSize()));
  Store32(pImage + m_nDmlhOffset + 8, m_pVideo->get_Header().dwLength);
  if (m_nCompletedSegments > 1) {
    std::memcpy(pImage + m_nVideoIndexOffset, &videoIndex, sizeof videoIndex);
    std::memcpy(pImage + m_nAudioIndexOffset, &audioIndex, sizeof audioIndex);
  }
  WriteAt(0, pImage, static_cast<std::uint32_t>(m_nHeaderHigh));

  for (int i = 0; i < m_nCompletedSegments; ++i) {
    const std::uint32_t nRiffSize = static_cast<std::uint32_t>(m_aRiffSize[i]);
    const std::uint32_t nMoviSize = static_cast<std::uint32_t>(m_aMoviSize[i]);
    WriteAt(m_aRiffPos[i] + 4, &nRiffSize, 4);
    WriteAt(m_aMoviPos[i] + 4, &nMoviSize, 4);
  }

  const bool bClosed = m_pFile->Close();
  m_pFile.reset();
  if (!bClosed) throw WriteError{};
}

}  // namespace vantor
