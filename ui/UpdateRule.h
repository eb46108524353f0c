// What the start-up update check decides, apart from fetching: the version file's
// address, the number it announces, and the prompt shown for a newer version. The
// Windows side (ui/UpdateCheck.h) fetches the file and shows the prompt.
//
// The hosts are build settings (VANTOR_UPDATE_HOST, VANTOR_WEB_HOST,
// VANTOR_WEB_HOST_CN in CMake).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantor {

// At most this many bytes of the version file are read; only the first
// kVersionNumberBytes of them make the number.
constexpr std::size_t kVersionFileBytes = 32;
constexpr std::size_t kVersionNumberBytes = 4;

// "http://" + the update host + "/version/version.t".
std::wstring VersionFileUrl();

// The number the version file announces: its first four bytes (fewer when a zero byte
// or the end comes first) read as a decimal number, leading blanks skipped, one
// optional sign, digits up to the first other character; no digits give 0. "12345"
// gives 1234.
std::int32_t AnnouncedVersion(std::string_view versionFile);

// The version file announces a newer version than this one.
bool IsNewerVersion(std::int32_t nAnnounced);

// The question shown when a newer version exists, and the page a Yes opens.
struct UpdatePrompt {
  std::wstring strCaption;
  std::wstring strText;  // two lines, separated by CR LF
  std::wstring strTarget;
};

// The Chinese prompt and site for the language name "SimpChinese" (exactly), the
// English ones for any other name, the empty one included.
UpdatePrompt UpdatePromptForLanguage(const std::wstring& strLanguage);

// The whole decision: the prompt to show for what was read of the version file, or
// nothing.
std::optional<UpdatePrompt> UpdatePromptFor(std::string_view versionFile, const std::wstring& strLanguage);

}  // namespace vantor
