// The AVI writer: two streams into one AVI file with OpenDML extensions, and on into
// further files when one file cannot hold the recording.
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
//
// A chunk that would leave the file impossible to finish (its stream's super index
// full, the last RIFF segment full, 4 GiB on FAT) is not a write error: the writer
// finishes the file as it is and writes the chunk into the next file of the recording,
// named by the next-path provider. A client that writes predicted video frames asks
// HasRoomFor ahead and calls ContinueFile itself right before a key frame.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/AVIChunkList.h"
#include "media/AVIOutput.h"
#include "media/AVITypes.h"
#include "platform/File.h"

namespace vantor {

// How much one file may hold. The defaults are the format's; only tests choose less, to
// reach every limit within a few hundred KiB. Values outside 1 .. default become the
// default.
struct AVIWriterLimits {
  std::int64_t nSegmentBytes = kAVISegmentLimit;        // movie data per RIFF segment
  int nMaxSegments = kAVIMaxSegments;                    // RIFF segments per file
  int nStandardIndexEntries = kAVIStandardIndexEntries;  // entries per ix## chunk
  int nSuperIndexEntries = kAVISuperIndexEntries;        // ix## chunks per stream
};

// The default name of a recording's file number nNumber (2, 3, ...): the first file's
// name with "-N" before its extension ("x.avi" -> "x-2.avi"; "x" -> "x-2").
std::string NumberedPath(const std::string& strFirstPath, int nNumber);

class AVIOutputFile final : public AVIOutput {
 public:
  // pFileSystem: where the file is created (null: the platform's). nSegmentLimit: bytes
  // of movie data per RIFF segment; only tests choose anything but the format's limit,
  // to make multi-segment files quickly.
  explicit AVIOutputFile(CFileSystem* pFileSystem = nullptr,
                         std::int64_t nSegmentLimit = kAVISegmentLimit);
  AVIOutputFile(CFileSystem* pFileSystem, const AVIWriterLimits& limits);
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
  // this. A chunk the file cannot take goes into the next file (ContinueFile). False
  // when no file is open, after a write error, for a chunk larger than a segment
  // (refused, nothing written), once the recording has ended at its limit
  // (get_LimitReached), or on a write error.
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

  // Names the file a recording goes on in: gets the path OpenFile was given and the
  // number of the file to come (2, 3, ...), answers a UTF-8 path. An empty answer, or
  // a path this recording already wrote, ends the recording at the limit instead. An
  // empty function restores the default: NumberedPath, skipping names that exist. It
  // stays set across ResetFile.
  using NextPathProvider = std::function<std::string(const std::string& strFirstPath, int nNumber)>;
  void SetNextPathProvider(NextPathProvider fnProvider) { m_fnNextPath = std::move(fnProvider); }

  // Whether nAudioChunks audio chunks of nAudioBytes each, then nVideoChunks video chunks
  // of nVideoBytes each, still fit this file with the file left closable. False without
  // an open file.
  bool HasRoomFor(std::uint32_t nAudioChunks, std::uint32_t nAudioBytes, std::uint32_t nVideoChunks,
                  std::uint32_t nVideoBytes) const;
  // Finishes the current file (CloseFile) and opens the next one with the streams'
  // headers and formats as they were at OpenFile. False, with the current file left
  // open and untouched, when the provider gives no usable name (the recording has then
  // reached its limit); false after a write error, or when the next file cannot be
  // created (the finished file stays; the writer is failed).
  bool ContinueFile();

  // The recording has ended at a limit: no further file could be had, the file is
  // complete, and chunks are refused.
  bool get_LimitReached() const { return m_bLimitReached; }
  // 1 for the file OpenFile created, 2 for the first continuation, ...
  int get_FileNumber() const { return m_nFileNumber; }
  // UTF-8 paths of the files this recording created, in order.
  const std::vector<std::string>& get_Paths() const { return m_Paths; }
  // Frames and sound bytes of the whole recording, every file so far included.
  std::uint64_t get_RecordingFrames() const;
  std::uint64_t get_RecordingAudioBytes() const;
  const AVIWriterLimits& get_Limits() const { return m_Limits; }

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

  // Group sizes whose fit is followed while chunks are written: entries per index
  // chunk, half of it, a quarter, ... down to 1.
  static constexpr int kGroupSizes = 12;

  struct Stats {
    std::int32_t nLargestDistance = 0;
    std::int64_t nLatestPos = 0;
    std::int32_t nChunks = 0;
    // Per group size: where the current group began, and (bit k) whether some group
    // of that size spans too far for 32-bit index entries.
    std::int64_t aGroupBase[kGroupSizes] = {};
    std::uint32_t nGroupMisfits = 0;
  };

  // Where the file would stand after more chunks: the state that decides whether the
  // file can still be finished.
  struct Projection {
    std::int64_t nPos;
    std::int64_t nSegmentBytes;
    int nSegment;
    Stats aStats[2];
  };

  void Init();
  void Release();
  bool OpenCurrentFile(const char* szName, std::int32_t nWidth, std::int32_t nHeight);

  // Limits.
  Projection CurrentProjection() const;
  Projection EmptyFileProjection() const;
  bool ProjectChunk(Projection* pProjection, int nStream, std::uint32_t nSize) const;
  void TrackGroups(Stats* pStats, std::int64_t nChunkPos) const;
  std::int64_t IndexChunksNeeded(const Stats& stats) const;
  std::int64_t IndexReserve(const Stats (&aStats)[2]) const;
  std::string NextPath();

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
  AVIWriterLimits m_Limits;
  std::int64_t m_nSegmentLimit;

  std::unique_ptr<CWriteFile> m_pFile;
  std::int64_t m_nPos;
  std::int64_t m_nSegmentBytes;
  // Sized for the format's limits; m_Limits.nMaxSegments may use fewer.
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

  // The recording across its files; Init leaves these alone, ResetFile clears them.
  NextPathProvider m_fnNextPath;
  AVIStreamHeader m_aOpenHeaders[2]{};  // 0 video, 1 audio, as the client filled them
  std::int32_t m_nWidth = 0, m_nHeight = 0;
  std::string m_strFirstPath;
  std::vector<std::string> m_Paths;
  int m_nFileNumber = 0;
  int m_nLastNumber = 1;
  std::uint64_t m_nEarlierFrames = 0;
  std::uint64_t m_nEarlierAudioBytes = 0;
  bool m_bLimitReached = false;
};

}  // namespace vantor
