#include "Ostrel/Shared/CDllFile.h"

#include <cstddef>

#include "platform/Types.h"

CDllFile::CDllFile(HMODULE hModule, bool bOwns) : m_hModule(hModule), m_bOwns(bOwns) {
  // Fields in this order and nothing else: the layout is shared by both programs.
  static_assert(offsetof(CDllFile, m_hModule) == 0);
  static_assert(offsetof(CDllFile, m_bOwns) == sizeof(void*));
  static_assert(sizeof(CDllFile) == 2 * sizeof(void*));
}

CDllFile::~CDllFile() { FreeDllLast(); }

CDllFile& CDllFile::operator=(const CDllFile& other) {
  m_hModule = other.m_hModule;
  m_bOwns = other.m_bOwns;
  return *this;
}

namespace {

// A failed load must never read as success, even if the system forgot the reason.
HRESULT LastLoadError() {
  const DWORD dwError = GetLastError();
  return dwError ? vantor::ResultFromSystemError(static_cast<std::int32_t>(dwError)) : vantor::kFail;
}

}  // namespace

HRESULT CDllFile::LoadDll(const char* pszName) {
  FreeDll();
  if (!pszName) return vantor::kInvalidArg;
  HMODULE hModule = ::LoadLibraryA(pszName);
  if (!hModule) return LastLoadError();
  m_hModule = hModule;
  m_bOwns = true;
  return vantor::kOk;
}

HRESULT CDllFile::LoadDllEx(const char* pszName, DWORD dwFlags) {
  FreeDll();
  if (!pszName) return vantor::kInvalidArg;
  HMODULE hModule = ::LoadLibraryExA(pszName, nullptr, dwFlags);
  if (!hModule) return LastLoadError();
  m_hModule = hModule;
  m_bOwns = true;
  return vantor::kOk;
}

bool CDllFile::FindDll(const char* pszName) {
  if (m_hModule && m_bOwns) return true;
  // GetModuleHandleA(NULL) would answer with the program itself.
  m_hModule = pszName ? ::GetModuleHandleA(pszName) : nullptr;
  if (!m_hModule) return false;
  m_bOwns = false;
  return true;
}

void CDllFile::FreeDll() {
  FreeDllLast();
  m_hModule = nullptr;
}

void CDllFile::FreeDllLast() {
  if (m_hModule && m_bOwns) ::FreeLibrary(m_hModule);
}

HMODULE CDllFile::DetachModule() {
  HMODULE hModule = m_hModule;
  m_hModule = nullptr;
  return hModule;
}

FARPROC CDllFile::GetProcAddress(const char* pszName) const {
  return m_hModule && pszName ? ::GetProcAddress(m_hModule, pszName) : nullptr;
}

bool CDllFile::IsValidDll() const { return m_hModule != nullptr; }

HMODULE CDllFile::get_DllHandle() const { return m_hModule; }

CDllFile::operator HMODULE() const { return m_hModule; }

ULONG_PTR CDllFile::get_DllInt() const { return reinterpret_cast<ULONG_PTR>(m_hModule); }
