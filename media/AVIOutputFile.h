// The AVI writer: two streams into one AVI file with OpenDML extensions.
//
// Use, from one thread at a time:
//   AVIOutputFile avi;
//   avi.ResetFile();
//   avi.CreateStreams();
//   fill get_VideoStream()->get_Header(), SetFormat(), set_ChunkId(); the same for audio
//   avi.OpenFile(utf8Path, width, height);
//   get_VideoStream()->Write(0, data, size, 1) / get_AudioStream()->Write(0, data, size, 0)
//   avi.CloseFile();
//
// A failed file operation (write error) aborts the call that met it and leaves the
// writer failed: later writes and CloseFile do nothing and return false, the file
// keeps its placeholders, and ResetFile (or the destructor) cuts it at the end of the
// data that reached it and closes it.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "media/AVIChunkList.h"
#include "media/AVIOutput.h"
#include "media/AVITypes.h"
#include "platform/File.h"

namespace vantor {

class AVIOutputFile final : public AVIOutput {
 public:
  // pFileSystem: where the file is created (null: the platform's). nSegmentLimit: bytes
  // of movie data per RIFF segment; only tests choose anything but the format's limit,
  // to make multi-segment files quickly.
  explicit AVIOutputFile(CFileSystem* pFileSystem = nullptr,
                         std::int64_t nSegmentLimit = kAVISegmentLimit);
  ~AVIOutputFile() override;

  // Back to the state after construction: streams, lists and any file are released.
  // A file abandoned after a write error is cut at the end of its data first.
  bool ResetFile();
  // Creates the audio and the video stream, both without format blocks.
  bool CreateStreams() override;
  // szName is a UTF-8 path; an existing file is replaced. Creates the file and writes
  // the head. False when a stream is missing, memory is short, the head does not fit,
  // a file is already open (ResetFile first), or on a write error.
  bool OpenFile(const char* szName, std::int32_t nWidth, std::int32_t nHeight) override;
  // Appends one chunk; dwFlags may hold kAVIChunkNotKeyFrame. The streams' Write calls
  // this. False when no file is open, after a write error, for a chunk larger than a
  // segment (refused, nothing written), or on a write error.
  bool WriteChunk(std::uint32_t ckid, std::uint32_t dwFlags, const void* pData,
                  std::uint32_t nSize) override;
  // Finishes the streams, fits the video rate, writes the indexes, rewrites the head
  // and closes the file. True also when no file is open; false on a write error.
  bool CloseFile() override;

  // Called by CloseFile after both streams' Finish, in place of the built-in fit of the
  // video rate to the sound's length. Set it to own the video header's rate and scale;
  // an empty function restores the built-in rule. It stays set across ResetFile.
  using RateAdjuster = std::function<void(AVIVideoOutputStream&, const AVIAudioOutputStream&)>;
  void SetRateAdjuster(RateAdjuster fnAdjuster) { m_fnRateAdjuster = std::move(fnAdjuster); }

  // A file handle is held: opened and not yet closed, or abandoned after an error.
  bool get_HasFile() const { return m_pFile != nullptr; }
  bool get_IsOpen() const { return m_bOpen; }
  bool get_WriteFailed() const { return m_bWriteFailed; }
  bool get_IsFAT() const { return m_bFAT; }
  std::int64_t get_Position() const { return m_nPos; }
  std::int64_t get_HighWaterPosition() const { return m_nHighWater; }
  std::int64_t get_AllocatedEnd() const { return m_nAllocatedEnd; }
  std::int64_t get_SegmentLimit() const { return m_nSegmentLimit; }
  // Segments completed so far; after CloseFile, the number of RIFF segments.
  int get_CompletedSegments() const { return m_nCompletedSegments; }
  const AVIMainHeader& get_MainHeader() const { return m_MainHeader; }

 private:
  // A write error: aborts the public operation that met it. It carries nothing; the
  // writer only remembers that it failed.
  struct WriteError {};

