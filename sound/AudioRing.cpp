#include "sound/AudioRing.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace vantor {

void FillPcmFormat(int nIndex, WaveFormatEx* pFormat) {
  if (!pFormat) return;
  static constexpr std::uint32_t kRates[] = {48000, 44100, 22050, 11025, 8000};
  static constexpr struct {
    std::uint16_t nBits, nChannels;
  } kLayouts[] = {{8, 1}, {16, 1}, {8, 2}, {16, 2}};
  if (nIndex >= 0) {
    const unsigned nRate = static_cast<unsigned>(nIndex) / 4;
    if (nRate < std::size(kRates)) pFormat->nSamplesPerSec = kRates[nRate];
    const auto& layout = kLayouts[static_cast<unsigned>(nIndex) % 4];
    pFormat->wBitsPerSample = layout.nBits;
    pFormat->nChannels = layout.nChannels;
  }
  pFormat->nBlockAlign = static_cast<std::uint16_t>(pFormat->wBitsPerSample / 8 * pFormat->nChannels);
  pFormat->nAvgBytesPerSec = pFormat->nBlockAlign * pFormat->nSamplesPerSec;
}

WaveFormatEx GetCaptureFormat() {
  WaveFormatEx format{};
  format.wFormatTag = 1;
  FillPcmFormat(0, &format);
  format.cbSize = 0;
  return format;
}

