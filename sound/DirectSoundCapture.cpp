#include "sound/DirectSoundCapture.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "app/Globals.h"
#include "sound/SoundReaderSupport.h"

namespace vantor {

GUID g_CaptureDeviceGuids[kMaxCaptureDevices] = {};
std::int32_t g_CaptureDeviceCount = 0;
CDirectSoundCapture g_DirectSoundCapture;

namespace {

bool IsZeroGuid(const GUID& guid) {
  static const GUID kZero{};
  return std::memcmp(&guid, &kZero, sizeof guid) == 0;
}

struct EnumerateContext {
  CDirectSoundCapture* pCapture;
  ICaptureDeviceList* pList;
};

}  // namespace

// ---- Device lists -------------------------------------------------------------------

GUID GetTiedCaptureDevice(std::intptr_t nTie) {
  if (nTie >= 1 && nTie <= g_CaptureDeviceCount && nTie <= kMaxCaptureDevices) return g_CaptureDeviceGuids[nTie - 1];
  return GUID{};
}

CWindowDeviceList::CWindowDeviceList(HWND hWnd) : m_hWnd(hWnd), m_bComboBox(true) {
  wchar_t szClass[32] = {};
  if (hWnd && ::GetClassNameW(hWnd, szClass, 32) > 0) m_bComboBox = ::lstrcmpiW(szClass, L"ListBox") != 0;
}

int CWindowDeviceList::AddRow(const wchar_t* szDescription) {
  const LRESULT nRow = ::SendMessageW(m_hWnd, m_bComboBox ? CB_ADDSTRING : LB_ADDSTRING, 0,
                                      reinterpret_cast<LPARAM>(szDescription ? szDescription : L""));
  return nRow < 0 ? -1 : static_cast<int>(nRow);
}

void CWindowDeviceList::TieRow(int nRow, std::intptr_t nTie) {
  ::SendMessageW(m_hWnd, m_bComboBox ? CB_SETITEMDATA : LB_SETITEMDATA, static_cast<WPARAM>(nRow),
                 static_cast<LPARAM>(nTie));
}

int CDeviceNameList::AddRow(const wchar_t* szDescription) {
  m_Rows.push_back({szDescription ? szDescription : L"", 0});
  return static_cast<int>(m_Rows.size()) - 1;
}

void CDeviceNameList::TieRow(int nRow, std::intptr_t nTie) {
  if (nRow >= 0 && static_cast<std::size_t>(nRow) < m_Rows.size()) m_Rows[nRow].nTie = nTie;
}

// ---- The capture object -------------------------------------------------------------

// DirectSound needs no COM apartment of ours, so nothing is initialised here: a static
// object's constructor runs before main, where an apartment would be entered on a
// thread that never leaves it.
CDirectSoundCapture::CDirectSoundCapture()
    : m_pfnCreate(&::DirectSoundCaptureCreate), m_pfnEnumerate(&::DirectSoundCaptureEnumerateW) {
  m_wfx.wFormatTag = WAVE_FORMAT_PCM;
}

CDirectSoundCapture::~CDirectSoundCapture() { Release(); }

void CDirectSoundCapture::SetSink(IAudioSink* pSink) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  m_pSink = pSink;
}

void CDirectSoundCapture::SetClock(std::function<std::int64_t()> fnClock) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  m_fnClock = std::move(fnClock);
}

std::int64_t CDirectSoundCapture::Clock() const {
  if (m_fnClock) return m_fnClock();
  return get_CaptureMicros();
}

std::int64_t CDirectSoundCapture::get_CaptureMicros() const {
  LARGE_INTEGER liNow, liFrequency;
  ::QueryPerformanceCounter(&liNow);
  ::QueryPerformanceFrequency(&liFrequency);
  return MicrosFromTicks(liNow.QuadPart - m_liStart.QuadPart, liFrequency.QuadPart);
}

void CDirectSoundCapture::SetSystemFunctions(CreateFunction pfnCreate, EnumerateFunction pfnEnumerate) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  m_pfnCreate = pfnCreate ? pfnCreate : &::DirectSoundCaptureCreate;
  m_pfnEnumerate = pfnEnumerate ? pfnEnumerate : &::DirectSoundCaptureEnumerateW;
}

bool CDirectSoundCapture::EnumerateDevices(ICaptureDeviceList* pList) {
  if (!pList) return false;
  // A second opening of the page lists into a fresh control: the ties must count from
  // the start of the table again.
  g_CaptureDeviceCount = 0;
  EnumerateContext context{this, pList};
  return SUCCEEDED(m_pfnEnumerate(&EnumerateCallback, &context));
}

