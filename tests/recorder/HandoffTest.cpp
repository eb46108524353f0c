// The frame hand-off and the encoder thread, with the stand-in Xvid: each encoded
// chunk names the picture it came from (its first byte), so the tests see exactly which
// frames reached the file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "RecorderTestSupport.h"
#include "media/AviRecorder.h"
#include "recording/EncoderThread.h"
#if defined(VANTOR_TEST_OSTREL_COUNTER)
#include "recording/PendingCounterOstrel.h"
#endif

namespace vantor::test {
namespace {

#if defined(VANTOR_TEST_OSTREL_COUNTER)
using CTestCounter = COstrelPendingCounter;  // as Vantor.exe counts
#else
using CTestCounter = CLockedLong;
#endif

const WaveFormatBlock kPcm8Mono = WaveFormatEx{1, 1, 48000, 48000, 1, 8, 0};

// One recording's objects, as the program has them, but private to the test.
struct Handoff {
  CTempDir dir;
  CFakeXvid fake;
  CAviRecorder rec;
  CFrameBuffer buffer;
  CTestCounter pending{0};
  std::int32_t nFrameBytes = 0;
  std::atomic<std::int32_t> recording{1};
  CEncoderThread thread{rec, buffer, pending, nFrameBytes, recording};
  BitmapInfoHeader header;

  explicit Handoff(std::int32_t nWidth = 64, std::int32_t nHeight = 48) : header(MakeFrameHeader(nWidth, nHeight)) {
    rec.SetBinding(fake.MakeBinding());
    fake.nCheckBytes = header.biSizeImage;
  }
  Result Begin(const std::string& strName = "h.avi", bool bHoldClose = false) {
    recording = 1;
    return thread.Begin(header, &kPcm8Mono, 30, dir.File(strName), bHoldClose);
  }
  void Put(std::uint8_t v) {
    std::memset(buffer.get_WriteSlot(), v, buffer.get_FrameBytes());
    buffer.Publish(pending);
  }
  // The first byte of every video chunk in the file, in order.
  std::vector<int> Frames(const std::string& strName = "h.avi") {
    CAviReader avi;
    EXPECT_TRUE(avi.Load(dir.File(strName))) << avi.get_Error();
    std::vector<int> frames;
    for (const AviChunkRef& c : avi.get_Chunks("00dc")) {
      const auto data = avi.get_Data(c);
      frames.push_back(data.empty() ? -1 : data[0]);
    }
    return frames;
  }
};

TEST(recorder_Handoff, EncoderBehindEncodesTheNewestPictureOncePerCount) {
  Handoff h;
  ASSERT_EQ(h.Begin(), kOk);
  h.fake.CloseGate();
  h.Put(1);
  h.fake.WaitForEncodes(1);  // frame 1 is in the encoder; 2, 3 and 4 arrive meanwhile
  h.Put(2);
  h.Put(3);
  h.Put(4);
  h.fake.OpenGate();
  EXPECT_TRUE(h.thread.WaitUntilEncoded());
  h.thread.Stop(true);
  EXPECT_EQ(h.Frames(), (std::vector<int>{1, 4, 4, 4}));
  EXPECT_EQ(h.thread.get_FramesEncoded(), 4u);
}

TEST(recorder_Handoff, FramesStillPendingAtStopAreDropped) {
  Handoff h;
  ASSERT_EQ(h.Begin(), kOk);
  h.fake.CloseGate();
  h.Put(1);
  h.fake.WaitForEncodes(1);
  h.Put(2);
  h.Put(3);
  h.thread.Stop(false);
  h.fake.OpenGate();
  h.thread.WaitUntilClosed();
  EXPECT_EQ(h.Frames(), (std::vector<int>{1}));
}

TEST(recorder_Handoff, SoundWrittenAfterStopReachesAHeldFile) {
  Handoff h;
  ASSERT_EQ(h.Begin("h.avi", /*bHoldClose=*/true), kOk);
  h.Put(1);
  EXPECT_TRUE(h.thread.WaitUntilEncoded());
  // The Stop command; the sound source still drains what it heard up to that moment.
  h.thread.Stop(false);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::uint8_t tail[480] = {7};
  h.rec.WriteAudio(tail, sizeof tail);
  h.rec.WriteAudio(tail, sizeof tail);
  h.thread.ReleaseClose();
  h.thread.WaitUntilClosed();
  EXPECT_EQ(h.Frames(), (std::vector<int>{1}));
  CAviReader avi;
  ASSERT_TRUE(avi.Load(h.dir.File("h.avi"))) << avi.get_Error();
  // Gathered into one chunk, written at the close.
  const auto sound = avi.get_Chunks("01wb");
  ASSERT_EQ(sound.size(), 1u);
  EXPECT_EQ(sound[0].nSize, 960u);
  EXPECT_GT(sound[0].nOffset, avi.get_Chunks("00dc").back().nOffset);
}

TEST(recorder_Handoff, StopAndWaitNeverHangsOnAHeldClose) {
  Handoff h;
  ASSERT_EQ(h.Begin("h.avi", /*bHoldClose=*/true), kOk);
  h.Put(1);
  EXPECT_TRUE(h.thread.WaitUntilEncoded());
  const auto tStart = std::chrono::steady_clock::now();
  h.thread.Stop(true);
  EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(5));
  EXPECT_FALSE(h.thread.IsRunning());
  // The next recording releases a hold the previous one still had.
  ASSERT_EQ(h.Begin("h2.avi", /*bHoldClose=*/true), kOk);
  h.thread.Stop(false);
  ASSERT_EQ(h.Begin("h3.avi"), kOk);
  h.thread.Stop(true);
  EXPECT_TRUE(h.Frames("h2.avi").empty());
}

TEST(recorder_Handoff, FirstFrameOnlyFixesTheFormat) {
  Handoff h;
  ASSERT_EQ(h.Begin(), kOk);
  EXPECT_EQ(h.nFrameBytes, static_cast<std::int32_t>(h.header.biSizeImage));
  h.thread.Stop(true);
  EXPECT_TRUE(h.Frames().empty());
  EXPECT_TRUE(h.fake.get_Encodes().empty());
  CAviReader avi;
  ASSERT_TRUE(avi.Load(h.dir.File("h.avi")));
  EXPECT_EQ(avi.get_VideoHeader().dwLength, 1u);
  EXPECT_EQ(avi.get_MainHeader().dwTotalFrames, 0u);
}

TEST(recorder_Handoff, EveryCountedFrameBecomesOneChunk) {
  Handoff h;
  ASSERT_EQ(h.Begin(), kOk);
  for (int i = 0; i < 250; ++i) h.Put(static_cast<std::uint8_t>(i));
  EXPECT_TRUE(h.thread.WaitUntilEncoded());
  h.thread.Stop(true);
  const std::vector<int> frames = h.Frames();
  ASSERT_EQ(frames.size(), 250u);
  // The chunk of count i shows picture i or a newer one, never an older one than the
  // chunk before: frames are never encoded ahead of their capture, nor out of order.
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_GE(frames[i], static_cast<int>(i)) << i;
    if (i) {
      EXPECT_GE(frames[i], frames[i - 1]) << i;
    }
  }
  EXPECT_EQ(frames.back(), 249);
}

