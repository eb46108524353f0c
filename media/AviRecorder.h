// The recorder of a screen recording: Xvid video and the sound of one audio source in
// one AVI file. One instance, g_Recorder, serves the program; tests make their own.
//
// A recording, with the thread each call belongs to:
//   Reset()                          recording thread
//   SetAudioFormat(&wfx)             recording thread
//   SetVideoFormat(&bih)             recording thread
//   CreateEncoder(w, h, fps)         recording thread; fails when Xvid is unusable
//   Open("file.avi")                 recording thread (a UTF-8 path); refuses without an encoder
//   EncodeFrame(bits, bytes, n)      encoder thread
//   WriteAudio(data, bytes)          audio thread
//   Close()                          encoder thread
//
// Every call may come from any thread: the encoder and the writer each have a lock, so
// the audio thread's chunks and the encoder thread's frames and Close never meet inside
// the writer. Encoding itself runs outside the writer's lock, so sound is never held up
// by a slow frame.
//
// Sound is gathered: consecutive blocks become one chunk of at most 100 ms, written
// before the next video frame (and at Close), so the file has about as many sound chunks
// as frames instead of one per 10 ms block. A recording too long for one file goes on
// in the next (named by SetNextFileName) right before a frame the encoder was told to
// code whole, so that every file starts with a key frame.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/AVIOutputFile.h"
#include "media/AVITypes.h"
#include "media/XvidApi.h"
#include "media/XvidLibrary.h"
#include "platform/Types.h"

namespace vantor {

// Open's answer to a frame rate that is not above 0 (no file is created).
constexpr Result kRecorderNoFrameRate = static_cast<Result>(0x80040007u);
// Open's answer when no encoder was created: no file is created.
constexpr Result kRecorderNoEncoder = static_cast<Result>(0x80040008u);

class CAviRecorder {
 public:
  // The Xvid output buffer's size at least; larger frames get a larger buffer.
  static constexpr std::uint32_t kEncodedFrameBytes = 5000000;

  // Sound chunks hold at most this much time, and at most kSoundChunkMaxBytes.
  static constexpr std::uint32_t kSoundChunkMillis = 100;
  static constexpr std::uint32_t kSoundChunkMaxBytes = 256 << 10;

  // pFileSystem: where files are created (null: the platform's). limits: what one file
  // may hold; only tests choose less than the format allows.
  explicit CAviRecorder(CFileSystem* pFileSystem = nullptr, const AVIWriterLimits& limits = {});
  CAviRecorder(const CAviRecorder&) = delete;
  CAviRecorder& operator=(const CAviRecorder&) = delete;
  // Closes a file that is still open and releases the encoder.
  ~CAviRecorder();

  // Where the encoder comes from; null restores the platform's library. Only between
  // recordings.
  void SetBinding(std::unique_ptr<CXvidBinding> pBinding);

  // Back to no file. A file still open (a recording never closed) is cut where its data
  // ends. An encoder left from before is released.
  Result Reset();
  // The sound's format; null stores the unknown tag 0xFFFF. An extensible format is
  // stored under the plain tag of its sub-format (PCM 1, float 3) so that every reader
  // understands the 18-byte format block; one of another sub-format is stored whole
  // (40 bytes, cbSize 22), as only its sub-format says what the sound is. The extension
  // is read from the 22 bytes after *pFormat when cbSize says they are there
  // (WaveFormatBlock::get() has them).
  Result SetAudioFormat(const WaveFormatEx* pFormat);
  // The captured frames' header (40 bytes, no colour table).
  Result SetVideoFormat(const BitmapInfoHeader* pHeader);
  // Binds Xvid and creates the encoder. kInvalidArg for a frame rate not above 0 (nothing
  // is bound then); a binding or creation failure leaves no encoder, and
  // get_ErrorMessage() says what to tell the user.
  Result CreateEncoder(std::int32_t nWidth, std::int32_t nHeight, double dFramesPerSecond);
  // Fills the stream headers and creates the file (a UTF-8 path, as the platform seam
  // takes paths). kRecorderNoFrameRate or kRecorderNoEncoder without creating anything;
  // kFail when the file cannot be created.
  Result Open(const std::string& strFileName);
  // Encodes one frame (bottom-up BGR rows, each a multiple of 4 bytes) and writes it
  // nRepeat times; counts nRepeat frames. Nothing happens without an open file. A frame
  // the encoder fails on still takes its places in the stream, as empty chunks (a
  // player shows the previous picture again), and the next frame is coded as a key
  // frame so that pictures after the failure decode. kFail then; otherwise 0.
  Result EncodeFrame(const void* pBits, std::int32_t nBytes, std::int32_t nRepeat);
  // One block of sound; nothing without an open file. It is gathered with the blocks
  // before and after it and reaches the file before the next video frame. nBytes 0
  // (the source is alive but had nothing) makes one empty chunk if nothing else is
  // gathered until then.
  Result WriteAudio(const void* pData, std::uint32_t nBytes);
  // Writes the sound gathered so far. The next frame and Close do it anyway; a caller
  // may use it at a pause so that nothing heard waits in memory meanwhile.
  Result FlushAudio();
  // Writes the gathered sound, finishes the file and releases the encoder. kFail when a
  // file could not be finished (it is then cut where its data ends and closed) or the
  // recording could not go on into its next file.
  Result Close();