BOOL CALLBACK CDirectSoundCapture::EnumerateCallback(LPGUID pGuid, LPCWSTR szDescription, LPCWSTR /*szModule*/,
                                                     LPVOID pContext) {
  // The primary capture driver comes without identifier; it is the default row's device.
  if (!pGuid || !pContext) return TRUE;
  const auto* pEnum = static_cast<const EnumerateContext*>(pContext);
  if (g_CaptureDeviceCount >= kMaxCaptureDevices) return TRUE;
  const int nRow = pEnum->pList->AddRow(szDescription);
  if (nRow < 0) return TRUE;
  g_CaptureDeviceGuids[g_CaptureDeviceCount] = *pGuid;
  pEnum->pList->TieRow(nRow, CaptureDeviceTie(g_CaptureDeviceCount));
  ++g_CaptureDeviceCount;
  g_bCaptureDevicePresent = 1;
  return TRUE;
}

bool CDirectSoundCapture::CreateDevice(const GUID& guidDevice) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  if (m_hReaderThread) {
    // The running capture keeps its device; the buffer lives on it.
    m_guidDevice = guidDevice;
    return false;
  }
  return CreateDeviceLocked(guidDevice);
}

bool CDirectSoundCapture::CreateDeviceLocked(const GUID& guidDevice) {
  m_guidDevice = guidDevice;
  std::memset(m_notifyPositions, 0, sizeof m_notifyPositions);
  m_dwBufferBytes = 0;
  m_dwNotifyBytes = 0;
  m_pNotify.Reset();
  m_pBuffer.Reset();
  m_pCapture.Reset();
  IDirectSoundCapture* pCapture = nullptr;
  const HRESULT hr = m_pfnCreate(IsZeroGuid(guidDevice) ? nullptr : &m_guidDevice, &pCapture, nullptr);
  if (SUCCEEDED(hr)) m_pCapture.Attach(pCapture);
  const WaveFormatEx format = GetCaptureFormat();
  static_assert(sizeof format == sizeof m_wfx);
  std::memcpy(&m_wfx, &format, sizeof m_wfx);
  return FAILED(hr) || !m_pCapture;
}

bool CDirectSoundCapture::CreateCaptureBuffer() {
  m_pNotify.Reset();
  m_pBuffer.Reset();
  if (!m_pCapture) return false;

  CaptureRingGeometry geometry;
  if (!ComputeCaptureRing(m_wfx.nBlockAlign, &geometry)) return false;
  m_dwNotifyBytes = geometry.dwBlockBytes;
  m_dwBufferBytes = geometry.dwBufferBytes;

  DSCBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = 0;
  desc.dwBufferBytes = m_dwBufferBytes;
  desc.dwReserved = 0;
  desc.lpwfxFormat = &m_wfx;
  if (FAILED(m_pCapture->CreateCaptureBuffer(&desc, &m_pBuffer, nullptr)) || !m_pBuffer) return false;
  m_dwNextOffset = 0;

  // A start after a failed one must not leave the older event behind.
  m_hNotifyEvent.Attach(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!m_hNotifyEvent) return false;

  if (FAILED(m_pBuffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&m_pNotify))) ||
      !m_pNotify)
    return false;

  for (int i = 0; i < kCaptureNotifyCount; ++i) {
    m_notifyPositions[i].dwOffset = geometry.NotifyOffset(i);
    m_notifyPositions[i].hEventNotify = m_hNotifyEvent.get();
  }
  return SUCCEEDED(m_pNotify->SetNotificationPositions(kCaptureNotifyCount, m_notifyPositions));
}

std::int32_t CDirectSoundCapture::SetRunning(std::int32_t bRunning) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  if (!bRunning) {
    if (m_bRunning && IsReaderRunning()) {
      // The device delivers late and in lumps (under Wine a fifth of a second at a
      // time): let the reader collect the sound up to this moment before the buffer
      // stops, so that the file's sound lasts as long as the recording.
      {
        std::lock_guard<std::mutex> readLock(m_ReadLock);
        m_Timeline.End(Clock());
      }
      m_nDrainDeadline = ::GetTickCount64() + kDrainMilliseconds;
      m_bDraining = true;
      ::WaitForSingleObject(m_hReaderThread.get(), INFINITE);
    }
    m_bRunning = 0;
    if (m_pBuffer) m_pBuffer->Stop();
    StopReader();
    return 0;
  }

  // A start over a running capture begins afresh rather than leaving a second reader.
  if (m_hReaderThread) {
    m_bRunning = 0;
    StopReader();
  }
  m_bRunning = 1;
  m_bDraining = false;
  // The device was released at the end of the last recording: the same choice again.
  if (!m_pCapture) CreateDeviceLocked(m_guidDevice);
  bool bStarted = CreateCaptureBuffer();
  if (bStarted) {
    {
      std::lock_guard<std::mutex> readLock(m_ReadLock);
      m_Timeline.Begin(m_wfx.nAvgBytesPerSec, m_wfx.nBlockAlign);
    }
    m_Silence.assign(std::max<std::uint32_t>(m_wfx.nAvgBytesPerSec, m_dwNotifyBytes),
                     m_wfx.wBitsPerSample == 8 ? 0x80 : 0x00);
    ::QueryPerformanceCounter(&m_liStart);
    bStarted = SUCCEEDED(m_pBuffer->Start(DSCBSTART_LOOPING));
  }
  if (bStarted) {
    m_hReaderThread.Attach(::CreateThread(nullptr, 0, &DirectSoundThreadProc, this, 0, nullptr));
    if (!m_hReaderThread) {
      m_pBuffer->Stop();
      bStarted = false;
    }
  }
  if (!bStarted) {
    m_bRunning = 0;
    return 1;
  }
  return 0;
}

