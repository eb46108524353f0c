// Ostrel / OstrelX64: the game-hook library the programs link against.
//
// Vantor.exe links Ostrel.dll (32-bit), VantorX64.exe links OstrelX64.dll (64-bit).
// Both are built from the same sources; every object below is exported by its
// decorated C++ name. The programs read and write some fields of these objects
// directly, so their offsets are part of the contract and are pinned by the
// static_asserts at the end of this header in both bitnesses.
//
// What works today: the control record, the settings records, the interlocked
// counter and the assertion log. The in-game side (injecting into the game and
// recording at Present) does not exist yet: InitMasterWnd records its target and
// answers false, so no game ever counts as hooked.
#pragma once

#include <windows.h>

#include <cstddef>

#if defined(OSTREL_BUILD)
#define OSTREL_API __declspec(dllexport)
#else
#define OSTREL_API __declspec(dllimport)
#endif

// Bits of CCOstrelDll::m_nCommandFlags. The program only ever ORs them in
// (InterlockedOr); the in-game recorder takes them with InterlockedExchange(0).
constexpr LONG OSTREL_CMD_RECORD = 2;
constexpr LONG OSTREL_CMD_PAUSE = 4;
constexpr LONG OSTREL_CMD_STOP = 8;

// String resource of Ostrel.dll with the library's own welcome text; Vantor loads
// the same id from its own resources into COstrelProcStats::m_szWelcome.
constexpr UINT IDS_OSTREL_WELCOME = 102;

// The shared control record, one per process: sg_Dll.
class OSTREL_API CCOstrelDll {
 public:
  CCOstrelDll();

  // Marks the record live for this process and fills in the library's welcome
  // text when the program has not supplied one. Always true.
  bool InitDll();
  // Drops the target window, any hook and pending commands. The Direct3D
  // offsets stay: they belong to the probes and are still valid.
  void DestroyDll();
  // Remembers the window, its process and program name as the capture target.
  // Stub: no hook is installed yet, so the answer is false with m_dwLastError
  // ERROR_CALL_NOT_IMPLEMENTED (ERROR_INVALID_WINDOW_HANDLE for a bad window).
  bool InitMasterWnd(HWND hWnd);
  // True while a CBT hook is installed; never in this build.
  bool IsHookCBT() const;

  // Pointer-sized slots first so that the probes' offsets land at 20..36 in the
  // 32-bit build and 40..72 in the 64-bit build. Process and thread ids are
  // pointer-sized for the same reason (as the kernel's CLIENT_ID keeps them).
  HMODULE m_hModule;         // this library, for hooks that must name their module
  HWND m_hMasterWnd;         // window given to the last successful InitMasterWnd call
  HHOOK m_hHookCBT;          // null: the in-game side does not exist yet
  ULONG_PTR m_nMasterPid;    // process that owns m_hMasterWnd
  ULONG_PTR m_nMasterTid;    // thread that owns m_hMasterWnd

  // Method address minus the base of its system library, written by the probes.
  ULONG_PTR m_nD3D9Present;           // IDirect3DDevice9::Present (d3d9)
  ULONG_PTR m_nD3D9Reset;             // IDirect3DDevice9::Reset (d3d9)
  ULONG_PTR m_nD3D9SwapChainPresent;  // IDirect3DSwapChain9::Present (d3d9)
  ULONG_PTR m_nDXGIPresent;           // IDXGISwapChain::Present (dxgi)
  ULONG_PTR m_nDXGIResizeBuffers;     // IDXGISwapChain::ResizeBuffers (dxgi)

  char m_szMasterExe[MAX_PATH];  // file name of the target's program, for diagnostics
  DWORD m_dwOwnerPid;            // process that called InitDll
  BOOL m_bInitialised;           // between InitDll and DestroyDll
  DWORD m_dwLastError;           // why the last InitMasterWnd answered false

  volatile LONG m_nCommandFlags;  // OSTREL_CMD_* bits
};

// What the in-game side reports about the game it has hooked: sg_ProcStats.
class OSTREL_API COstrelProcStats {
 public:
  COstrelProcStats();

  DWORD m_dwProcessId;             // hooked process; 0 = none
  char m_szProcessName[MAX_PATH];  // its program's file name
  char m_szWelcome[MAX_PATH];      // shown in the game when recording starts
};

