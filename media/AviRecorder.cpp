#include "media/AviRecorder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <numeric>

#include "base/DibLayout.h"

namespace vantor {
namespace {

// {00000001-0000-0010-8000-00AA00389B71} and {00000003-...}: the PCM and IEEE-float
// sub-formats, as the bytes of the GUID lie in memory.
constexpr std::uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t SubFormatTag(const std::uint8_t (&guid)[16]) {
  if (std::memcmp(guid + 2, kSubFormatTail, sizeof kSubFormatTail) != 0 || guid[1] != 0) return 0;
  if (guid[0] == kWaveFormatPcm) return kWaveFormatPcm;
  if (guid[0] == kWaveFormatIeeeFloat) return kWaveFormatIeeeFloat;
  return 0;
}

std::uint32_t AbsHeight(std::int32_t nHeight) {
  return nHeight < 0 ? 0u - static_cast<std::uint32_t>(nHeight) : static_cast<std::uint32_t>(nHeight);
}

// The AVI header holds a frame rate as rate / scale.
void SetFrameRate(AVIStreamHeader* pHeader, double dFps) {
  const double dWhole = std::floor(dFps);
  if (dWhole == dFps && dWhole >= 1 && dWhole <= 0x7FFFFFFF) {
    pHeader->dwRate = static_cast<std::uint32_t>(dWhole);
    pHeader->dwScale = 1;
  } else {
    // A rate below 1, or a fraction, would be cut to a wrong or a zero rate.
    pHeader->dwScale = 1000;
    pHeader->dwRate = static_cast<std::uint32_t>(std::clamp(std::llround(dFps * 1000.0), 1LL, 0x7FFFFFFFLL));
  }
}

}  // namespace

CAviRecorder g_Recorder;

bool FitFrameRate(std::uint32_t nFrames, std::uint32_t nAudioLength, std::uint32_t nAudioRate,
                  std::uint32_t nAudioScale, std::uint32_t* pRate, std::uint32_t* pScale) {
  if (nFrames == 0 || nAudioLength == 0 || nAudioRate == 0 || nAudioScale == 0) return false;
  // frames * scale / rate = length * sound scale / sound rate, so
  // rate / scale = frames * sound rate / (length * sound scale).
  std::uint64_t nNum = static_cast<std::uint64_t>(nFrames) * nAudioRate;
  std::uint64_t nDen = static_cast<std::uint64_t>(nAudioLength) * nAudioScale;
  const std::uint64_t nGcd = std::gcd(nNum, nDen);
  nNum /= nGcd;
  nDen /= nGcd;
  constexpr std::uint64_t kMax = 0x7FFFFFFF;
  if (nNum <= kMax && nDen <= kMax) {
    *pRate = static_cast<std::uint32_t>(nNum);
    *pScale = static_cast<std::uint32_t>(nDen);
    return true;
  }
  // No exact ratio fits: the largest scale that keeps the rate in range. The error is
  // half a unit of the rate, far below a frame for any length a file can hold.
  const long double dFps = static_cast<long double>(nNum) / static_cast<long double>(nDen);
  const long double dMax = static_cast<long double>(kMax);
  const long double dScale = std::clamp<long double>(std::floor(dMax / std::max<long double>(dFps, 1.0L)), 1.0L, dMax);
  const long double dRate = std::clamp<long double>(std::round(dFps * dScale), 1.0L, dMax);
  *pRate = static_cast<std::uint32_t>(dRate);
  *pScale = static_cast<std::uint32_t>(dScale);
  return true;
}

void FitVideoRateToAudio(AVIVideoOutputStream& video, const AVIAudioOutputStream& audio) {
  // Sound that was never written has no length to fit to: the rate stays as opened.
  if (audio.get_TotalBytes() == 0) return;
  const AVIStreamHeader& a = audio.get_Header();
  AVIStreamHeader& v = video.get_Header();
  FitFrameRate(video.get_FrameCount(), a.dwLength, a.dwRate, a.dwScale, &v.dwRate, &v.dwScale);
}

// Room kept in a file, at every frame, for the sound that may come before the next one
// (3.2 s of 100 ms chunks, less in files made small for tests): the continuation then
// happens at a frame, not in the sound.
constexpr std::uint32_t kSoundChunksPerFrame = 32;
// Sound held back this long (in chunks) because the file is full and no frame has come
// to start the next one goes on into the next file by itself.
constexpr std::size_t kHeldSoundChunks = 64;

CAviRecorder::CAviRecorder(CFileSystem* pFileSystem, const AVIWriterLimits& limits)
    : m_Writer(pFileSystem, limits), m_pBinding(std::make_unique<CXvidLibrary>()) {
  m_AudioFormat = WaveFormatEx{kWaveFormatPcm, 1, 8000, 16000, 2, 16, 0};
}

CAviRecorder::~CAviRecorder() { Close(); }

void CAviRecorder::SetBinding(std::unique_ptr<CXvidBinding> pBinding) {
  std::lock_guard<std::mutex> lock(m_EncoderLock);
  ReleaseEncoder();
  m_pBinding = pBinding ? std::move(pBinding) : std::make_unique<CXvidLibrary>();
}

Result CAviRecorder::Reset() {
  std::lock_guard<std::mutex> encoderLock(m_EncoderLock);
  ReleaseEncoder();
  std::lock_guard<std::mutex> writerLock(m_WriterLock);
  m_Writer.ResetFile();
  m_Sound.clear();
  m_bSoundAlive = m_bContinueDue = false;
  m_ClosedFiles.clear();
  m_nEncodeFailures = 0;
  m_dEncodeSeconds = 0;
  m_bForceKeyFrame = false;
  return kOk;
}

void CAviRecorder::SetNextFileName(AVIOutputFile::NextPathProvider fnProvider) {
  std::lock_guard<std::mutex> lock(m_WriterLock);
  m_Writer.SetNextPathProvider(std::move(fnProvider));
}

Result CAviRecorder::SetAudioFormat(const WaveFormatEx* pFormat) {
  std::lock_guard<std::mutex> lock(m_WriterLock);
  if (!pFormat) {
    WaveFormatEx unknown = m_AudioFormat.get_Format();
    unknown.wFormatTag = kWaveFormatUnknown;
    m_AudioFormat = unknown;
    return kOk;
  }
  WaveFormatEx format = *pFormat;
  // Only a format that really carries the extension has a sub-format to read.
  if (format.wFormatTag == kWaveFormatExtensible && format.cbSize >= WaveFormatBlock::kExtensionBytes) {
    WaveFormatExtensible extensible;
    std::memcpy(&extensible, pFormat, sizeof extensible);
    if (const std::uint16_t nPlain = SubFormatTag(extensible.SubFormat)) {
      format.wFormatTag = nPlain;
    } else {
      // No plain tag says what these samples are: the file names the sub-format.
      m_AudioFormat = extensible;
      return kOk;
    }
  }
  m_AudioFormat = format;
  return kOk;
}

Result CAviRecorder::SetVideoFormat(const BitmapInfoHeader* pHeader) {
  if (!pHeader) return kInvalidArg;
  std::lock_guard<std::mutex> lock(m_EncoderLock);
  // The field holds a header without colour table; a longer one is cut, not copied
  // past the field.
  m_VideoFormat = {};
  const std::uint32_t nBytes = std::min<std::uint32_t>(pHeader->biSize, sizeof m_VideoFormat);
  std::memcpy(&m_VideoFormat, pHeader, nBytes);
  return kOk;
}

void CAviRecorder::ReleaseEncoder() {
  if (m_hEncoder && m_Entries.pfnEncore) m_Entries.pfnEncore(m_hEncoder, xvid::kEncDestroy, nullptr, nullptr);
  m_hEncoder = nullptr;
  if (m_bBound) m_pBinding->Unbind();
  m_bBound = false;
  m_Entries = {};
  m_pEncodedFrame.reset();
  m_nEncodedFrameBytes = 0;
}

Result CAviRecorder::CreateEncoder(std::int32_t nWidth, std::int32_t nHeight, double dFramesPerSecond) {
  std::lock_guard<std::mutex> lock(m_EncoderLock);
  ReleaseEncoder();
  m_dFrameRate = dFramesPerSecond;
  m_nLastError = kOk;
  m_strError.clear();
  if (!(dFramesPerSecond > 0)) return m_nLastError = kInvalidArg;
  if (nWidth <= 0 || nHeight <= 0) {
    m_strError = "Cannot record: the recorded area is empty.";
    return m_nLastError = kInvalidArg;
  }

  // Room for the worst frame the encoder can make of this size: a noisy picture at a
  // low quantiser codes to more bytes than it has pixels.
  const std::uint64_t nNeeded = std::max<std::uint64_t>(
      kEncodedFrameBytes, static_cast<std::uint64_t>(nWidth) * static_cast<std::uint64_t>(nHeight) * 4u + 65536u);
  if (nNeeded > 0x7FFFFFFF) {
    m_strError = "Cannot record: the recorded area is too large.";
    return m_nLastError = kInvalidArg;
  }
  m_pEncodedFrame.reset(new (std::nothrow) std::uint8_t[nNeeded]);
  if (!m_pEncodedFrame) {
    m_strError = "Cannot record: not enough memory for the video encoder.";
    return m_nLastError = kOutOfMemory;
  }
  m_nEncodedFrameBytes = static_cast<std::uint32_t>(nNeeded);

  std::string strDetail;
  const Result nBind = m_pBinding->Bind(&m_Entries, &strDetail);
  if (nBind != kOk || !m_Entries.IsComplete()) {
    if (nBind == kOk) m_pBinding->Unbind();
    m_Entries = {};
    m_pEncodedFrame.reset();
    m_nEncodedFrameBytes = 0;
    m_nLastError = nBind != kOk ? nBind : kXvidEntryPointMissing;
    m_strError = FormatEncoderUnavailableMessage(m_nLastError, strDetail);
    return m_nLastError;
  }
  m_bBound = true;

  m_GlobalInit = {xvid::kVersion, 0, 0};
  m_Entries.pfnGlobal(nullptr, xvid::kGlobalInit, &m_GlobalInit, nullptr);

  m_Create = {};
  m_Create.version = xvid::kVersion;
  m_Create.profile = xvid::kProfileSimpleL0;
  m_Create.width = nWidth;
  m_Create.height = nHeight;
  m_aPlugins[0] = {m_Entries.pfnPluginSingle, &m_PluginSingle};
  m_Create.num_plugins = 1;
  m_Create.plugins = m_aPlugins;
  m_Create.fincr = 1;
  m_Create.fbase = 3;
  m_PluginSingle = {xvid::kVersion, 10000000, 16, 100, 1};

  const int nCreated = m_Entries.pfnEncore(nullptr, xvid::kEncCreate, &m_Create, nullptr);
  if (nCreated != 0 || !m_Create.handle) {
    ReleaseEncoder();
    m_nLastError = kFail;
    m_strError = FormatEncoderUnavailableMessage(
        kFail, "xvid_encore refused to create an encoder of " + std::to_string(nWidth) + "x" +
                   std::to_string(nHeight) + " (" + std::to_string(nCreated) + ")");
    return m_nLastError;
  }
  m_hEncoder = m_Create.handle;
  m_bForceKeyFrame = false;
  return kOk;
}

Result CAviRecorder::Open(const std::string& strFileName) {
  std::lock_guard<std::mutex> encoderLock(m_EncoderLock);
  if (!(m_dFrameRate > 0)) return kRecorderNoFrameRate;
  if (!m_hEncoder) {
    // Frames would go to an encoder that does not exist: refuse the whole recording.
    if (m_strError.empty())
      m_strError = FormatEncoderUnavailableMessage(m_nLastError ? m_nLastError : kFail, "");
    return kRecorderNoEncoder;
  }
  if (m_Create.width != m_VideoFormat.biWidth ||
      static_cast<std::uint32_t>(m_Create.height) != AbsHeight(m_VideoFormat.biHeight)) {
    m_strError = "Cannot record: the frame format does not match the encoder.";
    return kInvalidArg;
  }
  std::lock_guard<std::mutex> writerLock(m_WriterLock);
  return OpenFileLocked(strFileName);
}

Result CAviRecorder::OpenFileLocked(const std::string& strUtf8) {
  if (m_Writer.get_HasFile() || m_Writer.get_IsOpen()) m_Writer.ResetFile();
  m_Sound.clear();
  m_bSoundAlive = m_bContinueDue = false;
  m_ClosedFiles.clear();
  const WaveFormatEx& wfx = m_AudioFormat.get_Format();
  // Whole sample frames, and small beside a segment (which only tests make small enough
  // for that to matter).
  const std::uint32_t nAlign = std::max<std::uint32_t>(wfx.nBlockAlign, 1);
  const std::uint64_t nChunk = std::min<std::uint64_t>(
      {static_cast<std::uint64_t>(wfx.nAvgBytesPerSec) * kSoundChunkMillis / 1000, kSoundChunkMaxBytes,
       static_cast<std::uint64_t>(m_Writer.get_Limits().nSegmentBytes / 32)});
  m_nSoundChunkBytes = static_cast<std::uint32_t>(std::max<std::uint64_t>(nChunk / nAlign * nAlign, nAlign));
  if (!m_Writer.CreateStreams()) return kOutOfMemory;

  AVIVideoOutputStream& video = *m_Writer.get_VideoStream();
  AVIStreamHeader& vh = video.get_Header();
  vh = {};
  vh.fccType = MakeFourCC("vids");
  vh.fccHandler = m_VideoFormat.biCompression;
  SetFrameRate(&vh, m_dFrameRate);
  vh.dwLength = 1;
  vh.dwSuggestedBufferSize = static_cast<std::uint32_t>(m_VideoFormat.biWidth) *
                             AbsHeight(m_VideoFormat.biHeight) * 3u;
  vh.dwQuality = 0xFFFFFFFF;
  vh.rcFrame = {0, 0, static_cast<std::int16_t>(m_VideoFormat.biWidth),
                static_cast<std::int16_t>(AbsHeight(m_VideoFormat.biHeight))};
  video.set_ChunkId(MakeFourCC("00dc"));
  BitmapInfoHeader format = m_VideoFormat;
  format.biSize = sizeof format;
  format.biClrUsed = 0;
  format.biCompression = MakeFourCC("XVID");
  if (!video.SetFormat(&format, sizeof format)) return kOutOfMemory;

  AVIAudioOutputStream& audio = *m_Writer.get_AudioStream();
  AVIStreamHeader& ah = audio.get_Header();
  ah = {};
  ah.fccType = MakeFourCC("auds");
  ah.fccHandler = wfx.wFormatTag;
  ah.dwScale = wfx.nBlockAlign;
  ah.dwRate = wfx.nAvgBytesPerSec;
  ah.dwLength = 1;
  ah.dwSampleSize = wfx.nBlockAlign;
  // 18 bytes without extra ones, or an extensible format's 40 with cbSize 22.
  if (!audio.SetFormat(m_AudioFormat.get(), m_AudioFormat.get_Size())) return kOutOfMemory;

  m_Writer.SetRateAdjuster(&FitVideoRateToAudio);
  if (strUtf8.empty() || !m_Writer.OpenFile(strUtf8.c_str(), m_VideoFormat.biWidth,
                                            static_cast<std::int32_t>(AbsHeight(m_VideoFormat.biHeight)))) {
    m_Writer.ResetFile();
    m_strError = "Cannot record: the file " + strUtf8 + " cannot be created.";
    return kFail;
  }
  m_strError.clear();
  return kOk;
}

Result CAviRecorder::EncodeFrame(const void* pBits, std::int32_t nBytes, std::int32_t nRepeat) {
  std::lock_guard<std::mutex> encoderLock(m_EncoderLock);
  if (!m_hEncoder || nRepeat <= 0) return kOk;
  // Decided before coding, so that the frame that starts the next file is coded whole:
  // the file must keep room for this frame at its largest and for the sound that may
  // come meanwhile.
  bool bContinueHere = false;
  int nFile = 0;
  {
    std::lock_guard<std::mutex> writerLock(m_WriterLock);
    if (!WritableLocked()) return kOk;
    const std::uint32_t nHeld =
        static_cast<std::uint32_t>((m_Sound.size() + m_nSoundChunkBytes - 1) / m_nSoundChunkBytes);
    const AVIWriterLimits& limits = m_Writer.get_Limits();
    const std::uint32_t nFrameReserve =
        static_cast<std::uint32_t>(std::min<std::int64_t>(m_nEncodedFrameBytes, limits.nSegmentBytes / 8));
    const std::uint32_t nSoundReserve = static_cast<std::uint32_t>(std::min<std::int64_t>(
        kSoundChunksPerFrame,
        std::max<std::int64_t>(1, std::int64_t{limits.nStandardIndexEntries} * limits.nSuperIndexEntries / 16)));
    if (!m_bContinueDue &&
        !m_Writer.HasRoomFor(nHeld + nSoundReserve, m_nSoundChunkBytes, static_cast<std::uint32_t>(nRepeat),
                             nFrameReserve))
      m_bContinueDue = true;
    // The sound may have opened the next file by itself: its first frame too is whole.
    bContinueHere = m_bContinueDue || (m_Writer.get_FileNumber() > 1 && m_Writer.get_VideoStream() &&
                                       m_Writer.get_VideoStream()->get_FrameCount() == 0);
    nFile = m_Writer.get_FileNumber();
  }

  const auto nStride = static_cast<std::uint32_t>(DibRowBytes(m_VideoFormat.biWidth));
  const std::uint64_t nImage = static_cast<std::uint64_t>(nStride) * AbsHeight(m_VideoFormat.biHeight);
  int nCoded = -1;
  bool bKey = false;
  // A frame shorter than its format says would be read past its end: it is not encoded.
  if (pBits && nBytes >= 0 && static_cast<std::uint64_t>(nBytes) >= nImage) {
    m_Frame = {};
    m_Frame.version = xvid::kVersion;
    // Bottom-up rows, as a DIB stores them, unless the header says top-down.
    m_Frame.input.csp = xvid::kCspBgr | (m_VideoFormat.biHeight > 0 ? xvid::kCspVFlip : 0);
    m_Frame.input.plane[0] = const_cast<void*>(pBits);
    m_Frame.input.stride[0] = static_cast<int>(nStride);
    // A predicted frame written twice would be decoded twice, applying its change on
    // top of itself; a repeated frame must stand alone. After a failure the decoder
    // needs a whole picture to start from again, and so does the next file.
    m_Frame.type = (nRepeat > 1 || m_bForceKeyFrame || bContinueHere) ? xvid::kTypeIVop : xvid::kTypeAuto;
    m_Frame.quant = 6;
    m_Frame.bitstream = m_pEncodedFrame.get();
    m_Frame.length = -1;
    m_Stats = {};
    m_Stats.version = xvid::kVersion;
    const auto tEncode = std::chrono::steady_clock::now();
    nCoded = m_Entries.pfnEncore(m_hEncoder, xvid::kEncEncode, &m_Frame, &m_Stats);
    m_dEncodeSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - tEncode).count();
    bKey = (m_Frame.out_flags & xvid::kOutKeyFrame) != 0;
    if (nCoded > static_cast<int>(m_nEncodedFrameBytes)) nCoded = -1;  // cannot be: the library overran
  }

