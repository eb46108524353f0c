#include <cstring>
#include <new>

#include "media/AVIOutput.h"
#include "media/AVIOutputFile.h"

namespace vantor {

bool AVIOutputStream::SetFormat(const void* pFormat, std::uint32_t nSize) {
  std::unique_ptr<std::uint8_t[]> pCopy;
  if (nSize) {
    pCopy.reset(new (std::nothrow) std::uint8_t[nSize]);
    if (!pCopy) return false;
    std::memcpy(pCopy.get(), pFormat, nSize);
  }
  m_pFormat = std::move(pCopy);
  m_nFormatSize = nSize;
  return true;
}

bool AVIVideoOutputStream::Write(std::uint32_t dwFlags, const void* pData, std::uint32_t nSize,
                                 std::uint32_t nSamples) {
  // A frame that did not reach the file is not counted: the header would claim it.
  if (!m_pOwner->WriteChunk(m_fccChunkId, dwFlags, pData, nSize)) return false;
  m_nFrames += nSamples;
  return true;
}

bool AVIVideoOutputStream::Finish() {
  m_Header.dwLength = m_nFrames ? m_nFrames : 1;
  return true;
}

bool AVIAudioOutputStream::Write(std::uint32_t dwFlags, const void* pData, std::uint32_t nSize,
                                 std::uint32_t /*nSamples*/) {
  if (!m_pOwner->WriteChunk(kChunkId, dwFlags, pData, nSize)) return false;
  m_nTotalBytes += nSize;
  return true;
}

bool AVIAudioOutputStream::Finish() {
  // Block align and byte rate come from the format block; a block too short to hold
  // them, or a block align of 0, leaves rate and scale as the client set them and
  // counts bytes, rather than dividing by zero or reading past the block.
  std::uint16_t nBlockAlign = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  if (m_pFormat && m_nFormatSize >= 14) {
    std::memcpy(&nAvgBytesPerSec, m_pFormat.get() + 8, 4);
    std::memcpy(&nBlockAlign, m_pFormat.get() + 12, 2);
  }
  std::uint64_t nBlocks = m_nTotalBytes;
  if (nBlockAlign) {
    nBlocks = m_nTotalBytes / nBlockAlign;
    m_Header.dwRate = nAvgBytesPerSec;
    m_Header.dwScale = nBlockAlign;
  }
  m_Header.dwLength = m_nTotalBytes ? static_cast<std::uint32_t>(nBlocks) : 1;
  return true;
}

}  // namespace vantor
