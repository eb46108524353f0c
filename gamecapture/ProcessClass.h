// What a process's loaded modules say about it: which Direct3D it presents with, or
// that it is no game at all. Portable: the module list is read elsewhere (the Windows
// side reads another process's list) and handed in name by name.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vantor {

// The class of a process, as ClassifyProcess answers it.
constexpr int kProcessUnreadable = -2;  // cannot be opened, or its modules cannot be listed
constexpr int kProcessNoTarget = -1;    // excluded by name, or no Direct3D loaded
constexpr int kProcessD3D9 = 9;
constexpr int kProcessD3D10 = 10;
constexpr int kProcessD3D11 = 11;

// No more modules than this are looked at in one process.
constexpr std::size_t kMaxProcessModules = 1024;

inline bool IsDirect3DClass(int nClass) {
  return nClass == kProcessD3D9 || nClass == kProcessD3D10 || nClass == kProcessD3D11;
}

// The verdict so far over a process's module names, taken in the order they are listed.
class CModuleVerdict {
 public:
  // Takes one module's base name (any case). False when the verdict is final: the
  // module excludes the process whatever else it loads.
  bool TakeModule(std::string_view name);
  int get_Class() const { return m_nClass; }

 private:
  int m_nClass = kProcessNoTarget;
};

// Reads the base name of module i into *pName; false when it cannot be read.
using ModuleNameReader = std::function<bool(std::size_t i, std::string* pName)>;

// The class of a process with nModules listed modules (at most kMaxProcessModules are
// read). Unreadable names are skipped. Once the target watch is told to end
// (g_bTargetThreadRun cleared), the scan stops and answers what it has found so far.
int ClassifyModules(std::size_t nModules, const ModuleNameReader& readName);

}  // namespace vantor
