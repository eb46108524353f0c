// What one screen grab costs, stage by stage, on the machine it runs on (under Wine:
// where the time goes between the program, Wine and the X server). Each variant runs
// N grabs of one area and prints the wall time of each stage per grab and the
// process's processor time per grab; the X server's share is measured from outside by
// tools/bench-screen.
//
//   grab_stages --size 1280x720 --frames 100 --variant dib32
//
// Variants (the screen copy, then what a frame then needs):
//   ddb     copy into a screen-compatible bitmap, GetDIBits to 24 bits (a fresh frame)
//   dib24   copy straight into a 24-bit DIB section held for the run
//   dib32   copy into a 32-bit DIB section held for the run, then rows to 24 bits
//   cursor  the cursor's query and drawing alone (no screen copy)
//   held    what a recording does per frame: CHeldScreenGrab::GrabInto (copy, cursor,
//           24-bit rows into a slot), with the border's marks painted around it
//           (--border no: without)
// --band N copies the area in bands of N rows (dib24, dib32).
// Prints: stages name=ms ... cpu_ms=C per grab.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/DibLayout.h"
#include "cli/ProcessTimes.h"
#include "overlays/FlashingWnd.h"
#include "platform/win32/MessagePump.h"
#include "recording/FramePixels.h"
#include "recording/GdiRecordingWin32.h"
#include "recording/ScreenGrabber.h"

namespace {

double Now() {
  LARGE_INTEGER f, t;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

struct Stages {
  std::vector<std::pair<std::string, double>> items;
  void Add(const char* szName, double dSeconds) {
    for (auto& item : items)
      if (item.first == szName) {
        item.second += dSeconds;
        return;
      }
    items.emplace_back(szName, dSeconds);
  }
};

HBITMAP MakeSection(HDC hdc, int nWidth, int nHeight, int nBits, void** ppBits) {
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = nWidth;
  bmi.bmiHeader.biHeight = nHeight;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = static_cast<WORD>(nBits);
  bmi.bmiHeader.biCompression = BI_RGB;
  return ::CreateDIBSection(hdc, &bmi, DIB_RGB_COLORS, ppBits, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  int nWidth = 1280, nHeight = 720, nFrames = 100;
  std::string strVariant = "dib32";
  int nBand = 0;  // rows per copy (0: the whole area at once)
  bool bNoBorder = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--size")) std::sscanf(argv[i + 1], "%dx%d", &nWidth, &nHeight);
    if (!std::strcmp(argv[i], "--frames")) nFrames = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--variant")) strVariant = argv[i + 1];
    if (!std::strcmp(argv[i], "--band")) nBand = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--border")) bNoBorder = !std::strcmp(argv[i + 1], "no");
  }
  using namespace vantor;
  HDC hScreen = ::GetDC(nullptr);
  HDC hMem = ::CreateCompatibleDC(hScreen);
  const std::uint32_t nStride24 = static_cast<std::uint32_t>(DibRowBytes(nWidth));
  std::vector<std::uint8_t> slot(static_cast<std::size_t>(nStride24) * nHeight);
  void* pBits = nullptr;
  HBITMAP hSection = nullptr;
  if (strVariant == "dib24" || strVariant == "dib32" || strVariant == "cursor")
    hSection = MakeSection(hMem, nWidth, nHeight, strVariant == "dib24" ? 24 : 32, &pBits);
  HGDIOBJ hOld = hSection ? ::SelectObject(hMem, hSection) : nullptr;

  CHeldScreenGrab held;
  CFlashingWnd border;
  if (strVariant == "held") {
    if (!held.Prepare(nWidth, nHeight)) {
      std::fprintf(stderr, "grab_stages: the held grab cannot be prepared\n");
      return 1;
    }
    ReadScreenSize();
    if (!bNoBorder && border.CreateOverScreen()) {
      UseBorderWindow(&border);
      border.ShowAreaAsync(0, 0, nWidth, nHeight);
      PumpWindowMessages();
    }
  }

  Stages stages;
  const double dCpu0 = ProcessCpuSeconds();
  for (int i = 0; i < nFrames; ++i) {
    double t = Now();
    auto lap = [&](const char* szName) {
      const double t1 = Now();
      stages.Add(szName, t1 - t);
      t = t1;
    };
    if (strVariant == "held") {
      held.GrabInto(0, 0, &BorderFlash(), slot.data());
      lap("grab");
      PumpWindowMessages();
      lap("messages");
      continue;
    }
    if (strVariant == "ddb") {
      HDC hFrameDc = ::CreateCompatibleDC(hScreen);
      HBITMAP hBitmap = ::CreateCompatibleBitmap(hScreen, nWidth, nHeight);
      HGDIOBJ hPrev = ::SelectObject(hFrameDc, hBitmap);
      lap("create");
      ::BitBlt(hFrameDc, 0, 0, nWidth, nHeight, hScreen, 0, 0, SRCCOPY);
      lap("blt");
      ::SelectObject(hFrameDc, hPrev);
      HGLOBAL hBlock = BitmapToDib(hBitmap, 24);
      lap("getdibits");
      ::GlobalFree(hBlock);
      ::DeleteObject(hBitmap);
      ::DeleteDC(hFrameDc);
      lap("free");
      continue;
    }
    if (nBand > 0) {
      for (int y = 0; y < nHeight; y += nBand)
        ::BitBlt(hMem, 0, y, nWidth, std::min(nBand, nHeight - y), hScreen, 0, y, SRCCOPY);
      ::GdiFlush();
      lap("blt");
    } else if (strVariant != "cursor") {
      ::BitBlt(hMem, 0, 0, nWidth, nHeight, hScreen, 0, 0, SRCCOPY);
      ::GdiFlush();
      lap("blt");
    }
    CURSORINFO info{};
    info.cbSize = sizeof info;
    ::GetCursorInfo(&info);
    lap("cursorinfo");
    if (info.hCursor) DrawCursorAt(hMem, info.hCursor, info.ptScreenPos.x, info.ptScreenPos.y);
    ::GdiFlush();
    lap("cursordraw");
    if (strVariant == "dib24") {
      std::memcpy(slot.data(), pBits, slot.size());
      lap("copy");
    } else if (strVariant == "dib32") {
      ConvertRows32To24(static_cast<const std::uint8_t*>(pBits), slot.data(), nWidth, nHeight);
      lap("convert");
    }
  }
  const double dCpu = ProcessCpuSeconds() - dCpu0;
  if (strVariant == "held") {
    UseBorderWindow(nullptr);
    border.Destroy();
    held.Reset();
  }
  if (hOld) ::SelectObject(hMem, hOld);
  if (hSection) ::DeleteObject(hSection);
  ::DeleteDC(hMem);
  ::ReleaseDC(nullptr, hScreen);

  std::printf("stages %s%s %dx%d frames=%d", strVariant.c_str(), nBand > 0 ? ("/band" + std::to_string(nBand)).c_str() : "",
              nWidth, nHeight, nFrames);
  double dTotal = 0;
  for (const auto& item : stages.items) {
    std::printf(" %s=%.3f", item.first.c_str(), 1000.0 * item.second / nFrames);
    dTotal += item.second;
  }
  std::printf(" total_ms=%.3f cpu_ms=%.3f\n", 1000.0 * dTotal / nFrames, 1000.0 * dCpu / nFrames);
  return 0;
}