// Handing a frame over once the encoder has taken the previous one (VantorRec's full
// speed) gets every picture into the file exactly once, in order, however the two
// threads interleave.
TEST(recorder_Handoff, WaitingUntilTakenEncodesEveryFrameOnce) {
  Handoff h;
  ASSERT_EQ(h.Begin(), kOk);
  for (int i = 0; i < 200; ++i) {
    EXPECT_TRUE(h.thread.WaitUntilTaken()) << i;
    h.Put(static_cast<std::uint8_t>(i));
  }
  EXPECT_TRUE(h.thread.WaitUntilEncoded());
  h.thread.Stop(true);
  std::vector<int> expected(200);
  for (int i = 0; i < 200; ++i) expected[i] = i;
  EXPECT_EQ(h.Frames(), expected);
}

TEST(recorder_Handoff, NoFrameIsEncodedWhileHalfOverwritten) {
  Handoff h(1280, 720);
  ASSERT_EQ(h.Begin(), kOk);
  const std::uint32_t nBytes = h.buffer.get_FrameBytes();
  std::thread producer([&] {
    // Slow, piecewise copies: a shared buffer would be read in the middle of one.
    for (int i = 0; i < 120; ++i) {
      std::uint8_t* p = h.buffer.get_WriteSlot();
      for (std::uint32_t n = 0; n < nBytes; n += 65536) {
        std::memset(p + n, i + 1, std::min<std::uint32_t>(65536, nBytes - n));
        std::this_thread::yield();
      }
      h.buffer.Publish(h.pending);
    }
  });
  producer.join();
  EXPECT_TRUE(h.thread.WaitUntilEncoded());
  h.thread.Stop(true);
  const auto encodes = h.fake.get_Encodes();
  ASSERT_EQ(encodes.size(), 120u);
  for (std::size_t i = 0; i < encodes.size(); ++i) EXPECT_TRUE(encodes[i].bUniform) << "encode " << i;
}

