// Sound from a DirectSound capture device (a microphone, a line input, or under Wine a
// PulseAudio monitor): the device list of the audio options page, the chosen device,
// and during a recording a looping capture buffer of 16 blocks with one notification
// at the end of each, drained by a reader thread that hands every whole block to the
// recording's sink.
//
// The options page:
//   add the row "Default input device" (item data 0), then
//   g_DirectSoundCapture.EnumerateDevices(&list)      rows tied to g_CaptureDeviceGuids
//   g_DirectSoundCapture.CreateDevice(GetTiedCaptureDevice(itemData))   on a new choice
// A recording (recording thread):
//   g_DirectSoundCapture.SetSink(&sink)                once, before the first start
//   g_DirectSoundCapture.SetRunning(1)                 after the file is open
//   ...
//   g_DirectSoundCapture.SetRunning(0)                 returns once the reader has ended
//   g_DirectSoundCapture.Release()
// The next recording starts again with SetRunning(1): the device released at the end
// of the last one is created again from the identifier chosen last.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Ostrel/Shared/IRefPtr.h"
#include "platform/win32/Owners.h"
#include "sound/AudioRing.h"

namespace vantor {

// The device table: identifiers in the order the system listed them. Rows of a sorted
// list find their device through the tie value stored with them, never by position.
constexpr int kMaxCaptureDevices = 128;
extern GUID g_CaptureDeviceGuids[kMaxCaptureDevices];
extern std::int32_t g_CaptureDeviceCount;

// A list that shows capture devices: the options page's combo box, VantorRec's list,
// a test's record.
class ICaptureDeviceList {
 public:
  // Adds a row showing szDescription; the row's position after any sorting, or -1 when
  // the row could not be added.
  virtual int AddRow(const wchar_t* szDescription) = 0;
  // Stores nTie with row nRow (see GetTiedCaptureDevice).
  virtual void TieRow(int nRow, std::intptr_t nTie) = 0;

 protected:
  ~ICaptureDeviceList() = default;
};

// The tie value of table entry nEntry; 0 stands for the default device.
constexpr std::intptr_t CaptureDeviceTie(int nEntry) { return static_cast<std::intptr_t>(nEntry) + 1; }
// The device a row's tie value stands for: the all-zero identifier (the default device)
// for 0 and for values that name no entry of the table.
GUID GetTiedCaptureDevice(std::intptr_t nTie);

// A combo box or list box window (sorted or not) as a device list; item data holds the
// tie value.
class CWindowDeviceList final : public ICaptureDeviceList {
 public:
  explicit CWindowDeviceList(HWND hWnd);
  int AddRow(const wchar_t* szDescription) override;
  void TieRow(int nRow, std::intptr_t nTie) override;

 private:
  HWND m_hWnd;
  bool m_bComboBox;
};

// The rows as plain data, in the order they were added.
class CDeviceNameList final : public ICaptureDeviceList {
 public:
  struct Row {
    std::wstring strName;
    std::intptr_t nTie = 0;
  };
  int AddRow(const wchar_t* szDescription) override;
  void TieRow(int nRow, std::intptr_t nTie) override;
  const std::vector<Row>& get_Rows() const { return m_Rows; }

 private:
  std::vector<Row> m_Rows;
};

class CDirectSoundCapture {
 public:
  using CreateFunction = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUNDCAPTURE*, LPUNKNOWN);
  using EnumerateFunction = HRESULT(WINAPI*)(LPDSENUMCALLBACKW, LPVOID);

  CDirectSoundCapture();
  CDirectSoundCapture(const CDirectSoundCapture&) = delete;
  CDirectSoundCapture& operator=(const CDirectSoundCapture&) = delete;
  // Ends a reader that still runs and releases everything.
  ~CDirectSoundCapture();

  // Where blocks go; null drops them. Not while capturing.
  void SetSink(IAudioSink* pSink);
  // The system's functions, or a test's stand-ins (null restores the system's).
  void SetSystemFunctions(CreateFunction pfnCreate, EnumerateFunction pfnEnumerate);
  // The recording's clock: microseconds since its zero, pauses included; negative, or
  // kTimeUnknown, before it (what the device captured then is dropped). Empty restores
  // the default, the performance counter from each start. Not while capturing.
  void SetClock(std::function<std::int64_t()> fnClock);
  // The clock a recording has without SetClock: microseconds since the capture buffer
  // started (a clock of its own may build on it).
  std::int64_t get_CaptureMicros() const;

  // Lists every capture device that has an identifier into pList and the table, at most
  // kMaxCaptureDevices of them (further devices are not listed: a row could not be tied
  // to anything). Starts the table afresh. True when the system's enumeration succeeded.
  bool EnumerateDevices(ICaptureDeviceList* pList);

  // Chooses the device (all zero: the default) and creates it, replacing the one held.
  // While capturing, the choice is only remembered and takes effect at the next start.
  // Beware: true when the creation FAILED, false on success.
  bool CreateDevice(const GUID& guidDevice);

