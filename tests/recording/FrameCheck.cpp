// gdi_frame_check: checks decoded frames of a recording of ScreenTarget (raw bgr24, top
// row first, as `ffmpeg -f rawvideo -pix_fmt bgr24` writes them) for what they show and
// where:
//   --pattern X,Y   the test pattern (384 x 288) lies at X,Y of every frame: its frame
//                   number reads back, and the picture matches the pattern drawn for
//                   that number (PSNR); the numbers never go back
//   --moved X,Y     ... or, from some frame on, at X,Y (a move of the recorded area):
//                   frames at the first place, then frames at the second, nothing else
//   --pad B,G,R --window X,Y,W,H
//                   the window's pixels outside the pattern are the pad colour, except
//                   where the cursor is expected
//   --cursor X,Y --arrow HX,HY,BX,BY,BW,BH
//                   the arrow cursor's tip at X,Y: the pad shows the arrow's box there
//                   (hotspot HX,HY; picture box BX,BY,BW,BH from DrawIcon's point)
//   --no-cursor     no cursor anywhere on the pad
//   --min-psnr DB   (default 28)
// Prints what it found, one fact per line, and exits 1 when a check fails.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "cli/TestPattern.h"

namespace {

constexpr int kPatternWidth = 384, kPatternHeight = 288;
// Pixels whose channels differ from the pad by more than this in sum are "something".
constexpr int kPadTolerance = 60;
// Compression blurs edges: the pad check keeps this far from the pattern.
constexpr int kEdgeMargin = 3;

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

bool Ints(const char* sz, int* a, int n) {
  const char* p = sz;
  for (int i = 0; i < n; ++i) {
    char* pEnd;
    a[i] = static_cast<int>(std::strtol(p, &pEnd, 10));
    if (pEnd == p) return false;
    p = pEnd;
    if (i + 1 < n) {
      if (*p != ',' && *p != 'x') return false;
      ++p;
    }
  }
  return *p == '\0';
}

int g_nFailures = 0;
void Fail(const std::string& str) {
  std::printf("FAIL: %s\n", str.c_str());
  ++g_nFailures;
}

struct Frames {
  int w = 0, h = 0;
  std::vector<std::uint8_t> bytes;
  std::size_t Count() const { return bytes.size() / (static_cast<std::size_t>(w) * h * 3); }
  const std::uint8_t* Frame(std::size_t i) const { return bytes.data() + i * w * h * 3; }
};

// The pattern's number at (x, y) of a frame, or -1.
std::int64_t ReadAt(const Frames& f, std::size_t i, int x, int y) {
  if (x < 0 || y < 0 || x + kPatternWidth > f.w || y + kPatternHeight > f.h) return -1;
  return vantor::ReadTestPatternFrame(f.Frame(i) + (static_cast<std::size_t>(y) * f.w + x) * 3, kPatternWidth,
                                      kPatternHeight, static_cast<std::uint32_t>(f.w) * 3);
}

// PSNR of the pattern at (x, y) against the pattern drawn for nNumber.
double PsnrAt(const Frames& f, std::size_t i, int x, int y, std::int64_t nNumber) {
  const std::uint32_t nStride = vantor::DibRowBytes(kPatternWidth);
  static std::vector<std::uint8_t> dib;
  dib.resize(static_cast<std::size_t>(nStride) * kPatternHeight);
  vantor::DrawTestPattern(dib.data(), kPatternWidth, kPatternHeight, nStride, static_cast<std::uint32_t>(nNumber));
  double dSum = 0;
  for (int row = 0; row < kPatternHeight; ++row) {
    const std::uint8_t* pRef = dib.data() + static_cast<std::size_t>(kPatternHeight - 1 - row) * nStride;
    const std::uint8_t* pGot = f.Frame(i) + (static_cast<std::size_t>(y + row) * f.w + x) * 3;
    for (int k = 0; k < kPatternWidth * 3; ++k) {
      const double d = static_cast<double>(pRef[k]) - pGot[k];
      dSum += d * d;
    }
  }
  const double dMse = dSum / (kPatternWidth * kPatternHeight * 3.0);
  return dMse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / dMse);
}

}  // namespace

