// The record of every chunk written, kept until the indexes are written at the end.
#pragma once
#include <cstdint>
#include <memory>

#include "media/AVITypes.h"

namespace vantor {

// One written chunk, in memory only.
struct AVIChunkRecord {
  // Chunk header position minus (first movi LIST position + 8), i.e. relative to the
  // first "movi" code; 64-bit because the file outgrows 4 GiB.
  std::int64_t nOffset;
  std::uint32_t ckid;
  // Data size; bit 31 set when the chunk is not a key frame.
  std::uint32_t dwSize;
};
static_assert(sizeof(AVIChunkRecord) == 16);

constexpr std::uint32_t kAVIRecordNotKeyFrame = 0x80000000u;

// Records grow in blocks of 2048 so that appending never moves earlier records, and a
// recording of hours costs no reallocation spikes. The blocks become one flat array
// when the index is written; building an array frees the blocks.
class AVIChunkList {
 public:
  static constexpr int kBlockRecords = 2048;

  AVIChunkList() = default;
  AVIChunkList(const AVIChunkList&) = delete;
  AVIChunkList& operator=(const AVIChunkList&) = delete;
  ~AVIChunkList();

  // False when memory for a new block cannot be had; the list is unchanged then.
  bool Append(const AVIChunkRecord& record);
  std::int32_t get_Count() const { return m_nCount; }

  // The records in append order, or null when the array cannot be allocated (or the
  // list is empty: check get_Count first). The list owns the array.
  const AVIChunkRecord* FlattenRecords();
  // The records as legacy index entries, or null as above.
  const AVILegacyIndexEntry* FlattenLegacyIndex();
  // Records captured by the last Flatten call.
  std::int32_t get_FlatCount() const { return m_nFlatCount; }

 private:
  struct Block {
    Block* pNext = nullptr;
    AVIChunkRecord aRecords[kBlockRecords];
    int nUsed = 0;
  };

  void FreeBlocks();

  Block* m_pFirst = nullptr;
  Block* m_pLast = nullptr;
  std::int32_t m_nCount = 0;
  std::unique_ptr<AVILegacyIndexEntry[]> m_pLegacy;
  std::unique_ptr<AVIChunkRecord[]> m_pRecords;
  std::int32_t m_nFlatCount = 0;
};

}  // namespace vantor
