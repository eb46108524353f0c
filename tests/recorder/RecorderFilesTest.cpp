// The recorder's sound chunks and its recordings of more than one file, with the
// stand-in Xvid: sound blocks are gathered into chunks written before the next frame,
// and a recording that outgrows a file goes on in the next one at a key frame.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "RecorderTestSupport.h"
#include "media/AviRecorder.h"

namespace vantor::test {
namespace {

const WaveFormatEx kPcm8Mono = {1, 1, 48000, 48000, 1, 8, 0};

struct Recording {
  CTempDir dir;
  CFakeXvid fake;
  CAviRecorder rec;
  BitmapInfoHeader header = MakeFrameHeader(16, 16);
  std::vector<std::uint8_t> sound;  // every byte handed to WriteAudio, in order

  explicit Recording(const WaveFormatEx& wfx = kPcm8Mono, const AVIWriterLimits& limits = {})
      : rec(nullptr, limits) {
    rec.SetBinding(fake.MakeBinding());
    rec.Reset();
    rec.SetAudioFormat(&wfx);
    rec.SetVideoFormat(&header);
    rec.CreateEncoder(16, 16, 30);
  }
  Result Open(const std::string& strName = "r.avi") { return rec.Open(dir.File(strName)); }
  void Sound(std::uint32_t nBytes) {
    std::vector<std::uint8_t> block(nBytes);
    for (std::uint8_t& b : block) b = static_cast<std::uint8_t>(sound.size() * 7 + 1 + (&b - block.data()) * 7);
    sound.insert(sound.end(), block.begin(), block.end());
    rec.WriteAudio(block.data(), nBytes);
  }
  void Frame(std::uint8_t v) {
    const std::vector<std::uint8_t> bits(header.biSizeImage, v);
    rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1);
  }
};

// 10 ms blocks become chunks of at most 100 ms; everything heard before a frame is in
// the file before it, and what came after the last frame is written at the close.
TEST(recorder_Sound, BlocksAreGatheredIntoChunksWrittenBeforeEachFrame) {
  Recording r;
  ASSERT_EQ(r.Open(), kOk);
  std::vector<std::size_t> soundBeforeFrame;
  for (int f = 0; f < 20; ++f) {
    for (int k = 0; k < (f % 4 == 3 ? 23 : 3); ++k) r.Sound(480);
    soundBeforeFrame.push_back(r.sound.size());
    r.Frame(static_cast<std::uint8_t>(f));
  }
  r.Sound(480);
  r.Sound(100);
  ASSERT_EQ(r.rec.Close(), kOk);

  CAviReader avi;
  ASSERT_TRUE(avi.Load(r.dir.File("r.avi"))) << avi.get_Error();
  std::vector<std::uint8_t> inFile;
  std::size_t nFrame = 0, nSoundChunks = 0;
  for (const AviChunkRef& c : avi.get_Chunks()) {
    if (c.fcc == MakeFourCC("00dc")) {
      ASSERT_LT(nFrame, soundBeforeFrame.size());
      EXPECT_EQ(inFile.size(), soundBeforeFrame[nFrame]) << "sound before frame " << nFrame;
      ++nFrame;
      continue;
    }
    EXPECT_LE(c.nSize, 4800u);
    const auto data = avi.get_Data(c);
    inFile.insert(inFile.end(), data.begin(), data.end());
    ++nSoundChunks;
  }
  EXPECT_EQ(nFrame, 20u);
  EXPECT_EQ(inFile, r.sound);
  // 15 frames after 30 ms of sound (one chunk), 5 after 230 ms (4800, 4800, 1440), one at the end.
  EXPECT_EQ(nSoundChunks, 15u + 5u * 3u + 1u);
  EXPECT_EQ(avi.get_AudioHeader().dwLength, r.sound.size());
}

// An empty block says the source is alive: it becomes one empty chunk where no sound
// carries that news, and nothing where sound does. FlushAudio writes what is gathered.
TEST(recorder_Sound, EmptyBlocksStillMarkTheSourceAlive) {
  Recording r;
  ASSERT_EQ(r.Open(), kOk);
  const std::uint8_t none = 0;
  r.Frame(0);
  r.rec.WriteAudio(&none, 0);
  r.rec.WriteAudio(&none, 0);
  r.Frame(1);
  r.Sound(480);
  r.rec.WriteAudio(&none, 0);
  r.Frame(2);
  r.Frame(3);
  r.Sound(480);
  r.rec.FlushAudio();  // a pause, say
  r.Sound(480);
  r.Frame(4);
  r.rec.WriteAudio(&none, 0);
  ASSERT_EQ(r.rec.Close(), kOk);
  CAviReader avi;
  ASSERT_TRUE(avi.Load(r.dir.File("r.avi"))) << avi.get_Error();
  std::vector<std::string> layout;
  for (const AviChunkRef& c : avi.get_Chunks())
    layout.push_back((c.fcc == MakeFourCC("00dc") ? "v" : "a") + std::to_string(c.nSize));
  EXPECT_EQ(layout, (std::vector<std::string>{"v8", "a0", "v8", "a480", "v8", "v8", "a480", "a480", "v8", "a0"}));
}

// Chunks hold whole sample frames: 100 ms rounded down, at most 256 KiB.
TEST(recorder_Sound, ChunksHoldWholeSampleFrames) {
  struct Case { WaveFormatEx wfx; std::uint32_t nChunk; };
  const Case cases[] = {
      {{1, 2, 11025, 44100, 4, 16, 0}, 4408},
      {{3, 6, 48000, 1152000, 24, 32, 0}, 115200},
      {{3, 8, 192000, 6144000, 32, 32, 0}, 262144},
      {{1, 1, 8000, 8000, 1, 8, 0}, 800},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nChunk);
    Recording r(c.wfx);
    ASSERT_EQ(r.Open(), kOk);
    r.Sound(c.wfx.nAvgBytesPerSec + 3u * c.wfx.nBlockAlign);
    ASSERT_EQ(r.rec.Close(), kOk);
    CAviReader avi;
    ASSERT_TRUE(avi.Load(r.dir.File("r.avi"))) << avi.get_Error();
    const auto chunks = avi.get_Chunks("01wb");
    ASSERT_FALSE(chunks.empty());
    std::vector<std::uint8_t> inFile;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      EXPECT_EQ(chunks[i].nSize % c.wfx.nBlockAlign, 0u);
      if (i + 1 < chunks.size()) {
        EXPECT_EQ(chunks[i].nSize, c.nChunk);
      }
      const auto data = avi.get_Data(chunks[i]);
      inFile.insert(inFile.end(), data.begin(), data.end());
    }
    EXPECT_EQ(inFile, r.sound);
  }
}

