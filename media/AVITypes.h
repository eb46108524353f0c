// Records and constants of AVI files with OpenDML extensions, declared without
// <windows.h> so that portable code can build and read them. Field names follow the
// Windows headers that define the same records.
#pragma once
#include <bit>
#include <cstdint>

namespace vantor {

static_assert(std::endian::native == std::endian::little,
              "AVI records are little-endian and are copied to the file as they lie in memory");

// "00dc" -> '0' | '0' << 8 | 'd' << 16 | 'c' << 24, as the file stores it.
constexpr std::uint32_t MakeFourCC(const char (&sz)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(sz[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(sz[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(sz[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(sz[3])) << 24;
}

// A RIFF segment's movie data is kept below this many bytes so that every offset in it,
// and its legacy index, fits the 31 bits old readers honour.
constexpr std::int64_t kAVISegmentLimit = 0x7F000000;
// The head records the position of this many segments at most.
constexpr int kAVIMaxSegments = 64;
// Entries per standard index chunk, and standard index chunks per stream.
constexpr int kAVIStandardIndexEntries = 3072;
constexpr int kAVISuperIndexEntries = 256;
// Size fields written before their values are known and patched at close.
constexpr std::uint32_t kAVIFirstMoviPlaceholder = 0x7FFFFFFF;
constexpr std::uint32_t kAVIExtendedPlaceholder = 0x7F000000;

// WriteChunk flag: the chunk is NOT a key frame. Without it a chunk is indexed as a key
// frame. (The legacy index flag of the same value says the opposite.)
constexpr std::uint32_t kAVIChunkNotKeyFrame = 0x10;
// Legacy index flag: key frame.
constexpr std::uint32_t kAVIIndexKeyFrame = 0x10;
// Main header flags: has an index, interleaved.
constexpr std::uint32_t kAVIFlagHasIndex = 0x10;
constexpr std::uint32_t kAVIFlagInterleaved = 0x100;

// "avih" (AVIMAINHEADER without its chunk header).
struct AVIMainHeader {
  std::uint32_t dwMicroSecPerFrame;
  std::uint32_t dwMaxBytesPerSec;
  std::uint32_t dwPaddingGranularity;
  std::uint32_t dwFlags;
  std::uint32_t dwTotalFrames;
  std::uint32_t dwInitialFrames;
  std::uint32_t dwStreams;
  std::uint32_t dwSuggestedBufferSize;
  std::uint32_t dwWidth;
  std::uint32_t dwHeight;
  std::uint32_t dwReserved[4];
};
static_assert(sizeof(AVIMainHeader) == 56);

// "strh" (AVISTREAMHEADER without its chunk header).
struct AVIStreamHeader {
  std::uint32_t fccType;
  std::uint32_t fccHandler;
  std::uint32_t dwFlags;
  std::uint16_t wPriority;
  std::uint16_t wLanguage;
  std::uint32_t dwInitialFrames;
  std::uint32_t dwScale;
  std::uint32_t dwRate;
  std::uint32_t dwStart;
  std::uint32_t dwLength;
  std::uint32_t dwSuggestedBufferSize;
  std::uint32_t dwQuality;
  std::uint32_t dwSampleSize;
  struct {
    std::int16_t left, top, right, bottom;
  } rcFrame;
};
static_assert(sizeof(AVIStreamHeader) == 56);

// BITMAPINFOHEADER: the video stream's format block.
struct BitmapInfoHeader {
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// WAVEFORMATEX: the audio stream's format block. Packed to 2 like the Windows record,
// which is 18 bytes long.
#pragma pack(push, 2)
struct WaveFormatEx {
  std::uint16_t wFormatTag;
  std::uint16_t nChannels;
  std::uint32_t nSamplesPerSec;
  std::uint32_t nAvgBytesPerSec;
  std::uint16_t nBlockAlign;
  std::uint16_t wBitsPerSample;
  std::uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatEx) == 18);

// WAVEFORMATEXTENSIBLE: what WASAPI mix formats usually are. Its extension, the 22
// bytes after the WaveFormatEx (cbSize 22), holds the valid bits per sample, the
// speaker mask and the sub-format GUID that says what the samples are.
#pragma pack(push, 2)
struct WaveFormatExtensible {
  WaveFormatEx Format;
  std::uint16_t wValidBitsPerSample;
  std::uint32_t dwChannelMask;
  std::uint8_t SubFormat[16];
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatExtensible) == 40);

constexpr std::uint16_t kWaveFormatPcm = 1;
constexpr std::uint16_t kWaveFormatIeeeFloat = 3;
constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;
constexpr std::uint16_t kWaveFormatUnknown = 0xFFFF;

// A sound format by value, whole: the 18-byte WaveFormatEx and, for an extensible
// format, the 22 bytes of its extension right behind it in memory. get() is what a
// reader of a WAVEFORMATEX and the cbSize bytes after it expects, and the get_Size()
// bytes from there are the format block a file stores. cbSize always tells what the
// block holds: an 18-byte format comes in without extra bytes (cbSize 0, whatever it
// said: what followed it was not copied), an extensible one with exactly its 22.
class WaveFormatBlock {
 public:
  static constexpr std::uint16_t kExtensionBytes = sizeof(WaveFormatExtensible) - sizeof(WaveFormatEx);

  WaveFormatBlock() = default;
  // Not explicit: either record is a whole format as it stands.
  WaveFormatBlock(const WaveFormatEx& format) {
    m_Format.Format = format;
    m_Format.Format.cbSize = 0;
  }
  WaveFormatBlock(const WaveFormatExtensible& format) : m_Format(format), m_nSize(sizeof format) {
    m_Format.Format.cbSize = kExtensionBytes;
  }

  const WaveFormatEx* get() const { return &m_Format.Format; }
  const WaveFormatEx& get_Format() const { return m_Format.Format; }
  // The whole extensible format, or null when the block holds only 18 bytes.
  const WaveFormatExtensible* get_Extensible() const { return m_nSize == sizeof m_Format ? &m_Format : nullptr; }
  // 18, or 40 with the extension.
  std::uint32_t get_Size() const { return m_nSize; }

 private:
  WaveFormatExtensible m_Format{};
  std::uint32_t m_nSize = sizeof(WaveFormatEx);
};

// One entry of the legacy index "idx1" (AVIINDEXENTRY).
struct AVILegacyIndexEntry {
  std::uint32_t ckid;
  std::uint32_t dwFlags;
  std::uint32_t dwChunkOffset;  // from the first "movi" code
  std::uint32_t dwChunkLength;
};
static_assert(sizeof(AVILegacyIndexEntry) == 16);

// One entry of a standard index chunk "ix##": the data's offset from the chunk's base
// and its size, bit 31 set for a chunk that is not a key frame.
struct AVIStandardIndexEntry {
  std::uint32_t dwOffset;
  std::uint32_t dwSize;
};
static_assert(sizeof(AVIStandardIndexEntry) == 8);

// One entry of a super index "indx": where a standard index chunk lies.
struct AVISuperIndexEntry {
  std::uint64_t qwOffset;
  std::uint32_t dwSize;
  std::uint32_t dwDuration;
};
static_assert(sizeof(AVISuperIndexEntry) == 16);

// The super index chunk as it replaces a stream's placeholder: chunk header, index
// header, 256 entries.
struct AVISuperIndex {
  std::uint32_t fcc;
  std::uint32_t cb;
  std::uint16_t wLongsPerEntry;
  std::uint8_t bIndexSubType;
  std::uint8_t bIndexType;
  std::uint32_t nEntriesInUse;
  std::uint32_t dwChunkId;
  std::uint32_t dwReserved[3];
  AVISuperIndexEntry aIndex[kAVISuperIndexEntries];
};
static_assert(sizeof(AVISuperIndex) == 32 + 4096);

// Header of a standard index chunk, followed by its entries.
struct AVIStandardIndexHeader {
  std::uint32_t fcc;
  std::uint32_t cb;
  std::uint16_t wLongsPerEntry;
  std::uint8_t bIndexSubType;
  std::uint8_t bIndexType;
  std::uint32_t nEntriesInUse;
  std::uint32_t dwChunkId;
  std::uint32_t qwBaseOffset[2];  // 64-bit, split: the record is only 4-byte aligned
  std::uint32_t dwReserved;
};
static_assert(sizeof(AVIStandardIndexHeader) == 32);

// Index types.
constexpr std::uint8_t kAVIIndexOfIndexes = 0;
constexpr std::uint8_t kAVIIndexOfChunks = 1;

}  // namespace vantor
