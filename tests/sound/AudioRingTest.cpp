// The arithmetic under both sound readers: formats, the capture ring and its
// wrap-around, and the loopback block that must never overflow.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "sound/AudioRing.h"

namespace vantor {
namespace {

// Test times read as seconds; the readers count whole microseconds.
std::int64_t Us(double dSeconds) { return std::llround(dSeconds * 1e6); }

// ---- Formats ------------------------------------------------------------------------

struct FormatCase {
  int nIndex;
  std::uint32_t nRate;
  std::uint16_t nBits, nChannels, nAlign;
};

class FillPcmFormatTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FillPcmFormatTest, RateFromQuotientLayoutFromRemainder) {
  const FormatCase& c = GetParam();
  WaveFormatEx format{};
  format.nSamplesPerSec = 12345;  // what a quotient above 4 keeps
  format.wFormatTag = 0x55;
  format.cbSize = 7;
  FillPcmFormat(c.nIndex, &format);
  EXPECT_EQ(format.nSamplesPerSec, c.nRate);
  EXPECT_EQ(format.wBitsPerSample, c.nBits);
  EXPECT_EQ(format.nChannels, c.nChannels);
  EXPECT_EQ(format.nBlockAlign, c.nAlign);
  EXPECT_EQ(format.nAvgBytesPerSec, c.nRate * c.nAlign);
  EXPECT_EQ(format.wFormatTag, 0x55) << "the tag is the caller's";
  EXPECT_EQ(format.cbSize, 7) << "the extra size is the caller's";
}

INSTANTIATE_TEST_SUITE_P(
    EveryIndex, FillPcmFormatTest,
    testing::Values(FormatCase{0, 48000, 8, 1, 1}, FormatCase{1, 48000, 16, 1, 2}, FormatCase{2, 48000, 8, 2, 2},
                    FormatCase{3, 48000, 16, 2, 4}, FormatCase{4, 44100, 8, 1, 1}, FormatCase{7, 44100, 16, 2, 4},
                    FormatCase{9, 22050, 16, 1, 2}, FormatCase{14, 11025, 8, 2, 2}, FormatCase{19, 8000, 16, 2, 4},
                    // Past the table: the rate stays, the layout still follows the index.
                    FormatCase{20, 12345, 8, 1, 1}, FormatCase{23, 12345, 16, 2, 4}));

TEST(FillPcmFormat, NegativeIndexOnlyDerivesWhatIsThere) {
  WaveFormatEx format{};
  format.nSamplesPerSec = 22050;
  format.wBitsPerSample = 16;
  format.nChannels = 2;
  FillPcmFormat(-1, &format);
  EXPECT_EQ(format.nSamplesPerSec, 22050u);
  EXPECT_EQ(format.nBlockAlign, 4);
  EXPECT_EQ(format.nAvgBytesPerSec, 88200u);
}

TEST(CaptureFormat, IsPcm48kHz8BitMonoWithoutExtraBytes) {
  const WaveFormatEx format = GetCaptureFormat();
  EXPECT_EQ(format.wFormatTag, 1);
  EXPECT_EQ(format.nChannels, 1);
  EXPECT_EQ(format.nSamplesPerSec, 48000u);
  EXPECT_EQ(format.nAvgBytesPerSec, 48000u);
  EXPECT_EQ(format.nBlockAlign, 1);
  EXPECT_EQ(format.wBitsPerSample, 8);
  EXPECT_EQ(format.cbSize, 0);
}

// ---- The capture ring ---------------------------------------------------------------

TEST(CaptureRing, FixedFormatMakes480ByteBlocksIn160Ms) {
  CaptureRingGeometry g;
  ASSERT_TRUE(ComputeCaptureRing(1, &g));
  EXPECT_EQ(g.dwBlockBytes, 480u);
  EXPECT_EQ(g.dwBufferBytes, 7680u);
  std::vector<std::uint32_t> offsets;
  for (int i = 0; i < kCaptureNotifyCount; ++i) offsets.push_back(g.NotifyOffset(i));
  EXPECT_EQ(offsets.front(), 479u);
  EXPECT_EQ(offsets[1], 959u);
  EXPECT_EQ(offsets.back(), 7679u) << "the last point is the buffer's last byte";
}

TEST(CaptureRing, BlocksHoldWholeFrames) {
  struct {
    std::uint16_t nAlign;
    std::uint32_t nBlock;
  } const cases[] = {{2, 480}, {4, 480}, {6, 480}, {7, 476}, {9, 477}, {24, 480}, {100, 400}, {480, 480},
                     // A frame larger than the target: one frame per block, never 0.
                     {481, 481}, {1000, 1000}};
  for (const auto& c : cases) {
    CaptureRingGeometry g;
    ASSERT_TRUE(ComputeCaptureRing(c.nAlign, &g)) << c.nAlign;
    EXPECT_EQ(g.dwBlockBytes, c.nBlock) << "align " << c.nAlign;
    EXPECT_EQ(g.dwBlockBytes % c.nAlign, 0u);
    EXPECT_EQ(g.dwBufferBytes, 16 * c.nBlock);
  }
}

TEST(CaptureRing, BlockAlignZeroIsRefused) {
  CaptureRingGeometry g{480, 7680};
  EXPECT_FALSE(ComputeCaptureRing(0, &g));
  EXPECT_EQ(g.dwBufferBytes, 0u);
  EXPECT_EQ(ReadableBytes(100, 0, g), 0u) << "an empty geometry must not divide by zero";
}

TEST(CaptureRing, ReadableBytesAreWholeBlocksAcrossTheEnd) {
  CaptureRingGeometry g;
  ComputeCaptureRing(1, &g);
  struct {
    std::uint32_t dwRead, dwNext, nWant;
  } const cases[] = {
      {700, 0, 480},      // 220 bytes wait for the next wake-up
      {479, 0, 0},        // not a whole block yet
      {480, 0, 480},
      {960, 480, 480},
      {7679, 0, 7200},    // fifteen blocks ready, the sixteenth not quite
      {480, 7200, 960},   // wrapped: 480 up to the end, 480 from the start
      {100, 7200, 480},   // wrapped with a part block at the start
      {0, 7200, 480},     // the device stands exactly at the start
      {4800, 4800, 0},    // nothing new
      {7680, 0, 0},       // a position outside the ring is not believed
      {0, 9000, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadableBytes(c.dwRead, c.dwNext, g), c.nWant) << "read " << c.dwRead << " next " << c.dwNext;
}

TEST(CaptureRing, WrappedRangeSplitsIntoTwoPiecesInOrder) {
  const RingPieces whole = SplitRingRange(480, 960, 7680);
  EXPECT_EQ(whole.dwBytes1, 960u);
  EXPECT_EQ(whole.dwBytes2, 0u);
  const RingPieces wrapped = SplitRingRange(7200, 960, 7680);
  EXPECT_EQ(wrapped.dwBytes1, 480u);
  EXPECT_EQ(wrapped.dwBytes2, 480u);
  const RingPieces tooLong = SplitRingRange(7200, 9000, 7680);
  EXPECT_EQ(tooLong.dwBytes1 + tooLong.dwBytes2, 7680u) << "never more than the ring";
  const RingPieces outside = SplitRingRange(7680, 480, 7680);
  EXPECT_EQ(outside.dwBytes1 + outside.dwBytes2, 0u);
}

// A reader's walk round the ring: whatever the read positions, every byte the device
// wrote is read once, in order, with whole blocks only.
TEST(CaptureRing, WalkRoundTheRingReadsEveryByteOnceInOrder) {
  CaptureRingGeometry g;
  ComputeCaptureRing(2, &g);
  std::vector<std::uint8_t> ring(g.dwBufferBytes);
  std::uint64_t nWritten = 0;  // bytes the device has produced
  std::vector<std::uint8_t> read;
  std::uint32_t dwNext = 0;
  const std::uint32_t steps[] = {700, 480, 1500, 3, 959, 4000, 7000, 20, 5000};
  for (int round = 0; round < 40; ++round) {
    const std::uint32_t nStep = steps[round % std::size(steps)];
    // The device never runs more than a ring ahead of the reader.
    const std::uint64_t nLimit = read.size() + g.dwBufferBytes - 1;
    for (std::uint32_t i = 0; i < nStep && nWritten < nLimit; ++i, ++nWritten)
      ring[nWritten % g.dwBufferBytes] = static_cast<std::uint8_t>(nWritten * 7 + nWritten / 256);
    const auto dwReadPos = static_cast<std::uint32_t>(nWritten % g.dwBufferBytes);
    const std::uint32_t nReady = ReadableBytes(dwReadPos, dwNext, g);
    ASSERT_EQ(nReady % g.dwBlockBytes, 0u);
    const RingPieces pieces = SplitRingRange(dwNext, nReady, g.dwBufferBytes);
    read.insert(read.end(), ring.begin() + dwNext, ring.begin() + dwNext + pieces.dwBytes1);
    read.insert(read.end(), ring.begin(), ring.begin() + pieces.dwBytes2);
    dwNext = (dwNext + pieces.dwBytes1 + pieces.dwBytes2) % g.dwBufferBytes;
  }
  ASSERT_GT(read.size(), 3u * g.dwBufferBytes) << "the walk went round several times";
  EXPECT_LT(nWritten - read.size(), g.dwBlockBytes) << "less than a block left behind";
  for (std::size_t i = 0; i < read.size(); ++i)
    ASSERT_EQ(read[i], static_cast<std::uint8_t>(i * 7 + i / 256)) << "byte " << i;
}

// ---- The loopback block -------------------------------------------------------------

class CRecordingGate final : public CAudioBlockBuilder::IGate {
 public:
  void Deliver(const void* pData, std::uint32_t nBytes) override {
    const auto* p = static_cast<const std::uint8_t*>(pData);
    blocks.emplace_back(p, p + nBytes);
  }
  std::vector<std::vector<std::uint8_t>> blocks;
};

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t seed) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 13 + i / 251);
  return v;
}

