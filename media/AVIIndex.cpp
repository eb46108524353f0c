// The two-tier OpenDML index written at close when a file outgrew its first RIFF
// segment: per stream, standard index chunks ("ix00", "ix01") at the end of the movie
// data, and a super index ("indx") over the placeholder in the stream's header list.
#include <algorithm>
#include <cstring>

#include "media/AVIOutputFile.h"

namespace vantor {
namespace {

constexpr std::int32_t kBatchEntries = 64;

// Every record of a group lies less than nSpan bytes after the group's first record.
bool GroupsFit(const AVIChunkRecord* pRecords, std::int32_t nCount, std::int32_t nPer,
               std::int64_t nSpan) {
  for (std::int32_t nFirst = 0; nFirst < nCount; nFirst += nPer) {
    const std::int64_t nBase = pRecords[nFirst].nOffset;
    const std::int32_t nEnd = std::min(nCount, nFirst + nPer);
    for (std::int32_t i = nFirst + 1; i < nEnd; ++i)
      if (pRecords[i].nOffset - nBase >= nSpan) return false;
  }
  return true;
}

}  // namespace

// Entries hold 32-bit offsets from the chunk's base, and each entry is stored as
// (record - base) + first movi position + 16 so that base + entry is the data's file
// position. The distance from the base must therefore stay below 4 GiB less that
// addend, or the entry would wrap round and point into the wrong place.
std::int64_t AVIOutputFile::get_MaxIndexSpan() const {
  return (std::int64_t{1} << 32) - (m_aMoviPos[0] + 16);
}

void AVIOutputFile::BuildStandardIndex(AVIChunkList* pList, AVISuperIndex* pSuper, bool bAudio) {
  std::memset(pSuper, 0, sizeof *pSuper);
  const std::int32_t nCount = pList->get_Count();
  const AVIChunkRecord* pRecords = nullptr;
  if (nCount) {
    pRecords = pList->FlattenRecords();
    if (!pRecords) throw WriteError{};
  }

  const std::int64_t nSpan = get_MaxIndexSpan();
  std::int32_t nPer = m_Limits.nStandardIndexEntries;
  while (nPer > 1 && !GroupsFit(pRecords, nCount, nPer, nSpan)) --nPer;

  const std::uint32_t ckid = bAudio ? AVIAudioOutputStream::kChunkId : m_pVideo->get_ChunkId();
  const AVIStreamHeader& header = bAudio ? m_pAudio->get_Header() : m_pVideo->get_Header();
  std::int32_t k = 0;
  for (std::int32_t nDone = 0; nDone < nCount; ++k) {
    if (k == m_Limits.nSuperIndexEntries) throw WriteError{};
    nDone += WriteStandardIndexChunk(&pSuper->aIndex[k], pRecords + nDone,
                                     std::min(nPer, nCount - nDone), ckid, header.dwSampleSize);
  }

  pSuper->fcc = MakeFourCC("indx");
  pSuper->cb = sizeof(AVISuperIndex) - 8;
  pSuper->wLongsPerEntry = 4;
  pSuper->bIndexSubType = 0;
  pSuper->bIndexType = kAVIIndexOfIndexes;
  pSuper->nEntriesInUse = static_cast<std::uint32_t>(k);
  pSuper->dwChunkId = ckid;
}

std::int32_t AVIOutputFile::WriteStandardIndexChunk(AVISuperIndexEntry* pEntry,
                                                    const AVIChunkRecord* pRecords,
                                                    std::int32_t nMax, std::uint32_t ckid,
                                                    std::uint32_t nSampleSize) {
  const std::int64_t nBase = pRecords[0].nOffset;
  const std::int64_t nSpan = get_MaxIndexSpan();
  std::int32_t n = 1;
  while (n < nMax && pRecords[n].nOffset - nBase < nSpan) ++n;

  const std::uint32_t nChunkBytes = 32 + 8 * static_cast<std::uint32_t>(n);
  // An index chunk that would overfill the segment opens the next one instead. It is
  // not counted in the segment's bytes: each chunk's entry was counted when written.
  if (m_nSegmentBytes + nChunkBytes > m_nSegmentLimit) {
    EndSegment();
    BeginSegment();
  }

  std::uint64_t nDuration = static_cast<std::uint64_t>(n);
  if (nSampleSize) {
    std::uint64_t nBytes = 0;
    for (std::int32_t i = 0; i < n; ++i) nBytes += pRecords[i].dwSize & ~kAVIRecordNotKeyFrame;
    nDuration = nBytes / nSampleSize;
  }
  pEntry->qwOffset = static_cast<std::uint64_t>(m_nPos);
  pEntry->dwSize = nChunkBytes;
  pEntry->dwDuration = static_cast<std::uint32_t>(nDuration);

  AVIStandardIndexHeader header{};
  header.fcc = MakeFourCC("ix\0\0") | (ckid & 0xFFFF) << 16;
  header.cb = nChunkBytes - 8;
  header.wLongsPerEntry = 2;
  header.bIndexSubType = 0;
  header.bIndexType = kAVIIndexOfChunks;
  header.nEntriesInUse = static_cast<std::uint32_t>(n);
  header.dwChunkId = ckid;
  header.qwBaseOffset[0] = static_cast<std::uint32_t>(nBase);
  header.qwBaseOffset[1] = static_cast<std::uint32_t>(static_cast<std::uint64_t>(nBase) >> 32);
  WriteData(&header, sizeof header);

  const std::int64_t nAddend = m_aMoviPos[0] + 16;
  AVIStandardIndexEntry aBatch[kBatchEntries];
  for (std::int32_t nFirst = 0; nFirst < n; nFirst += kBatchEntries) {
    const std::int32_t nBatch = std::min(kBatchEntries, n - nFirst);
    for (std::int32_t i = 0; i < nBatch; ++i) {
      const AVIChunkRecord& r = pRecords[nFirst + i];
      aBatch[i].dwOffset = static_cast<std::uint32_t>(r.nOffset - nBase + nAddend);
      aBatch[i].dwSize = r.dwSize;
    }
    WriteData(aBatch, static_cast<std::uint32_t>(nBatch) * sizeof(AVIStandardIndexEntry));
  }
  return n;
}

}  // namespace vantor
