// Where the 32-bit side's lines to the 64-bit helper go. The helper link (the dialog's
// pipe ends and the helper process) implements it; target selection writes its "pid"
// lines through it from its own thread, the dialog its "begin" and "quit".
#pragma once

namespace vantor {

class IHelperWriter {
 public:
  virtual ~IHelperWriter() = default;
  // Writes one NUL-terminated line (with its CR LF) in a single write; nothing for an
  // empty or absent text. Safe to call from any thread.
  virtual void WriteToHelper(const char* pszLine) = 0;
};

}  // namespace vantor