std::vector<std::uint8_t> Joined(const std::vector<std::vector<std::uint8_t>>& blocks) {
  std::vector<std::uint8_t> all;
  for (const auto& b : blocks) all.insert(all.end(), b.begin(), b.end());
  return all;
}

// The storage with a guard behind it, to see any write past the block.
struct GuardedBlock {
  explicit GuardedBlock(std::uint32_t nCapacity) : bytes(nCapacity + kGuard, 0xEE), nCapacity(nCapacity) {}
  bool GuardIntact() const {
    for (std::size_t i = nCapacity; i < bytes.size(); ++i)
      if (bytes[i] != 0xEE) return false;
    return true;
  }
  static constexpr std::uint32_t kGuard = 4096;
  std::vector<std::uint8_t> bytes;
  std::uint32_t nCapacity;
};

TEST(LoopbackBlock, PacketsOfOneCycleBecomeOneBlock) {
  GuardedBlock storage(kLoopbackBlockBytes);
  CAudioBlockBuilder builder(storage.bytes.data(), storage.nCapacity);
  CRecordingGate gate;
  const auto a = Pattern(3840, 1), b = Pattern(3840, 2), c = Pattern(1920, 3);
  builder.BeginCycle(8);
  for (const auto* p : {&a, &b, &c}) {
    builder.NotePacket();
    builder.Append(p->data(), p->size(), gate);
  }
  EXPECT_TRUE(gate.blocks.empty()) << "nothing goes out before the cycle ends";
  builder.EndCycle(gate);
  ASSERT_EQ(gate.blocks.size(), 1u);
  std::vector<std::uint8_t> want = a;
  want.insert(want.end(), b.begin(), b.end());
  want.insert(want.end(), c.begin(), c.end());
  EXPECT_EQ(gate.blocks[0], want);
}