void CDirectSoundCapture::StopReader() {
  if (!m_hReaderThread) return;
  // A stopped buffer signals nothing more: wake the reader so that it sees the flag,
  // and wait until it is gone before anything it uses is released.
  if (m_hNotifyEvent) ::SetEvent(m_hNotifyEvent.get());
  ::WaitForSingleObject(m_hReaderThread.get(), INFINITE);
  m_hReaderThread.Reset();
}

void CDirectSoundCapture::Release() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  ReleaseLocked();
}

void CDirectSoundCapture::ReleaseLocked() {
  m_bRunning = 0;
  if (m_hReaderThread && m_pBuffer) m_pBuffer->Stop();
  StopReader();
  m_pNotify.Reset();
  m_pBuffer.Reset();
  m_pCapture.Reset();
  m_hNotifyEvent.Reset();
}

bool CDirectSoundCapture::IsReaderRunning() const {
  const HANDLE hThread = m_hReaderThread.get();
  return hThread && ::WaitForSingleObject(hThread, 0) == WAIT_TIMEOUT;
}

bool CDirectSoundCapture::ShouldWrite() const { return m_bRunning && m_pSink && !LoopbackChosen(); }

void CDirectSoundCapture::ObservePause() {
  std::lock_guard<std::mutex> lock(m_ReadLock);
  ObservePauseLocked(Clock());
}

void CDirectSoundCapture::ObservePauseLocked(std::int64_t nNow) {
  m_Timeline.SetPaused(m_pSink && m_pSink->IsPaused(), nNow);
}

void CDirectSoundCapture::ReadBlock() {
  if (!m_pBuffer) return;
  std::lock_guard<std::mutex> lock(m_ReadLock);
  const std::int64_t nNow = Clock();
  ObservePauseLocked(nNow);
  DWORD dwCapturePosition = 0, dwReadPosition = 0;
  if (FAILED(m_pBuffer->GetCurrentPosition(&dwCapturePosition, &dwReadPosition))) return;
  CaptureRingGeometry geometry;
  geometry.dwBlockBytes = m_dwNotifyBytes;
  geometry.dwBufferBytes = m_dwBufferBytes;
  const std::uint32_t dwAvailable = ReadableBytes(dwReadPosition, m_dwNextOffset, geometry);
  if (dwAvailable == 0) return;

  void* pPiece1 = nullptr;
  void* pPiece2 = nullptr;
  DWORD dwBytes1 = 0, dwBytes2 = 0;
  if (FAILED(m_pBuffer->Lock(m_dwNextOffset, dwAvailable, &pPiece1, &dwBytes1, &pPiece2, &dwBytes2, 0))) return;
  if (!pPiece1) dwBytes1 = 0;
  if (!pPiece2) dwBytes2 = 0;
  // What the device has delivered beyond the whole blocks taken was captured after
  // them: the blocks' last byte is that much older than now.
  const std::uint32_t dwTakenEnd = (m_dwNextOffset + dwBytes1 + dwBytes2) % m_dwBufferBytes;
  const std::uint32_t dwNewer = (dwReadPosition + m_dwBufferBytes - dwTakenEnd) % m_dwBufferBytes;
  m_Steps.clear();
  m_Timeline.Place(dwBytes1 + dwBytes2, nNow, &m_Steps, dwNewer);
  WriteSteps(pPiece1, dwBytes1, pPiece2, dwBytes2);
  m_dwNextOffset = dwTakenEnd;
  m_pBuffer->Unlock(pPiece1, dwBytes1, pPiece2, dwBytes2);
}

