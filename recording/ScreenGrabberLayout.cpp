#include "recording/ScreenGrabberLayout.h"

namespace vantor {

FrameLayout ComputeFrameLayout(std::int32_t nWidth, std::int32_t nHeight, std::int32_t nBitsPerPixel) {
  FrameLayout layout;
  if (nWidth <= 0 || nHeight <= 0 || nBitsPerPixel <= 0 || nBitsPerPixel > 32) return layout;
  const std::uint64_t nStride = DibStride(nWidth, nBitsPerPixel);
  const std::uint64_t nImage = nStride * static_cast<std::uint64_t>(nHeight);
  const std::uint64_t nEntries = DibColorEntries(nBitsPerPixel);
  const std::uint64_t nOffset = sizeof(BitmapInfoHeader) + nEntries * 4;
  if (nImage + nOffset > 0x7FFFFFFFull) return layout;
  layout.bValid = true;
  layout.nStride = static_cast<std::uint32_t>(nStride);
  layout.nImageBytes = static_cast<std::uint32_t>(nImage);
  layout.nColorEntries = static_cast<std::uint32_t>(nEntries);
  layout.nPixelOffset = static_cast<std::uint32_t>(nOffset);
  layout.nBlockBytes = static_cast<std::uint32_t>(nImage + nOffset);
  return layout;
}

BitmapInfoHeader MakeFrameHeader(std::int32_t nWidth, std::int32_t nHeight, std::int32_t nBitsPerPixel,
                                 const FrameLayout& layout) {
  BitmapInfoHeader header{};
  header.biSize = sizeof(BitmapInfoHeader);
  header.biWidth = nWidth;
  header.biHeight = nHeight;
  header.biPlanes = 1;
  header.biBitCount = static_cast<std::uint16_t>(nBitsPerPixel);
  header.biCompression = 0;
  header.biSizeImage = layout.nImageBytes;
  header.biClrUsed = layout.nColorEntries;
  return header;
}

}  // namespace vantor