TEST(LoopbackBlock, CycleWithoutPacketsWritesNothingAllSilentWritesEmptyBlock) {
  std::vector<std::uint8_t> storage(1000);
  CAudioBlockBuilder builder(storage.data(), 1000);
  CRecordingGate gate;
  builder.BeginCycle(8);
  builder.EndCycle(gate);
  EXPECT_TRUE(gate.blocks.empty()) << "no packet came";
  builder.BeginCycle(8);
  builder.NotePacket();  // silent packets are noted but not appended
  builder.NotePacket();
  builder.EndCycle(gate);
  ASSERT_EQ(gate.blocks.size(), 1u);
  EXPECT_TRUE(gate.blocks[0].empty()) << "an all-silent cycle is an empty block";
}

// 48 kHz float stereo is 384,000 bytes a second; eight channels at 96 kHz in float
// make 1,536,000 bytes per half-second cycle, far past the block.
TEST(LoopbackBlock, CyclePastTheBlockGoesOutEarlyWithoutOverflow) {
  GuardedBlock storage(kLoopbackBlockBytes);
  CAudioBlockBuilder builder(storage.bytes.data(), storage.nCapacity);
  CRecordingGate gate;
  const std::uint32_t nFrame = 32;       // 8 channels of 32-bit float
  const std::uint32_t nPacket = 480 * nFrame;  // 5 ms at 96 kHz
  std::vector<std::uint8_t> all;
  builder.BeginCycle(nFrame);
  for (int i = 0; i < 100; ++i) {  // 1,536,000 bytes
    const auto p = Pattern(nPacket, static_cast<std::uint8_t>(i));
    all.insert(all.end(), p.begin(), p.end());
    builder.NotePacket();
    builder.Append(p.data(), p.size(), gate);
    ASSERT_LE(builder.get_Used(), kLoopbackBlockBytes);
  }
  builder.EndCycle(gate);
  EXPECT_TRUE(storage.GuardIntact());
  ASSERT_EQ(gate.blocks.size(), 3u);
  for (const auto& b : gate.blocks) {
    EXPECT_LE(b.size(), kLoopbackBlockBytes);
    EXPECT_EQ(b.size() % nFrame, 0u) << "blocks end on frame boundaries";
    EXPECT_FALSE(b.empty());
  }
  EXPECT_EQ(Joined(gate.blocks), all) << "every byte once, in order";
}

TEST(LoopbackBlock, PacketLargerThanTheBlockGoesOutInParts) {
  const std::uint32_t nCapacity = 1000;
  GuardedBlock storage(nCapacity);
  CAudioBlockBuilder builder(storage.bytes.data(), nCapacity);
  CRecordingGate gate;
  const std::uint32_t nFrame = 24;  // 1000 is no multiple of 24: parts of 984 bytes
  const auto small = Pattern(240, 9), huge = Pattern(24 * 130, 4);
  builder.BeginCycle(nFrame);
  builder.NotePacket();
  builder.Append(small.data(), small.size(), gate);
  builder.NotePacket();
  builder.Append(huge.data(), huge.size(), gate);
  builder.EndCycle(gate);
  EXPECT_TRUE(storage.GuardIntact());
  std::vector<std::uint8_t> want = small;
  want.insert(want.end(), huge.begin(), huge.end());
  EXPECT_EQ(Joined(gate.blocks), want);
  for (const auto& b : gate.blocks) {
    EXPECT_LE(b.size(), 984u);
    EXPECT_EQ(b.size() % nFrame, 0u);
  }
  EXPECT_EQ(gate.blocks.front().size(), 240u) << "the block so far goes out before the big packet";
}