  // The file's successor: a function that gets the recording's first path (UTF-8, as
  // Open was given it) and the number of the file to come (2, 3, ...) and answers its
  // UTF-8 path; empty restores the default (the first name with -2, -3 ... before the
  // extension, never an existing file). An empty answer ends the recording at the limit
  // with complete files. Kept across recordings; set it before Open.
  void SetNextFileName(AVIOutputFile::NextPathProvider fnProvider);

  // The file is open for writing.
  bool IsOpen() const;
  // UTF-8 paths of this recording's files, in order; still there after Close.
  std::vector<std::string> get_Files() const;
  // The recording ended at a file's limit because no next file was named: the files
  // are complete, and what came after was not written.
  bool get_LimitReached() const;
  // The reason the last CreateEncoder or Open failed, in words for the user; empty
  // after success.
  std::string get_ErrorMessage() const;
  // A write to the file failed during this recording (the file then ends early).
  bool get_WriteFailed() const;
  // Video frames written so far in this recording, every file included.
  std::uint32_t get_FramesWritten() const;
  // Encode calls the library failed during this recording.
  std::uint32_t get_EncodeFailures() const;
  // Seconds spent inside the library's encode calls during this recording: the
  // yardstick the rest of the pipeline's cost is measured against.
  double get_EncodeSeconds() const;

  const BitmapInfoHeader& get_VideoFormat() const { return m_VideoFormat; }
  const WaveFormatBlock& get_AudioFormat() const { return m_AudioFormat; }
  double get_FrameRate() const { return m_dFrameRate; }

 private:
  void ReleaseEncoder();  // under m_EncoderLock
  Result OpenFileLocked(const std::string& strUtf8);
  // Under m_WriterLock.
  bool WritableLocked() const;
  bool ContinueLocked();
  // Writes the gathered sound in chunks of m_nSoundChunkBytes; with bAll the last,
  // shorter one too. Sound the file has no room for stays gathered and asks for the
  // next file (m_bContinueDue), unless bMayContinue lets the sound open it itself.
  void WriteSoundLocked(bool bAll, bool bMayContinue);

  double m_dFrameRate = 0;
  BitmapInfoHeader m_VideoFormat{};
  WaveFormatBlock m_AudioFormat;

  // Lock order: m_EncoderLock before m_WriterLock.
  mutable std::mutex m_EncoderLock;
  mutable std::mutex m_WriterLock;
  AVIOutputFile m_Writer;  // under m_WriterLock

  // Under m_WriterLock: sound not yet written, the size of a chunk, an empty block seen
  // with nothing gathered, the next frame must start the next file.
  std::vector<std::uint8_t> m_Sound;
  std::uint32_t m_nSoundChunkBytes = 1;
  bool m_bSoundAlive = false;
  bool m_bContinueDue = false;
  std::vector<std::string> m_ClosedFiles;

  std::unique_ptr<CXvidBinding> m_pBinding;
  bool m_bBound = false;
  xvid::EntryPoints m_Entries;
  xvid::GlobalInit m_GlobalInit{};
  void* m_hEncoder = nullptr;
  xvid::EncCreate m_Create{};
  xvid::EncFrame m_Frame{};
  xvid::EncStats m_Stats{};
  xvid::EncPlugin m_aPlugins[3]{};
  xvid::PluginSingle m_PluginSingle{};
  std::unique_ptr<std::uint8_t[]> m_pEncodedFrame;
  std::uint32_t m_nEncodedFrameBytes = 0;
  // The library failed on the last frame: code the next one whole.
  bool m_bForceKeyFrame = false;
  std::uint32_t m_nEncodeFailures = 0;
  double m_dEncodeSeconds = 0;

  Result m_nLastError = kOk;
  std::string m_strError;
};

// Sets the video stream's rate and scale so that its frames last exactly as long as
// the sound that was written (to well within one frame): the capture clock is only as
// good as the sleeps, the sound card's clock is the true one. A file without sound or
// without frames keeps the rate it was opened with. The writer calls it at close.
void FitVideoRateToAudio(AVIVideoOutputStream& video, const AVIAudioOutputStream& audio);
// The arithmetic of it: the rate and scale (each at most 0x7FFFFFFF, as readers keep
// them signed) that make nFrames last as long as nAudioLength blocks at nAudioRate /
// nAudioScale. False, with nothing set, when there is nothing to fit.
bool FitFrameRate(std::uint32_t nFrames, std::uint32_t nAudioLength, std::uint32_t nAudioRate,
                  std::uint32_t nAudioScale, std::uint32_t* pRate, std::uint32_t* pScale);

// The program's recorder.
extern CAviRecorder g_Recorder;

}  // namespace vantor
