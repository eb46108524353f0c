#include "ui/UpdateCheck.h"

#include <shellapi.h>
#include <wininet.h>

#include <iterator>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace vantor {

OpenUpdatePageFn g_pfnOpenUpdatePage = &ShellExecuteW;

namespace {

// Owns one WinINet handle.
class CInternetHandle {
 public:
  explicit CInternetHandle(HINTERNET hHandle) : m_hHandle(hHandle) {}
  CInternetHandle(const CInternetHandle&) = delete;
  CInternetHandle& operator=(const CInternetHandle&) = delete;
  ~CInternetHandle() {
    if (m_hHandle) InternetCloseHandle(m_hHandle);
  }
  HINTERNET get() const { return m_hHandle; }

 private:
  HINTERNET m_hHandle;
};

// The user agent: the program's name ("Vantor" for Vantor.exe).
std::wstring ApplicationName() {
  std::wstring strName = WideFromUtf8(GetProgramPath());
  const std::size_t nSep = strName.find_last_of(L"\\/");
  if (nSep != std::wstring::npos) strName.erase(0, nSep + 1);
  const std::size_t nDot = strName.rfind(L'.');
  if (nDot != std::wstring::npos) strName.resize(nDot);
  return strName.empty() ? std::wstring(L"Vantor") : strName;
}

// Bounds every wait of a handle and of the handles made from it.
void SetTimeOuts(HINTERNET hHandle, DWORD dwTimeoutMs) {
  for (DWORD dwOption :
       {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    DWORD dwValue = dwTimeoutMs;
    InternetSetOptionW(hHandle, dwOption, &dwValue, sizeof(dwValue));
  }
}

}  // namespace

std::optional<std::string> FetchVersionFile(const std::wstring& strUrl, DWORD dwTimeoutMs) {
  wchar_t szHost[INTERNET_MAX_HOST_NAME_LENGTH] = {};
  wchar_t szPath[INTERNET_MAX_PATH_LENGTH] = {};
  URL_COMPONENTSW url = {};
  url.dwStructSize = sizeof(url);
  url.lpszHostName = szHost;
  url.dwHostNameLength = static_cast<DWORD>(std::size(szHost));
  url.lpszUrlPath = szPath;
  url.dwUrlPathLength = static_cast<DWORD>(std::size(szPath));
  if (!InternetCrackUrlW(strUrl.c_str(), 0, 0, &url) || url.nScheme != INTERNET_SCHEME_HTTP) return std::nullopt;

  CInternetHandle session(InternetOpenW(ApplicationName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session.get()) return std::nullopt;
  // The dialog waits for this check: a server that does not answer must not keep the
  // program from starting for the system's default minutes. Windows hands a session's
  // time-outs down to its requests; Wine takes only the connect time-out from the
  // session, so the request gets them too.
  SetTimeOuts(session.get(), dwTimeoutMs);
  CInternetHandle connection(
      InternetConnectW(session.get(), szHost, url.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1));
  if (!connection.get()) return std::nullopt;
  SetTimeOuts(connection.get(), dwTimeoutMs);
  // Always from the server: a kept copy would hide a new version.
  CInternetHandle request(HttpOpenRequestW(
      connection.get(), L"GET", szPath, nullptr, nullptr, nullptr,
      INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI, 1));
  if (!request.get()) return std::nullopt;
  SetTimeOuts(request.get(), dwTimeoutMs);
  if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return std::nullopt;

  char buffer[kVersionFileBytes] = {};
  DWORD dwTotal = 0;
  while (dwTotal < sizeof(buffer)) {
    DWORD dwRead = 0;
    if (!InternetReadFile(request.get(), buffer + dwTotal, sizeof(buffer) - dwTotal, &dwRead)) return std::nullopt;
    if (dwRead == 0) break;
    dwTotal += dwRead;
  }
  return std::string(buffer, dwTotal);
}

int AskToOpenUpdate(HWND hOwner, const UpdatePrompt& prompt) {
  const int nAnswer = MessageBoxW(hOwner, prompt.strText.c_str(), prompt.strCaption.c_str(),
                                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (nAnswer == IDYES) g_pfnOpenUpdatePage(hOwner, L"open", prompt.strTarget.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return nAnswer;
}

std::optional<UpdatePrompt> CheckForUpdate(HWND hOwner, const std::wstring& strLanguage, const std::wstring& strUrl) {
  const std::optional<std::string> versionFile = FetchVersionFile(strUrl);
  if (!versionFile) return std::nullopt;
  std::optional<UpdatePrompt> prompt = UpdatePromptFor(*versionFile, strLanguage);
  if (prompt) AskToOpenUpdate(hOwner, *prompt);
  return prompt;
}

}  // namespace vantor
