#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "base/unique.h"

// Downloads the updater into its file while a progress dialog owned by
// owner keeps the window's thread answering. With a public key ("RW..."),
// its signature is downloaded too and checked (update/signature_check.h),
// and the file comes back held so that nobody can change it before it is
// started; without one, the handle is empty. None when the download failed,
// the pilot cancelled it, 10 minutes passed or the signature was refused;
// then a cancelled or refused file is removed.
std::optional<UniqueFile> FetchUpdater(HWND owner, HINSTANCE instance, const std::wstring& caption,
                                       const std::wstring& address, const std::wstring& updaterPath, bool httpsOnly,
                                       std::string_view publicKey);