TEST(recorder_Handoff, NewRecordingWaitsUntilThePreviousFileIsClosed) {
  Handoff h;
  ASSERT_EQ(h.Begin("first.avi"), kOk);
  h.fake.CloseGate();
  h.Put(1);
  h.fake.WaitForEncodes(1);
  h.thread.Stop(false);  // Stop does not wait; the encoder is still inside frame 1
  std::atomic<bool> bStarted{false};
  std::thread second([&] {
    h.recording = 1;
    EXPECT_EQ(h.thread.Begin(h.header, &kPcm8Mono, 30, h.dir.File("second.avi")), kOk);
    bStarted = true;
  });
  // Whatever the second start does without waiting, it has had the time to do it.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(bStarted.load());
  h.fake.OpenGate();
  second.join();
  // The first file was finished before the recorder was reset for the second.
  CAviReader first;
  ASSERT_TRUE(first.Load(h.dir.File("first.avi"))) << first.get_Error();
  EXPECT_NE(first.get_RiffSize(), 0u);
  EXPECT_EQ(first.get_Chunks("00dc").size(), 1u);
  EXPECT_EQ(first.get_Index("00dc").size(), 1u);
  h.Put(2);
  EXPECT_TRUE(h.thread.WaitUntilEncoded());
  h.thread.Stop(true);
  EXPECT_EQ(h.Frames("second.avi"), (std::vector<int>{2}));
}

TEST(recorder_Handoff, IdleEncoderSleeps) {
  Handoff h;
  ASSERT_EQ(h.Begin(), kOk);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  // A polling loop would have gone round millions of times.
  EXPECT_LE(h.buffer.get_WaitRounds(), 20u);
  h.thread.Stop(true);
  EXPECT_FALSE(h.thread.IsRunning());
}

TEST(recorder_Handoff, StopWakesTheEncoderEvenWithoutAFrame) {
  Handoff h;
  ASSERT_EQ(h.Begin(), kOk);
  h.thread.Stop(true);  // returns: the sleeping thread was woken and closed the file
  CAviReader avi;
  ASSERT_TRUE(avi.Load(h.dir.File("h.avi")));
  EXPECT_NE(avi.get_RiffSize(), 0u);
}

TEST(recorder_Handoff, RegionLargerThanTheDefaultBufferRecords) {
  Handoff h(2600, 1700);
  ASSERT_GT(h.header.biSizeImage, CFrameBuffer::kDefaultFrameBytes);
  ASSERT_EQ(h.Begin(), kOk);
  EXPECT_GE(h.buffer.get_Capacity(), h.header.biSizeImage);
  h.Put(7);
  EXPECT_TRUE(h.thread.WaitUntilEncoded());
  h.Put(8);
  EXPECT_TRUE(h.thread.WaitUntilEncoded());
  h.thread.Stop(true);
  EXPECT_EQ(h.Frames(), (std::vector<int>{7, 8}));
  for (const auto& e : h.fake.get_Encodes()) EXPECT_TRUE(e.bUniform);
}

TEST(recorder_Handoff, MissingEncoderStartsNothing) {
  Handoff h;
  h.rec.SetBinding(std::make_unique<CXvidLibrary>("vantor-no-such-xvidcore.dll"));
  EXPECT_EQ(h.Begin(), kXvidLibraryMissing);
  EXPECT_FALSE(h.thread.IsRunning());
  EXPECT_NE(h.thread.get_ErrorMessage().find("Xvid"), std::string::npos) << h.thread.get_ErrorMessage();
  EXPECT_FALSE(std::filesystem::exists(PathOf(h.dir.File("h.avi"))));
}

TEST(recorder_Handoff, AudioAndVideoWritersShareTheFileSafely) {
  Handoff h;
  ASSERT_EQ(h.Begin(), kOk);
  std::atomic<bool> bClosed{false};
  std::atomic<int> nAudioBlocks{0};
  std::thread audio([&] {
    const std::uint8_t block[480] = {};
    // Keeps writing through the close: writes after it must simply not happen.
    for (int i = 0; i < 100000 && !(bClosed && i > 1000); ++i) {
      h.rec.WriteAudio(block, sizeof block);
      ++nAudioBlocks;
      if (i % 8 == 0) std::this_thread::yield();
    }
  });
  for (int i = 0; i < 200; ++i) {
    h.Put(static_cast<std::uint8_t>(i));
    // Interleaved for real: the sound thread is under way before most frames.
    while (i == 20 && nAudioBlocks < 100) std::this_thread::yield();
  }
  EXPECT_TRUE(h.thread.WaitUntilEncoded());
  h.thread.Stop(true);
  bClosed = true;
  audio.join();

  CAviReader avi;
  ASSERT_TRUE(avi.Load(h.dir.File("h.avi"))) << avi.get_Error();
  EXPECT_EQ(avi.get_Chunks("00dc").size(), 200u);
  const auto sound = avi.get_Chunks("01wb");
  EXPECT_GT(sound.size(), 0u);
  // Whole blocks gathered, at most 100 ms a chunk.
  std::uint64_t nBytes = 0;
  for (const AviChunkRef& c : sound) {
    EXPECT_EQ(c.nSize % 480u, 0u);
    EXPECT_LE(c.nSize, 4800u);
    nBytes += c.nSize;
  }
  EXPECT_EQ(avi.get_Index().size(), avi.get_Chunks().size());
  EXPECT_EQ(avi.get_AudioHeader().dwLength, nBytes);
}

}  // namespace
}  // namespace vantor::test
