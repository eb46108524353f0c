// Helpers for the AVI writer's tests: an in-memory file system that can fail on
// command, a RIFF walker independent of the writer, stream set-up and temp folders.
#pragma once
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "media/AVIOutputFile.h"
#include "platform/File.h"

namespace vantor::test {

// Bytes of a file, read at any position; absent bytes read as zero.
class CByteSource {
 public:
  virtual ~CByteSource() = default;
  virtual std::int64_t get_Size() const = 0;
  virtual void Read(std::int64_t nPos, void* p, std::size_t n) const = 0;
  std::uint32_t U32(std::int64_t nPos) const { std::uint32_t v; Read(nPos, &v, 4); return v; }
  std::uint16_t U16(std::int64_t nPos) const { std::uint16_t v; Read(nPos, &v, 2); return v; }
  std::uint64_t U64(std::int64_t nPos) const { std::uint64_t v; Read(nPos, &v, 8); return v; }
  std::string FourCC(std::int64_t nPos) const { char s[4]; Read(nPos, s, 4); return std::string(s, 4); }
  std::vector<std::uint8_t> Bytes(std::int64_t nPos, std::size_t n) const {
    std::vector<std::uint8_t> v(n);
    if (n) Read(nPos, v.data(), n);
    return v;
  }
};

class CVectorSource final : public CByteSource {
 public:
  explicit CVectorSource(std::vector<std::uint8_t> bytes) : m_Bytes(std::move(bytes)) {}
  std::int64_t get_Size() const override { return static_cast<std::int64_t>(m_Bytes.size()); }
  void Read(std::int64_t nPos, void* p, std::size_t n) const override;
  const std::vector<std::uint8_t>& get_Bytes() const { return m_Bytes; }

 private:
  std::vector<std::uint8_t> m_Bytes;
};

// A sparse in-memory file. Writes whose source is get_BulkData() are counted but not
// stored, so that tests can make files of many GiB without the memory.
class CMemoryFile final : public CByteSource {
 public:
  static const void* get_BulkData();
  std::int64_t get_Size() const override { return m_nSize; }
  void Read(std::int64_t nPos, void* p, std::size_t n) const override;
  void Write(std::int64_t nPos, const void* p, std::size_t n);
  void Resize(std::int64_t nSize);
  bool m_bOpen = true;

 private:
  static constexpr std::int64_t kPage = 4096;
  std::map<std::int64_t, std::vector<std::uint8_t>> m_Pages;
  std::int64_t m_nSize = 0;
};

// What the in-memory file system does wrong, and when: the n-th call (0-based) of a
// kind fails; -1 never.
struct FaultPlan {
  bool bFailCreate = false;
  int nFailCreate = -1;
  int nFailSeek = -1;
  int nFailWrite = -1;
  int nShortWrite = -1;
  int nFailSetEnd = -1;
  bool bSetEndFailsFromThenOn = false;
  int nFailGetSize = -1;
  bool bFailClose = false;
  std::string strFileSystem = "NTFS";
};

struct CallCounts {
  int nCreates = 0, nSeeks = 0, nWrites = 0, nSetEnds = 0, nGetSizes = 0, nCloses = 0;
  bool bFaultHit = false;
};

class CMemoryFileSystem final : public CFileSystem {
 public:
  std::unique_ptr<CWriteFile> CreateWriteFile(const std::string& strPath) override;
  bool GetFileSystemName(const std::string& strPath, std::string* pName) override;