// Small files: 16 index chunks of 8 entries per stream, four segments of 16 KiB.
const AVIWriterLimits kSmall = {16 << 10, 4, 8, 16};

struct FileSummary {
  std::uint32_t nFrames, nSoundBytes;
  bool bFirstFrameKey;
  int nFirstFrameValue;
  double dVideoSeconds, dSoundSeconds;
};

std::vector<FileSummary> Summarize(const std::vector<std::string>& files) {
  std::vector<FileSummary> out;
  for (const std::string& strFile : files) {
    CAviReader avi;
    EXPECT_TRUE(avi.Load(strFile)) << avi.get_Error();
    const AVIStreamHeader& v = avi.get_VideoHeader();
    const AVIStreamHeader& a = avi.get_AudioHeader();
    const auto index = avi.get_Index("00dc");
    const auto video = avi.get_Chunks("00dc");
    out.push_back({v.dwLength, a.dwLength, !index.empty() && index[0].dwFlags == kAVIIndexKeyFrame,
                   video.empty() || video[0].nSize == 0 ? -1 : avi.get_Data(video[0])[0],
                   static_cast<double>(v.dwLength) * v.dwScale / v.dwRate,
                   static_cast<double>(a.dwLength) * a.dwScale / a.dwRate});
  }
  return out;
}

