// Xvid alone on the test pattern, with exactly the settings the recorder uses: the
// yardstick tools/bench-recorder sets the whole pipeline against. It encodes the same
// frames the pipeline does (pattern frames 0 to N-1); the clock runs only around the
// encode calls, not while a frame is drawn.
//
//   bench_xvid --size 1280x720 --frames 300
//
// Prints one line: xvid-alone WxH frames=N seconds=S fps=F cpu_seconds=C
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "cli/ProcessTimes.h"
#include "cli/TestPattern.h"
#include "media/XvidApi.h"
#include "media/XvidLibrary.h"

int main(int argc, char** argv) {
  int nWidth = 1280, nHeight = 720, nFrames = 300;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--size")) std::sscanf(argv[i + 1], "%dx%d", &nWidth, &nHeight);
    if (!std::strcmp(argv[i], "--frames")) nFrames = std::atoi(argv[i + 1]);
  }
  using namespace vantor;
  CXvidLibrary library;
  xvid::EntryPoints xv;
  std::string strDetail;
  if (library.Bind(&xv, &strDetail) != kOk) {
    std::fprintf(stderr, "bench_xvid: %s\n", strDetail.c_str());
    return 1;
  }
  xvid::GlobalInit init = {xvid::kVersion, 0, 0};
  xv.pfnGlobal(nullptr, xvid::kGlobalInit, &init, nullptr);
  xvid::PluginSingle single = {xvid::kVersion, 10000000, 16, 100, 1};
  xvid::EncPlugin plugins[1] = {{xv.pfnPluginSingle, &single}};
  xvid::EncCreate create{};
  create.version = xvid::kVersion;
  create.profile = xvid::kProfileSimpleL0;
  create.width = nWidth;
  create.height = nHeight;
  create.num_plugins = 1;
  create.plugins = plugins;
  create.fincr = 1;
  create.fbase = 3;
  if (xv.pfnEncore(nullptr, xvid::kEncCreate, &create, nullptr) != 0) {
    std::fprintf(stderr, "bench_xvid: the encoder was not created\n");
    return 1;
  }

  const std::uint32_t nStride = DibRowBytes(nWidth);
  std::vector<std::uint8_t> picture(std::size_t{nStride} * nHeight);
  std::vector<std::uint8_t> out(std::size_t{4} * nWidth * nHeight + 65536);

  long long nBytes = 0;
  double dSeconds = 0, dCpu = 0;
  for (int i = 0; i < nFrames; ++i) {
    DrawTestPattern(picture.data(), nWidth, nHeight, nStride, static_cast<std::uint32_t>(i));
    xvid::EncFrame frame{};
    frame.version = xvid::kVersion;
    frame.input.csp = xvid::kCspBgr | xvid::kCspVFlip;
    frame.input.plane[0] = picture.data();
    frame.input.stride[0] = static_cast<int>(nStride);
    frame.quant = 6;
    frame.bitstream = out.data();
    frame.length = -1;
    xvid::EncStats stats{};
    stats.version = xvid::kVersion;
    const double dCpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    const int n = xv.pfnEncore(create.handle, xvid::kEncEncode, &frame, &stats);
    dSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    dCpu += ProcessCpuSeconds() - dCpu0;
    if (n > 0) nBytes += n;
  }
  xv.pfnEncore(create.handle, xvid::kEncDestroy, nullptr, nullptr);
  std::printf("xvid-alone %dx%d frames=%d seconds=%.3f fps=%.1f cpu_seconds=%.3f bytes=%lld\n", nWidth, nHeight,
              nFrames, dSeconds, nFrames / dSeconds, dCpu, nBytes);
  return 0;
}
