#include "RecorderTestSupport.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <random>

namespace vantor::test {
namespace {

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t n) {
  std::uint32_t v = 0;
  if (n + 4 <= b.size()) std::memcpy(&v, b.data() + n, 4);
  return v;
}

std::string FourCC(std::uint32_t n) { return std::string(reinterpret_cast<const char*>(&n), 4); }

std::uint32_t Fcc(const char* sz) {
  std::uint32_t n = 0;
  std::memcpy(&n, sz, 4);
  return n;
}

}  // namespace

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string str = path.u8string();
  return std::string(str.begin(), str.end());
}

std::filesystem::path PathOf(const std::string& strUtf8) {
  return std::filesystem::path(std::u8string(strUtf8.begin(), strUtf8.end()));
}

bool ReadWholeFile(const std::string& strUtf8, std::vector<std::uint8_t>* pBytes) {
  std::ifstream in(PathOf(strUtf8), std::ios::binary);
  if (!in) return false;
  pBytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

CTempDir::CTempDir() {
  static std::atomic<int> s_nCount{0};
  std::random_device random;
  m_Path = std::filesystem::temp_directory_path() /
           ("vantor-rec-" + std::to_string(random()) + "-" + std::to_string(s_nCount++));
  std::filesystem::create_directories(m_Path);
}

CTempDir::~CTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_Path, ec);
}

std::string CTempDir::File(const std::string& strName) const { return Utf8(m_Path / PathOf(strName)); }

bool CAviReader::Load(const std::string& strUtf8) {
  *this = CAviReader();
  if (!ReadWholeFile(strUtf8, &m_Bytes)) {
    m_strError = "cannot read " + strUtf8;
    return false;
  }
  if (m_Bytes.size() < 12 || FourCC(U32(m_Bytes, 0)) != "RIFF" || FourCC(U32(m_Bytes, 8)) != "AVI ") {
    m_strError = "not an AVI file";
    return false;
  }
  m_nRiffSize = U32(m_Bytes, 4);
  for (std::size_t nRiff = 0; nRiff + 12 <= m_Bytes.size();) {
    const std::size_t nEnd = std::min<std::size_t>(m_Bytes.size(), nRiff + 8 + U32(m_Bytes, nRiff + 4));
    if (!Walk(nRiff + 12, nEnd, -1)) return false;
    nRiff = nEnd;
    if (nRiff + 12 <= m_Bytes.size() && (FourCC(U32(m_Bytes, nRiff)) != "RIFF" || FourCC(U32(m_Bytes, nRiff + 8)) != "AVIX")) {
      m_strError = "no AVIX segment after a RIFF segment";
      return false;
    }
  }
  return true;
}

bool CAviReader::Walk(std::size_t nPos, std::size_t nEnd, int nStream) {
  while (nPos + 8 <= nEnd) {
    const std::string strId = FourCC(U32(m_Bytes, nPos));
    const std::uint32_t nSize = U32(m_Bytes, nPos + 4);
    const std::size_t nData = nPos + 8;
    if (nData + nSize > m_Bytes.size()) {
      m_strError = "chunk " + strId + " runs past the end of the file";
      return false;
    }
    if (strId == "LIST") {
      const std::string strType = FourCC(U32(m_Bytes, nData));
      int nInner = nStream;
      if (strType == "strl") nInner = m_nStreams++;
      if (!Walk(nData + 4, nData + nSize, nInner)) return false;
    } else if (strId == "avih" && nSize >= sizeof m_Main) {
      std::memcpy(&m_Main, m_Bytes.data() + nData, sizeof m_Main);
    } else if (strId == "strh" && nStream >= 0 && nStream < 2 && nSize >= sizeof(AVIStreamHeader)) {
      std::memcpy(&m_aStreamHeaders[nStream], m_Bytes.data() + nData, sizeof(AVIStreamHeader));
    } else if (strId == "strf" && nStream == 0 && nSize >= sizeof m_VideoFormat) {
      std::memcpy(&m_VideoFormat, m_Bytes.data() + nData, sizeof m_VideoFormat);
    } else if (strId == "strf" && nStream == 1 && nSize >= sizeof m_AudioFormat) {
      std::memcpy(&m_AudioFormat, m_Bytes.data() + nData, sizeof m_AudioFormat);
      m_nAudioFormatSize = nSize;
      m_AudioFormatBytes.assign(m_Bytes.begin() + static_cast<std::ptrdiff_t>(nData),
                                m_Bytes.begin() + static_cast<std::ptrdiff_t>(nData + nSize));
    } else if (strId == "idx1") {
      m_Index.resize(nSize / sizeof(AVILegacyIndexEntry));
      if (!m_Index.empty()) std::memcpy(m_Index.data(), m_Bytes.data() + nData, m_Index.size() * sizeof(AVILegacyIndexEntry));
    } else if (strId.size() == 4 && strId[0] >= '0' && strId[0] <= '9' && strId[1] >= '0' && strId[1] <= '9') {
      m_Chunks.push_back({U32(m_Bytes, nPos), nData, nSize});
    }
    nPos = nData + nSize + (nSize & 1);
  }
  return true;
}

