#include "app/Globals.h"

namespace vantor {

std::int32_t g_bWin7OrLater = 0;
std::int32_t g_bWow64 = 0;
std::int32_t g_bUseLoopback = 0;
std::int32_t g_bCaptureDevicePresent = 0;
std::wstring g_strLanguageFile;

}  // namespace vantor