// Settings the in-game recorder works with: sg_Config. The program never looks
// inside; it only refreshes it from a COstrelConfig.
class OSTREL_API COstrelConfigData {
 public:
  COstrelConfigData();

  // Makes m_szCaptureDir usable from inside any game: empty means "output\" in
  // the library's folder, relative paths are taken from the library's folder (a
  // game's current directory is unrelated), and a backslash ends it. 0 when the
  // folder exists, the system error as HRESULT when it does not; never creates it.
  LONG FixCaptureDir();
  void CopyConfig(const COstrelConfigData& src);

  WCHAR m_szCaptureDir[MAX_PATH];
  LONG m_nFrameRate;  // frames per second, 1..120
};

// Reads the library's settings file, Ostrel.ini beside the library:
//   [Capture]
//   Dir=D:\Videos\Games
//   FrameRate=30
// One per program run; its COstrelConfigData part is what CopyConfig takes.
class OSTREL_API COstrelConfig : public COstrelConfigData {
 public:
  COstrelConfig();
  ~COstrelConfig();

  // True when the file exists; missing keys keep their current values.
  bool ReadIniFile();

  WCHAR m_szIniPath[MAX_PATH];  // set by the constructor; tests may point it elsewhere
};

// An interlocked 32-bit counter. The program reads m_nValue directly, so it must
// stay the first member.
class OSTREL_API CThreadLockedLong {
 public:
  explicit CThreadLockedLong(LONG nInitial);

  LONG Inc();                  // the new value
  LONG Dec();                  // the new value
  LONG Exchange(LONG nValue);  // the old value

  volatile LONG m_nValue;
};

#if defined(_WIN64)
// Where VantorX64 reports broken assumptions. Reports go to the debugger output;
// the caller carries on. A test or a host may point g_pLog at its own subclass.
class OSTREL_API CLogBase {
 public:
  CLogBase();
  virtual ~CLogBase();

  virtual void Assert_CheckFail(const char* pszExpression, const char* pszFile, int nLine);

  volatile LONG m_nFailCount;  // reports so far
};

extern OSTREL_API CLogBase* g_pLog;
#endif

extern OSTREL_API CCOstrelDll sg_Dll;
extern OSTREL_API COstrelProcStats sg_ProcStats;
extern OSTREL_API COstrelConfigData sg_Config;

// The offsets the programs rely on.
#if defined(_WIN64)
static_assert(offsetof(CCOstrelDll, m_nD3D9Present) == 40);
static_assert(offsetof(CCOstrelDll, m_nD3D9Reset) == 48);
static_assert(offsetof(CCOstrelDll, m_nD3D9SwapChainPresent) == 56);
static_assert(offsetof(CCOstrelDll, m_nDXGIPresent) == 64);
static_assert(offsetof(CCOstrelDll, m_nDXGIResizeBuffers) == 72);
static_assert(offsetof(CCOstrelDll, m_nCommandFlags) == 352);
static_assert(sizeof(CCOstrelDll) == 360);
#else
static_assert(offsetof(CCOstrelDll, m_nD3D9Present) == 20);
static_assert(offsetof(CCOstrelDll, m_nD3D9Reset) == 24);
static_assert(offsetof(CCOstrelDll, m_nD3D9SwapChainPresent) == 28);
static_assert(offsetof(CCOstrelDll, m_nDXGIPresent) == 32);
static_assert(offsetof(CCOstrelDll, m_nDXGIResizeBuffers) == 36);
static_assert(offsetof(CCOstrelDll, m_nCommandFlags) == 312);
static_assert(sizeof(CCOstrelDll) == 316);
#endif
static_assert(sizeof(ULONG_PTR) == sizeof(void*));
static_assert(sizeof(CCOstrelDll::m_nCommandFlags) == 4);
static_assert(offsetof(COstrelProcStats, m_dwProcessId) == 0);
static_assert(sizeof(COstrelProcStats::m_dwProcessId) == 4);
static_assert(offsetof(COstrelProcStats, m_szWelcome) == 264);
static_assert(sizeof(COstrelProcStats::m_szWelcome) == 260);
static_assert(offsetof(CThreadLockedLong, m_nValue) == 0);
static_assert(sizeof(CThreadLockedLong) == 4);