  std::uint32_t nSize = 0;
  std::uint32_t dwFlags = kAVIChunkNotKeyFrame;
  if (nCoded > 0) {
    nSize = static_cast<std::uint32_t>(nCoded);
    if (bKey) dwFlags = 0;
    m_bForceKeyFrame = false;
  } else if (nCoded < 0) {
    ++m_nEncodeFailures;
    m_bForceKeyFrame = true;
  }

  const Result nResult = nCoded < 0 ? kFail : kOk;
  std::lock_guard<std::mutex> writerLock(m_WriterLock);
  AVIVideoOutputStream* pVideo = m_Writer.get_VideoStream();
  if (!pVideo || !WritableLocked()) return nResult;
  const bool bKeyChunk = nSize > 0 && dwFlags == 0;
  // A predicted picture cannot start a file: its reference lies in the previous one.
  // It keeps its place as an empty chunk, as a failed encode does, and the next frame
  // is coded whole.
  auto placeholder = [&] {
    nSize = 0;
    dwFlags = kAVIChunkNotKeyFrame;
    m_bForceKeyFrame = true;
  };
  if (!bKeyChunk && m_Writer.get_FileNumber() != nFile) placeholder();  // the sound moved on meanwhile
  if (bKeyChunk && m_bContinueDue) {
    // The sound heard before this frame ends the file it belongs to, as far as it fits.
    WriteSoundLocked(true, false);
    ContinueLocked();
  }
  WriteSoundLocked(true, false);
  if (!m_Writer.HasRoomFor(0, 0, static_cast<std::uint32_t>(nRepeat), nSize)) {
    // No key frame came while there was room.
    if (!bKeyChunk) placeholder();
    ContinueLocked();
    WriteSoundLocked(true, false);
  }
  for (std::int32_t i = 0; i < nRepeat; ++i)
    if (!pVideo->Write(dwFlags, m_pEncodedFrame.get(), nSize, 1)) break;
  return nResult;
}

