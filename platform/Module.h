// A dynamically loaded library and its entry points.
//
// Names are UTF-8. Windows loads them with LoadLibraryW, so the search follows the
// usual DLL rules (the program's folder, the system folders, PATH); POSIX uses dlopen,
// so a bare name goes through the loader's library path.
#pragma once
#include <string>

namespace vantor {

// Owns one loaded library: the destructor unloads it. Not copyable; movable, so a
// binding can be handed from whoever loaded it to whoever keeps it.
class CModule {
 public:
  CModule() = default;
  CModule(const CModule&) = delete;
  CModule& operator=(const CModule&) = delete;
  CModule(CModule&& other) noexcept : m_hModule(other.m_hModule) { other.m_hModule = nullptr; }
  CModule& operator=(CModule&& other) noexcept;
  ~CModule() { Free(); }

  // Unloads a held library, then loads szName. False when it cannot be loaded; *pError
  // (optional) then gets the system's reason as text.
  bool Load(const char* szName, std::string* pError = nullptr);
  void Free();
  bool IsLoaded() const { return m_hModule != nullptr; }

  // The address of an exported symbol, or null (also when nothing is loaded).
  void* GetProcAddress(const char* szName) const;

  // Typed convenience for function pointers.
  template <typename F>
  F GetFunction(const char* szName) const {
    return reinterpret_cast<F>(GetProcAddress(szName));
  }

 private:
  void* m_hModule = nullptr;
};

inline CModule& CModule::operator=(CModule&& other) noexcept {
  if (this != &other) {
    Free();
    m_hModule = other.m_hModule;
    other.m_hModule = nullptr;
  }
  return *this;
}

}  // namespace vantor
