// Sound from the loopback of the default playback device (what the computer plays),
// through WASAPI in shared loopback mode: a reader thread wakes every half buffer,
// drains every packet that has arrived into one block and hands it to the recording's
// sink. Silence fills in front of a block what the device did not deliver for the
// cycle's time (nothing playing), so the sound lasts as long as the recording. The file's audio format is the endpoint's mix format, which the recording
// thread asks for (GetMixFormat) before the file is opened.
//
// A recording (recording thread):
//   g_LoopbackCapture.GetMixFormat(&format)      the format for the recorder
//   g_LoopbackCapture.SetSink(&sink)             once, before the first start
//   g_LoopbackCapture.Start()                    after the file is open
//   ...
//   g_LoopbackCapture.Stop(false)                the reader writes its last cycle and ends
//
// Everything the reader opens comes through one seam, the function that creates the
// device enumerator, so that tests can hand it an enumerator of their own whose
// endpoint, audio client and capture client are doubles.
#pragma once
#include <windows.h>
#include <mmdeviceapi.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/win32/Owners.h"
#include "sound/AudioRing.h"

namespace vantor {

// How the last reader ended, for the curious (VantorRec says why a file has no sound).
enum class LoopbackExit {
  kRunning,        // no reader has ended yet, or one runs
  kStopped,        // m_bStop was seen after a cycle
  kNoCom,          // COM could not be initialised on the reader's thread
  kNoEnumerator,   // the device enumerator could not be created
  kNoEndpoint,     // no default playback endpoint
  kNoClient,       // the endpoint gave no audio client
  kNoMixFormat,    // the client gave no usable mix format
  kInitialize,     // the client refused loopback mode
  kBufferSize,     // the buffer-size query failed
  kCaptureClient,  // the client gave no capture client (Wine 8 answers so)
  kStart,          // the client would not start
  kPacketSize,     // a packet-size query failed
  kGetBuffer,      // fetching a packet failed
  kReleaseBuffer,  // releasing a packet failed
};
const char* DescribeLoopbackExit(LoopbackExit exit);

// Every cycle's packets are copied here, back to back.
extern std::uint8_t g_LoopbackBlock[kLoopbackBlockBytes];

class CLoopbackCapture {
 public:
  using EnumeratorFactory = HRESULT (*)(IMMDeviceEnumerator** ppEnumerator);

  // pBlock: the block buffer of nBlockBytes the reader fills (the program's is
  // g_LoopbackBlock).
  explicit CLoopbackCapture(std::uint8_t* pBlock = g_LoopbackBlock, std::uint32_t nBlockBytes = kLoopbackBlockBytes);
  CLoopbackCapture(const CLoopbackCapture&) = delete;
  CLoopbackCapture& operator=(const CLoopbackCapture&) = delete;
  // Stops a reader that still runs and waits for it.
  ~CLoopbackCapture();

  // Where blocks go; null drops them. Not while a reader runs.
  void SetSink(IAudioSink* pSink);
  // Creates the enumerator; null restores the system's (MMDeviceEnumerator). Not while
  // a reader runs.
  void SetEnumeratorFactory(EnumeratorFactory pfnFactory);
  // The clock the reader measures its cycles with, in microseconds from the recording's
  // zero; below zero (kTimeUnknown included) before it: what is drained then is dropped,
  // and the time counts from the zero. Empty restores the default, the system's steady
  // clock from the moment the stream starts. Not while a reader runs.
  void SetClock(std::function<std::int64_t()> fnClock);

  // The default playback endpoint's mix format, whole (an extensible format with its
  // sub-format). False when any step fails; *pFormat is then empty.
  bool GetMixFormat(std::vector<std::uint8_t>* pFormat);

  // Clears m_bStop and starts the reader. A reader of an earlier recording that has not
  // yet ended is stopped and waited for first: two readers would share the block and
  // write the same sound twice. False when the thread cannot be started.
  bool Start();
  // Sets m_bStop and cuts the reader's sleep short; the reader still drains and writes
  // that cycle, then stops the client and ends. With bWait, returns once it has ended.
  void Stop(bool bWait);
  // Waits (without asking it to stop) until the last reader has ended; true once it
  // has, or when none was started.
  bool WaitUntilEnded(DWORD dwTimeout = INFINITE);
  bool IsReaderRunning() const;

  LoopbackExit get_LastExit() const { return m_LastExit.load(); }
  HRESULT get_LastError() const { return m_hrLastError.load(); }
  // The interval between wake-ups of the last reader, in milliseconds.
  std::uint32_t get_Interval() const { return m_nInterval.load(); }

  // 1 when no recording wants sound from here: at program start and once a recording
  // has ended; the reader looks at it after every cycle.
  std::atomic<std::int32_t> m_bStop{1};

 private:
  friend DWORD WINAPI LoopbackThreadProc(LPVOID pObject);
  class CGate;

  void Run();
  void End(LoopbackExit exit, HRESULT hr);
  std::int64_t Clock() const;

  std::uint8_t* m_pBlock;
  std::uint32_t m_nBlockBytes;
  IAudioSink* m_pSink = nullptr;
  EnumeratorFactory m_pfnFactory;
  std::function<std::int64_t()> m_fnClock;
  // The default clock's zero: the reader's stream has started (reader thread only).
  std::chrono::steady_clock::time_point m_DefaultZero;
  CThreadHandle m_hThread;
  CEvent m_hWake;  // ends a cycle's sleep early when m_bStop is set
  std::atomic<LoopbackExit> m_LastExit{LoopbackExit::kRunning};
  std::atomic<HRESULT> m_hrLastError{S_OK};
  std::atomic<std::uint32_t> m_nInterval{0};
};

// The reader thread's body: pObject is the CLoopbackCapture. Returns 0 on every path.
DWORD WINAPI LoopbackThreadProc(LPVOID pObject);

extern CLoopbackCapture g_LoopbackCapture;

// The system's enumerator (CoCreateInstance of MMDeviceEnumerator).
HRESULT CreateSystemDeviceEnumerator(IMMDeviceEnumerator** ppEnumerator);

}  // namespace vantor
