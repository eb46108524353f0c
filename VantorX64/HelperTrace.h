// An opt-in record of the helper's exchange with Vantor: one text line for every line
// received ("< pid 42") and every answer written ("> hookok"), each written through at
// once, so that whoever watches a running helper (an end-to-end test, a developer
// chasing a game that is not hooked) sees it as it happens. The helper's standard
// output cannot serve: Vantor reads it and throws it away.
//
// Off unless the environment variable named by kHelperTraceVariable holds a file name
// when the helper starts; then that file is created afresh. Nothing sets it for users.
#pragma once
#include <memory>
#include <string>

#include "platform/File.h"

namespace vantor {

inline constexpr char kHelperTraceVariable[] = "VANTOR_HELPER_TRACE";

class CHelperTrace {
 public:
  // Creates (or empties) the file; false when it cannot be made, and the trace stays off.
  bool Open(CFileSystem& fileSystem, const std::string& strPath);
  bool IsOpen() const { return m_pFile != nullptr; }

  void Received(const char* pszLine) { Write("< ", pszLine); }
  void Sent(const char* pszLine) { Write("> ", pszLine); }

 private:
  void Write(const char* pszDirection, const char* pszLine);

  std::unique_ptr<CWriteFile> m_pFile;
};

}  // namespace vantor