int main(int argc, char** argv) {
  std::string strFile;
  Frames f;
  int aPattern[2] = {-1, -1}, aMoved[2] = {-1, -1}, aPad[3] = {-1, -1, -1}, aWindow[4] = {0, 0, 0, 0};
  int aCursor[2] = {-1, -1}, aArrow[6] = {0, 0, 0, 0, 0, 0};
  bool bNoCursor = false, bMoved = false, bCursor = false, bPad = false;
  double dMinPsnr = 28;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : "";
    bool bOk = true;
    if (a == "--frames") strFile = v, ++i;
    else if (a == "--size") bOk = std::sscanf(v, "%dx%d", &f.w, &f.h) == 2, ++i;
    else if (a == "--pattern") bOk = Ints(v, aPattern, 2), ++i;
    else if (a == "--moved") bOk = Ints(v, aMoved, 2), bMoved = true, ++i;
    else if (a == "--pad") bOk = Ints(v, aPad, 3), bPad = true, ++i;
    else if (a == "--window") bOk = Ints(v, aWindow, 4), ++i;
    else if (a == "--cursor") bOk = Ints(v, aCursor, 2), bCursor = true, ++i;
    else if (a == "--arrow") bOk = Ints(v, aArrow, 6), ++i;
    else if (a == "--no-cursor") bNoCursor = true;
    else if (a == "--min-psnr") dMinPsnr = std::atof(v), ++i;
    else bOk = false;
    if (!bOk) {
      std::fprintf(stderr, "gdi_frame_check: bad argument %s %s\n", a.c_str(), v);
      return 2;
    }
  }
  std::ifstream in(strFile, std::ios::binary);
  f.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (f.w <= 0 || f.h <= 0 || f.bytes.empty() || f.bytes.size() % (static_cast<std::size_t>(f.w) * f.h * 3)) {
    std::fprintf(stderr, "gdi_frame_check: no whole frames of %dx%d in %s\n", f.w, f.h, strFile.c_str());
    return 2;
  }
  const std::size_t nFrames = f.Count();
  std::printf("frames=%zu\n", nFrames);

  // The pattern: where, which number, how close to what was shown.
  std::int64_t nFirst = -1, nLast = -1, nPrevious = -1;
  std::size_t nReadable = 0, nAtFirst = 0, nAtMoved = 0, nBackwards = 0, nMarker = 0;
  bool bSeenMoved = false, bMixed = false;
  double dWorst = 99;
  std::vector<int> place(nFrames, 0);  // 1 first place, 2 moved place, 0 neither
  for (std::size_t i = 0; i < nFrames && aPattern[0] >= 0; ++i) {
    int x = aPattern[0], y = aPattern[1];
    std::int64_t n = ReadAt(f, i, x, y);
    if (n >= 0) {
      place[i] = 1;
    } else if (bMoved && (n = ReadAt(f, i, aMoved[0], aMoved[1])) >= 0) {
      place[i] = 2;
      x = aMoved[0];
      y = aMoved[1];
    }
    // The marker: the pattern's middle plain red.
    const std::uint8_t* p = f.Frame(i) + (static_cast<std::size_t>(aPattern[1] + kPatternHeight / 2) * f.w +
                                          aPattern[0] + kPatternWidth / 2) * 3;
    if (p[2] > 200 && p[1] < 60 && p[0] < 60) ++nMarker;
    if (n < 0) {
      Fail("frame " + std::to_string(i) + ": no pattern at the expected place");
      continue;
    }
    ++nReadable;
    if (place[i] == 1) {
      ++nAtFirst;
      if (bSeenMoved) bMixed = true;
    } else {
      ++nAtMoved;
      bSeenMoved = true;
    }
    if (nFirst < 0) nFirst = n;
    nLast = n;
    if (nPrevious >= 0 && n < nPrevious) ++nBackwards;
    nPrevious = n;
    dWorst = std::min(dWorst, PsnrAt(f, i, x, y, n));
  }
  if (aPattern[0] >= 0) {
    std::printf("pattern: readable=%zu first=%lld last=%lld backwards=%zu worst_psnr=%.1f\n", nReadable,
                static_cast<long long>(nFirst), static_cast<long long>(nLast), nBackwards, dWorst);
    std::printf("marker: frames=%zu\n", nMarker);
    if (nBackwards) Fail("the pattern's number went back " + std::to_string(nBackwards) + " times");
    if (nReadable && nLast <= nFirst) Fail("the pattern never changed");
    if (nReadable && dWorst < dMinPsnr) Fail("a frame's pattern is only " + std::to_string(dWorst) + " dB from what was shown");
    if (nMarker) Fail(std::to_string(nMarker) + " frames show the marker");
    if (bMoved) {
      std::printf("moved: before=%zu after=%zu\n", nAtFirst, nAtMoved);
      if (!nAtFirst || !nAtMoved) Fail("wanted frames both before and after the move");
      if (bMixed) Fail("a frame at the old place came after one at the new place");
    }
  }

  // The pad, and on it the cursor or none.
  if (bPad) {
    const Box window = {aWindow[0], aWindow[1], aWindow[2], aWindow[3]};
    const Box pattern = {aPattern[0] - kEdgeMargin, aPattern[1] - kEdgeMargin, kPatternWidth + 2 * kEdgeMargin,
                         kPatternHeight + 2 * kEdgeMargin};
    Box expected;
    if (bCursor)
      expected = {aCursor[0] - aArrow[0] + aArrow[2], aCursor[1] - aArrow[1] + aArrow[3], aArrow[4], aArrow[5]};
    std::size_t nWithCursor = 0, nCursorRight = 0, nStray = 0;
    Box firstSeen;
    bool bReported = false;
    for (std::size_t i = 0; i < nFrames; ++i) {
      int x0 = f.w, y0 = f.h, x1 = -1, y1 = -1;
      std::size_t nOff = 0;
      for (int y = std::max(0, window.y); y < std::min(f.h, window.y + window.h); ++y)
        for (int x = std::max(0, window.x); x < std::min(f.w, window.x + window.w); ++x) {
          if (pattern.Contains(x, y)) continue;
          const std::uint8_t* p = f.Frame(i) + (static_cast<std::size_t>(y) * f.w + x) * 3;
          const int d = std::abs(p[0] - aPad[0]) + std::abs(p[1] - aPad[1]) + std::abs(p[2] - aPad[2]);
          if (d <= kPadTolerance) continue;
          ++nOff;
          x0 = std::min(x0, x);
          y0 = std::min(y0, y);
          x1 = std::max(x1, x);
          y1 = std::max(y1, y);
        }
      if (!nOff) continue;
      const Box seen = {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
      if (!bCursor) {
        ++nStray;
        if (!bReported) firstSeen = seen, bReported = true;
        continue;
      }
      ++nWithCursor;
      if (!bReported) firstSeen = seen, bReported = true;
      if (std::abs(seen.x - expected.x) <= 1 && std::abs(seen.y - expected.y) <= 1 &&
          std::abs(seen.x + seen.w - expected.x - expected.w) <= 1 &&
          std::abs(seen.y + seen.h - expected.y - expected.h) <= 1)
        ++nCursorRight;
    }
    if (bCursor) {
      std::printf("cursor: frames_with_cursor=%zu at_expected_box=%zu expected=%d,%d,%dx%d seen=%d,%d,%dx%d\n",
                  nWithCursor, nCursorRight, expected.x, expected.y, expected.w, expected.h, firstSeen.x, firstSeen.y,
                  firstSeen.w, firstSeen.h);
      if (nCursorRight != nFrames) Fail("the cursor is not where expected in every frame");
    } else {
      std::printf("pad: frames_with_something=%zu%s\n", nStray,
                  bReported ? (" first_seen=" + std::to_string(firstSeen.x) + "," + std::to_string(firstSeen.y) +
                               "," + std::to_string(firstSeen.w) + "x" + std::to_string(firstSeen.h))
                                  .c_str()
                            : "");
      if (bNoCursor && nStray) Fail("something (a cursor?) shows on the pad");
    }
  }
  std::printf(g_nFailures ? "result: FAILED\n" : "result: ok\n");
  return g_nFailures ? 1 : 0;
}
