#include "sound/LoopbackCapture.h"

#include <audioclient.h>

#include <algorithm>
#include <chrono>

#include "app/Globals.h"
#include "Ostrel/Shared/IRefPtr.h"
#include "sound/SoundReaderSupport.h"

namespace vantor {

std::uint8_t g_LoopbackBlock[kLoopbackBlockBytes];
CLoopbackCapture g_LoopbackCapture;

namespace {

// One second of buffer, in 100-ns units: wake-ups every half second leave the other
// half for the endpoint to fill meanwhile.
constexpr REFERENCE_TIME kRequestedDuration = 10000000;

// The endpoint and its audio client, up to the mix format: what the recording thread
// needs for the file's format and the reader for its stream. Its owners release what
// it holds, the client first.
struct CEndpoint {
  IRefPtr<IMMDeviceEnumerator> pEnumerator;
  IRefPtr<IMMDevice> pDevice;
  IRefPtr<IAudioClient> pClient;
  CCoTaskMem<WAVEFORMATEX> pFormat;

  // kRunning when everything is there, otherwise the step that failed and its result.
  LoopbackExit Open(CLoopbackCapture::EnumeratorFactory pfnFactory, HRESULT* phr) {
    HRESULT& hr = *phr;
    hr = pfnFactory(&pEnumerator);
    if (FAILED(hr) || !pEnumerator) return LoopbackExit::kNoEnumerator;
    hr = pEnumerator->GetDefaultAudioEndpoint(eRender, eConsole, &pDevice);
    if (FAILED(hr) || !pDevice) return LoopbackExit::kNoEndpoint;
    hr = pDevice->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&pClient));
    if (FAILED(hr) || !pClient) return LoopbackExit::kNoClient;
    hr = pClient->GetMixFormat(&pFormat);
    if (FAILED(hr) || !pFormat) return LoopbackExit::kNoMixFormat;
    // A format without frames or rate would divide by zero below and describes nothing
    // a file could hold.
    if (pFormat->nBlockAlign == 0 || pFormat->nSamplesPerSec == 0) {
      hr = AUDCLNT_E_UNSUPPORTED_FORMAT;
      return LoopbackExit::kNoMixFormat;
    }
    return LoopbackExit::kRunning;
  }
};


}  // namespace

const char* DescribeLoopbackExit(LoopbackExit exit) {
  switch (exit) {
    case LoopbackExit::kRunning: return "running";
    case LoopbackExit::kStopped: return "stopped";
    case LoopbackExit::kNoCom: return "COM could not be initialised";
    case LoopbackExit::kNoEnumerator: return "no device enumerator";
    case LoopbackExit::kNoEndpoint: return "no default playback device";
    case LoopbackExit::kNoClient: return "the playback device gave no audio client";
    case LoopbackExit::kNoMixFormat: return "the playback device gave no mix format";
    case LoopbackExit::kInitialize: return "the playback device refused loopback";
    case LoopbackExit::kBufferSize: return "the buffer size query failed";
    case LoopbackExit::kCaptureClient: return "the playback device gave no capture client";
    case LoopbackExit::kStart: return "the loopback stream did not start";
    case LoopbackExit::kPacketSize: return "a packet size query failed";
    case LoopbackExit::kGetBuffer: return "a packet could not be fetched";
    case LoopbackExit::kReleaseBuffer: return "a packet could not be released";
  }
  return "unknown";
}

HRESULT CreateSystemDeviceEnumerator(IMMDeviceEnumerator** ppEnumerator) {
  return ::CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                            reinterpret_cast<void**>(ppEnumerator));
}

// Blocks go out only while the recording runs unpaused with this source chosen; the
// packets are drained all the same, so that a pause loses its sound instead of
// delaying it.
// Nothing goes out before the recording's zero either: that sound is not the recording's.
class CLoopbackCapture::CGate final : public CAudioBlockBuilder::IGate {
 public:
  explicit CGate(IAudioSink* pSink) : m_pSink(pSink) {}
  bool IsOpen() const { return m_bAfterZero && m_pSink && !m_pSink->IsPaused() && LoopbackChosen(); }
  void Deliver(const void* pData, std::uint32_t nBytes) override {
    if (IsOpen()) m_pSink->WriteAudio(pData, nBytes);
  }
  void SetAfterZero() { m_bAfterZero = true; }

 private:
  IAudioSink* m_pSink;
  bool m_bAfterZero = false;
};

