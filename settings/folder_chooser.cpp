#include "settings/folder_chooser.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "base/files.h"
#include "base/modal_scope.h"
#include "base/unique.h"

namespace {

constexpr wchar_t kChooserText[] = L"Sélectionnez l'emplacement de Condor.exe";

struct ItemListTraits {
    using Handle = PIDLIST_ABSOLUTE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::CoTaskMemFree(h); }
};
using UniqueItemList = Unique<ItemListTraits>;

// The new dialog style needs COM on this thread for as long as it is open.
class OleScope {
public:
    OleScope() : initialised_(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~OleScope()
    {
        if (initialised_) ::OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

private:
    bool initialised_;
};

// No "insert a disk" boxes from the platform while the pilot browses.
class CriticalErrorsOff {
public:
    CriticalErrorsOff() : previous_(::SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsOff() { ::SetErrorMode(previous_); }
    CriticalErrorsOff(const CriticalErrorsOff&) = delete;
    CriticalErrorsOff& operator=(const CriticalErrorsOff&) = delete;

private:
    UINT previous_;
};

int CALLBACK OnChooserEvent(HWND chooser, UINT event, LPARAM, LPARAM startingFolder)
{
    if (event != BFFM_INITIALIZED) return 0;
    RECT frame;
    if (::GetWindowRect(chooser, &frame)) {
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        ::SetWindowPos(chooser, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                       (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const auto* folder = reinterpret_cast<const std::wstring*>(startingFolder);
    if (!folder->empty()) ::SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder->c_str()));
    return 0;
}

} // namespace

bool ChooseFolder(HWND owner, std::wstring& folder)
{
    if (!IsExistingFolder(folder)) folder.clear();

    OleScope ole;
    UniqueItemList root;
    PIDLIST_ABSOLUTE parsed = nullptr;
    // Without "C:\" the tree starts at the desktop.
    if (SUCCEEDED(::SHParseDisplayName(L"C:\\", nullptr, &parsed, 0, nullptr))) root.reset(parsed);

    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.pidlRoot = root.get();
    browse.lpszTitle = kChooserText;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    browse.lpfn = OnChooserEvent;
    browse.lParam = reinterpret_cast<LPARAM>(&folder);

    UniqueItemList chosen;
    {
        CriticalErrorsOff quiet;
        ModalScope modal(owner);
        chosen.reset(::SHBrowseForFolderW(&browse));
    }
    if (!chosen) return false;
    wchar_t path[MAX_PATH];
    if (!::SHGetPathFromIDListW(chosen.get(), path)) return false;
    folder = path;
    return true;
}
