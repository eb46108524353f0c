// CDllFile: the owner of one loaded module, shared by Vantor.exe and VantorX64.exe.
//
// Both programs export every operation by its decorated name, so the class is
// declared dllexport wherever VANTOR_EXPORT_CDLLFILE is defined (the ostrel_shared
// object library sets it for the program that links it). Elsewhere the header is a
// plain declaration.
#pragma once

#include <windows.h>

#if defined(VANTOR_EXPORT_CDLLFILE)
#define VANTOR_DLLFILE_API __declspec(dllexport)
#else
#define VANTOR_DLLFILE_API
#endif

class VANTOR_DLLFILE_API CDllFile {
 public:
  // Adopts hModule; with bOwns the destructor unloads it.
  CDllFile(HMODULE hModule = nullptr, bool bOwns = true);
  ~CDllFile();

  // Copying would make two owners of one module by accident; assignment stays
  // for the deliberate case and copies both fields without unloading anything.
  CDllFile(const CDllFile&) = delete;
  CDllFile& operator=(const CDllFile& other);

  // Unloads a held module this object owns, then loads pszName (LoadLibraryA /
  // LoadLibraryExA without a file handle). 0 and an owned module on success; the
  // system error as HRESULT_FROM_WIN32 (0x8007xxxx) and no module on failure.
  HRESULT LoadDll(const char* pszName);
  HRESULT LoadDllEx(const char* pszName, DWORD dwFlags);
  // Takes an already loaded module without owning it. An owned module already
  // held counts as found without looking; not found leaves no module.
  bool FindDll(const char* pszName);
  // Unloads a held module if owned and forgets it; ownership setting is kept.
  void FreeDll();
  // Hands the module to the caller, who unloads it.
  HMODULE DetachModule();

  FARPROC GetProcAddress(const char* pszName) const;
  bool IsValidDll() const;
  HMODULE get_DllHandle() const;
  operator HMODULE() const;
  // The module's base as an integer: method addresses minus this give offsets
  // that hold in every process mapping the same library.
  ULONG_PTR get_DllInt() const;

 protected:
  // Unloads an owned module but leaves the handle as it was.
  void FreeDllLast();

 private:
  HMODULE m_hModule;
  bool m_bOwns;
};