TEST(LoopbackBlock, ExactFitStaysUntilTheCycleEndsAndLeavesNoStrayEmptyBlock) {
  std::vector<std::uint8_t> storage(800);
  CAudioBlockBuilder builder(storage.data(), 800);
  CRecordingGate gate;
  const auto a = Pattern(400, 1), b = Pattern(400, 2), c = Pattern(800, 3);
  builder.BeginCycle(8);
  for (const auto* p : {&a, &b}) {
    builder.NotePacket();
    builder.Append(p->data(), p->size(), gate);
  }
  EXPECT_TRUE(gate.blocks.empty()) << "a full block is not yet an overflowing one";
  builder.NotePacket();
  builder.Append(c.data(), c.size(), gate);
  builder.NotePacket();  // then a silent packet
  builder.EndCycle(gate);
  ASSERT_EQ(gate.blocks.size(), 2u);
  EXPECT_EQ(gate.blocks[0].size(), 800u);
  EXPECT_EQ(gate.blocks[1], c);
}

TEST(LoopbackBlock, EveryCycleStartsEmpty) {
  std::vector<std::uint8_t> storage(1000);
  CAudioBlockBuilder builder(storage.data(), 1000);
  CRecordingGate gate;
  const auto a = Pattern(600, 1), b = Pattern(160, 2);
  builder.BeginCycle(4);
  builder.NotePacket();
  builder.Append(a.data(), a.size(), gate);
  builder.EndCycle(gate);
  builder.BeginCycle(4);
  builder.NotePacket();
  builder.Append(b.data(), b.size(), gate);
  builder.EndCycle(gate);
  ASSERT_EQ(gate.blocks.size(), 2u);
  EXPECT_EQ(gate.blocks[0], a);
  EXPECT_EQ(gate.blocks[1], b);
}

TEST(LoopbackBlock, SilenceGoesInFrontOfTheCycleInTheSameBlock) {
  GuardedBlock storage(1000);
  CAudioBlockBuilder builder(storage.bytes.data(), storage.nCapacity);
  CRecordingGate gate;
  const auto a = Pattern(400, 1);
  builder.BeginCycle(8);
  builder.NotePacket();
  builder.Append(a.data(), a.size(), gate);
  builder.EndCycle(gate, 203, 0x80);  // 203: cut to whole 8-byte frames
  ASSERT_EQ(gate.blocks.size(), 1u);
  std::vector<std::uint8_t> want(200, 0x80);
  want.insert(want.end(), a.begin(), a.end());
  EXPECT_EQ(gate.blocks[0], want);

  // Nothing came at all, yet the cycle's time must be there: one block of silence.
  builder.BeginCycle(8);
  builder.EndCycle(gate, 96);
  ASSERT_EQ(gate.blocks.size(), 2u);
  EXPECT_EQ(gate.blocks[1], std::vector<std::uint8_t>(96, 0));
  EXPECT_TRUE(storage.GuardIntact());
}

TEST(LoopbackBlock, SilenceLongerThanTheBlockGoesOutInPartsBeforeTheSound) {
  GuardedBlock storage(1000);  // 992 bytes of whole 16-byte frames
  CAudioBlockBuilder builder(storage.bytes.data(), storage.nCapacity);
  CRecordingGate gate;
  const auto a = Pattern(320, 7);
  builder.BeginCycle(16);
  builder.NotePacket();
  builder.Append(a.data(), a.size(), gate);
  builder.EndCycle(gate, 2000);
  EXPECT_TRUE(storage.GuardIntact());
  std::vector<std::uint8_t> want(2000, 0);
  want.insert(want.end(), a.begin(), a.end());
  EXPECT_EQ(Joined(gate.blocks), want) << "all the silence, then the sound, each byte once";
  for (const auto& b : gate.blocks) {
    EXPECT_LE(b.size(), 992u);
    EXPECT_EQ(b.size() % 16, 0u);
  }
  // The next cycle starts empty.
  builder.BeginCycle(16);
  builder.NotePacket();
  builder.Append(a.data(), a.size(), gate);
  builder.EndCycle(gate);
  EXPECT_EQ(gate.blocks.back(), a);
}

