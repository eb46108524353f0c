#include "media/XvidLibrary.h"

namespace vantor {

const char* CXvidLibrary::get_DefaultName() {
#if defined(_WIN32)
  return "xvidcore.dll";
#else
  return "libxvidcore.so.4";
#endif
}

Result CXvidLibrary::Bind(xvid::EntryPoints* pEntries, std::string* pDetail) {
  *pEntries = {};
  std::string strWhy;
  if (!m_Module.Load(m_strName.c_str(), &strWhy)) {
    if (pDetail) *pDetail = m_strName + ": " + strWhy;
    return kXvidLibraryMissing;
  }
  xvid::EntryPoints entries;
  entries.pfnGlobal = m_Module.GetFunction<xvid::EntryPoint>("xvid_global");
  entries.pfnEncore = m_Module.GetFunction<xvid::EntryPoint>("xvid_encore");
  entries.pfnPluginSingle = m_Module.GetFunction<xvid::EntryPoint>("xvid_plugin_single");
  if (!entries.IsComplete()) {
    // A library of that name that is not Xvid, or too old: keep none of it, so that
    // nothing can ever call through a missing entry point.
    if (pDetail) {
      *pDetail = m_strName + " has no ";
      *pDetail += !entries.pfnGlobal ? "xvid_global" : !entries.pfnEncore ? "xvid_encore"
                                                                           : "xvid_plugin_single";
    }
    m_Module.Free();
    return kXvidEntryPointMissing;
  }
  *pEntries = entries;
  return kOk;
}

std::string FormatEncoderUnavailableMessage(Result nResult, const std::string& strDetail) {
  std::string strText;
  if (nResult == kXvidLibraryMissing)
    strText = "Cannot record: the Xvid video encoder is not installed (xvidcore could not be loaded).";
  else if (nResult == kXvidEntryPointMissing)
    strText = "Cannot record: the installed Xvid video encoder is incomplete or not a supported version.";
  else
    strText = "Cannot record: the Xvid video encoder could not be started.";
  if (!strDetail.empty()) strText += " [" + strDetail + "]";
  return strText;
}

}  // namespace vantor
