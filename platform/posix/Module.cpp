#include "platform/Module.h"

#include <dlfcn.h>

namespace vantor {

bool CModule::Load(const char* szName, std::string* pError) {
  Free();
  if (!szName || !*szName) {
    if (pError) *pError = "no library name";
    return false;
  }
  // Local binding: two libraries that export the same names must not see each other's.
  m_hModule = ::dlopen(szName, RTLD_NOW | RTLD_LOCAL);
  if (!m_hModule) {
    if (pError) {
      const char* szWhy = ::dlerror();
      *pError = szWhy ? szWhy : "the library could not be loaded";
    }
    return false;
  }
  return true;
}

void CModule::Free() {
  if (m_hModule) ::dlclose(m_hModule);
  m_hModule = nullptr;
}

void* CModule::GetProcAddress(const char* szName) const {
  if (!m_hModule || !szName) return nullptr;
  return ::dlsym(m_hModule, szName);
}

}  // namespace vantor
