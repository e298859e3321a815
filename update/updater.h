#pragma once
#include <windows.h>

#include <string>

#include "base/launcher_window.h"

// Where the update comes from and what its progress box hangs on.
struct UpdateSource {
    bool httpsOnly;         // only "https" addresses are asked
    const char* publicKey;  // minisign public key, empty when updates are not signed
    HWND owner;             // of the progress box
    HINSTANCE instance;
    std::wstring caption;   // the application title
};

// The update asked for by an "MJ" reply, whose argument is the updater's
// address: asks the pilot, downloads it beside the launcher and starts it.
// Always ends the launcher.
void UpdateLauncher(const LauncherState& state, LauncherWindow& window, const std::wstring& launcherPath,
                    const UpdateSource& source);

// The updater that an earlier run's update leaves beside the launcher (this
// run's own ends the launcher). Once none is left, it is not looked for
// again: under Wine each look is a search of the folder.
class LeftoverUpdater {
public:
    explicit LeftoverUpdater(const std::wstring& launcherPath);
    // An updater that still runs keeps its file: the next call tries again.
    void Remove();

private:
    std::wstring path_;
    bool left_ = true;
};
