#include "app/application.h"

#include "app/title.h"

namespace {

constexpr wchar_t kHiddenOwnerClass[] = L"TApplication";

std::wstring RunningModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HWND CreateHiddenOwner(HINSTANCE instance, const std::wstring& title)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kHiddenOwnerClass;
    ::RegisterClassExW(&windowClass);
    // Never shown; a tool window, so it never gets a taskbar button.
    return ::CreateWindowExW(WS_EX_TOOLWINDOW, kHiddenOwnerClass, title.c_str(), WS_POPUP, 0, 0, 0, 0,
                             nullptr, nullptr, instance, nullptr);
}

} // namespace

Application::Application(HINSTANCE instance)
    : instance_(instance), modulePath_(RunningModulePath()), title_(ApplicationTitle(modulePath_))
{
}

HWND Application::HiddenOwner() const
{
    if (!hiddenOwner_) hiddenOwner_.reset(CreateHiddenOwner(instance_, title_));
    return hiddenOwner_.get();
}

HWND Application::ActiveOwner() const
{
    HWND active = ::GetActiveWindow();
    if (active && ::IsWindowVisible(active)) return active;
    return HiddenOwner();
}

void Application::Terminate()
{
    if (terminated_) return;
    terminated_ = true;
    // Ends the loop of any box still open, so the program ends promptly.
    ::PostQuitMessage(0);
}

void Application::Run(HWND mainWindow, const std::function<void(const MSG&)>& preview)
{
    MSG message;
    while (!terminated_ && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        try {
            preview(message);
            if (!::IsDialogMessageW(mainWindow, &message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        } catch (...) {
            HandleException();
        }
    }
}
