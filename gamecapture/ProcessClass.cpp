#include "gamecapture/ProcessClass.h"

#include <algorithm>

#include "gamecapture/TargetWatch.h"

namespace vantor {

namespace {

// Programs that are never games, whatever they load: the system's own viewers, the
// shell, Vantor itself, and anything with the DirectX media objects loaded (media
// players and editors that present through Direct3D but are not played).
constexpr std::string_view kExcluded[] = {"TASKMGR.EXE", "EXPLORER.EXE", "IEXPLORE.EXE", "VANTOR.EXE",
                                          "MSDMO.DLL"};

struct Direct3DModule {
  std::string_view name;
  int nClass;
};
constexpr Direct3DModule kDirect3D[] = {
    {"D3D11.DLL", kProcessD3D11}, {"D3D10.DLL", kProcessD3D10}, {"D3D9.DLL", kProcessD3D9}};

// Module names are compared as Windows spells them in the ANSI range; the names that
// matter are plain ASCII, so an ASCII upper-casing serves every code page.
std::string UpperAscii(std::string_view name) {
  std::string strUpper(name);
  for (char& c : strUpper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return strUpper;
}

}  // namespace

bool CModuleVerdict::TakeModule(std::string_view name) {
  const std::string strName = UpperAscii(name);
  if (std::find(std::begin(kExcluded), std::end(kExcluded), strName) != std::end(kExcluded)) {
    m_nClass = kProcessNoTarget;
    return false;
  }
  for (const Direct3DModule& module : kDirect3D) {
    if (strName == module.name) m_nClass = std::max(m_nClass, module.nClass);
  }
  return true;
}

int ClassifyModules(std::size_t nModules, const ModuleNameReader& readName) {
  CModuleVerdict verdict;
  std::string strName;
  for (std::size_t i = 0; i < std::min(nModules, kMaxProcessModules); ++i) {
    if (!readName(i, &strName)) continue;
    if (!g_bTargetThreadRun) break;
    if (!verdict.TakeModule(strName)) break;
  }
  return verdict.get_Class();
}

}  // namespace vantor
