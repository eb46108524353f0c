// Helpers for the recorder and hand-off tests: a temporary folder, a RIFF reader that
// does not share code with the writer, and a stand-in Xvid whose behaviour each test
// chooses.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "media/AVITypes.h"
#include "media/XvidLibrary.h"

namespace vantor::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class CTempDir {
 public:
  CTempDir();
  ~CTempDir();
  const std::filesystem::path& get_Path() const { return m_Path; }
  // UTF-8 path of a file in the folder.
  std::string File(const std::string& strName) const;

 private:
  std::filesystem::path m_Path;
};

std::string Utf8(const std::filesystem::path& path);
std::filesystem::path PathOf(const std::string& strUtf8);
bool ReadWholeFile(const std::string& strUtf8, std::vector<std::uint8_t>* pBytes);

// The parts of a recorded AVI file the tests look at: headers and the legacy index from
// the first RIFF segment, data chunks from every segment.
struct AviChunkRef {
  std::uint32_t fcc = 0;
  std::size_t nOffset = 0;  // of the data
  std::uint32_t nSize = 0;
};

class CAviReader {
 public:
  bool Load(const std::string& strUtf8);
  std::string get_Error() const { return m_strError; }

  const AVIMainHeader& get_MainHeader() const { return m_Main; }
  const AVIStreamHeader& get_VideoHeader() const { return m_aStreamHeaders[0]; }
  const AVIStreamHeader& get_AudioHeader() const { return m_aStreamHeaders[1]; }
  const BitmapInfoHeader& get_VideoFormat() const { return m_VideoFormat; }
  const WaveFormatEx& get_AudioFormat() const { return m_AudioFormat; }
  std::uint32_t get_AudioFormatSize() const { return m_nAudioFormatSize; }
  // The sound stream's whole "strf", extra bytes included.
  const std::vector<std::uint8_t>& get_AudioFormatBytes() const { return m_AudioFormatBytes; }
  std::uint32_t get_RiffSize() const { return m_nRiffSize; }

  // Data chunks in file order.
  const std::vector<AviChunkRef>& get_Chunks() const { return m_Chunks; }
  std::vector<AviChunkRef> get_Chunks(const char* szFcc) const;
  std::vector<std::uint8_t> get_Data(const AviChunkRef& chunk) const;
  const std::vector<AVILegacyIndexEntry>& get_Index() const { return m_Index; }
  // Legacy index entries of one chunk id.
  std::vector<AVILegacyIndexEntry> get_Index(const char* szFcc) const;

 private:
  bool Walk(std::size_t nBegin, std::size_t nEnd, int nStream);

  std::vector<std::uint8_t> m_Bytes;
  std::string m_strError;
  AVIMainHeader m_Main{};
  AVIStreamHeader m_aStreamHeaders[2]{};
  int m_nStreams = 0;
  BitmapInfoHeader m_VideoFormat{};
  WaveFormatEx m_AudioFormat{};
  std::uint32_t m_nAudioFormatSize = 0;
  std::vector<std::uint8_t> m_AudioFormatBytes;
  std::uint32_t m_nRiffSize = 0;
  std::vector<AviChunkRef> m_Chunks;
  std::vector<AVILegacyIndexEntry> m_Index;
};

// A stand-in for the Xvid library. Each encoded frame becomes a chunk of 8 bytes: the
// frame's first pixel byte repeated, so a test sees which picture was encoded. One
// instance is active at a time (the entry points are plain functions).
class CFakeXvid {
 public:
  CFakeXvid();
  ~CFakeXvid();

  // What the next encodes return: the size, or a negative error. Default 8.
  std::function<int(int nIndex)> fnResult;
  // Whether encode nIndex reports a key frame. Default: the first, every one the
  // recorder asked to be coded whole (as Xvid does), and with nKeyInterval every
  // nKeyInterval-th.
  std::function<bool(int nIndex)> fnKey;
  int nKeyInterval = 0;

  // Holds every encode until Open() is called: lets a test make the encoder fall behind.
  void CloseGate();
  void OpenGate();
  // Returns once nCount encodes have entered the library (the last may wait at the gate).
  void WaitForEncodes(int nCount);

  struct Encode {
    int nType;              // the coding type the recorder asked for
    std::uint8_t nFirst;    // first pixel byte
    bool bUniform;          // every byte of the frame had the same value
    int nStride;
    int nCsp;
    int nQuant;
  };
  std::vector<Encode> get_Encodes() const;
  int get_Creates() const;
  int get_Destroys() const;
  int get_Globals() const;
  int get_Binds() const;
  // The records of the last create call, as the recorder filled them.
  xvid::EncCreate get_Create() const;
  xvid::PluginSingle get_PluginSingle() const;
  xvid::GlobalInit get_GlobalInit() const;
  // What create answers; 0 succeeds.
  int nCreateResult = 0;
  int get_Unbinds() const;

  // A binding that hands out this fake's entry points.
  std::unique_ptr<CXvidBinding> MakeBinding();

  // Bytes per frame the fake reads to check for a torn picture.
  std::size_t nCheckBytes = 0;

 private:
  friend struct FakeXvidAccess;
  mutable std::mutex m_Lock;
  std::condition_variable m_Changed;
  bool m_bGateClosed = false;
  int m_nEntered = 0;
  std::vector<Encode> m_Encodes;
  xvid::EncCreate m_Create{};
  xvid::PluginSingle m_PluginSingle{};
  xvid::GlobalInit m_GlobalInit{};
  int m_nCreates = 0, m_nDestroys = 0, m_nGlobals = 0, m_nBinds = 0, m_nUnbinds = 0;
};

// Test pictures: a header for a 24-bit bottom-up frame and its size.
BitmapInfoHeader MakeFrameHeader(std::int32_t nWidth, std::int32_t nHeight);

}  // namespace vantor::test
