#include "tests/support/scratch.h"

#include <windows.h>

#include <shellapi.h>

#include <random>
#include <stdexcept>

ScratchFolder::ScratchFolder(const std::wstring& tag, const std::wstring& parent)
{
    std::wstring under = parent;
    if (under.empty()) {
        wchar_t temp[MAX_PATH];
        if (!GetTempPathW(MAX_PATH, temp)) throw std::runtime_error("no temporary folder");
        under = temp;
    }
    // The clock as well, should the platform's random device be a fixed one.
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    static std::mt19937_64 random{std::random_device{}() ^ static_cast<unsigned long long>(now.QuadPart)};
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[17];
        swprintf(suffix, 17, L"%016llx", static_cast<unsigned long long>(random()));
        path_ = under + L"tarvik-" + tag + L"-" + suffix;
        // Fails on a folder that exists already: then another name.
        if (CreateDirectoryW(path_.c_str(), nullptr)) return;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("no scratch folder could be made under the parent given");
}

ScratchFolder::~ScratchFolder()
{
    std::wstring from = path_;
    from.push_back(L'\0');
    // A program started from the folder holds its file for a moment after
    // its window has gone: try again for a while.
    for (int attempt = 0; attempt < 50; ++attempt) {
        SHFILEOPSTRUCTW operation{};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags = FOF_NO_UI;
        SHFileOperationW(&operation);
        if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
        Sleep(100);
    }
}
