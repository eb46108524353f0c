#include "media/AVIChunkList.h"

#include <limits>
#include <new>

namespace vantor {

AVIChunkList::~AVIChunkList() { FreeBlocks(); }

void AVIChunkList::FreeBlocks() {
  while (m_pFirst) {
    Block* pNext = m_pFirst->pNext;
    delete m_pFirst;
    m_pFirst = pNext;
  }
  m_pLast = nullptr;
}

bool AVIChunkList::Append(const AVIChunkRecord& record) {
  // Records appended after a flattening would never reach the array.
  if (m_pRecords || m_pLegacy) return false;
  if (m_nCount == std::numeric_limits<std::int32_t>::max()) return false;
  if (!m_pLast || m_pLast->nUsed == kBlockRecords) {
    Block* pBlock = new (std::nothrow) Block;
    if (!pBlock) return false;
    if (m_pLast)
      m_pLast->pNext = pBlock;
    else
      m_pFirst = pBlock;
    m_pLast = pBlock;
  }
  m_pLast->aRecords[m_pLast->nUsed++] = record;
  ++m_nCount;
  return true;
}

const AVIChunkRecord* AVIChunkList::FlattenRecords() {
  if (m_pRecords) return m_pRecords.get();
  if (m_nCount == 0) return nullptr;
  m_pRecords.reset(new (std::nothrow) AVIChunkRecord[static_cast<std::size_t>(m_nCount)]);
  if (!m_pRecords) return nullptr;
  std::size_t n = 0;
  for (const Block* p = m_pFirst; p; p = p->pNext)
    for (int i = 0; i < p->nUsed; ++i) m_pRecords[n++] = p->aRecords[i];
  m_nFlatCount = m_nCount;
  FreeBlocks();
  return m_pRecords.get();
}

const AVILegacyIndexEntry* AVIChunkList::FlattenLegacyIndex() {
  if (m_pLegacy) return m_pLegacy.get();
  if (m_nCount == 0) return nullptr;
  m_pLegacy.reset(new (std::nothrow) AVILegacyIndexEntry[static_cast<std::size_t>(m_nCount)]);
  if (!m_pLegacy) return nullptr;
  std::size_t n = 0;
  for (const Block* p = m_pFirst; p; p = p->pNext) {
    for (int i = 0; i < p->nUsed; ++i) {
      const AVIChunkRecord& r = p->aRecords[i];
      AVILegacyIndexEntry& e = m_pLegacy[n++];
      e.ckid = r.ckid;
      e.dwFlags = (r.dwSize & kAVIRecordNotKeyFrame) ? 0 : kAVIIndexKeyFrame;
      // Segment 0 stays below 2 GiB, so the low 32 bits are the whole offset.
      e.dwChunkOffset = static_cast<std::uint32_t>(r.nOffset);
      e.dwChunkLength = r.dwSize & ~kAVIRecordNotKeyFrame;
    }
  }
  m_nFlatCount = m_nCount;
  FreeBlocks();
  return m_pLegacy.get();
}

}  // namespace vantor