bool PlainWaveFormat(const void* pFormat, std::size_t nBytes, WaveFormatEx* pPlain) {
  if (!pFormat || nBytes < sizeof(WaveFormatEx)) return false;
  WaveFormatEx format;
  std::memcpy(&format, pFormat, sizeof format);
  if (format.nBlockAlign == 0 || format.nSamplesPerSec == 0 || format.nChannels == 0) return false;
  if (format.wFormatTag == 0xFFFE) {
    // WAVEFORMATEXTENSIBLE: valid bits, channel mask, then the sub-format, whose first
    // four bytes are the plain tag when the rest is {-0000-0010-8000-00AA00389B71}.
    constexpr std::size_t kSubFormatAt = sizeof(WaveFormatEx) + 2 + 4;
    static constexpr std::uint8_t kBase[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                               0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (format.cbSize < 22 || nBytes < kSubFormatAt + 16) return false;
    const auto* pSub = static_cast<const std::uint8_t*>(pFormat) + kSubFormatAt;
    std::uint32_t nTag;
    std::memcpy(&nTag, pSub, 4);
    if (std::memcmp(pSub + 4, kBase, sizeof kBase) != 0 || (nTag != 1 && nTag != 3)) return false;
    format.wFormatTag = static_cast<std::uint16_t>(nTag);
  }
  format.cbSize = 0;
  *pPlain = format;
  return true;
}

bool FileWaveFormat(const void* pFormat, std::size_t nBytes, WaveFormatBlock* pFileFormat) {
  WaveFormatEx plain;
  if (PlainWaveFormat(pFormat, nBytes, &plain)) {
    *pFileFormat = plain;
    return true;
  }
  if (!pFormat || nBytes < sizeof(WaveFormatExtensible)) return false;
  WaveFormatExtensible extensible;
  std::memcpy(&extensible, pFormat, sizeof extensible);
  const WaveFormatEx& format = extensible.Format;
  if (format.wFormatTag != kWaveFormatExtensible || format.cbSize < WaveFormatBlock::kExtensionBytes) return false;
  if (format.nBlockAlign == 0 || format.nSamplesPerSec == 0 || format.nChannels == 0) return false;
  *pFileFormat = extensible;
  return true;
}

bool ComputeCaptureRing(std::uint16_t nBlockAlign, CaptureRingGeometry* pGeometry) {
  if (!pGeometry) return false;
  *pGeometry = {};
  if (nBlockAlign == 0) return false;
  std::uint32_t dwBlock = kCaptureBlockTarget - kCaptureBlockTarget % nBlockAlign;
  if (dwBlock == 0) dwBlock = nBlockAlign;
  pGeometry->dwBlockBytes = dwBlock;
  pGeometry->dwBufferBytes = dwBlock * kCaptureNotifyCount;
  return true;
}

std::uint32_t ReadableBytes(std::uint32_t dwReadPosition, std::uint32_t dwNextOffset,
                            const CaptureRingGeometry& geometry) {
  const std::uint32_t dwBuffer = geometry.dwBufferBytes;
  if (dwBuffer == 0 || geometry.dwBlockBytes == 0) return 0;
  if (dwReadPosition >= dwBuffer || dwNextOffset >= dwBuffer) return 0;
  const std::uint32_t dwAvailable =
      dwReadPosition >= dwNextOffset ? dwReadPosition - dwNextOffset : dwBuffer - dwNextOffset + dwReadPosition;
  return dwAvailable - dwAvailable % geometry.dwBlockBytes;
}

RingPieces SplitRingRange(std::uint32_t dwOffset, std::uint32_t nBytes, std::uint32_t dwBufferBytes) {
  RingPieces pieces;
  if (dwOffset >= dwBufferBytes) return pieces;
  nBytes = std::min(nBytes, dwBufferBytes);
  pieces.dwBytes1 = std::min(nBytes, dwBufferBytes - dwOffset);
  pieces.dwBytes2 = nBytes - pieces.dwBytes1;
  return pieces;
}

std::uint64_t BytesInMicros(std::int64_t nMicros, std::uint32_t nBytesPerSecond, std::uint32_t nBlockAlign) {
  if (nMicros <= 0) return 0;
  // Whole seconds and the rest apart, so that neither product can overflow.
  const auto nWhole = static_cast<std::uint64_t>(nMicros / kMicrosPerSecond);
  const auto nRest = static_cast<std::uint64_t>(nMicros % kMicrosPerSecond);
  const std::uint64_t nBytes = nWhole * nBytesPerSecond + nRest * nBytesPerSecond / kMicrosPerSecond;
  const std::uint32_t nAlign = std::max<std::uint32_t>(1, nBlockAlign);
  return nBytes - nBytes % nAlign;
}

std::int64_t MicrosFromTicks(std::int64_t nTicks, std::int64_t nFrequency) {
  if (nFrequency <= 0) return 0;
  return nTicks / nFrequency * kMicrosPerSecond + nTicks % nFrequency * kMicrosPerSecond / nFrequency;
}

void CCaptureTimeline::Begin(std::uint32_t nBytesPerSecond, std::uint32_t nBlockAlign) {
  *this = CCaptureTimeline();
  m_nBytesPerSecond = nBytesPerSecond;
  m_nBlockAlign = std::max<std::uint32_t>(1, nBlockAlign);
}

std::int64_t CCaptureTimeline::ToPosition(std::int64_t nMicros) const {
  if (nMicros == kTimeUnknown) return INT64_MIN;
  // Before the zero, as far before it as the same time after it lies after.
  const std::uint64_t nBytes = BytesInMicros(nMicros < 0 ? -nMicros : nMicros, m_nBytesPerSecond, m_nBlockAlign);
  return nMicros < 0 ? -static_cast<std::int64_t>(nBytes) : static_cast<std::int64_t>(nBytes);
}

void CCaptureTimeline::SetPaused(bool bPaused, std::int64_t nMicros) {
  if (bPaused == m_bPaused || m_bEnded) return;
  m_bPaused = bPaused;
  const std::int64_t nAt = ToPosition(nMicros);
  if (bPaused) {
    m_Pauses.push_back({nAt, INT64_MAX});
  } else {
    m_Pauses.back().nTo = std::max(nAt, m_Pauses.back().nFrom);
  }
}

void CCaptureTimeline::Push(Step::Kind kind, std::uint64_t nBytes, std::vector<Step>* pSteps) {
  if (nBytes == 0) return;
  if (kind != Step::kDrop) m_nWritten += nBytes;
  if (!pSteps->empty() && pSteps->back().kind == kind) {
    pSteps->back().nBytes += static_cast<std::uint32_t>(nBytes);
  } else {
    pSteps->push_back({kind, static_cast<std::uint32_t>(nBytes)});
  }
}

void CCaptureTimeline::Emit(std::int64_t nFrom, std::int64_t nTo, Step::Kind kind, std::vector<Step>* pSteps) {
  // Silence that must not reach the file is simply not emitted; sound is dropped.
  auto push = [&](Step::Kind k, std::int64_t n) {
    if (n > 0 && !(k == Step::kDrop && kind == Step::kSilence)) Push(k, static_cast<std::uint64_t>(n), pSteps);
  };
  // What was captured before the zero came before the pictures' first grab.
  if (nFrom < 0) {
    push(Step::kDrop, std::min<std::int64_t>(nTo, 0) - nFrom);
    nFrom = 0;
  }
  std::int64_t nAt = nFrom;
  while (nAt < nTo) {
    // The nearest stretch that must not reach the file: a pause, or everything past
    // the end.
    std::int64_t nBlockFrom = m_bEnded ? std::max(m_nEnd, nAt) : INT64_MAX;
    std::int64_t nBlockTo = INT64_MAX;
    for (const Span& pause : m_Pauses)
      if (pause.nTo > nAt && pause.nFrom < nBlockFrom && pause.nFrom < pause.nTo) {
        nBlockFrom = std::max(pause.nFrom, nAt);
        nBlockTo = pause.nTo;
      }
    if (nBlockFrom >= nTo) {
      push(kind, nTo - nAt);
      return;
    }
    push(kind, nBlockFrom - nAt);
    const std::int64_t nSkipTo = std::min(nTo, nBlockTo);
    push(Step::kDrop, nSkipTo - nBlockFrom);
    nAt = nSkipTo;
  }
}

void CCaptureTimeline::Place(std::uint32_t nBytes, std::int64_t nMicros, std::vector<Step>* pSteps,
                             std::uint32_t nNewerBytes) {
  if (nMicros == kTimeUnknown) {
    // It arrived before the zero was known, so before the zero: none of it belongs to
    // the recording, and its arrival cannot place the device's clock.
    Push(Step::kDrop, nBytes, pSteps);
    return;
  }
  if (!m_bStarted) {
    m_bStarted = true;
    const std::int64_t nNewer = nNewerBytes - nNewerBytes % m_nBlockAlign;
    const std::int64_t nArrival = ToPosition(nMicros) - nNewer;
    // Where the first byte lies; before the zero the bytes are dropped, after it
    // silence fills the time before them.
    m_nPosition = nArrival - static_cast<std::int64_t>(nBytes);
    m_nPosition -= ((m_nPosition % m_nBlockAlign) + m_nBlockAlign) % m_nBlockAlign;
    if (m_nPosition > 0) Emit(0, m_nPosition, Step::kSilence, pSteps);
  }
  Emit(m_nPosition, m_nPosition + nBytes, Step::kKeep, pSteps);
  m_nPosition += nBytes;
}

void CCaptureTimeline::End(std::int64_t nMicros) {
  if (m_bEnded) return;
  m_nEnd = std::max<std::int64_t>(0, ToPosition(nMicros));
  if (m_bPaused) m_Pauses.back().nTo = std::max(m_nEnd, m_Pauses.back().nFrom);
  m_bEnded = true;
}

void CCaptureTimeline::Finish(std::vector<Step>* pSteps) {
  if (!m_bEnded || m_nPosition >= m_nEnd) return;
  Emit(m_nPosition, m_nEnd, Step::kSilence, pSteps);
  m_nPosition = m_nEnd;
}

CAudioBlockBuilder::CAudioBlockBuilder(std::uint8_t* pStorage, std::uint32_t nCapacity)
    : m_pStorage(pStorage), m_nCapacity(pStorage ? nCapacity : 0) {}

void CAudioBlockBuilder::BeginCycle(std::uint32_t nFrameBytes) {
  m_nFrameBytes = std::max<std::uint32_t>(1, nFrameBytes);
  m_nUsed = 0;
  m_nCycleBytes = 0;
  m_bPacketSeen = false;
  m_bDelivered = false;
}

void CAudioBlockBuilder::Flush(IGate& gate) {
  gate.Deliver(m_pStorage, m_nUsed);
  m_nUsed = 0;
  m_bDelivered = true;
}

void CAudioBlockBuilder::Append(const void* pData, std::uint64_t nBytes, IGate& gate) {
  if (!pData || nBytes == 0) return;
  // Whole frames only, so that no block ends inside a sample.
  const std::uint32_t nRoom = m_nCapacity - m_nCapacity % m_nFrameBytes;
  if (nRoom == 0) return;
  const auto* pBytes = static_cast<const std::uint8_t*>(pData);
  m_nCycleBytes += nBytes;
  if (m_nUsed + nBytes > nRoom && m_nUsed > 0) Flush(gate);
  while (nBytes > nRoom) {
    // A packet larger than the whole block: out in parts of a full block each.
    std::memcpy(m_pStorage, pBytes, nRoom);
    m_nUsed = nRoom;
    Flush(gate);
    pBytes += nRoom;
    nBytes -= nRoom;
  }
  std::memcpy(m_pStorage + m_nUsed, pBytes, static_cast<std::size_t>(nBytes));
  m_nUsed += static_cast<std::uint32_t>(nBytes);
}

void CAudioBlockBuilder::DropFront(std::uint64_t nBytes) {
  nBytes = std::min<std::uint64_t>(nBytes - nBytes % m_nFrameBytes, m_nUsed);
  if (m_pStorage && nBytes > 0) std::memmove(m_pStorage, m_pStorage + nBytes, m_nUsed - nBytes);
  m_nUsed -= static_cast<std::uint32_t>(nBytes);
  m_nCycleBytes = m_nUsed;
}

void CAudioBlockBuilder::EndCycle(IGate& gate, std::uint64_t nSilence, std::uint8_t nSilenceByte) {
  const std::uint32_t nRoom = m_nCapacity - m_nCapacity % m_nFrameBytes;
  nSilence -= nSilence % m_nFrameBytes;
  if (nSilence == 0 || nRoom == 0 || !m_pStorage) {
    if (!m_bPacketSeen) return;
    if (m_nUsed > 0 || !m_bDelivered) Flush(gate);
    m_nUsed = 0;
    return;
  }
  // A full block is more sound than a cycle lasts, so this does not happen; should it,
  // the sound goes first rather than be overwritten.
  if (m_nUsed == nRoom) Flush(gate);
  // The cycle's sound moves to the end of the block and the silence fills the front:
  // while the silence is longer than the front, the front goes out alone; the rest of
  // the silence goes out together with the sound.
  const std::uint32_t nData = m_nUsed;
  const std::uint32_t nFront = nRoom - nData;
  std::memmove(m_pStorage + nFront, m_pStorage, nData);
  std::memset(m_pStorage, nSilenceByte, nFront);
  for (; nSilence > nFront; nSilence -= nFront) gate.Deliver(m_pStorage, nFront);
  const auto nLast = static_cast<std::uint32_t>(nSilence);
  gate.Deliver(m_pStorage + (nFront - nLast), nLast + nData);
  m_nUsed = 0;
  m_bDelivered = true;
}

void CSilenceFiller::Begin(std::uint32_t nBytesPerSecond, std::uint32_t nBlockAlign, std::int64_t nStart) {
  m_nBytesPerSecond = nBytesPerSecond;
  m_nBlockAlign = std::max<std::uint32_t>(1, nBlockAlign);
  m_nLast = nStart;
  m_nCovered = 0;
  m_nWritten = 0;
}

std::uint64_t CSilenceFiller::EndCycle(std::uint64_t nBytes, std::int64_t nNow, bool bWritten) {
  const std::int64_t nCycle = std::max<std::int64_t>(0, nNow - m_nLast);
  m_nLast = std::max(m_nLast, nNow);
  if (!bWritten) return 0;
  m_nCovered += nCycle;
  const std::uint64_t nDue = BytesInMicros(m_nCovered, m_nBytesPerSecond, m_nBlockAlign);
  const std::uint64_t nAfter = m_nWritten + nBytes;
  std::uint64_t nSilence = 0;
  if (nDue > nAfter + BytesInMicros(kFillThresholdMicros, m_nBytesPerSecond, m_nBlockAlign)) nSilence = nDue - nAfter;
  nSilence -= nSilence % m_nBlockAlign;
  m_nWritten = nAfter + nSilence;
  return nSilence;
}

}  // namespace vantor
