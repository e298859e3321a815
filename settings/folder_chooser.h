#pragma once
#include <windows.h>

#include <string>

// The platform's folder browser under "C:\", opened on `folder` when it names
// an existing folder (otherwise `folder` is emptied first). OK puts the
// chosen folder's path in `folder`; false when cancelled.
bool ChooseFolder(HWND owner, std::wstring& folder);