  FaultPlan m_Plan;
  CallCounts m_Counts;
  std::shared_ptr<CMemoryFile> m_pFile;  // the latest file created
  // Every file created, in order, with the path it was created under.
  std::vector<std::pair<std::string, std::shared_ptr<CMemoryFile>>> m_Files;
};

// The files a memory file system holds, in the order they were created.
std::vector<const CByteSource*> FilesOf(const CMemoryFileSystem& fs);

// What a walk over the RIFF structure found.
struct WalkedChunk {
  std::string strId;
  std::int64_t nPos;  // chunk header
  std::uint32_t nSize;
  int nSegment;
};
struct WalkedSegment {
  std::int64_t nRiffPos, nMoviPos;
  std::uint32_t nRiffSize, nMoviSize;
};
struct WalkedFile {
  std::vector<WalkedSegment> segments;
  std::vector<WalkedChunk> dataChunks;   // "00dc", "01wb" in file order
  std::vector<WalkedChunk> indexChunks;  // "ix00", "ix01"
  std::int64_t nIdx1Pos = -1;
  std::uint32_t nIdx1Size = 0;
  std::int64_t nEnd = 0;  // end of the last RIFF segment
  bool bOk = false;
  std::string strError;
};
WalkedFile WalkAVI(const CByteSource& src);

// Stream set-up as the recorder does it: video 40-byte format, audio 18-byte format.
struct StreamSetup {
  std::int32_t nWidth = 320, nHeight = 240;
  std::uint32_t nFrameRate = 25;
  std::uint16_t nChannels = 1, nBitsPerSample = 8;
  std::uint32_t nSamplesPerSec = 48000;
};
void PrepareStreams(AVIOutputFile& avi, const StreamSetup& setup = {});

// Data bytes derived from the chunk's ordinal, so that readers can tell chunks apart.
std::vector<std::uint8_t> PatternData(std::uint32_t nSize, std::uint32_t nOrdinal);

// One chunk a test writes: stream 0 video ("00dc"), 1 audio ("01wb").
struct TestChunk {
  int nStream;
  std::uint32_t nSize;
  bool bNotKey = false;
  bool bBulk = false;  // data from CMemoryFile::get_BulkData (memory files only)
};
// Video chunks of the given sizes, each followed by nAudioPer audio chunks of nAudioSize.
std::vector<TestChunk> Interleave(const std::vector<std::uint32_t>& videoSizes, int nAudioPer,
                                  std::uint32_t nAudioSize);
// Writes the chunks through the streams; the count of chunks written before a failure.
std::size_t WriteChunks(AVIOutputFile& avi, const std::vector<TestChunk>& chunks);

// Recordings driven past small limits, so that they go on through many files: each
// case reaches the limit it is named after (in some files both).
struct ContinuationCase {
  const char* szName;
  AVIWriterLimits limits;
  bool bFillsSuperIndex, bFillsSegments;  // some file ends with it full
  std::vector<TestChunk> chunks;
};
std::vector<ContinuationCase> ContinuationCases();
inline void PrintTo(const ContinuationCase& c, std::ostream* pOut) { *pOut << c.szName; }

// Checks, against the walked structure, that the data chunks are the ones written (ids,
// sizes, contents unless bulk, zero pad bytes), that idx1 lists exactly segment 0's
// chunks, and for a file with more than one segment every ix##/indx field.
void ExpectFileMatches(const CByteSource& src, const WalkedFile& walked,
                       const std::vector<TestChunk>& chunks, const AVIOutputFile& avi);
// The same for one file of a continued recording, whose chunks were the written ones
// from nFirstOrdinal on (PatternData numbers them across the whole recording).
void ExpectFileMatches(const CByteSource& src, const WalkedFile& walked,
                       const std::vector<TestChunk>& chunks, std::uint32_t nFirstOrdinal);
// Every file of a recording, in order, checked as above; together they hold exactly the
// written chunks. Returns each file's walk.
std::vector<WalkedFile> ExpectRecordingMatches(const std::vector<const CByteSource*>& files,
                                               const std::vector<TestChunk>& chunks);

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path);
std::string PathToUtf8(const std::filesystem::path& path);

// A fresh folder under the temp folder, removed with everything in it at the end.
class CTempDir {
 public:
  CTempDir();
  ~CTempDir();
  const std::filesystem::path& get_Path() const { return m_Path; }
  std::string File(const std::string& strName) const { return PathToUtf8(m_Path / strName); }

 private:
  std::filesystem::path m_Path;
};

}  // namespace vantor::test