std::vector<AviChunkRef> CAviReader::get_Chunks(const char* szFcc) const {
  std::vector<AviChunkRef> chunks;
  for (const AviChunkRef& c : m_Chunks)
    if (c.fcc == Fcc(szFcc)) chunks.push_back(c);
  return chunks;
}

std::vector<std::uint8_t> CAviReader::get_Data(const AviChunkRef& chunk) const {
  return std::vector<std::uint8_t>(m_Bytes.begin() + static_cast<std::ptrdiff_t>(chunk.nOffset),
                                   m_Bytes.begin() + static_cast<std::ptrdiff_t>(chunk.nOffset + chunk.nSize));
}

std::vector<AVILegacyIndexEntry> CAviReader::get_Index(const char* szFcc) const {
  std::vector<AVILegacyIndexEntry> entries;
  for (const AVILegacyIndexEntry& e : m_Index)
    if (e.ckid == Fcc(szFcc)) entries.push_back(e);
  return entries;
}

// The active fake, reached from the plain entry points.
struct FakeXvidAccess {
  static CFakeXvid* s_pActive;

  static int Global(void*, int nOperation, void* pParam1, void*) {
    std::lock_guard<std::mutex> lock(s_pActive->m_Lock);
    if (nOperation == xvid::kGlobalInit) {
      ++s_pActive->m_nGlobals;
      s_pActive->m_GlobalInit = *static_cast<xvid::GlobalInit*>(pParam1);
    }
    return 0;
  }

  static int Plugin(void*, int, void*, void*) { return 0; }

  static void CountBinding(CFakeXvid* pFake, bool bBind) {
    std::lock_guard<std::mutex> lock(pFake->m_Lock);
    ++(bBind ? pFake->m_nBinds : pFake->m_nUnbinds);
  }

  static int Encore(void* pHandle, int nOperation, void* pParam1, void* /*pParam2*/) {
    CFakeXvid& fake = *s_pActive;
    if (nOperation == xvid::kEncCreate) {
      auto* pCreate = static_cast<xvid::EncCreate*>(pParam1);
      std::lock_guard<std::mutex> lock(fake.m_Lock);
      ++fake.m_nCreates;
      fake.m_Create = *pCreate;
      if (pCreate->num_plugins > 0 && pCreate->plugins && pCreate->plugins[0].param)
        fake.m_PluginSingle = *static_cast<xvid::PluginSingle*>(pCreate->plugins[0].param);
      if (fake.nCreateResult != 0) return fake.nCreateResult;
      pCreate->handle = &fake;
      return 0;
    }
    if (nOperation == xvid::kEncDestroy) {
      std::lock_guard<std::mutex> lock(fake.m_Lock);
      if (pHandle == &fake) ++fake.m_nDestroys;
      return 0;
    }
    if (nOperation != xvid::kEncEncode || pHandle != &fake) return -1;
    auto* pFrame = static_cast<xvid::EncFrame*>(pParam1);
    int nIndex;
    {
      std::unique_lock<std::mutex> lock(fake.m_Lock);
      nIndex = fake.m_nEntered++;
      fake.m_Changed.notify_all();
      fake.m_Changed.wait(lock, [&] { return !fake.m_bGateClosed; });
    }
    const auto* pBits = static_cast<const std::uint8_t*>(pFrame->input.plane[0]);
    CFakeXvid::Encode e{pFrame->type, pBits[0], true, pFrame->input.stride[0], pFrame->input.csp, pFrame->quant};
    for (std::size_t i = 1; i < fake.nCheckBytes; ++i)
      if (pBits[i] != pBits[0]) {
        e.bUniform = false;
        break;
      }
    const int nResult = fake.fnResult ? fake.fnResult(nIndex) : 8;
    if (nResult > 0) std::memset(pFrame->bitstream, pBits[0], static_cast<std::size_t>(nResult));
    pFrame->out_flags =
        (fake.fnKey ? fake.fnKey(nIndex)
                    : nIndex == 0 || pFrame->type == xvid::kTypeIVop ||
                          (fake.nKeyInterval > 0 && nIndex % fake.nKeyInterval == 0))
            ? xvid::kOutKeyFrame
            : 0;
    std::lock_guard<std::mutex> lock(fake.m_Lock);
    fake.m_Encodes.push_back(e);
    return nResult;
  }
};

