// The AVI writer's interface and its two streams. AVIOutputFile (AVIOutputFile.h) is the
// writer; a client creates the streams through it, fills their headers and formats,
// opens the file and writes chunks through the streams.
#pragma once
#include <cstdint>
#include <memory>

#include "media/AVITypes.h"

namespace vantor {

class AVIOutputFile;
class AVIAudioOutputStream;
class AVIVideoOutputStream;

// One stream of the file: its header and format block, and the writer that puts its
// chunks into the file.
class AVIOutputStream {
 public:
  explicit AVIOutputStream(AVIOutputFile* pOwner) : m_pOwner(pOwner) {}
  AVIOutputStream(const AVIOutputStream&) = delete;
  AVIOutputStream& operator=(const AVIOutputStream&) = delete;
  virtual ~AVIOutputStream() = default;

  // Writes one chunk of this stream. Returns true, or false when the chunk could not
  // be written (the writer then refuses everything but ResetFile).
  virtual bool Write(std::uint32_t dwFlags, const void* pData, std::uint32_t nSize,
                     std::uint32_t nSamples) = 0;
  // Brings the header up to date with what was written; called by CloseFile.
  virtual bool Finish() { return true; }

  // The "strh" contents. The client fills it before OpenFile; the writer keeps the
  // length and the suggested buffer size (and for audio rate and scale) up to date.
  // Changes made before CloseFile reach the file.
  AVIStreamHeader& get_Header() { return m_Header; }
  const AVIStreamHeader& get_Header() const { return m_Header; }

  // The "strf" contents, copied. False when memory is short (the old block stays).
  bool SetFormat(const void* pFormat, std::uint32_t nSize);
  const std::uint8_t* get_Format() const { return m_pFormat.get(); }
  std::uint32_t get_FormatSize() const { return m_nFormatSize; }

 protected:
  std::uint32_t m_nFormatSize = 0;
  std::unique_ptr<std::uint8_t[]> m_pFormat;
  AVIOutputFile* m_pOwner;
  AVIStreamHeader m_Header{};
};

// Stream 0: compressed video frames.
class AVIVideoOutputStream final : public AVIOutputStream {
 public:
  using AVIOutputStream::AVIOutputStream;

  // Writes a chunk under the stream's chunk id and counts nSamples frames.
  bool Write(std::uint32_t dwFlags, const void* pData, std::uint32_t nSize,
             std::uint32_t nSamples) override;
  // Length := frames written, or 1 for a stream without frames (readers reject 0).
  bool Finish() override;

  std::uint32_t get_FrameCount() const { return m_nFrames; }
  std::uint32_t get_ChunkId() const { return m_fccChunkId; }
  void set_ChunkId(std::uint32_t fcc) { m_fccChunkId = fcc; }

 private:
  friend class AVIOutputFile;  // a continued recording counts each file from 0

  std::uint32_t m_nFrames = 0;
  std::uint32_t m_fccChunkId = MakeFourCC("00dc");
};

// Stream 1: audio blocks, written under "01wb".
class AVIAudioOutputStream final : public AVIOutputStream {
 public:
  using AVIOutputStream::AVIOutputStream;

  static constexpr std::uint32_t kChunkId = MakeFourCC("01wb");

  // Writes a chunk and counts its bytes; nSamples is not used.
  bool Write(std::uint32_t dwFlags, const void* pData, std::uint32_t nSize,
             std::uint32_t nSamples) override;
  // From the format block (a WAVEFORMATEX): length := bytes / block align (1 when no
  // byte was written), rate := average bytes per second, scale := block align.
  bool Finish() override;

  std::uint64_t get_TotalBytes() const { return m_nTotalBytes; }

 private:
  friend class AVIOutputFile;  // a continued recording counts each file from 0

  std::uint64_t m_nTotalBytes = 0;
};

// The writer's interface.
class AVIOutput {
 public:
  AVIOutput() = default;
  AVIOutput(const AVIOutput&) = delete;
  AVIOutput& operator=(const AVIOutput&) = delete;
  virtual ~AVIOutput() = default;

  virtual bool CreateStreams() = 0;
  virtual bool OpenFile(const char* szName, std::int32_t nWidth, std::int32_t nHeight) = 0;
  virtual bool CloseFile() = 0;
  virtual bool WriteChunk(std::uint32_t ckid, std::uint32_t dwFlags, const void* pData,
                          std::uint32_t nSize) = 0;

  AVIAudioOutputStream* get_AudioStream() { return m_pAudio.get(); }
  AVIVideoOutputStream* get_VideoStream() { return m_pVideo.get(); }
  const AVIAudioOutputStream* get_AudioStream() const { return m_pAudio.get(); }
  const AVIVideoOutputStream* get_VideoStream() const { return m_pVideo.get(); }

 protected:
  std::unique_ptr<AVIAudioOutputStream> m_pAudio;
  std::unique_ptr<AVIVideoOutputStream> m_pVideo;
};

}  // namespace vantor
