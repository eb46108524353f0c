// Scratch folders and raw file bytes for the app tests. Paths are joined with a
// backslash on every platform: that is how the program builds them, and the native
// path seam maps it to '/'.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace vantor::test {

class CTempDir {
 public:
  CTempDir();
  ~CTempDir();
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;

  // The folder, without a trailing separator.
  const std::wstring& Folder() const { return m_strFolder; }
  // The folder with its trailing backslash, as the program folder is written.
  std::wstring FolderWithSeparator() const { return m_strFolder + L"\\"; }
  std::wstring File(std::wstring_view name) const { return m_strFolder + L"\\" + std::wstring(name); }

 private:
  std::filesystem::path m_path;
  std::wstring m_strFolder;
};

// Makes the current directory a given folder for the object's lifetime.
class CCurrentDirScope {
 public:
  explicit CCurrentDirScope(const std::filesystem::path& path);
  ~CCurrentDirScope();

 private:
  std::filesystem::path m_saved;
};

void WriteBytes(const std::wstring& strPath, std::string_view bytes);
// The file's bytes; "<missing>" when it cannot be read.
std::string ReadBytes(const std::wstring& strPath);

// A wide string made of ASCII text, for building expected file contents.
std::string Narrow(const std::wstring& str);

}  // namespace vantor::test