// Each file starts with a frame the encoder was told to code whole, holds its own
// length and a rate fitted to its own sound, and together they hold every frame and
// every byte of sound.
TEST(recorder_Files, LongRecordingGoesOnInFilesThatEachStartWithAKeyFrame) {
  Recording r(kPcm8Mono, kSmall);
  r.fake.fnResult = [](int n) { return 300 + n * 37 % 900; };
  ASSERT_EQ(r.Open("long.avi"), kOk);
  const int nFrames = 400;
  for (int f = 0; f < nFrames; ++f) {
    for (int k = 0; k < 3; ++k) r.Sound(480);
    r.Frame(static_cast<std::uint8_t>(f));
  }
  EXPECT_EQ(r.rec.get_FramesWritten(), static_cast<std::uint32_t>(nFrames));
  ASSERT_EQ(r.rec.Close(), kOk);

  const std::vector<std::string> files = r.rec.get_Files();
  ASSERT_GT(files.size(), 3u);
  const std::vector<FileSummary> summary = Summarize(files);
  const auto encodes = r.fake.get_Encodes();
  ASSERT_EQ(encodes.size(), static_cast<std::size_t>(nFrames));
  std::uint32_t nBefore = 0, nSound = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    EXPECT_EQ(files[i], r.dir.File(i ? "long-" + std::to_string(i + 1) + ".avi" : "long.avi"));
    ASSERT_GT(summary[i].nFrames, 0u);
    EXPECT_TRUE(summary[i].bFirstFrameKey);
    EXPECT_EQ(summary[i].nFirstFrameValue, static_cast<int>(nBefore % 256)) << "no frame lost between files";
    if (i) {
      EXPECT_EQ(encodes[nBefore].nType, xvid::kTypeIVop);
    }
    EXPECT_NEAR(summary[i].dVideoSeconds, summary[i].dSoundSeconds, 1.0 / 30);
    nBefore += summary[i].nFrames;
    nSound += summary[i].nSoundBytes;
  }
  EXPECT_EQ(nBefore, static_cast<std::uint32_t>(nFrames));
  EXPECT_EQ(nSound, r.sound.size());
  std::size_t nWhole = 0;
  for (const auto& e : encodes) nWhole += e.nType == xvid::kTypeIVop;
  EXPECT_EQ(nWhole, files.size() - 1) << "one picture coded whole per new file, no more";
}

// Sound that finds the file full while no frame comes waits, as far as it may, for the
// next frame to start the next file; past that, and at the close, it starts it itself.
// A frame that was being coded as a predicted picture meanwhile keeps its place empty.
TEST(recorder_Files, SoundWithoutFramesGoesOnIntoTheNextFileToo) {
  Recording r(kPcm8Mono, kSmall);
  ASSERT_EQ(r.Open("s.avi"), kOk);
  r.Frame(0);
  // A file holds about 62 KB of sound here: 96,000 bytes fill the first and begin the
  // second; 72,000 more fill that and begin a third.
  for (int k = 0; k < 200; ++k) r.Sound(480);
  ASSERT_EQ(r.rec.get_Files().size(), 2u) << "the sound went on by itself";
  r.Frame(1);
  for (int k = 0; k < 150; ++k) r.Sound(480);
  ASSERT_EQ(r.rec.Close(), kOk);
  const std::vector<std::string> files = r.rec.get_Files();
  const std::vector<FileSummary> summary = Summarize(files);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(summary[0].nFrames, 1u);
  EXPECT_EQ(summary[1].nFrames, 1u);
  EXPECT_EQ(summary[2].nFrames, 1u) << "a file with sound only says 1, as readers want";
  EXPECT_EQ(summary[1].nFirstFrameValue, 1);
  ASSERT_EQ(r.fake.get_Encodes().size(), 2u);
  EXPECT_EQ(r.fake.get_Encodes()[1].nType, xvid::kTypeIVop) << "the first frame of a file is whole";
  EXPECT_EQ(summary[0].nSoundBytes + summary[1].nSoundBytes + summary[2].nSoundBytes, r.sound.size());
}

