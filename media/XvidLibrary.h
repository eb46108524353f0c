// Binding of the Xvid encoder library: the module that holds xvid_global, xvid_encore
// and xvid_plugin_single. A recording binds it when it starts and unbinds it at its end.
#pragma once
#include <memory>
#include <string>

#include "media/XvidApi.h"
#include "platform/Module.h"
#include "platform/Types.h"

namespace vantor {

// Where a recorder gets its three entry points from. The program binds the real
// library; tests put an encoder of their own behind the same calls.
class CXvidBinding {
 public:
  virtual ~CXvidBinding() = default;
  // Fills *pEntries with all three entry points, or fails with nothing bound: a
  // binding never hands out a null entry point. *pDetail gets the reason on failure.
  virtual Result Bind(xvid::EntryPoints* pEntries, std::string* pDetail) = 0;
  // Releases what Bind took. The entry points are invalid afterwards.
  virtual void Unbind() = 0;
};

// Results of a failed binding.
constexpr Result kXvidLibraryMissing = ResultFromSystemError(126);   // ERROR_MOD_NOT_FOUND
constexpr Result kXvidEntryPointMissing = ResultFromSystemError(127);  // ERROR_PROC_NOT_FOUND

// The library of the platform, loaded by name.
class CXvidLibrary final : public CXvidBinding {
 public:
  // "xvidcore.dll" on Windows, Debian's "libxvidcore.so.4" elsewhere.
  static const char* get_DefaultName();

  explicit CXvidLibrary(std::string strName = get_DefaultName()) : m_strName(std::move(strName)) {}

  Result Bind(xvid::EntryPoints* pEntries, std::string* pDetail) override;
  void Unbind() override { m_Module.Free(); }

  const std::string& get_Name() const { return m_strName; }

 private:
  std::string m_strName;
  CModule m_Module;
};

// What the user is told when no recording can start because the encoder is missing or
// broken: one line, in plain words, with the system's detail at the end.
std::string FormatEncoderUnavailableMessage(Result nResult, const std::string& strDetail);

}  // namespace vantor
