#include "ui/CommandRules.h"

#include <cstdlib>

namespace vantor {

HotKeyCommand CommandForHotKey(int nId) {
  switch (nId) {
    case kHotKeyRecord1:
    case kHotKeyRecord2:
      return HotKeyCommand::kRecord;
    case kHotKeyPause1:
    case kHotKeyPause2:
      return HotKeyCommand::kPause;
    case kHotKeyStop1:
    case kHotKeyStop2:
      return HotKeyCommand::kStop;
    default:
      return HotKeyCommand::kNone;
  }
}

std::uint32_t HotKeyToModifiers(std::uint16_t wHotKey) {
  constexpr std::uint32_t kShift = 1, kAlt = 4;
  std::uint32_t m = (wHotKey >> 8) & 0x0Fu;
  const bool bShift = (m & kShift) != 0;
  const bool bAlt = (m & kAlt) != 0;
  if (bShift && !bAlt) {
    m = (m ^ kShift) | kAlt;  // Shift becomes MOD_SHIFT
  } else if (bAlt && !bShift) {
    m = (m ^ kAlt) | kShift;  // Alt becomes MOD_ALT
  }
  return m;  // both set: both MOD_ALT and MOD_SHIFT, the same two bits
}

float FrameRateFromText(const std::wstring& strText) {
  std::size_t i = 0;
  while (i < strText.size() && (strText[i] == L' ' || strText[i] == L'\t')) ++i;
  // The number itself: digits with at most one decimal point, and at least one digit.
  std::string strNumber;
  bool bPoint = false, bDigit = false;
  for (; i < strText.size() && strNumber.size() < 32; ++i) {
    const wchar_t c = strText[i];
    if (c >= L'0' && c <= L'9') {
      bDigit = true;
    } else if (c == L'.' && !bPoint) {
      bPoint = true;
    } else {
      break;
    }
    strNumber.push_back(static_cast<char>(c));
  }
  if (!bDigit) return 0;
  // The digits are plain ASCII; strtod's locale never has another decimal point here,
  // since the program never sets one.
  return static_cast<float>(std::strtod(strNumber.c_str(), nullptr));
}

}  // namespace vantor