void CDirectSoundCapture::WriteSteps(const void* pPiece1, DWORD dwBytes1, const void* pPiece2, DWORD dwBytes2) {
  // The locked memory goes to the sink as it is, cut only where a step or the end of
  // the ring ends: the first piece before the second.
  const std::uint8_t* apPieces[2] = {static_cast<const std::uint8_t*>(pPiece1),
                                     static_cast<const std::uint8_t*>(pPiece2)};
  const DWORD adwBytes[2] = {dwBytes1, dwBytes2};
  int nPiece = 0;
  DWORD dwAt = 0;
  const bool bWrite = ShouldWrite();
  for (const CCaptureTimeline::Step& step : m_Steps) {
    if (step.kind == CCaptureTimeline::Step::kSilence) {
      if (bWrite) WriteSilence(step.nBytes);
      continue;
    }
    std::uint32_t nLeft = step.nBytes;
    while (nLeft > 0 && nPiece < 2) {
      if (dwAt == adwBytes[nPiece]) {
        ++nPiece;
        dwAt = 0;
        continue;
      }
      const DWORD dwTake = std::min<DWORD>(nLeft, adwBytes[nPiece] - dwAt);
      if (bWrite && step.kind == CCaptureTimeline::Step::kKeep) m_pSink->WriteAudio(apPieces[nPiece] + dwAt, dwTake);
      dwAt += dwTake;
      nLeft -= dwTake;
    }
  }
}

void CDirectSoundCapture::WriteSilence(std::uint32_t nBytes) {
  while (nBytes > 0 && !m_Silence.empty()) {
    const auto nPart = std::min<std::uint32_t>(nBytes, static_cast<std::uint32_t>(m_Silence.size()));
    m_pSink->WriteAudio(m_Silence.data(), nPart);
    nBytes -= nPart;
  }
}

bool CDirectSoundCapture::DrainStep() {
  ReadBlock();
  std::lock_guard<std::mutex> lock(m_ReadLock);
  if (!m_Timeline.IsComplete() && ::GetTickCount64() < m_nDrainDeadline) return false;
  // What the device never delivered up to the end is silence, so that the sound still
  // ends with the recording.
  m_Steps.clear();
  m_Timeline.Finish(&m_Steps);
  WriteSteps(nullptr, 0, nullptr, 0);
  return true;
}

DWORD WINAPI CDirectSoundCapture::DirectSoundThreadProc(LPVOID pObject) {
  auto* pThis = static_cast<CDirectSoundCapture*>(pObject);
  const HANDLE hEvent = pThis->m_hNotifyEvent.get();
  // Notifications drive the reading; the short time-out only notes when a pause begins
  // or ends between them, and lets the end of a recording be noticed.
  constexpr DWORD kLookMilliseconds = 10;
  while (pThis->m_bRunning) {
    const DWORD dwWait = ::MsgWaitForMultipleObjects(1, &hEvent, FALSE, kLookMilliseconds, QS_ALLINPUT);
    if (dwWait == WAIT_OBJECT_0) {
      if (pThis->m_bRunning) pThis->ReadBlock();
    } else if (dwWait == WAIT_TIMEOUT) {
      pThis->ObservePause();
    } else if (dwWait == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) pThis->m_bRunning = 0;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    } else {
      break;  // the wait itself failed: waiting again would only spin
    }
    if (pThis->m_bDraining && pThis->m_bRunning && pThis->DrainStep()) break;
  }
  return 0;
}

// ---- VantorRec's view of the devices -----------------------------------------------

std::vector<CaptureDeviceInfo> ListCaptureDevices(CDirectSoundCapture& capture) {
  CDeviceNameList list;
  std::vector<CaptureDeviceInfo> devices;
  if (!capture.EnumerateDevices(&list)) return devices;
  for (const CDeviceNameList::Row& row : list.get_Rows()) devices.push_back({row.strName, GetTiedCaptureDevice(row.nTie)});
  return devices;
}

bool FindCaptureDevice(const std::wstring& strName, GUID* pGuid, std::wstring* pError, CDirectSoundCapture& capture) {
  *pGuid = GUID{};
  if (strName.empty()) return true;
  const std::vector<CaptureDeviceInfo> devices = ListCaptureDevices(capture);
  for (const CaptureDeviceInfo& device : devices)
    if (device.strName == strName) {
      *pGuid = device.guid;
      return true;
    }
  auto lower = [](std::wstring str) {
    for (wchar_t& c : str) c = static_cast<wchar_t>(std::towlower(c));
    return str;
  };
  const std::wstring strWanted = lower(strName);
  const CaptureDeviceInfo* pFound = nullptr;
  int nFound = 0;
  for (const CaptureDeviceInfo& device : devices)
    if (lower(device.strName).find(strWanted) != std::wstring::npos) {
      pFound = &device;
      ++nFound;
    }
  if (nFound == 1) {
    *pGuid = pFound->guid;
    return true;
  }
  if (pError) *pError = nFound ? L"several capture devices match '" + strName + L"'" : L"no capture device called '" + strName + L"'";
  return false;
}

}  // namespace vantor