// 1,000 bytes a second in 4-byte frames: 100 bytes are the threshold.
TEST(LoopbackSilenceFiller, KeepsTheStreamAsLongAsTheTimeItCovers) {
  CSilenceFiller filler;
  filler.Begin(1000, 4, Us(10.0));
  EXPECT_EQ(filler.EndCycle(500, Us(10.5), true), 0u) << "a cycle that delivered its time";
  EXPECT_EQ(filler.EndCycle(440, Us(11.0), true), 0u) << "60 bytes short: latency, left alone";
  EXPECT_EQ(filler.EndCycle(0, Us(11.5), true), 560u) << "nothing played: the whole shortfall";
  EXPECT_EQ(filler.get_Written(), 1500u);
  EXPECT_EQ(filler.EndCycle(520, Us(12.0), true), 0u) << "a little ahead is never cut";
  // A paused cycle adds no time and is filled with nothing.
  EXPECT_EQ(filler.EndCycle(0, Us(14.0), false), 0u);
  EXPECT_EQ(filler.EndCycle(100, Us(14.5), true), 380u);
  EXPECT_EQ(filler.get_Written(), 2500u) << "2.5 s reached the file, 2 s of pause did not";
  // Shortfalls too small to fill add up until they pass the threshold.
  EXPECT_EQ(filler.EndCycle(460, Us(15.0), true), 0u);
  EXPECT_EQ(filler.EndCycle(460, Us(15.5), true), 0u);
  EXPECT_EQ(filler.EndCycle(460, Us(16.0), true), 120u);
  EXPECT_EQ(filler.get_Written(), 4000u);
  // Whole frames only.
  EXPECT_EQ(filler.EndCycle(0, Us(16.2013), true), 200u);
  // A clock that steps back never counts negative time.
  EXPECT_EQ(filler.EndCycle(0, Us(15.0), true), 0u);
  EXPECT_EQ(SilenceByte(8), 0x80);
  EXPECT_EQ(SilenceByte(16), 0);
  EXPECT_EQ(SilenceByte(32), 0);
}

TEST(LoopbackBlock, FrameSizeZeroOrNoStorageNeverCrashes) {
  std::vector<std::uint8_t> storage(64);
  CAudioBlockBuilder builder(storage.data(), 64);
  CRecordingGate gate;
  const auto a = Pattern(100, 1);
  builder.BeginCycle(0);  // counted as 1-byte frames
  builder.NotePacket();
  builder.Append(a.data(), a.size(), gate);
  builder.EndCycle(gate);
  EXPECT_EQ(Joined(gate.blocks), a);

  CAudioBlockBuilder none(nullptr, 600000);
  CRecordingGate gate2;
  none.BeginCycle(8);
  none.NotePacket();
  none.Append(a.data(), a.size(), gate2);
  none.EndCycle(gate2);
  ASSERT_EQ(gate2.blocks.size(), 1u);
  EXPECT_TRUE(gate2.blocks[0].empty());
  none.BeginCycle(8);
  none.EndCycle(gate2, 800);  // nowhere to put silence: nothing happens
  EXPECT_EQ(gate2.blocks.size(), 1u);
}

}  // namespace
}  // namespace vantor