CLoopbackCapture::CLoopbackCapture(std::uint8_t* pBlock, std::uint32_t nBlockBytes)
    : m_pBlock(pBlock), m_nBlockBytes(nBlockBytes), m_pfnFactory(&CreateSystemDeviceEnumerator) {
  m_hWake.Attach(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

CLoopbackCapture::~CLoopbackCapture() { Stop(true); }

void CLoopbackCapture::SetSink(IAudioSink* pSink) { m_pSink = pSink; }

void CLoopbackCapture::SetEnumeratorFactory(EnumeratorFactory pfnFactory) {
  m_pfnFactory = pfnFactory ? pfnFactory : &CreateSystemDeviceEnumerator;
}

void CLoopbackCapture::SetClock(std::function<std::int64_t()> fnClock) { m_fnClock = std::move(fnClock); }

std::int64_t CLoopbackCapture::Clock() const {
  if (m_fnClock) return m_fnClock();
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - m_DefaultZero)
      .count();
}

bool CLoopbackCapture::GetMixFormat(std::vector<std::uint8_t>* pFormat) {
  pFormat->clear();
  CComApartment com;
  if (!com.IsUsable()) return false;
  HRESULT hr = S_OK;
  CEndpoint endpoint;
  if (endpoint.Open(m_pfnFactory, &hr) != LoopbackExit::kRunning) return false;
  const WAVEFORMATEX* pMix = endpoint.pFormat.get();
  const std::size_t nBytes = sizeof(WAVEFORMATEX) + (pMix->wFormatTag == WAVE_FORMAT_PCM ? 0 : pMix->cbSize);
  const auto* pBytes = reinterpret_cast<const std::uint8_t*>(pMix);
  pFormat->assign(pBytes, pBytes + nBytes);
  if (pMix->wFormatTag == WAVE_FORMAT_PCM) reinterpret_cast<WAVEFORMATEX*>(pFormat->data())->cbSize = 0;
  return true;
}

bool CLoopbackCapture::Start() {
  // A reader of an earlier recording must never be revived by the flag cleared below.
  Stop(true);
  if (m_hWake) ::ResetEvent(m_hWake.get());
  m_LastExit = LoopbackExit::kRunning;
  m_hrLastError = S_OK;
  m_bStop = 0;
  m_hThread.Attach(::CreateThread(nullptr, 0, &LoopbackThreadProc, this, 0, nullptr));
  if (!m_hThread) {
    m_bStop = 1;
    return false;
  }
  return true;
}

void CLoopbackCapture::Stop(bool bWait) {
  m_bStop = 1;
  if (m_hWake) ::SetEvent(m_hWake.get());
  if (bWait) WaitUntilEnded(INFINITE);
}

bool CLoopbackCapture::WaitUntilEnded(DWORD dwTimeout) {
  if (!m_hThread) return true;
  if (::WaitForSingleObject(m_hThread.get(), dwTimeout) != WAIT_OBJECT_0) return false;
  m_hThread.Reset();
  return true;
}

bool CLoopbackCapture::IsReaderRunning() const {
  const HANDLE hThread = m_hThread.get();
  return hThread && ::WaitForSingleObject(hThread, 0) == WAIT_TIMEOUT;
}

void CLoopbackCapture::End(LoopbackExit exit, HRESULT hr) {
  m_hrLastError = hr;
  m_LastExit = exit;
}

DWORD WINAPI LoopbackThreadProc(LPVOID pObject) {
  static_cast<CLoopbackCapture*>(pObject)->Run();
  return 0;
}

void CLoopbackCapture::Run() {
  CComApartment com;
  if (!com.IsUsable()) return End(LoopbackExit::kNoCom, com.get_Result());

  HRESULT hr = S_OK;
  CEndpoint endpoint;
  const LoopbackExit opened = endpoint.Open(m_pfnFactory, &hr);
  if (opened != LoopbackExit::kRunning) return End(opened, hr);
  IAudioClient* pClient = endpoint.pClient;
  const WAVEFORMATEX& format = *endpoint.pFormat;

  hr = pClient->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_LOOPBACK, kRequestedDuration, 0,
                           endpoint.pFormat.get(), nullptr);
  if (FAILED(hr)) return End(LoopbackExit::kInitialize, hr);
  UINT32 nBufferFrames = 0;
  hr = pClient->GetBufferSize(&nBufferFrames);
  if (FAILED(hr)) return End(LoopbackExit::kBufferSize, hr);

  IRefPtr<IAudioCaptureClient> pCapture;
  hr = pClient->GetService(__uuidof(IAudioCaptureClient), reinterpret_cast<void**>(&pCapture));
  if (FAILED(hr) || !pCapture) return End(LoopbackExit::kCaptureClient, FAILED(hr) ? hr : E_POINTER);

  const auto nActualDuration =
      static_cast<std::int64_t>(nBufferFrames) * kRequestedDuration / std::max<std::int64_t>(1, format.nSamplesPerSec);
  hr = pClient->Start();
  if (FAILED(hr)) return End(LoopbackExit::kStart, hr);
  if (m_bStop) {
    pClient->Stop();
    return End(LoopbackExit::kStopped, S_OK);
  }
  // Half the buffer; never 0, which would turn the wait into a spin.
  const auto nInterval = static_cast<DWORD>(std::max<std::int64_t>(1, nActualDuration / 10000 / 2));
  m_nInterval = nInterval;

  CAudioBlockBuilder block(m_pBlock, m_nBlockBytes);
  CGate gate(m_pSink);
  CSilenceFiller filler;
  const std::uint32_t nBytesPerSecond = format.nSamplesPerSec * format.nBlockAlign;
  // The recording's time counts from its zero (the pictures' first grab; without a
  // clock of the recording's, the stream's start): a reader that starts later fills the
  // time up to its start with silence. Until the zero has passed, wake-ups come often
  // and what they drain is dropped, so that the cycle in which it passes holds little
  // from before it, and that little is cut off its front.
  bool bAfterZero = false;
  auto passZero = [&](std::int64_t nNow, std::int64_t nFrom) {
    bAfterZero = true;
    gate.SetAfterZero();
    filler.Begin(nBytesPerSecond, format.nBlockAlign, nFrom);
    const std::uint64_t nSince = BytesInMicros(nNow - nFrom, nBytesPerSecond, format.nBlockAlign);
    if (block.get_Used() > nSince) block.DropFront(block.get_Used() - nSince);
  };
  m_DefaultZero = std::chrono::steady_clock::now();
  if (const std::int64_t nBegun = Clock(); nBegun >= 0) passZero(nBegun, 0);
  constexpr DWORD kZeroLookMilliseconds = 10;
  const std::uint8_t nSilenceByte = SilenceByte(format.wBitsPerSample);
  for (;;) {
    ::WaitForSingleObject(m_hWake.get(), bAfterZero ? nInterval : std::min(nInterval, kZeroLookMilliseconds));

    LoopbackExit failure = LoopbackExit::kRunning;
    block.BeginCycle(format.nBlockAlign);
    UINT32 nPacketFrames = 0;
    hr = pCapture->GetNextPacketSize(&nPacketFrames);
    if (FAILED(hr)) failure = LoopbackExit::kPacketSize;
    while (failure == LoopbackExit::kRunning && nPacketFrames != 0) {
      block.NotePacket();
      BYTE* pData = nullptr;
      UINT32 nFrames = 0;
      DWORD dwFlags = 0;
      hr = pCapture->GetBuffer(&pData, &nFrames, &dwFlags, nullptr, nullptr);
      if (FAILED(hr)) {
        failure = LoopbackExit::kGetBuffer;
        break;
      }
      if (!(dwFlags & AUDCLNT_BUFFERFLAGS_SILENT) && pData)
        block.Append(pData, static_cast<std::uint64_t>(nFrames) * format.nBlockAlign, gate);
      hr = pCapture->ReleaseBuffer(nFrames);
      if (FAILED(hr)) {
        failure = LoopbackExit::kReleaseBuffer;
        break;
      }
      hr = pCapture->GetNextPacketSize(&nPacketFrames);
      if (FAILED(hr)) failure = LoopbackExit::kPacketSize;
    }
    // kTimeUnknown lies before the zero too.
    const std::int64_t nNow = Clock();
    if (!bAfterZero && nNow >= 0) passZero(nNow, 0);
    // What the cycle drained before a failure is sound that happened: keep it (but a
    // failure alone makes no empty chunk, and no silence). Before the zero nothing
    // goes out.
    if (bAfterZero && failure == LoopbackExit::kRunning)
      block.EndCycle(gate, filler.EndCycle(block.get_CycleBytes(), nNow, gate.IsOpen()), nSilenceByte);
    else if (bAfterZero && block.get_Used() > 0)
      block.EndCycle(gate);
    if (failure != LoopbackExit::kRunning) {
      pClient->Stop();
      return End(failure, hr);
    }
    if (m_bStop) {
      pClient->Stop();
      return End(LoopbackExit::kStopped, S_OK);
    }
  }
}

}  // namespace vantor
