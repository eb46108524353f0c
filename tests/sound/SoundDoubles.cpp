#include "SoundDoubles.h"

#include <ks.h>
#include <ksmedia.h>

#include <chrono>
#include <cstring>

namespace vantor::test {

// ---- The sink -----------------------------------------------------------------------

void CRecordingSink::WriteAudio(const void* pData, std::uint32_t nBytes) {
  const auto* p = static_cast<const std::uint8_t*>(pData);
  {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Blocks.emplace_back(p, p + nBytes);
    m_nTotal += nBytes;
  }
  m_Arrived.notify_all();
}

std::vector<std::vector<std::uint8_t>> CRecordingSink::get_Blocks() const {
  std::lock_guard<std::mutex> lock(m_Lock);
  return m_Blocks;
}

std::vector<std::uint8_t> CRecordingSink::get_AllBytes() const {
  std::lock_guard<std::mutex> lock(m_Lock);
  std::vector<std::uint8_t> all;
  for (const auto& b : m_Blocks) all.insert(all.end(), b.begin(), b.end());
  return all;
}

std::size_t CRecordingSink::get_TotalBytes() const {
  std::lock_guard<std::mutex> lock(m_Lock);
  return m_nTotal;
}

bool CRecordingSink::WaitForBytes(std::size_t nBytes) const {
  std::unique_lock<std::mutex> lock(m_Lock);
  return m_Arrived.wait_for(lock, std::chrono::seconds(20), [&] { return m_nTotal >= nBytes; });
}

namespace {

// The interface identifiers: DirectSound's come from dxguid, WASAPI's from the headers.
template <class Interface>
const IID& IidOf();
template <>
const IID& IidOf<IDirectSoundCapture>() { return IID_IDirectSoundCapture; }
template <>
const IID& IidOf<IDirectSoundCaptureBuffer>() { return IID_IDirectSoundCaptureBuffer; }
template <>
const IID& IidOf<IDirectSoundNotify>() { return IID_IDirectSoundNotify; }
template <>
const IID& IidOf<IMMDeviceEnumerator>() { return __uuidof(IMMDeviceEnumerator); }
template <>
const IID& IidOf<IMMDevice>() { return __uuidof(IMMDevice); }
template <>
const IID& IidOf<IAudioClient>() { return __uuidof(IAudioClient); }
template <>
const IID& IidOf<IAudioCaptureClient>() { return __uuidof(IAudioCaptureClient); }

// Reference counting shared by every stand-in; the world counts the live ones.
template <class Interface>
class CFake : public Interface {
 public:
  explicit CFake(std::atomic<int>& nLive) : m_nLive(nLive) { ++m_nLive; }
  virtual ~CFake() { --m_nLive; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRefs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --m_nRefs;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IidOf<Interface>()) {
      *ppv = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }

