#include "tests/app/TestFiles.h"

#include <atomic>
#include <random>
#include <stdexcept>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace vantor::test {
namespace fs = std::filesystem;

CTempDir::CTempDir() {
  static std::atomic<unsigned> s_nCounter{0};
  std::random_device rd;
  for (int nTry = 0; nTry < 100; ++nTry) {
    const std::wstring strName = L"vantor-app-" + std::to_wstring(rd()) + L"-" + std::to_wstring(s_nCounter++);
    m_path = fs::temp_directory_path() / strName;
    std::error_code ec;
    if (fs::create_directory(m_path, ec)) {
      m_strFolder = m_path.wstring();
      return;
    }
  }
  throw std::runtime_error("no scratch folder");
}

CTempDir::~CTempDir() {
  std::error_code ec;
  fs::remove_all(m_path, ec);
}

CCurrentDirScope::CCurrentDirScope(const fs::path& path) : m_saved(fs::current_path()) { fs::current_path(path); }

CCurrentDirScope::~CCurrentDirScope() {
  std::error_code ec;
  fs::current_path(m_saved, ec);
}

void WriteBytes(const std::wstring& strPath, std::string_view bytes) {
  if (!WriteWholeFile(Utf8FromWide(strPath), bytes)) throw std::runtime_error("cannot write a test file");
}

std::string ReadBytes(const std::wstring& strPath) {
  std::string bytes;
  return ReadWholeFile(Utf8FromWide(strPath), false, &bytes) == FileOpenResult::kOk ? bytes : std::string("<missing>");
}

std::string Narrow(const std::wstring& str) {
  std::string out;
  for (wchar_t c : str) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace vantor::test
