#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "app/application.h"
#include "base/errors.h"
#include "app/main_window.h"
#include "base/system_library.h"

namespace {

std::wstring ModuleNameAt(const void* address)
{
    HMODULE module = nullptr;
    if (!address || !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                          static_cast<LPCWSTR>(address), &module))
        module = nullptr;
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(module, path, MAX_PATH);
    const wchar_t* slash = ::wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

// An error that escaped start-up outside every handler: the window was
// never shown, and the program ends with code 1.
void ReportStartupFailure()
{
    const std::exception_ptr error = std::current_exception();
    const wchar_t* kind = L"Exception";
    const void* address = nullptr;
    try {
        std::rethrow_exception(error);
    } catch (const LauncherError& e) {
        kind = e.Kind();
        address = e.Address();
    } catch (...) {
    }
    const std::wstring text = StartupFailureText(kind, ModuleNameAt(address),
                                                 reinterpret_cast<unsigned long long>(address),
                                                 ChooseMessage(MessageChain(error)));
    ::MessageBoxW(nullptr, text.c_str(), L"Erreur d'application", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}


#ifdef TARVIK_UPDATE_HTTPS_ONLY
constexpr bool kUpdateHttpsOnly = true;
#else
constexpr bool kUpdateHttpsOnly = false;
#endif

// The site this executable was built for: the one place its constants
// enter the program.
constexpr Site kSite{TARVIK_STATUS_HOST, TARVIK_SITE_URL, kUpdateHttpsOnly, TARVIK_UPDATE_PUBLIC_KEY};

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Launchers are run from download folders: never load a DLL planted there.
    RestrictDllSearch();

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    Application app(instance);
    std::unique_ptr<MainWindow> window;
    try {
        window = std::make_unique<MainWindow>(app, kSite);
    } catch (...) {
        ReportStartupFailure();
        return 1;
    }
    app.Run(window->Handle(), [&window](const MSG& message) { window->PreviewMessage(message); });
    return 0;
}
