// The layout of a grabbed frame: a BITMAPINFOHEADER, its colour table, then the pixel
// rows bottom-up, each padded with zero bytes to a multiple of 4. The arithmetic lives
// here, apart from GDI, so that it is checked on every platform.
#pragma once
#include <cstdint>

#include "base/DibLayout.h"
#include "media/AVITypes.h"

namespace vantor {

// Colour-table entries: none above 8 bits per pixel, otherwise one per value.
constexpr std::uint32_t DibColorEntries(std::int32_t nBitsPerPixel) {
  return nBitsPerPixel > 8 ? 0u : (1u << nBitsPerPixel);
}

// Sizes of one frame block, or bValid false when the picture is empty or its block
// would not fit the 32-bit sizes of the header (nothing must then be allocated).
struct FrameLayout {
  bool bValid = false;
  std::uint32_t nStride = 0;
  std::uint32_t nImageBytes = 0;   // biSizeImage
  std::uint32_t nColorEntries = 0;  // biClrUsed
  std::uint32_t nPixelOffset = 0;   // header + colour table
  std::uint32_t nBlockBytes = 0;    // the whole block
};

FrameLayout ComputeFrameLayout(std::int32_t nWidth, std::int32_t nHeight, std::int32_t nBitsPerPixel);

// The header of a frame of that layout: biSize 40, one plane, uncompressed, no
// resolution, biClrUsed = the colour-table entries.
BitmapInfoHeader MakeFrameHeader(std::int32_t nWidth, std::int32_t nHeight, std::int32_t nBitsPerPixel,
                                 const FrameLayout& layout);

// Where a frame's pixel rows begin, counted from the header: the header's own size
// plus four bytes per colour-table entry.
constexpr std::uint64_t FramePixelOffset(const BitmapInfoHeader& header) {
  return static_cast<std::uint64_t>(header.biSize) + 4ull * header.biClrUsed;
}

}  // namespace vantor