namespace vantor {
namespace {

// ---- The capture time line -----------------------------------------------------------

using Step = CCaptureTimeline::Step;

std::string Describe(const std::vector<Step>& steps) {
  std::string str;
  for (const Step& s : steps)
    str += std::string(s.kind == Step::kSilence ? "S" : s.kind == Step::kKeep ? "K" : "D") + std::to_string(s.nBytes) + " ";
  return str;
}

// 1,000 bytes a second: one byte per millisecond keeps the numbers readable.
class CaptureTimelineTest : public testing::Test {
 protected:
  void SetUp() override { timeline.Begin(1000, 1); }
  std::string Place(std::uint32_t nBytes, double dSeconds) { return PlaceAt(nBytes, Us(dSeconds)); }
  std::string PlaceAt(std::uint32_t nBytes, std::int64_t nMicros) {
    std::vector<Step> steps;
    timeline.Place(nBytes, nMicros, &steps);
    return Describe(steps);
  }
  std::string Finish() {
    std::vector<Step> steps;
    timeline.Finish(&steps);
    return Describe(steps);
  }
  CCaptureTimeline timeline;
};

TEST_F(CaptureTimelineTest, PromptDeviceIsPassedThroughUnchanged) {
  EXPECT_EQ(Place(10, 0.010), "K10 ");
  EXPECT_EQ(Place(10, 0.021), "K10 ");
  EXPECT_EQ(Place(10, 0.029), "K10 ") << "delivery jitter never cuts or pads the steady stream";
  timeline.End(Us(0.030));
  EXPECT_TRUE(timeline.IsComplete());
  EXPECT_EQ(Finish(), "");
  EXPECT_EQ(timeline.get_Written(), 30u);
}

TEST_F(CaptureTimelineTest, LateStartingDeviceGetsSilenceInFront) {
  // The first 200 bytes arrive 1.5 s after the start: they are the sound of 1.3-1.5 s.
  EXPECT_EQ(Place(200, 1.5), "S1300 K200 ");
  EXPECT_EQ(Place(200, 1.7), "K200 ");
  timeline.End(Us(1.9));
  EXPECT_FALSE(timeline.IsComplete()) << "the last 200 ms are still on their way";
  EXPECT_EQ(Place(200, 2.0), "K200 ");
  EXPECT_TRUE(timeline.IsComplete());
  EXPECT_EQ(timeline.get_Written(), 1900u) << "exactly the recording's length";
}

TEST_F(CaptureTimelineTest, DeliveryPastTheEndIsCutThere) {
  Place(100, 0.1);
  timeline.End(Us(0.25));
  EXPECT_EQ(Place(200, 0.3), "K150 D50 ");
  EXPECT_EQ(Place(100, 0.4), "D100 ");
  EXPECT_EQ(timeline.get_Written(), 250u);
}

TEST_F(CaptureTimelineTest, DeviceThatFallsSilentIsFilledUpAtTheEnd) {
  Place(100, 0.1);
  timeline.End(Us(0.5));
  EXPECT_EQ(Finish(), "S400 ");
  EXPECT_TRUE(timeline.IsComplete());
  EXPECT_EQ(Finish(), "") << "only once";
}

TEST_F(CaptureTimelineTest, PausedStretchIsLeftOutExactlyWhereverTheBlocksFall) {
  Place(200, 0.2);
  timeline.SetPaused(true, Us(0.25));
  // Coarse deliveries: each straddles a pause boundary.
  EXPECT_EQ(Place(200, 0.4), "K50 D150 ");
  timeline.SetPaused(false, Us(0.55));
  EXPECT_EQ(Place(200, 0.6), "D150 K50 ");
  EXPECT_EQ(Place(200, 0.8), "K200 ");
  timeline.End(Us(0.8));
  EXPECT_EQ(timeline.get_Written(), 500u) << "0.8 s minus the 0.3 s pause";
}

TEST_F(CaptureTimelineTest, ShortPauseInsideOneDelivery) {
  Place(100, 0.1);
  timeline.SetPaused(true, Us(0.13));
  timeline.SetPaused(false, Us(0.16));
  timeline.SetPaused(true, Us(0.18));
  timeline.SetPaused(false, Us(0.18));  // shorter than a byte: nothing to leave out
  EXPECT_EQ(Place(100, 0.2), "K30 D30 K40 ");
}

TEST_F(CaptureTimelineTest, PauseBeforeTheFirstSoundShortensTheSilenceInFront) {
  timeline.SetPaused(true, Us(0.2));
  timeline.SetPaused(false, Us(0.7));
  EXPECT_EQ(Place(100, 1.0), "S400 K100 ") << "0.9 s of silence less the 0.5 s pause";
}

TEST_F(CaptureTimelineTest, StillPausedAtTheEnd) {
  Place(100, 0.1);
  timeline.SetPaused(true, Us(0.3));
  timeline.End(Us(0.6));
  EXPECT_EQ(Place(400, 0.5), "K200 D200 ");
  EXPECT_EQ(Finish(), "") << "the rest of the recording was paused";
  EXPECT_EQ(timeline.get_Written(), 300u);
}

// The device is started before the pictures' first grab (the zero of the recording's
// clock); what it captured before that grab must not lengthen the sound.
TEST_F(CaptureTimelineTest, SoundCapturedBeforeTheZeroIsDropped) {
  EXPECT_EQ(PlaceAt(300, kTimeUnknown), "D300 ") << "arrived before the zero was even known";
  EXPECT_EQ(PlaceAt(100, kTimeUnknown), "D100 ");
  EXPECT_EQ(Place(100, -0.05), "D100 ") << "all of it captured 0.15-0.05 s before the zero";
  EXPECT_EQ(Place(100, 0.05), "D50 K50 ") << "the stream goes on where the last delivery ended: -0.05 to 0.05 s";
  timeline.End(Us(0.15));
  EXPECT_FALSE(timeline.IsComplete());
  EXPECT_EQ(Finish(), "S100 ");
  EXPECT_EQ(timeline.get_Written(), 150u) << "exactly the time from the first grab to the end";
}

TEST_F(CaptureTimelineTest, FirstDeliveryStraddlingTheZeroKeepsOnlyItsPartAfterIt) {
  EXPECT_EQ(PlaceAt(200, kTimeUnknown), "D200 ");
  // 250 bytes arriving 0.1 s after the zero: the sound of -0.15 to 0.1 s.
  EXPECT_EQ(Place(250, 0.1), "D150 K100 ");
  EXPECT_EQ(timeline.get_Position(), 100);
  // The same when the device had already captured 20 more bytes by then.
  CCaptureTimeline other;
  other.Begin(1000, 1);
  std::vector<Step> steps;
  other.Place(250, Us(0.1), &steps, 20);
  EXPECT_EQ(Describe(steps), "D170 K80 ");
  EXPECT_EQ(Place(50, 0.15), "K50 ");
  timeline.End(Us(0.15));
  EXPECT_TRUE(timeline.IsComplete());
  EXPECT_EQ(timeline.get_Written(), 150u);
}

TEST_F(CaptureTimelineTest, NegativeTimesAreNeverHugePositions) {
  // A pause begun and ended before the zero, an end before the first delivery: no
  // position wraps round to somewhere far in the stream.
  timeline.SetPaused(true, kTimeUnknown);
  timeline.SetPaused(false, Us(-0.02));
  EXPECT_EQ(Place(100, -0.01), "D100 ");
  EXPECT_EQ(timeline.get_Position(), -10);
  EXPECT_EQ(Place(100, 0.1), "D10 K90 ") << "the stream is continuous: -10 to 90 ms";
  timeline.End(Us(0.2));
  EXPECT_EQ(Place(100, 0.2), "K100 ");
  EXPECT_EQ(Finish(), "S10 ");
  EXPECT_EQ(timeline.get_Written(), 200u);

  CCaptureTimeline early;  // ended before its first grab: no sound at all
  early.Begin(1000, 1);
  early.End(kTimeUnknown);
  std::vector<Step> steps;
  early.Place(100, Us(-0.5), &steps);
  early.Finish(&steps);
  EXPECT_EQ(Describe(steps), "D100 ");
  EXPECT_EQ(early.get_End(), 0);
  EXPECT_EQ(early.get_Written(), 0u);
}

TEST_F(CaptureTimelineTest, PauseRightAfterTheZeroWithSoundFromBeforeIt) {
  timeline.SetPaused(true, Us(0.0));
  timeline.SetPaused(false, Us(0.05));
  EXPECT_EQ(Place(200, 0.1), "D150 K50 ") << "100 before the zero, 50 paused";
  timeline.End(Us(0.1));
  EXPECT_EQ(timeline.get_Written(), 50u);
}

TEST_F(CaptureTimelineTest, BoundariesFallOnWholeFrames) {
  timeline.Begin(48000 * 4, 4);  // 16-bit stereo
  std::vector<Step> steps;
  timeline.Place(1920, Us(0.01), &steps);
  timeline.SetPaused(true, Us(0.0123457));
  timeline.SetPaused(false, Us(0.0234567));
  timeline.Place(3840, Us(0.03), &steps);
  timeline.End(Us(0.0345678));
  timeline.Finish(&steps);
  for (const Step& s : steps) EXPECT_EQ(s.nBytes % 4, 0u) << Describe(steps);
}

}  // namespace
}  // namespace vantor