bool CAviRecorder::ContinueLocked() {
  // Whoever starts the next file answers the request for it.
  m_bContinueDue = false;
  return m_Writer.ContinueFile();
}

bool CAviRecorder::WritableLocked() const {
  return m_Writer.get_HasFile() && !m_Writer.get_WriteFailed() && !m_Writer.get_LimitReached();
}

void CAviRecorder::WriteSoundLocked(bool bAll, bool bMayContinue) {
  AVIAudioOutputStream* pAudio = m_Writer.get_AudioStream();
  if (!pAudio || !WritableLocked()) return;
  std::size_t nDone = 0;
  for (;;) {
    const std::uint32_t nTake =
        static_cast<std::uint32_t>(std::min<std::size_t>(m_Sound.size() - nDone, m_nSoundChunkBytes));
    if (nTake == 0 ? !(bAll && m_bSoundAlive) : (nTake < m_nSoundChunkBytes && !bAll)) break;
    if (!m_Writer.HasRoomFor(1, nTake, 0, 0)) {
      if (!bMayContinue) {
        m_bContinueDue = true;
        break;
      }
      if (!ContinueLocked()) break;
    }
    if (!pAudio->Write(0, m_Sound.data() + nDone, nTake, 0)) break;
    nDone += nTake;
    m_bSoundAlive = false;
    if (nTake == 0) break;
  }
  m_Sound.erase(m_Sound.begin(), m_Sound.begin() + static_cast<std::ptrdiff_t>(nDone));
}

