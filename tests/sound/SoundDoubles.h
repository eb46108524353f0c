// Stand-ins for what the sound readers talk to: a DirectSound capture device with its
// buffer and notifications, a WASAPI enumerator whose default playback endpoint gives
// an audio client and a capture client that play a script of packets, and a sink that
// records what reaches it. Each family keeps its state in a "world" the test owns and
// inspects; the readers reach it through plain function pointers, so only one world of
// each kind is active at a time.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <mmdeviceapi.h>
#include <audioclient.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sound/AudioRing.h"

namespace vantor::test {

// ---- The sink -----------------------------------------------------------------------

class CRecordingSink final : public IAudioSink {
 public:
  void WriteAudio(const void* pData, std::uint32_t nBytes) override;
  bool IsPaused() const override { return m_bPaused.load(); }

  void SetPaused(bool bPaused) { m_bPaused = bPaused; }
  std::vector<std::vector<std::uint8_t>> get_Blocks() const;
  std::vector<std::uint8_t> get_AllBytes() const;
  std::size_t get_TotalBytes() const;
  // Waits until at least nBytes have arrived; false after a generous guard time (a
  // reader that hangs must fail the test, not the run).
  bool WaitForBytes(std::size_t nBytes) const;

 private:
  mutable std::mutex m_Lock;
  mutable std::condition_variable m_Arrived;
  std::vector<std::vector<std::uint8_t>> m_Blocks;
  std::size_t m_nTotal = 0;
  std::atomic<bool> m_bPaused{false};
};

// ---- DirectSound ----------------------------------------------------------------------

struct DsWorld {
  DsWorld();
  ~DsWorld();

  // Devices the stand-in enumeration lists, after the primary driver without identifier.
  struct Device {
    GUID guid;
    std::wstring strName;
  };
  std::vector<Device> devices;

  // Results the stand-ins give.
  HRESULT hrEnumerate = S_OK;
  HRESULT hrCreate = S_OK;
  HRESULT hrCreateBuffer = S_OK;
  HRESULT hrQueryNotify = S_OK;
  HRESULT hrSetNotify = S_OK;
  HRESULT hrStart = S_OK;
  HRESULT hrPosition = S_OK;
  HRESULT hrLock = S_OK;

  // What the capture object asked for.
  std::vector<GUID> createdWith;  // all zero for a null identifier (the default device)
  int nBufferCreates = 0;
  DSCBUFFERDESC desc{};
  WAVEFORMATEX format{};
  std::vector<DSBPOSITIONNOTIFY> notifications;
  DWORD dwStartFlags = 0;
  int nStarts = 0, nStops = 0, nLocks = 0, nUnlocks = 0;
  std::vector<std::pair<DWORD, DWORD>> lockedRanges;  // offset, bytes
  std::atomic<int> nLiveObjects{0};  // stand-in objects not yet released

  // The device writes nBytes of the running byte pattern at its read position (wrapping
  // round the ring) and, with bSignal, signals every notification it passes (without,
  // the reader thread sleeps on and the test reads by hand).
  void Produce(std::uint32_t nBytes, bool bSignal = true);
  // Sets the read position without writing or signalling.
  void SetReadPosition(DWORD dwPosition);
  // The running byte pattern: byte number n of the device's output.
  static std::uint8_t PatternByte(std::uint64_t n) { return static_cast<std::uint8_t>(n * 31 + n / 257 + 5); }
  std::uint64_t get_Produced() const { return nProduced; }
  // Seconds of sound produced since the buffer was created: the device's own clock.
  // Microseconds of sound the device has produced since its buffer was made.
  std::int64_t get_DeviceMicros();

  // Inside the stand-ins.
  std::recursive_mutex lock;
  std::vector<std::uint8_t> ring;
  DWORD dwReadPosition = 0;
  std::uint64_t nProduced = 0;
  std::uint64_t nProducedSinceBuffer = 0;
};

HRESULT WINAPI FakeDirectSoundCaptureCreate(LPCGUID pGuid, LPDIRECTSOUNDCAPTURE* ppCapture, LPUNKNOWN pOuter);
HRESULT WINAPI FakeDirectSoundCaptureEnumerate(LPDSENUMCALLBACKW pfnCallback, LPVOID pContext);

// ---- WASAPI ----------------------------------------------------------------------------

struct WasapiWorld {
  WasapiWorld();
  ~WasapiWorld();

  struct Packet {
    UINT32 nFrames = 0;
    DWORD dwFlags = 0;
    bool bNullData = false;
  };
  using Cycle = std::vector<Packet>;

  // The mix format (18 bytes plus its extra bytes). Default: 1,000 Hz float stereo, so
  // that a buffer of 20 frames lasts 20 ms and the reader wakes every 10 ms.
  std::vector<std::uint8_t> mixFormat;
  UINT32 nBufferFrames = 20;

  HRESULT hrEnumerator = S_OK, hrEndpoint = S_OK, hrActivate = S_OK, hrMixFormat = S_OK, hrInitialize = S_OK,
          hrBufferSize = S_OK, hrService = S_OK, hrStart = S_OK;
  // The n-th call (counted from 1) of these fails with E_FAIL; 0: none does.
  int nFailPacketSizeCall = 0, nFailGetBufferCall = 0, nFailReleaseCall = 0;

  // The packets of each cycle. A cycle begins with the first packet-size query after
  // the previous one answered 0; cycles past the script have no packets.
  std::vector<Cycle> cycles;
  // When cycle nStopAtCycle (from 0) begins, *pStop is set to 1, as the recording
  // thread would at any moment: -1 means the script's last cycle.
  int nStopAtCycle = -1;
  std::atomic<std::int32_t>* pStop = nullptr;
  // Called when a cycle begins (before its first answer), on the reader's thread.
  std::function<void(int nCycle)> onCycle;
  // Called when the reader starts the client, on the reader's thread.
  std::function<void()> onClientStart;

  // What the reader did.
  AUDCLNT_SHAREMODE initMode{};
  DWORD dwInitFlags = 0;
  REFERENCE_TIME initDuration = 0, initPeriod = 0;
  bool bInitSessionNull = false;
  std::vector<std::uint8_t> initFormat;
  EDataFlow endpointFlow{};
  ERole endpointRole{};
  int nPacketSizeCalls = 0, nGetBufferCalls = 0, nReleaseCalls = 0, nStarts = 0, nStops = 0;
  std::atomic<int> nCyclesBegun{0};
  std::vector<UINT32> releasedFrames;
  std::atomic<int> nLiveObjects{0};

  // The bytes packet p of cycle c carries: frames x block align of a pattern.
  std::vector<std::uint8_t> PacketBytes(int nCycle, int nPacket) const;
  std::uint16_t get_BlockAlign() const;

  // Inside the stand-ins.
  std::mutex lock;
  int nCycle = -1;
  std::size_t nPosition = 0;
  bool bCycleEnded = true;
  std::vector<std::uint8_t> packetData;
};

HRESULT FakeEnumeratorFactory(IMMDeviceEnumerator** ppEnumerator);

// A mix format: tag, channels, rate, bits (block align and rate derived); extensible
// formats get the float or PCM sub-format.
std::vector<std::uint8_t> MakeMixFormat(WORD wTag, WORD nChannels, DWORD nRate, WORD nBits, bool bFloatSub = true);

}  // namespace vantor::test
