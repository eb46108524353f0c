// Writes 1 GiB of a recording's chunk sizes (video frames of 20-200 KiB, each followed
// by 480-byte sound blocks) through the AVI writer, and the same bytes as plain
// sequential writes to the same folder, and reports both throughputs and their ratio.
//
//   avi_writer_bench [folder] [runs]
//
// Each run is timed twice: until the file is closed (the page cache absorbs the
// data) and until it is also on the disk (fsync). Runs alternate between the two
// writers; the median is reported. The files are removed afterwards.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "media/AVIOutputFile.h"
#include "platform/File.h"

using namespace vantor;

namespace {

struct Chunk {
  bool bVideo;
  std::uint32_t nSize;
};

std::vector<Chunk> MakePlan(std::uint64_t nTotal) {
  std::mt19937 rng(20240607);
  std::uniform_int_distribution<std::uint32_t> frame(20 << 10, 200 << 10);
  std::uniform_int_distribution<int> blocks(2, 4);  // 480-byte blocks per frame
  std::vector<Chunk> plan;
  std::uint64_t nBytes = 0;
  while (nBytes < nTotal) {
    plan.push_back({true, frame(rng)});
    nBytes += plan.back().nSize + 8;
    for (int i = blocks(rng); i > 0; --i) {
      plan.push_back({false, 480});
      nBytes += 488;
    }
  }
  return plan;
}

void FillHeaders(AVIOutputFile& avi) {
  avi.ResetFile();
  avi.CreateStreams();
  AVIStreamHeader& vh = avi.get_VideoStream()->get_Header();
  vh.fccType = MakeFourCC("vids");
  vh.dwScale = 1;
  vh.dwRate = 30;
  vh.dwLength = 1;
  vh.dwQuality = 0xFFFFFFFF;
  BitmapInfoHeader bih{40, 1280, 720, 1, 24, MakeFourCC("XVID"), 1280 * 720 * 3, 0, 0, 0, 0};
  avi.get_VideoStream()->SetFormat(&bih, sizeof bih);
  WaveFormatEx wfx{1, 1, 48000, 48000, 1, 8, 0};
  AVIStreamHeader& ah = avi.get_AudioStream()->get_Header();
  ah.fccType = MakeFourCC("auds");
  ah.fccHandler = 1;
  ah.dwScale = 1;
  ah.dwRate = 48000;
  ah.dwLength = 1;
  ah.dwSampleSize = 1;
  avi.get_AudioStream()->SetFormat(&wfx, sizeof wfx);
}

using Clock = std::chrono::steady_clock;

// Flushes the file's dirty pages through a second descriptor (fsync is per file).
bool SyncFile(const std::string& strPath) {
  const int fd = ::open(strPath.c_str(), O_RDONLY);
  if (fd < 0) return false;
  const bool bOk = ::fsync(fd) == 0;
  ::close(fd);
  return bOk;
}

struct Timing {
  double dClosed, dSynced;  // seconds
  std::int64_t nFileBytes;
};

bool RunWriter(const std::string& strPath, const std::vector<Chunk>& plan,
               const std::vector<std::uint8_t>& data, Timing* pTiming) {
  const Clock::time_point t0 = Clock::now();
  AVIOutputFile avi;
  FillHeaders(avi);
  if (!avi.OpenFile(strPath.c_str(), 1280, 720)) return false;
  for (const Chunk& c : plan) {
    const bool bOk = c.bVideo ? avi.get_VideoStream()->Write(0, data.data(), c.nSize, 1)
                              : avi.get_AudioStream()->Write(0, data.data(), c.nSize, 0);
    if (!bOk) return false;
  }
  if (!avi.CloseFile()) return false;
  const Clock::time_point t1 = Clock::now();
  if (!SyncFile(strPath)) return false;
  const Clock::time_point t2 = Clock::now();
  pTiming->dClosed = std::chrono::duration<double>(t1 - t0).count();
  pTiming->dSynced = std::chrono::duration<double>(t2 - t0).count();
  pTiming->nFileBytes = avi.get_HighWaterPosition();
  return true;
}

// The same chunk headers and data, written one after the other, nothing else.
bool RunPlain(const std::string& strPath, const std::vector<Chunk>& plan,
              const std::vector<std::uint8_t>& data, Timing* pTiming) {
  const Clock::time_point t0 = Clock::now();
  std::unique_ptr<CWriteFile> pFile = GetNativeFileSystem().CreateWriteFile(strPath);
  if (!pFile) return false;
  std::int64_t nBytes = 0;
  for (const Chunk& c : plan) {
    const std::uint32_t aHeader[2] = {MakeFourCC(c.bVideo ? "00dc" : "01wb"), c.nSize};
    std::uint32_t nWritten;
    if (!pFile->Write(aHeader, 8, &nWritten) || nWritten != 8) return false;
    if (!pFile->Write(data.data(), c.nSize, &nWritten) || nWritten != c.nSize) return false;
    nBytes += 8 + c.nSize;
  }
  if (!pFile->Close()) return false;
  const Clock::time_point t1 = Clock::now();
  if (!SyncFile(strPath)) return false;
  const Clock::time_point t2 = Clock::now();
  pTiming->dClosed = std::chrono::duration<double>(t1 - t0).count();
  pTiming->dSynced = std::chrono::duration<double>(t2 - t0).count();
  pTiming->nFileBytes = nBytes;
  return true;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const std::string strDir = argc > 1 ? argv[1] : ".";
  const int nRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const std::vector<Chunk> plan = MakePlan(std::uint64_t{1} << 30);
  std::vector<std::uint8_t> data(200 << 10);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
  std::size_t nVideo = 0;
  for (const Chunk& c : plan) nVideo += c.bVideo;

  const std::string strAvi = strDir + "/avi_writer_bench.avi";
  const std::string strPlain = strDir + "/avi_writer_bench.raw";
  std::vector<double> writerClosed, writerSynced, plainClosed, plainSynced;
  Timing writer{}, plain{};
  bool bOk = true;
  for (int i = 0; i < nRuns && bOk; ++i) {
    ::sync();  // start every run with a clean page cache of dirty data
    bOk = (i % 2 ? RunPlain(strPlain, plan, data, &plain) : RunWriter(strAvi, plan, data, &writer));
    ::sync();
    bOk = bOk && (i % 2 ? RunWriter(strAvi, plan, data, &writer) : RunPlain(strPlain, plan, data, &plain));
    writerClosed.push_back(writer.dClosed);
    writerSynced.push_back(writer.dSynced);
    plainClosed.push_back(plain.dClosed);
    plainSynced.push_back(plain.dSynced);
    ::unlink(strAvi.c_str());
    ::unlink(strPlain.c_str());
  }
  if (!bOk) {
    std::fprintf(stderr, "avi_writer_bench: a write failed in %s\n", strDir.c_str());
    return 1;
  }
  const double dMiB = static_cast<double>(plain.nFileBytes) / (1 << 20);
  std::printf("chunks: %zu video (20-200 KiB), %zu audio (480 bytes); %.0f MiB of chunks; AVI file %.1f MiB\n",
              nVideo, plan.size() - nVideo, dMiB, static_cast<double>(writer.nFileBytes) / (1 << 20));
  std::printf("median of %d runs      %12s %12s %8s\n", nRuns, "writer MiB/s", "plain MiB/s", "ratio");
  const double wc = dMiB / Median(writerClosed), pc = dMiB / Median(plainClosed);
  const double ws = dMiB / Median(writerSynced), ps = dMiB / Median(plainSynced);
  std::printf("until closed          %12.0f %12.0f %8.3f\n", wc, pc, wc / pc);
  std::printf("until on disk (fsync) %12.0f %12.0f %8.3f\n", ws, ps, ws / ps);
  return 0;
}
