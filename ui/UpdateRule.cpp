#include "ui/UpdateRule.h"

#ifndef VANTOR_UPDATE_HOST
#error "VANTOR_UPDATE_HOST comes from the build (ui/CMakeLists.txt)"
#endif

namespace vantor {
namespace {

// L"" VANTOR_... : the build's narrow host names as wide literals.
#define VANTOR_WIDE2(s) L##s
#define VANTOR_WIDE(s) VANTOR_WIDE2(s)
constexpr const wchar_t* kUpdateHost = VANTOR_WIDE(VANTOR_UPDATE_HOST);
constexpr const wchar_t* kWebHost = VANTOR_WIDE(VANTOR_WEB_HOST);
constexpr const wchar_t* kWebHostCn = VANTOR_WIDE(VANTOR_WEB_HOST_CN);

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::wstring VersionFileUrl() { return std::wstring(L"http://") + kUpdateHost + L"/version/version.t"; }

std::int32_t AnnouncedVersion(std::string_view versionFile) {
  std::string_view text = versionFile.substr(0, kVersionNumberBytes);
  text = text.substr(0, text.find('\0'));
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool bNegative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) bNegative = text[i++] == '-';
  std::int32_t nValue = 0;  // four characters hold at most 9999
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) nValue = nValue * 10 + (text[i] - '0');
  return bNegative ? -nValue : nValue;
}

bool IsNewerVersion(std::int32_t nAnnounced) { return nAnnounced > 1; }

UpdatePrompt UpdatePromptForLanguage(const std::wstring& strLanguage) {
  if (strLanguage == L"SimpChinese") {
    return {L"更新提醒",
            std::wstring(L"Vantor 有新版本了，已发布在中文网站 ") + kWebHostCn + L" 上。\r\n您现在是否需要下载更新?",
            std::wstring(L"https://") + kWebHostCn + L"/"};
  }
  return {L"New version is available",
          std::wstring(L"A newer version of Vantor is available at ") + kWebHost +
              L".\r\nDo you want to download the latest version right now?",
          std::wstring(L"https://") + kWebHost + L"/"};
}

std::optional<UpdatePrompt> UpdatePromptFor(std::string_view versionFile, const std::wstring& strLanguage) {
  if (!IsNewerVersion(AnnouncedVersion(versionFile))) return std::nullopt;
  return UpdatePromptForLanguage(strLanguage);
}

}  // namespace vantor
