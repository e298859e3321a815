#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "app/application.h"
#include "app/errors.h"
#include "app/form1.h"

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
    } catch (const Erreur& e) {
        kind = e.Kind();
        address = e.Address();
    } catch (...) {
    }
    const std::wstring text = StartupFailureText(kind, ModuleNameAt(address),
                                                 reinterpret_cast<unsigned long long>(address),
                                                 ChooseMessage(MessageChain(error)));
    ::MessageBoxW(nullptr, text.c_str(), L"Erreur d'application", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Launchers are run from download folders: never load a DLL planted there.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    Application app(instance);
    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>(app);
    } catch (...) {
        ReportStartupFailure();
        return 1;
    }
    app.Run(form->Handle());
    return 0;
}
