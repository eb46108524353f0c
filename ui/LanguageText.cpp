#include "ui/LanguageText.h"

#include <cwchar>
#include <iterator>

namespace vantor {
namespace {

// Indexed by a control's id modulo 100; null entries never give a text.
// clang-format off
constexpr const wchar_t* kControlKeys[] = {
    nullptr,        L"FrameRate", L"WindowAlwaysOnTop", nullptr,            // 0-3
    L"OutputFolder", L"AudioCaptureDevice", L"Stop", nullptr,               // 4-7
    L"Pause",       L"Help",      L"Record",            L"Pause",           // 8-11
    L"Stop",        L"Record",    L"Language",          L"RecordWin7Sound", // 12-15
};
// clang-format on
static_assert(std::size(kControlKeys) == 16);

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

const wchar_t* ControlLangKey(int nControlId) {
  if (nControlId < 0) return nullptr;
  const int nIndex = nControlId % 100;
  if (nIndex >= static_cast<int>(std::size(kControlKeys))) return nullptr;
  return kControlKeys[nIndex];
}

std::wstring DialogTitleLangKey(int nTemplateId) {
  wchar_t szKey[32];
  std::swprintf(szKey, std::size(szKey), L"IDD%d_Title", nTemplateId);
  return szKey;
}

std::wstring CutLangText(std::wstring strText) {
  if (strText.size() > kLangTextChars) {
    const bool bPartsPair = IsHighSurrogate(strText[kLangTextChars - 1]);
    strText.resize(bPartsPair ? kLangTextChars - 1 : kLangTextChars);
  }
  return strText;
}

std::wstring ExpandLangLineBreaks(const std::wstring& strText) {
  std::wstring strResult;
  strResult.reserve(strText.size());
  for (std::size_t i = 0; i < strText.size(); ++i) {
    if (strText[i] == L'\\' && i + 1 < strText.size() && strText[i + 1] == L'n') {
      strResult += L'\n';
      ++i;
    } else {
      strResult += strText[i];
    }
  }
  return strResult;
}

std::optional<int> LocalizedControlWidth(const std::wstring& strClassName, int nWidth, int nTextWidth) {
  static constexpr wchar_t kLabelClass[] = L"STATIC";
  bool bLabel = strClassName.size() == std::size(kLabelClass) - 1;
  for (std::size_t i = 0; bLabel && i < strClassName.size(); ++i) {
    wchar_t c = strClassName[i];
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    bLabel = c == kLabelClass[i];
  }
  if (bLabel || nWidth < nTextWidth) return nTextWidth;
  return std::nullopt;
}

}  // namespace vantor
