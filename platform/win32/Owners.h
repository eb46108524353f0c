// Owners of Windows handles, one small class each, so that no function frees a handle
// by hand on its error paths. Each owner is non-copyable and movable, knows its handle
// type's invalid value and how to free it; Attach adopts, Detach gives away. COM
// interfaces have their own owner, IRefPtr (Ostrel/Shared/IRefPtr.h); the apartment
// scope here goes with it.
#pragma once
#include <objbase.h>
#include <windows.h>

#include <utility>

namespace vantor {

// The generic owner: Traits gives the handle type, its invalid value and Close.
template <class Traits>
class CUniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  CUniqueHandle() noexcept = default;
  explicit CUniqueHandle(Handle h) noexcept : m_h(h) {}
  CUniqueHandle(CUniqueHandle&& other) noexcept : m_h(other.Detach()) {}
  CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
    if (this != &other) Attach(other.Detach());
    return *this;
  }
  CUniqueHandle(const CUniqueHandle&) = delete;
  CUniqueHandle& operator=(const CUniqueHandle&) = delete;
  ~CUniqueHandle() { Reset(); }

  void Reset() noexcept { Attach(Traits::Invalid()); }
  void Attach(Handle h) noexcept {
    const Handle hOld = std::exchange(m_h, h);
    if (hOld != Traits::Invalid()) Traits::Close(hOld);
  }
  Handle Detach() noexcept { return std::exchange(m_h, Traits::Invalid()); }

  Handle get() const noexcept { return m_h; }
  explicit operator bool() const noexcept { return m_h != Traits::Invalid(); }

 private:
  Handle m_h = Traits::Invalid();
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::FreeLibrary(h); }
};
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
struct FindTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
};
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DeleteDC(h); }
};
template <class T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DeleteObject(h); }
};
struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DestroyIcon(h); }
};
struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DestroyWindow(h); }
};
struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::GlobalFree(h); }
};

// Events, threads, processes, pipes: closed with CloseHandle, null when empty.
using CHandle = CUniqueHandle<KernelHandleTraits>;
using CEvent = CHandle;
using CThreadHandle = CHandle;
// Files from CreateFile: INVALID_HANDLE_VALUE when empty.
using CFileHandle = CUniqueHandle<FileHandleTraits>;
// A folder listing from FindFirstFile: INVALID_HANDLE_VALUE when empty.
using CFindHandle = CUniqueHandle<FindTraits>;
// A reference to a module (LoadLibrary, GetModuleHandleEx without the unchanged-count
// flag), given back with FreeLibrary.
using CModuleRef = CUniqueHandle<ModuleTraits>;
// A device context from CreateCompatibleDC.
using CMemoryDC = CUniqueHandle<MemoryDcTraits>;
// Bitmaps, brushes, pens, regions: DeleteObject.
template <class T>
using CGdiObject = CUniqueHandle<GdiObjectTraits<T>>;
using CBitmap = CGdiObject<HBITMAP>;
using CBrush = CGdiObject<HBRUSH>;
using CPen = CGdiObject<HPEN>;
using CRegion = CGdiObject<HRGN>;
using CFont = CGdiObject<HFONT>;
// An icon from LoadImage or CreateIconIndirect (not a shared one): DestroyIcon.
using CIcon = CUniqueHandle<IconTraits>;
// A window this thread created and destroys (windows die with their thread's
// owner, not with the process: destroy them on the thread that made them).
using CWindowHandle = CUniqueHandle<WindowTraits>;
// A block from GlobalAlloc.
using CGlobalMemory = CUniqueHandle<GlobalMemoryTraits>;

// A window's device context from GetDC, released to the window it came from.
class CWindowDC {
 public:
  explicit CWindowDC(HWND hWnd) noexcept : m_hWnd(hWnd), m_hdc(::GetDC(hWnd)) {}
  CWindowDC(const CWindowDC&) = delete;
  CWindowDC& operator=(const CWindowDC&) = delete;
  ~CWindowDC() {
    if (m_hdc) ::ReleaseDC(m_hWnd, m_hdc);
  }
  HDC get() const noexcept { return m_hdc; }
  explicit operator bool() const noexcept { return m_hdc != nullptr; }

 private:
  HWND m_hWnd;
  HDC m_hdc;
};

// Selects an object into a device context and puts the previous one back at the end
// of the scope (before the object's own owner, declared earlier, deletes it).
class CSelectObject {
 public:
  CSelectObject(HDC hdc, HGDIOBJ hObject) noexcept
      : m_hdc(hdc), m_hOld(hdc && hObject ? ::SelectObject(hdc, hObject) : nullptr) {}
  CSelectObject(const CSelectObject&) = delete;
  CSelectObject& operator=(const CSelectObject&) = delete;
  ~CSelectObject() {
    if (m_hOld && m_hOld != HGDI_ERROR) ::SelectObject(m_hdc, m_hOld);
  }

 private:
  HDC m_hdc;
  HGDIOBJ m_hOld;
};

// A lock of a movable global block, unlocked at the end of the scope.
template <class T = void>
class CGlobalLock {
 public:
  explicit CGlobalLock(HGLOBAL hBlock) noexcept
      : m_hBlock(hBlock), m_p(hBlock ? ::GlobalLock(hBlock) : nullptr) {}
  CGlobalLock(const CGlobalLock&) = delete;
  CGlobalLock& operator=(const CGlobalLock&) = delete;
  ~CGlobalLock() {
    if (m_p) ::GlobalUnlock(m_hBlock);
  }
  T* get() const noexcept { return static_cast<T*>(m_p); }
  explicit operator bool() const noexcept { return m_p != nullptr; }

 private:
  HGLOBAL m_hBlock;
  void* m_p;
};

// COM on the calling thread for as long as the object lives. A thread already in the
// other apartment can use COM as it is; it is only not ours to leave.
class CComApartment {
 public:
  explicit CComApartment(DWORD dwModel = COINIT_APARTMENTTHREADED) noexcept
      : m_hr(::CoInitializeEx(nullptr, dwModel)) {}
  CComApartment(const CComApartment&) = delete;
  CComApartment& operator=(const CComApartment&) = delete;
  ~CComApartment() {
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
  }
  bool IsUsable() const noexcept { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }
  HRESULT get_Result() const noexcept { return m_hr; }

 private:
  HRESULT m_hr;
};

// Memory the system hands out with CoTaskMemAlloc (a mix format, for one).
template <class T>
class CCoTaskMem {
 public:
  CCoTaskMem() noexcept = default;
  CCoTaskMem(const CCoTaskMem&) = delete;
  CCoTaskMem& operator=(const CCoTaskMem&) = delete;
  ~CCoTaskMem() { ::CoTaskMemFree(m_p); }
  // For output parameters: GetMixFormat(&format).
  T** operator&() noexcept {
    ::CoTaskMemFree(std::exchange(m_p, nullptr));
    return &m_p;
  }
  T* operator->() const noexcept { return m_p; }
  T& operator*() const noexcept { return *m_p; }
  T* get() const noexcept { return m_p; }
  explicit operator bool() const noexcept { return m_p != nullptr; }

 private:
  T* m_p = nullptr;
};

}  // namespace vantor