Result CAviRecorder::WriteAudio(const void* pData, std::uint32_t nBytes) {
  std::lock_guard<std::mutex> lock(m_WriterLock);
  if (!WritableLocked()) return kOk;
  if (nBytes == 0) {
    // Sound gathered already says the source is alive.
    if (m_Sound.empty()) m_bSoundAlive = true;
    return kOk;
  }
  if (!pData) return kOk;
  const auto* p = static_cast<const std::uint8_t*>(pData);
  try {
    m_Sound.insert(m_Sound.end(), p, p + nBytes);
  } catch (const std::bad_alloc&) {
    // Nothing to gather in: what was gathered and this block go out as they are.
    WriteSoundLocked(true, true);
    if (AVIAudioOutputStream* pAudio = m_Writer.get_AudioStream()) pAudio->Write(0, pData, nBytes, 0);
    return kOk;
  }
  WriteSoundLocked(false, m_Sound.size() >= kHeldSoundChunks * m_nSoundChunkBytes);
  return kOk;
}

Result CAviRecorder::FlushAudio() {
  std::lock_guard<std::mutex> lock(m_WriterLock);
  WriteSoundLocked(true, false);
  return kOk;
}

Result CAviRecorder::Close() {
  std::lock_guard<std::mutex> encoderLock(m_EncoderLock);
  Result nResult = kOk;
  {
    std::lock_guard<std::mutex> writerLock(m_WriterLock);
    // Sound after the last frame belongs to the recording too, in a further file if
    // this one is full.
    WriteSoundLocked(true, true);
    m_Sound.clear();
    m_bSoundAlive = m_bContinueDue = false;
    if (!m_Writer.get_Paths().empty()) m_ClosedFiles = m_Writer.get_Paths();
    if (m_Writer.get_HasFile()) {
      if (!m_Writer.CloseFile()) {
        // Let go of the file now rather than at the next recording, so that the user
        // can open what was saved.
        m_Writer.ResetFile();
        nResult = kFail;
      }
    } else if (m_Writer.get_WriteFailed()) {
      // The next file of the recording could not be created.
      m_Writer.ResetFile();
      nResult = kFail;
    }
  }
  // Released whether or not a file was opened, so that a failed start does not keep
  // the library loaded.
  ReleaseEncoder();
  return nResult;
}