namespace vantor {
namespace {

// ---- Mix formats for the file -------------------------------------------------------

#pragma pack(push, 2)
struct Extensible {
  WaveFormatEx format;
  std::uint16_t nValidBits;
  std::uint32_t dwChannelMask;
  std::uint8_t subFormat[16];
};
#pragma pack(pop)
static_assert(sizeof(Extensible) == 40);

Extensible MakeExtensible(std::uint32_t nSubTag) {
  Extensible e{};
  e.format = {0xFFFE, 2, 48000, 384000, 8, 32, 22};
  e.nValidBits = 32;
  e.dwChannelMask = 3;
  const std::uint8_t base[16] = {0, 0, 0, 0, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  std::memcpy(e.subFormat, base, 16);
  std::memcpy(e.subFormat, &nSubTag, 4);
  return e;
}

TEST(PlainWaveFormat, ExtensibleBecomesItsPlainTagWithoutExtraBytes) {
  for (std::uint32_t nTag : {1u, 3u}) {
    const Extensible e = MakeExtensible(nTag);
    WaveFormatEx plain{};
    ASSERT_TRUE(PlainWaveFormat(&e, sizeof e, &plain));
    EXPECT_EQ(plain.wFormatTag, nTag);
    EXPECT_EQ(plain.nChannels, 2);
    EXPECT_EQ(plain.nSamplesPerSec, 48000u);
    EXPECT_EQ(plain.nAvgBytesPerSec, 384000u);
    EXPECT_EQ(plain.nBlockAlign, 8);
    EXPECT_EQ(plain.wBitsPerSample, 32);
    EXPECT_EQ(plain.cbSize, 0);
  }
}

TEST(PlainWaveFormat, WhatAFileCannotCarryIsRefused) {
  WaveFormatEx plain{};
  const Extensible other = MakeExtensible(0x55);  // a sub-format without a plain twin
  EXPECT_FALSE(PlainWaveFormat(&other, sizeof other, &plain));
  Extensible cut = MakeExtensible(3);
  EXPECT_FALSE(PlainWaveFormat(&cut, sizeof(WaveFormatEx), &plain)) << "the extension is not there to read";
  cut.format.cbSize = 0;
  EXPECT_FALSE(PlainWaveFormat(&cut, sizeof cut, &plain));
  Extensible silent = MakeExtensible(3);
  silent.format.nBlockAlign = 0;
  EXPECT_FALSE(PlainWaveFormat(&silent, sizeof silent, &plain));
  EXPECT_FALSE(PlainWaveFormat(nullptr, 40, &plain));
  WaveFormatEx pcm = {1, 2, 44100, 176400, 4, 16, 99};
  ASSERT_TRUE(PlainWaveFormat(&pcm, sizeof pcm, &plain));
  EXPECT_EQ(plain.wFormatTag, 1);
  EXPECT_EQ(plain.cbSize, 0);
}

// {6B8A2F3C-1D4E-4C5F-9A7B-0E1D2C3B4A59}: a sub-format of a device's own.
Extensible MakeVendorExtensible() {
  Extensible e = MakeExtensible(0);
  const std::uint8_t guid[16] = {0x3C, 0x2F, 0x8A, 0x6B, 0x4E, 0x1D, 0x5F, 0x4C,
                                 0x9A, 0x7B, 0x0E, 0x1D, 0x2C, 0x3B, 0x4A, 0x59};
  std::memcpy(e.subFormat, guid, 16);
  e.nValidBits = 24;
  return e;
}

TEST(FileWaveFormat, PcmAndFloatBecomePlainOtherSubFormatsStayWhole) {
  for (std::uint32_t nTag : {1u, 3u}) {
    const Extensible e = MakeExtensible(nTag);
    WaveFormatBlock block;
    ASSERT_TRUE(FileWaveFormat(&e, sizeof e, &block));
    EXPECT_EQ(block.get_Size(), 18u);
    EXPECT_EQ(block.get_Extensible(), nullptr);
    EXPECT_EQ(block.get()->wFormatTag, nTag);
    EXPECT_EQ(block.get()->nSamplesPerSec, 48000u);
    EXPECT_EQ(block.get()->nBlockAlign, 8);
    EXPECT_EQ(block.get()->cbSize, 0);
  }
  const WaveFormatEx pcm = {1, 2, 44100, 176400, 4, 16, 0};
  WaveFormatBlock plain;
  ASSERT_TRUE(FileWaveFormat(&pcm, sizeof pcm, &plain));
  EXPECT_EQ(plain.get_Size(), 18u);
  EXPECT_EQ(std::memcmp(plain.get(), &pcm, sizeof pcm), 0);

  // A-law in the base GUID's form (no plain tag in the file for it here), and a GUID
  // of a device's own: the 40 bytes as they came, the sub-format intact.
  const Extensible alaw = MakeExtensible(6);
  const Extensible vendor = MakeVendorExtensible();
  for (const Extensible* p : {&alaw, &vendor}) {
    WaveFormatBlock block;
    ASSERT_TRUE(FileWaveFormat(p, sizeof *p, &block));
    ASSERT_EQ(block.get_Size(), 40u);
    EXPECT_EQ(std::memcmp(block.get(), p, sizeof *p), 0);
    const WaveFormatExtensible* pWhole = block.get_Extensible();
    ASSERT_NE(pWhole, nullptr);
    EXPECT_EQ(reinterpret_cast<const void*>(pWhole), reinterpret_cast<const void*>(block.get()))
        << "the extension follows the 18 bytes in memory";
    EXPECT_EQ(pWhole->Format.wFormatTag, 0xFFFE);
    EXPECT_EQ(pWhole->wValidBitsPerSample, p->nValidBits);
    EXPECT_EQ(pWhole->dwChannelMask, 3u);
    EXPECT_EQ(std::memcmp(pWhole->SubFormat, p->subFormat, 16), 0);
  }

  // Extra bytes past the extension are not kept, and cbSize says so.
  Extensible wide = vendor;
  wide.format.cbSize = 28;
  std::vector<std::uint8_t> bytes(sizeof wide + 6, 0xAB);
  std::memcpy(bytes.data(), &wide, sizeof wide);
  WaveFormatBlock block;
  ASSERT_TRUE(FileWaveFormat(bytes.data(), bytes.size(), &block));
  ASSERT_EQ(block.get_Size(), 40u);
  EXPECT_EQ(block.get()->cbSize, 22);
  EXPECT_EQ(std::memcmp(block.get_Extensible(), &vendor, sizeof vendor), 0);
}

TEST(FileWaveFormat, CutOrEmptyFormatsAreRefused) {
  const WaveFormatEx before = {1, 1, 8000, 8000, 1, 8, 0};
  WaveFormatBlock block = before;
  const Extensible vendor = MakeVendorExtensible();
  for (std::size_t nBytes : {0u, 17u, 18u, 39u})
    EXPECT_FALSE(FileWaveFormat(&vendor, nBytes, &block)) << nBytes << " bytes: the extension is not all there";
  EXPECT_FALSE(FileWaveFormat(nullptr, 40, &block));
  for (std::uint16_t cbSize : {0, 21}) {
    Extensible cut = vendor;
    cut.format.cbSize = cbSize;
    EXPECT_FALSE(FileWaveFormat(&cut, sizeof cut, &block)) << "cbSize " << cbSize;
  }
  Extensible empty[3] = {vendor, vendor, vendor};
  empty[0].format.nBlockAlign = 0;
  empty[1].format.nSamplesPerSec = 0;
  empty[2].format.nChannels = 0;
  for (const Extensible& e : empty) EXPECT_FALSE(FileWaveFormat(&e, sizeof e, &block));
  const std::vector<std::uint8_t> zeros(64, 0);
  EXPECT_FALSE(FileWaveFormat(zeros.data(), zeros.size(), &block));
  EXPECT_EQ(block.get_Size(), 18u) << "a refused format leaves the block as it was";
  EXPECT_EQ(std::memcmp(block.get(), &before, sizeof before), 0);
}

}  // namespace
}  // namespace vantor