  struct Stats {
    std::int32_t nLargestDistance = 0;
    std::int64_t nLatestPos = 0;
    std::int32_t nChunks = 0;
  };

  void Init();
  void Release();

  // Head image.
  bool BuildHead();
  bool ImageAppend(const void* pData, std::uint32_t nSize);
  bool ImageChunk(std::uint32_t fcc, const void* pData, std::uint32_t nSize,
                  std::int32_t* pOffset);
  bool ImageZeroChunk(std::uint32_t fcc, std::uint32_t nSize, std::int32_t* pOffset);
  bool ImageBeginList(std::uint32_t fccType, std::int32_t* pOffset);
  void ImageEndList(std::int32_t nOffset);
  bool ImageStream(AVIOutputStream& stream, std::int32_t* pHeaderOffset,
                   std::int32_t* pFormatOffset, std::int32_t* pIndexOffset);
  bool ImageFiller();

  // File operations; a write error throws and is caught by the public operation.
  void WriteData(const void* pData, std::uint32_t nSize);
  void WriteAt(std::int64_t nPos, const void* pData, std::uint32_t nSize);
  void SeekTo(std::int64_t nPos);
  bool ExtendFile(std::int64_t nTarget);
  void BeginSegment();
  void EndSegment();
  void WriteLegacyIndex();
  void WriteChunkBody(std::uint32_t ckid, std::uint32_t dwFlags, const void* pData,
                      std::uint32_t nSize);
  void FinishFile();
  void AdjustVideoRate();
  void UpdateIndexReserve();

  // Standard and super indexes.
  void BuildStandardIndex(AVIChunkList* pList, AVISuperIndex* pSuper, bool bAudio);
  std::int32_t WriteStandardIndexChunk(AVISuperIndexEntry* pEntry, const AVIChunkRecord* pRecords,
                                       std::int32_t nMax, std::uint32_t ckid,
                                       std::uint32_t nSampleSize);
  std::int64_t get_MaxIndexSpan() const;

  CFileSystem* m_pFileSystem;
  std::int64_t m_nSegmentLimit;

  std::unique_ptr<CWriteFile> m_pFile;
  std::int64_t m_nPos;
  std::int64_t m_nSegmentBytes;
  std::int64_t m_aMoviPos[kAVIMaxSegments];
  std::int64_t m_aMoviSize[kAVIMaxSegments];
  std::int64_t m_aRiffPos[kAVIMaxSegments];
  std::int64_t m_aRiffSize[kAVIMaxSegments];
  std::int32_t m_nCompletedSegments;

  std::int32_t m_nStrlOffset;
  std::int32_t m_nAvihOffset;
  std::int32_t m_nAudioStrhOffset;
  std::int32_t m_nAudioStrfOffset;
  std::int32_t m_nVideoStrhOffset;
  std::int32_t m_nAudioIndexOffset;
  std::int32_t m_nVideoIndexOffset;
  std::int32_t m_nDmlhOffset;

  std::unique_ptr<AVIChunkList> m_pLegacyList;
  std::unique_ptr<AVIChunkList> m_pAudioList;
  std::unique_ptr<AVIChunkList> m_pVideoList;

  static constexpr std::int32_t kHeaderImageSize = 65536;
  std::unique_ptr<std::uint8_t[]> m_pHeaderImage;
  std::int32_t m_nHeaderHigh;

  AVIMainHeader m_MainHeader;
  bool m_bOpen;
  std::int64_t m_nAllocatedEnd;
  std::int64_t m_nHighWater;
  Stats m_aStats[2];  // 0 video, 1 audio
  bool m_bFAT;
  std::int64_t m_nIndexReserve;
  bool m_bPreExtendFailed;

  // Set by the first write error; the file is then abandoned.
  bool m_bWriteFailed;
  RateAdjuster m_fnRateAdjuster;
};

}  // namespace vantor