  // Nonzero: creates the capture buffer (and the device again if none is held), starts
  // looping capture and the reader thread; 0 on success, 1 on failure (nothing then
  // runs). Zero: the recording ends now; the reader takes what the device still
  // delivers up to this moment (a second at most; silence for what never comes),
  // then ends, and the buffer is stopped; returns once the reader has ended; 0.
  std::int32_t SetRunning(std::int32_t bRunning);

  // Ends the reader if it runs, then releases notify interface, buffer and device and
  // closes the event.
  void Release();

  // One wake-up's work: hands every whole block that lies ready to the sink, placed on
  // the recording's time line (silence in front of a late first block, paused
  // stretches left out). Called by the reader thread; public for tests that drive the
  // buffer themselves.
  void ReadBlock();
  // Notes the sink's pause flag at the present moment of the clock.
  void ObservePause();
  // How long SetRunning(0) waits at most for the sound up to the end.
  static constexpr DWORD kDrainMilliseconds = 1000;

  bool IsReaderRunning() const;
  // SetRunning(0) waits for the reader to collect the sound up to the end.
  bool IsDraining() const { return m_bDraining.load(); }
  bool HasDevice() const { return m_pCapture != nullptr; }
  const GUID& get_DeviceGuid() const { return m_guidDevice; }
  const WAVEFORMATEX& get_Format() const { return m_wfx; }
  std::uint32_t get_BufferBytes() const { return m_dwBufferBytes; }
  std::uint32_t get_NotifyBytes() const { return m_dwNotifyBytes; }
  std::uint32_t get_NextOffset() const { return m_dwNextOffset; }

 private:
  static BOOL CALLBACK EnumerateCallback(LPGUID pGuid, LPCWSTR szDescription, LPCWSTR szModule, LPVOID pContext);
  static DWORD WINAPI DirectSoundThreadProc(LPVOID pObject);

  bool CreateDeviceLocked(const GUID& guidDevice);  // true on failure
  bool CreateCaptureBuffer();
  void StopReader();
  void ReleaseLocked();
  bool ShouldWrite() const;
  std::int64_t Clock() const;
  // Under m_ReadLock.
  void ObservePauseLocked(std::int64_t nNow);
  void WriteSteps(const void* pPiece1, DWORD dwBytes1, const void* pPiece2, DWORD dwBytes2);
  void WriteSilence(std::uint32_t nBytes);
  // The reader's end of a recording: true when it may end.
  bool DrainStep();

  std::atomic<std::int32_t> m_bRunning{0};
  IRefPtr<IDirectSoundCapture> m_pCapture;
  IRefPtr<IDirectSoundCaptureBuffer> m_pBuffer;
  IRefPtr<IDirectSoundNotify> m_pNotify;
  GUID m_guidDevice{};
  WAVEFORMATEX m_wfx{};
  DSBPOSITIONNOTIFY m_notifyPositions[kCaptureNotifyCount]{};
  CEvent m_hNotifyEvent;
  std::uint32_t m_dwBufferBytes = 0;
  std::uint32_t m_dwNextOffset = 0;
  std::uint32_t m_dwNotifyBytes = 0;

  CThreadHandle m_hReaderThread;
  IAudioSink* m_pSink = nullptr;
  std::function<std::int64_t()> m_fnClock;
  LARGE_INTEGER m_liStart{};
  // Set by SetRunning(0): the reader fills up to the end, until m_nDrainDeadline.
  std::atomic<bool> m_bDraining{false};
  ULONGLONG m_nDrainDeadline = 0;
  // The reader's time line; also touched by tests reading by hand, hence the lock.
  std::mutex m_ReadLock;
  CCaptureTimeline m_Timeline;
  std::vector<CCaptureTimeline::Step> m_Steps;
  std::vector<std::uint8_t> m_Silence;  // a second of the format's silence
  CreateFunction m_pfnCreate;
  EnumerateFunction m_pfnEnumerate;
  // Device, buffer and reader change only under this lock (the options page and the
  // recording thread both change them); the reader itself reads without it.
  std::recursive_mutex m_Lock;
};

extern CDirectSoundCapture g_DirectSoundCapture;

// The devices VantorRec can name: every listed description with its identifier.
struct CaptureDeviceInfo {
  std::wstring strName;
  GUID guid{};
};
std::vector<CaptureDeviceInfo> ListCaptureDevices(CDirectSoundCapture& capture = g_DirectSoundCapture);
// The device called strName: an exact match of its description, else the one device
// whose description contains strName ignoring case. False (with *pError) when none or
// several match. An empty name is the default device.
bool FindCaptureDevice(const std::wstring& strName, GUID* pGuid, std::wstring* pError,
                       CDirectSoundCapture& capture = g_DirectSoundCapture);

}  // namespace vantor