 private:
  std::atomic<int>& m_nLive;
  std::atomic<ULONG> m_nRefs{1};
};

// ---- DirectSound stand-ins ----------------------------------------------------------

DsWorld* s_pDs = nullptr;

class CFakeNotify final : public CFake<IDirectSoundNotify> {
 public:
  CFakeNotify() : CFake(s_pDs->nLiveObjects) {}
  HRESULT STDMETHODCALLTYPE SetNotificationPositions(DWORD nCount, LPCDSBPOSITIONNOTIFY pNotify) override {
    std::lock_guard<std::recursive_mutex> lock(s_pDs->lock);
    if (FAILED(s_pDs->hrSetNotify)) return s_pDs->hrSetNotify;
    s_pDs->notifications.assign(pNotify, pNotify + nCount);
    return S_OK;
  }
};

class CFakeCaptureBuffer final : public CFake<IDirectSoundCaptureBuffer> {
 public:
  CFakeCaptureBuffer() : CFake(s_pDs->nLiveObjects) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IDirectSoundNotify) {
      *ppv = nullptr;
      if (FAILED(s_pDs->hrQueryNotify)) return s_pDs->hrQueryNotify;
      *ppv = static_cast<IDirectSoundNotify*>(new CFakeNotify);
      return S_OK;
    }
    return CFake::QueryInterface(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSCBCAPS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD pCapture, LPDWORD pRead) override {
    std::lock_guard<std::recursive_mutex> lock(s_pDs->lock);
    if (FAILED(s_pDs->hrPosition)) return s_pDs->hrPosition;
    if (pCapture) *pCapture = s_pDs->dwReadPosition;
    if (pRead) *pRead = s_pDs->dwReadPosition;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUNDCAPTURE, LPCDSCBUFFERDESC) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Lock(DWORD dwOffset, DWORD dwBytes, LPVOID* pp1, LPDWORD pn1, LPVOID* pp2, LPDWORD pn2,
                                 DWORD) override {
    std::lock_guard<std::recursive_mutex> lock(s_pDs->lock);
    ++s_pDs->nLocks;
    s_pDs->lockedRanges.emplace_back(dwOffset, dwBytes);
    if (FAILED(s_pDs->hrLock)) return s_pDs->hrLock;
    const auto nRing = static_cast<DWORD>(s_pDs->ring.size());
    if (dwOffset >= nRing || dwBytes > nRing) return DSERR_INVALIDPARAM;
    const DWORD n1 = std::min(dwBytes, nRing - dwOffset);
    *pp1 = s_pDs->ring.data() + dwOffset;
    *pn1 = n1;
    *pp2 = n1 < dwBytes ? s_pDs->ring.data() : nullptr;
    *pn2 = dwBytes - n1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Start(DWORD dwFlags) override {
    std::lock_guard<std::recursive_mutex> lock(s_pDs->lock);
    ++s_pDs->nStarts;
    s_pDs->dwStartFlags = dwFlags;
    return s_pDs->hrStart;
  }
  HRESULT STDMETHODCALLTYPE Stop() override {
    std::lock_guard<std::recursive_mutex> lock(s_pDs->lock);
    ++s_pDs->nStops;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID, DWORD, LPVOID, DWORD) override {
    std::lock_guard<std::recursive_mutex> lock(s_pDs->lock);
    ++s_pDs->nUnlocks;
    return S_OK;
  }
};

class CFakeCapture final : public CFake<IDirectSoundCapture> {
 public:
  CFakeCapture() : CFake(s_pDs->nLiveObjects) {}
  HRESULT STDMETHODCALLTYPE CreateCaptureBuffer(LPCDSCBUFFERDESC pDesc, LPDIRECTSOUNDCAPTUREBUFFER* ppBuffer,
                                                LPUNKNOWN) override {
    std::lock_guard<std::recursive_mutex> lock(s_pDs->lock);
    ++s_pDs->nBufferCreates;
    *ppBuffer = nullptr;
    if (FAILED(s_pDs->hrCreateBuffer)) return s_pDs->hrCreateBuffer;
    s_pDs->desc = *pDesc;
    if (pDesc->lpwfxFormat) s_pDs->format = *pDesc->lpwfxFormat;
    s_pDs->ring.assign(pDesc->dwBufferBytes, 0);
    s_pDs->dwReadPosition = 0;
    s_pDs->nProducedSinceBuffer = 0;
    *ppBuffer = new CFakeCaptureBuffer;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSCCAPS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Initialize(LPCGUID) override { return E_NOTIMPL; }
};

}  // namespace

DsWorld::DsWorld() { s_pDs = this; }
DsWorld::~DsWorld() { s_pDs = nullptr; }

void DsWorld::Produce(std::uint32_t nBytes, bool bSignal) {
  std::vector<HANDLE> toSignal;
  {
    std::lock_guard<std::recursive_mutex> guard(lock);
    const auto nRing = static_cast<DWORD>(ring.size());
    if (nRing == 0) return;
    for (std::uint32_t i = 0; i < nBytes; ++i) {
      ring[dwReadPosition] = PatternByte(nProduced++);
      ++nProducedSinceBuffer;
      for (const DSBPOSITIONNOTIFY& n : notifications)
        if (bSignal && n.dwOffset == dwReadPosition) toSignal.push_back(n.hEventNotify);
      dwReadPosition = (dwReadPosition + 1) % nRing;
    }
  }
  for (HANDLE h : toSignal) ::SetEvent(h);
}

std::int64_t DsWorld::get_DeviceMicros() {
  std::lock_guard<std::recursive_mutex> guard(lock);
  // The first whole microsecond by which the bytes have been produced: a moment a
  // reader's clock can name, and that maps back to exactly this byte.
  return (static_cast<std::int64_t>(nProducedSinceBuffer) * 1000000 + 47999) / 48000;
}

void DsWorld::SetReadPosition(DWORD dwPosition) {
  std::lock_guard<std::recursive_mutex> guard(lock);
  dwReadPosition = dwPosition;
}

HRESULT WINAPI FakeDirectSoundCaptureCreate(LPCGUID pGuid, LPDIRECTSOUNDCAPTURE* ppCapture, LPUNKNOWN) {
  std::lock_guard<std::recursive_mutex> lock(s_pDs->lock);
  s_pDs->createdWith.push_back(pGuid ? *pGuid : GUID{});
  *ppCapture = nullptr;
  if (FAILED(s_pDs->hrCreate)) return s_pDs->hrCreate;
  *ppCapture = new CFakeCapture;
  return S_OK;
}

HRESULT WINAPI FakeDirectSoundCaptureEnumerate(LPDSENUMCALLBACKW pfnCallback, LPVOID pContext) {
  if (FAILED(s_pDs->hrEnumerate)) return s_pDs->hrEnumerate;
  if (!pfnCallback(nullptr, L"Primary Sound Capture Driver", L"", pContext)) return S_OK;
  for (DsWorld::Device& d : s_pDs->devices)
    if (!pfnCallback(&d.guid, d.strName.c_str(), L"fake.vxd", pContext)) break;
  return S_OK;
}

// ---- WASAPI stand-ins -----------------------------------------------------------------

namespace {

WasapiWorld* s_pWas = nullptr;

class CFakeCaptureClient final : public CFake<IAudioCaptureClient> {
 public:
  CFakeCaptureClient() : CFake(s_pWas->nLiveObjects) {}
  HRESULT STDMETHODCALLTYPE GetNextPacketSize(UINT32* pFrames) override {
    std::function<void(int)> onCycle;
    int nBegun = -1;
    {
      std::lock_guard<std::mutex> lock(s_pWas->lock);
      WasapiWorld& w = *s_pWas;
      if (w.bCycleEnded) {
        w.bCycleEnded = false;
        ++w.nCycle;
        w.nPosition = 0;
        ++w.nCyclesBegun;
        nBegun = w.nCycle;
        onCycle = w.onCycle;
        const int nStopAt = w.nStopAtCycle >= 0 ? w.nStopAtCycle : static_cast<int>(w.cycles.size()) - 1;
        if (w.pStop && w.nCycle >= nStopAt) *w.pStop = 1;
      }
    }
    if (onCycle) onCycle(nBegun);
    std::lock_guard<std::mutex> lock(s_pWas->lock);
    WasapiWorld& w = *s_pWas;
    if (++w.nPacketSizeCalls == w.nFailPacketSizeCall) return E_FAIL;
    const bool bScripted = w.nCycle >= 0 && static_cast<std::size_t>(w.nCycle) < w.cycles.size();
    if (bScripted && w.nPosition < w.cycles[w.nCycle].size()) {
      *pFrames = w.cycles[w.nCycle][w.nPosition].nFrames;
    } else {
      *pFrames = 0;
      w.bCycleEnded = true;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** ppData, UINT32* pFrames, DWORD* pFlags, UINT64*, UINT64*) override {
    std::lock_guard<std::mutex> lock(s_pWas->lock);
    WasapiWorld& w = *s_pWas;
    if (++w.nGetBufferCalls == w.nFailGetBufferCall) return E_FAIL;
    const WasapiWorld::Packet& p = w.cycles.at(w.nCycle).at(w.nPosition);
    w.packetData = w.PacketBytes(w.nCycle, static_cast<int>(w.nPosition));
    *ppData = p.bNullData ? nullptr : w.packetData.data();
    *pFrames = p.nFrames;
    *pFlags = p.dwFlags;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReleaseBuffer(UINT32 nFrames) override {
    std::lock_guard<std::mutex> lock(s_pWas->lock);
    WasapiWorld& w = *s_pWas;
    if (++w.nReleaseCalls == w.nFailReleaseCall) return E_FAIL;
    w.releasedFrames.push_back(nFrames);
    ++w.nPosition;
    return S_OK;
  }
};

class CFakeAudioClient final : public CFake<IAudioClient> {
 public:
  CFakeAudioClient() : CFake(s_pWas->nLiveObjects) {}
  HRESULT STDMETHODCALLTYPE Initialize(AUDCLNT_SHAREMODE mode, DWORD dwFlags, REFERENCE_TIME duration,
                                       REFERENCE_TIME period, const WAVEFORMATEX* pFormat, LPCGUID pSession) override {
    WasapiWorld& w = *s_pWas;
    w.initMode = mode;
    w.dwInitFlags = dwFlags;
    w.initDuration = duration;
    w.initPeriod = period;
    w.bInitSessionNull = pSession == nullptr;
    const auto* p = reinterpret_cast<const std::uint8_t*>(pFormat);
    w.initFormat.assign(p, p + sizeof(WAVEFORMATEX) + pFormat->cbSize);
    return w.hrInitialize;
  }
  HRESULT STDMETHODCALLTYPE GetBufferSize(UINT32* pFrames) override {
    if (FAILED(s_pWas->hrBufferSize)) return s_pWas->hrBufferSize;
    *pFrames = s_pWas->nBufferFrames;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStreamLatency(REFERENCE_TIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCurrentPadding(UINT32*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsFormatSupported(AUDCLNT_SHAREMODE, const WAVEFORMATEX*, WAVEFORMATEX**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetMixFormat(WAVEFORMATEX** ppFormat) override {
    *ppFormat = nullptr;
    if (FAILED(s_pWas->hrMixFormat)) return s_pWas->hrMixFormat;
    void* p = ::CoTaskMemAlloc(s_pWas->mixFormat.size());
    std::memcpy(p, s_pWas->mixFormat.data(), s_pWas->mixFormat.size());
    *ppFormat = static_cast<WAVEFORMATEX*>(p);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDevicePeriod(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Start() override {
    ++s_pWas->nStarts;
    if (s_pWas->onClientStart) s_pWas->onClientStart();
    return s_pWas->hrStart;
  }
  HRESULT STDMETHODCALLTYPE Stop() override {
    ++s_pWas->nStops;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetEventHandle(HANDLE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetService(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (FAILED(s_pWas->hrService)) return s_pWas->hrService;
    if (riid != __uuidof(IAudioCaptureClient)) return E_NOINTERFACE;
    *ppv = static_cast<IAudioCaptureClient*>(new CFakeCaptureClient);
    return S_OK;
  }
};

class CFakeDevice final : public CFake<IMMDevice> {
 public:
  CFakeDevice() : CFake(s_pWas->nLiveObjects) {}
  HRESULT STDMETHODCALLTYPE Activate(REFIID riid, DWORD, PROPVARIANT*, void** ppv) override {
    *ppv = nullptr;
    if (FAILED(s_pWas->hrActivate)) return s_pWas->hrActivate;
    if (riid != __uuidof(IAudioClient)) return E_NOINTERFACE;
    *ppv = static_cast<IAudioClient*>(new CFakeAudioClient);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetId(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetState(DWORD*) override { return E_NOTIMPL; }
};

class CFakeEnumerator final : public CFake<IMMDeviceEnumerator> {
 public:
  CFakeEnumerator() : CFake(s_pWas->nLiveObjects) {}
  HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole role, IMMDevice** ppDevice) override {
    *ppDevice = nullptr;
    s_pWas->endpointFlow = flow;
    s_pWas->endpointRole = role;
    if (FAILED(s_pWas->hrEndpoint)) return s_pWas->hrEndpoint;
    *ppDevice = new CFakeDevice;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient*) override {
    return E_NOTIMPL;
  }
};

}  // namespace

WasapiWorld::WasapiWorld() : mixFormat(MakeMixFormat(WAVE_FORMAT_EXTENSIBLE, 2, 1000, 32)) { s_pWas = this; }
WasapiWorld::~WasapiWorld() { s_pWas = nullptr; }

std::uint16_t WasapiWorld::get_BlockAlign() const {
  return reinterpret_cast<const WAVEFORMATEX*>(mixFormat.data())->nBlockAlign;
}

std::vector<std::uint8_t> WasapiWorld::PacketBytes(int nCycleIndex, int nPacket) const {
  const Packet& p = cycles.at(nCycleIndex).at(nPacket);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(p.nFrames) * get_BlockAlign());
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(nCycleIndex * 53 + nPacket * 17 + i * 7 + i / 253);
  return bytes;
}

HRESULT FakeEnumeratorFactory(IMMDeviceEnumerator** ppEnumerator) {
  *ppEnumerator = nullptr;
  if (FAILED(s_pWas->hrEnumerator)) return s_pWas->hrEnumerator;
  *ppEnumerator = new CFakeEnumerator;
  return S_OK;
}

// {0000000X-0000-0010-8000-00AA00389B71}: the sub-formats of the plain tags.
GUID SubFormat(std::uint32_t nTag) { return GUID{nTag, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}}; }

std::vector<std::uint8_t> MakeMixFormat(WORD wTag, WORD nChannels, DWORD nRate, WORD nBits, bool bFloatSub) {
  WAVEFORMATEXTENSIBLE f{};
  f.Format.wFormatTag = wTag;
  f.Format.nChannels = nChannels;
  f.Format.nSamplesPerSec = nRate;
  f.Format.wBitsPerSample = nBits;
  f.Format.nBlockAlign = static_cast<WORD>(nBits / 8 * nChannels);
  f.Format.nAvgBytesPerSec = f.Format.nBlockAlign * nRate;
  std::size_t nBytes = sizeof(WAVEFORMATEX);
  if (wTag == WAVE_FORMAT_EXTENSIBLE) {
    f.Format.cbSize = 22;
    f.Samples.wValidBitsPerSample = nBits;
    f.dwChannelMask = nChannels == 2 ? (SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT) : 0;
    f.SubFormat = SubFormat(bFloatSub ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM);
    nBytes = sizeof(WAVEFORMATEXTENSIBLE);
  }
  const auto* p = reinterpret_cast<const std::uint8_t*>(&f);
  return std::vector<std::uint8_t>(p, p + nBytes);
}

}  // namespace vantor::test