bool CAviRecorder::IsOpen() const {
  std::lock_guard<std::mutex> lock(m_WriterLock);
  return WritableLocked();
}

std::vector<std::string> CAviRecorder::get_Files() const {
  std::lock_guard<std::mutex> lock(m_WriterLock);
  return m_Writer.get_Paths().empty() ? m_ClosedFiles : m_Writer.get_Paths();
}

bool CAviRecorder::get_LimitReached() const {
  std::lock_guard<std::mutex> lock(m_WriterLock);
  return m_Writer.get_LimitReached();
}

std::string CAviRecorder::get_ErrorMessage() const {
  std::lock_guard<std::mutex> lock(m_EncoderLock);
  return m_strError;
}

bool CAviRecorder::get_WriteFailed() const {
  std::lock_guard<std::mutex> lock(m_WriterLock);
  return m_Writer.get_WriteFailed();
}

std::uint32_t CAviRecorder::get_FramesWritten() const {
  std::lock_guard<std::mutex> lock(m_WriterLock);
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(m_Writer.get_RecordingFrames(), 0xFFFFFFFFu));
}

std::uint32_t CAviRecorder::get_EncodeFailures() const {
  std::lock_guard<std::mutex> lock(m_EncoderLock);
  return m_nEncodeFailures;
}

double CAviRecorder::get_EncodeSeconds() const {
  std::lock_guard<std::mutex> lock(m_EncoderLock);
  return m_dEncodeSeconds;
}

}  // namespace vantor
