// The application object: finds the program folder, picks the language file, learns
// what system it runs on and runs the main dialog until it ends.
#pragma once
#include <windows.h>

namespace vantor {

class CPallumoApp {
 public:
  explicit CPallumoApp(HINSTANCE hInstance) : m_hInstance(hInstance) {}

  // Always FALSE once the main dialog has returned: there is no message loop after it.
  BOOL InitInstance();

 private:
  HINSTANCE m_hInstance;
};

}  // namespace vantor
