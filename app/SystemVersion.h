// Facts about the running system that decide which features are offered.
#pragma once
#include <cstdint>

namespace vantor {

// Windows 7 is 6.1; Vista (6.0) and XP (5.x) lack the loopback capture the program
// offers from Windows 7 on.
constexpr bool IsWin7OrLaterVersion(std::uint32_t nMajor, std::uint32_t nMinor) {
  return nMajor > 5 && !(nMajor == 6 && nMinor == 0);
}

// Fills g_bWin7OrLater and g_bWow64 from the running system (both 0 where the system
// cannot say; natively both are 0).
void DetectSystem();

}  // namespace vantor
