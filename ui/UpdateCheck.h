// The start-up update check: one HTTP request for the version file, and when it
// announces a newer version, a question whether to open the download page. It runs on
// the interface thread while the main dialog initialises, so every wait in it is
// bounded (kUpdateCheckTimeoutMs); any failure ends it silently. The decision itself
// is in ui/UpdateRule.h.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "ui/UpdateRule.h"

namespace vantor {

// How long the check waits for the connection, for the request to be sent and for
// each piece of the answer.
constexpr DWORD kUpdateCheckTimeoutMs = 4000;

// The first bytes (at most kVersionFileBytes) of the file at strUrl, fetched through
// WinINet with the system's proxy settings, always from the server (no cache); the
// HTTP status is not looked at. Nothing when the session reports an error (no network,
// unknown host, refused connection, time-out, transfer error).
std::optional<std::string> FetchVersionFile(const std::wstring& strUrl, DWORD dwTimeoutMs = kUpdateCheckTimeoutMs);

// Asks the user in a message box owned by hOwner (Yes and No, No by default) and on Yes
// opens the prompt's target with the shell's "open" action, without waiting for it.
// Returns the box's answer.
int AskToOpenUpdate(HWND hOwner, const UpdatePrompt& prompt);

// The whole check: fetch the version file, and when it announces a newer version ask
// in the language strLanguage names. Returns the prompt it showed, if any.
std::optional<UpdatePrompt> CheckForUpdate(HWND hOwner, const std::wstring& strLanguage,
                                           const std::wstring& strUrl = VersionFileUrl());

// How a Yes opens the download page: ShellExecuteW, unless a test puts its own here.
using OpenUpdatePageFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
extern OpenUpdatePageFn g_pfnOpenUpdatePage;

}  // namespace vantor