CFakeXvid* FakeXvidAccess::s_pActive = nullptr;

namespace {

class CFakeBinding final : public CXvidBinding {
 public:
  explicit CFakeBinding(CFakeXvid* pFake) : m_pFake(pFake) {}
  Result Bind(xvid::EntryPoints* pEntries, std::string*) override;
  void Unbind() override;

 private:
  CFakeXvid* m_pFake;
};

}  // namespace

CFakeXvid::CFakeXvid() { FakeXvidAccess::s_pActive = this; }
CFakeXvid::~CFakeXvid() { FakeXvidAccess::s_pActive = nullptr; }

void CFakeXvid::CloseGate() {
  std::lock_guard<std::mutex> lock(m_Lock);
  m_bGateClosed = true;
}

void CFakeXvid::OpenGate() {
  {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_bGateClosed = false;
  }
  m_Changed.notify_all();
}

void CFakeXvid::WaitForEncodes(int nCount) {
  std::unique_lock<std::mutex> lock(m_Lock);
  m_Changed.wait(lock, [&] { return m_nEntered >= nCount; });
}

std::vector<CFakeXvid::Encode> CFakeXvid::get_Encodes() const {
  std::lock_guard<std::mutex> lock(m_Lock);
  return m_Encodes;
}
int CFakeXvid::get_Creates() const { std::lock_guard<std::mutex> lock(m_Lock); return m_nCreates; }
int CFakeXvid::get_Destroys() const { std::lock_guard<std::mutex> lock(m_Lock); return m_nDestroys; }
int CFakeXvid::get_Globals() const { std::lock_guard<std::mutex> lock(m_Lock); return m_nGlobals; }
xvid::EncCreate CFakeXvid::get_Create() const { std::lock_guard<std::mutex> lock(m_Lock); return m_Create; }
xvid::PluginSingle CFakeXvid::get_PluginSingle() const { std::lock_guard<std::mutex> lock(m_Lock); return m_PluginSingle; }
xvid::GlobalInit CFakeXvid::get_GlobalInit() const { std::lock_guard<std::mutex> lock(m_Lock); return m_GlobalInit; }
int CFakeXvid::get_Binds() const { std::lock_guard<std::mutex> lock(m_Lock); return m_nBinds; }
int CFakeXvid::get_Unbinds() const { std::lock_guard<std::mutex> lock(m_Lock); return m_nUnbinds; }

std::unique_ptr<CXvidBinding> CFakeXvid::MakeBinding() { return std::make_unique<CFakeBinding>(this); }

Result CFakeBinding::Bind(xvid::EntryPoints* pEntries, std::string*) {
  FakeXvidAccess::CountBinding(m_pFake, true);
  pEntries->pfnGlobal = &FakeXvidAccess::Global;
  pEntries->pfnEncore = &FakeXvidAccess::Encore;
  pEntries->pfnPluginSingle = &FakeXvidAccess::Plugin;
  return kOk;
}

void CFakeBinding::Unbind() { FakeXvidAccess::CountBinding(m_pFake, false); }

BitmapInfoHeader MakeFrameHeader(std::int32_t nWidth, std::int32_t nHeight) {
  BitmapInfoHeader h{};
  h.biSize = sizeof h;
  h.biWidth = nWidth;
  h.biHeight = nHeight;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biSizeImage = ((static_cast<std::uint32_t>(nWidth) * 24u + 31u) / 32u) * 4u * static_cast<std::uint32_t>(nHeight);
  return h;
}

}  // namespace vantor::test