// A frame coded as a predicted picture while the sound moved the recording on cannot
// start the new file: it keeps its place as an empty chunk and the next is coded whole.
TEST(recorder_Files, FrameCodedWhileTheSoundMovedOnKeepsItsPlaceEmpty) {
  Recording r(kPcm8Mono, kSmall);
  ASSERT_EQ(r.Open("p.avi"), kOk);
  r.Frame(0);
  r.fake.CloseGate();
  std::thread encoder([&] { r.Frame(1); });
  r.fake.WaitForEncodes(2);
  for (int k = 0; k < 200; ++k) r.Sound(480);
  ASSERT_EQ(r.rec.get_Files().size(), 2u);
  r.fake.OpenGate();
  encoder.join();
  r.Frame(2);
  ASSERT_EQ(r.rec.Close(), kOk);
  EXPECT_EQ(r.rec.get_FramesWritten(), 3u);
  const auto encodes = r.fake.get_Encodes();
  ASSERT_EQ(encodes.size(), 3u);
  EXPECT_EQ(encodes[1].nType, xvid::kTypeAuto);
  EXPECT_EQ(encodes[2].nType, xvid::kTypeIVop);
  ASSERT_EQ(r.rec.get_Files().size(), 2u);
  CAviReader avi;
  ASSERT_TRUE(avi.Load(r.rec.get_Files()[1])) << avi.get_Error();
  const auto video = avi.get_Chunks("00dc");
  ASSERT_EQ(video.size(), 2u);
  EXPECT_EQ(video[0].nSize, 0u);
  EXPECT_EQ(avi.get_Data(video[1])[0], 2);
  EXPECT_EQ(avi.get_VideoHeader().dwLength, 2u);
}

// Without a name for the next file the recording ends at the limit with a complete file.
TEST(recorder_Files, WithoutANextNameTheRecordingEndsAtTheLimit) {
  Recording r(kPcm8Mono, kSmall);
  int nAsked = 0;
  r.rec.SetNextFileName([&](const std::string& strFirst, int nNumber) {
    EXPECT_EQ(strFirst, r.dir.File("x.avi"));
    EXPECT_EQ(nNumber, 2);
    ++nAsked;
    return std::string();
  });
  ASSERT_EQ(r.Open("x.avi"), kOk);
  for (int f = 0; f < 300; ++f) {
    r.Sound(480);
    r.Frame(static_cast<std::uint8_t>(f));
  }
  EXPECT_TRUE(r.rec.get_LimitReached());
  EXPECT_FALSE(r.rec.IsOpen());
  EXPECT_LT(r.rec.get_FramesWritten(), 300u);
  EXPECT_EQ(r.rec.Close(), kOk);
  EXPECT_EQ(nAsked, 1);
  ASSERT_EQ(r.rec.get_Files().size(), 1u);
  const std::vector<FileSummary> summary = Summarize(r.rec.get_Files());
  EXPECT_EQ(summary[0].nFrames, r.rec.get_FramesWritten());
  r.rec.SetNextFileName(nullptr);
}

// The name comes from the caller, as the program names files after the local time.
TEST(recorder_Files, CallerNamesTheNextFiles) {
  Recording r(kPcm8Mono, kSmall);
  auto name = [&](int nNumber) { return r.dir.File("20261209-14" + std::to_string(30153 + 17 * nNumber) + ".avi"); };
  r.rec.SetNextFileName([&](const std::string&, int nNumber) { return name(nNumber); });
  ASSERT_EQ(r.Open("20261209-1430153.avi"), kOk);
  for (int f = 0; f < 200; ++f) {
    r.Sound(960);
    r.Frame(static_cast<std::uint8_t>(f));
  }
  ASSERT_EQ(r.rec.Close(), kOk);
  const std::vector<std::string> files = r.rec.get_Files();
  ASSERT_GT(files.size(), 2u);
  EXPECT_EQ(files[0], r.dir.File("20261209-1430153.avi"));
  for (std::size_t i = 1; i < files.size(); ++i) EXPECT_EQ(files[i], name(static_cast<int>(i) + 1));
  r.rec.SetNextFileName(nullptr);
}

}  // namespace
}  // namespace vantor::test
