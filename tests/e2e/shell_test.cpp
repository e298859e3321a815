#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "app/layout.h"
#include "tests/e2e/launcher.h"
#include "tests/support/screenshot.h"
#include "tests/support/status_fixture.h"
#include "tests/support/texts.h"

using namespace std::chrono_literals;

namespace {

// The DPI that the test's Wine prefix runs at (its LogPixels).
UINT PrefixDpi()
{
    const char* dpi = std::getenv("TARVIK_WINE_DPI");
    return dpi ? static_cast<UINT>(std::atoi(dpi)) : 96u;
}

bool IsWhite(COLORREF colour)
{
    return colour == RGB(255, 255, 255);
}

bool IsBlueish(COLORREF colour)
{
    return GetBValue(colour) > 160 && GetRValue(colour) < 120 && GetGValue(colour) < 120;
}

// The build's launcher copied into a folder under another name.
std::wstring CopyOfLauncher(const ScratchFolder& folder, const wchar_t* name)
{
    const std::wstring copy = folder.Path() + L"\\" + name;
    EXPECT_TRUE(CopyFileW(LauncherPath().c_str(), copy.c_str(), FALSE));
    return copy;
}

// How this Wine prefix loads a DLL for one program, undone at the end.
class WineDllOverride {
public:
    WineDllOverride(const std::wstring& program, const wchar_t* dll, const wchar_t* loadOrder)
        : key_(L"Software\\Wine\\AppDefaults\\" + program)
    {
        const std::wstring value(loadOrder);
        EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), dll, REG_SZ, value.c_str(),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    ~WineDllOverride() { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    WineDllOverride(const WineDllOverride&) = delete;
    WineDllOverride& operator=(const WineDllOverride&) = delete;

private:
    std::wstring key_;
};

} // namespace

TEST(Layout, WindowAndControlsAsDrawnAtThePrefixDpi)
{
    const UINT dpi = PrefixDpi();
    auto scaled = [dpi](int value) { return MulDiv(value, static_cast<int>(dpi), 96); };

    LauncherRun launcher;
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);
    EXPECT_EQ(ui::Text(form), text::kCaption);

    RECT client{};
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, scaled(357));
    EXPECT_EQ(client.bottom, scaled(408));

    const LONG style = GetWindowLongW(form, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the window cannot be resized";
    EXPECT_EQ(GetWindow(form, GW_OWNER), nullptr) << "its own taskbar button";

    struct Expected {
        int id;
        const wchar_t* windowClass;
        const wchar_t* text;
        int left, top, width, height; // width 0: sized to its text
        bool enabled, tabStop;
    };
    const Expected controls[] = {
        {IdStatusLabel, L"Static", text::kOffline, 27, 0, 304, 21, true, false},
        {IdSiteLink, L"Static", text::kSiteLink, 109, 389, 0, 0, true, false},
        {IdCredit, L"Static", nullptr, 27, 27, 0, 0, true, false},
        {IdConnectButton, L"Button", text::kConnect, 226, 343, 105, 40, false, true},
        {IdAlertBox, L"Button", text::kAlertBox, 27, 343, 97, 17, true, true},
        {IdAutoConnectBox, L"Button", text::kAutoConnectBox, 27, 366, 158, 17, true, true},
    };
    for (const Expected& c : controls) {
        HWND control = launcher.Control(c.id);
        ASSERT_TRUE(control) << c.id;
        EXPECT_EQ(_wcsicmp(ui::ClassName(control).c_str(), c.windowClass), 0) << c.id;
        if (c.text) {
            EXPECT_EQ(ui::Text(control), c.text);
        }
        const RECT rect = ui::RectInParentClient(control);
        EXPECT_EQ(rect.left, scaled(c.left)) << c.id;
        EXPECT_EQ(rect.top, scaled(c.top)) << c.id;
        if (c.width) {
            EXPECT_EQ(rect.right - rect.left, scaled(c.width)) << c.id;
            EXPECT_EQ(rect.bottom - rect.top, scaled(c.height)) << c.id;
        } else {
            EXPECT_GT(rect.right - rect.left, 0) << c.id;
        }
        EXPECT_EQ(IsWindowEnabled(control) != FALSE, c.enabled) << c.id;
        EXPECT_EQ((GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP) != 0, c.tabStop) << c.id;
        EXPECT_TRUE(IsWindowVisible(control));
    }
    EXPECT_EQ(ui::Text(launcher.Control(IdCredit)).rfind(text::kCreditPrefix, 0), 0u);
    EXPECT_EQ(SendMessageW(launcher.Control(IdAlertBox), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(launcher.Control(IdAutoConnectBox), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // What the pilot sees: white ground, the logo in its box, a blue link.
    Sleep(300);
    const Screenshot shot = CaptureClient(form);
    shot.Save(ArtifactsPath() + L"\\main-window-" + std::to_wstring(dpi) + L"dpi.bmp");
    EXPECT_TRUE(IsWhite(shot.At(scaled(5), scaled(330)))) << "background";
    EXPECT_TRUE(IsWhite(shot.At(scaled(28), scaled(200)))) << "the 3 pixels left of the logo";
    EXPECT_FALSE(IsWhite(shot.At(scaled(31), scaled(200)))) << "the logo's left edge";
    EXPECT_FALSE(IsWhite(shot.At(scaled(178), scaled(175)))) << "the logo's middle";
    EXPECT_TRUE(IsWhite(shot.At(scaled(329), scaled(200)))) << "right of the logo";
    const RECT link = ui::RectInParentClient(launcher.Control(IdSiteLink));
    int blue = 0;
    for (int y = link.top; y < link.bottom; ++y)
        for (int x = link.left; x < link.right; ++x) blue += IsBlueish(shot.At(x, y));
    EXPECT_GT(blue, 20) << "the link is drawn in blue";
}

TEST(Shell, ClosingEndsTheProgramWithCodeZero)
{
    const UINT closes[][2] = {{WM_CLOSE, 0}, {WM_SYSCOMMAND, SC_CLOSE}};
    for (const auto& close : closes) {
        LauncherRun launcher;
        HWND form = launcher.MainWindow();
        ASSERT_TRUE(form);
        PostMessageW(form, close[0], close[1], 0);
        EXPECT_EQ(launcher.WaitForExit(), std::optional<DWORD>(0));
    }
}

namespace {

// The launcher window's hints, once it has them; null if it has none by then.
HWND WaitForHints(HWND form, ui::Duration timeout)
{
    HWND hints = nullptr;
    ui::WaitFor(
        [&] {
            hints = nullptr;
            while ((hints = FindWindowExW(nullptr, hints, TOOLTIPS_CLASSW, nullptr)))
                if (GetWindow(hints, GW_OWNER) == form) return true;
            return false;
        },
        timeout);
    return hints;
}

// The tool that a hint window of the launcher shows now. Its description
// lives in the launcher's memory, so the question goes through a block of it.
std::optional<UINT_PTR> ShownTool(HANDLE process, HWND hints)
{
    if (!IsWindowVisible(hints)) return std::nullopt;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(TTTOOLINFOW), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return std::nullopt;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    WriteProcessMemory(process, remote, &tool, sizeof tool, nullptr);
    const bool shown = SendMessageW(hints, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(remote)) != 0;
    ReadProcessMemory(process, remote, &tool, sizeof tool, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (!shown) return std::nullopt;
    return tool.uId;
}

} // namespace

// The hints are made for the mouse's first move over the window, and that
// move already counts: one move onto a control is a hover. Each control has
// its area of the window too. The mouse resting on a control brings up its
// hint, whether the control is enabled (the hint follows the control) or not
// (the window under it).
TEST(Shell, HintsComeUpUnderTheMouseFromItsFirstMove)
{
    SetCursorPos(0, 0);
    LauncherRun launcher;
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);
    // Settled and answering, before any mouse move over the window.
    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer), 0);

    HWND hints = nullptr;
    const int hovered[] = {IdStatusLabel, IdConnectButton, IdAutoConnectBox};
    for (int id : hovered) {
        HWND control = launcher.Control(id);
        ASSERT_TRUE(control) << id;
        // Away first, so that each control's hint comes up anew.
        SetCursorPos(0, 0);
        if (hints) {
            EXPECT_TRUE(ui::WaitFor([&] { return !IsWindowVisible(hints); }, 5s)) << id;
        }
        RECT rect{};
        GetWindowRect(control, &rect);
        SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        if (!hints) {
            hints = WaitForHints(form, 3s);
            ASSERT_TRUE(hints);
            const auto hinted = std::count_if(std::begin(kControls), std::end(kControls),
                                              [](const ControlLayout& layout) { return layout.hint != nullptr; });
            EXPECT_EQ(SendMessageW(hints, TTM_GETTOOLCOUNT, 0, 0), 2 * hinted);
        }
        std::optional<UINT_PTR> tool;
        EXPECT_TRUE(ui::WaitFor(
            [&] {
                tool = ShownTool(launcher.Process(), hints);
                return tool.has_value();
            },
            3s))
            << id;
        if (tool) {
            EXPECT_TRUE(*tool == reinterpret_cast<UINT_PTR>(control) || *tool == static_cast<UINT_PTR>(id))
                << id << ": the hint of tool " << *tool;
        }
        EXPECT_EQ(IsWindowEnabled(control) != FALSE, id != IdConnectButton) << id;
    }
    SetCursorPos(0, 0);
}

TEST(Shell, TitleFollowsTheExecutablesName)
{
    ScratchFolder folder(L"title");
    LauncherRun::Options options;
    options.executable = CopyOfLauncher(folder, L"MON.LANCEUR.EXE");
    options.settings = std::nullopt; // a first run: its message comes before the window
    LauncherRun launcher(options);
    HWND box = launcher.WaitForBox();
    ASSERT_TRUE(box);
    // The title is the caption of the launcher's boxes, and names the
    // hidden window that owns them when the launcher's window is not up.
    EXPECT_EQ(ui::Text(box), L"Mon");
    HWND owner = GetWindow(box, GW_OWNER);
    EXPECT_EQ(ui::ClassName(owner), window_class::kBoxOwner);
    EXPECT_EQ(ui::Text(owner), L"Mon");
}

TEST(Shell, TabMovesThroughTheEnabledControlsOnly)
{
    LauncherRun launcher;
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);
    auto focus = [&] {
        GUITHREADINFO info{sizeof info};
        GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info);
        return info.hwndFocus;
    };
    // "Connexion" is disabled, so the first box has the focus from the start.
    ASSERT_TRUE(ui::WaitFor([&] { return focus() == launcher.Control(IdAlertBox); }, 3s));

    // Tab goes round the two boxes only, the labels never take the focus.
    const int order[] = {IdAutoConnectBox, IdAlertBox, IdAutoConnectBox};
    for (int id : order) {
        PostMessageW(focus(), WM_KEYDOWN, VK_TAB, 0x000F0001);
        EXPECT_TRUE(ui::WaitFor([&] { return focus() == launcher.Control(id); }, 3s)) << id;
    }

    // Space on the focused box acts as a click: it toggles and is stored.
    HWND box = focus();
    PostMessageW(box, WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageW(box, WM_KEYUP, VK_SPACE, 0xC0390001);
    EXPECT_TRUE(ui::WaitFor([&] { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 3s));
    EXPECT_TRUE(ui::WaitFor(
        [&] {
            const auto lines = launcher.SettingsLines();
            return std::find(lines.begin(), lines.end(), "AutoConnect=1") != lines.end();
        },
        3s));
}

TEST(Shell, LinkOpensTheCommunitySiteInTheBrowser)
{
    // Wine's shell hands web addresses to the Unix browsers that it lists:
    // list one that writes down what it was asked to open.
    const std::wstring log = FromBuildPath(TARVIK_BROWSER_LOG);
    DeleteFileW(log.c_str());
    const std::wstring browser = TARVIK_BROWSER_SCRIPT;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers", REG_SZ, browser.c_str(),
                              static_cast<DWORD>((browser.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    LauncherRun launcher;
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);
    HWND link = launcher.Control(IdSiteLink);
    const RECT rect = ui::RectInParentClient(link);
    const LPARAM inside = MAKELPARAM(5, (rect.bottom - rect.top) / 2);
    PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    PostMessageW(link, WM_LBUTTONUP, 0, inside);
    std::string opened;
    EXPECT_TRUE(ui::WaitFor(
        [&] {
            std::ifstream file(log.c_str());
            std::getline(file, opened);
            return !opened.empty();
        },
        10s));
    EXPECT_EQ(opened, TARVIK_SITE_URL_NARROW);
    EXPECT_EQ(launcher.WaitForBox(500ms), nullptr) << "nothing to tell the pilot";
}

TEST(Shell, DllsPlantedBesideTheLauncherAreNeverLoaded)
{
    // Windows looks in the program's folder first for DLLs it does not
    // always take from its own; this prefix is told to do the same for the
    // copy under test.
    const WineDllOverride winmm(L"Lanceur_Plante.exe", L"winmm", L"native,builtin");
    const WineDllOverride winhttp(L"Lanceur_Plante.exe", L"winhttp", L"native,builtin");
    struct Markers {
        Markers() { Remove(); }
        ~Markers() { Remove(); }
        static void Remove()
        {
            for (const wchar_t* marker : {L"C:\\planted-winmm.dll.txt", L"C:\\planted-winhttp.dll.txt"})
                DeleteFileW(marker);
        }
    } markers;

    ScratchFolder folder(L"planted");
    const std::wstring launcher = CopyOfLauncher(folder, L"Lanceur_Plante.exe");
    for (const wchar_t* dll : {L"\\winmm.dll", L"\\winhttp.dll"})
        ASSERT_TRUE(CopyFileW((FromBuildPath(TARVIK_PLANTED_PATH) + dll).c_str(), (folder.Path() + dll).c_str(), FALSE));

    // Online with the alert on (the sound), then an update (the download).
    auto served = std::make_shared<int>(0);
    StatusFixture server([served](const StatusFixture::Request&, StatusFixture&) -> std::optional<std::string> {
        return ++*served == 1 ? "SP3.0.4" : "MJhttp://127.0.0.1:1/MaJLanceur.exe";
    });
    LauncherRun::Options options;
    options.executable = launcher;
    options.settings = SettingsText().CheminExe("C:\\Condor3").Alerte("1").Text();
    LauncherRun run(options);
    ASSERT_TRUE(run.MainWindow());
    HWND question = run.WaitForBox(15s);
    ASSERT_TRUE(question);
    ui::Press(question, ui::Button::Oui);
    HWND failed = nullptr;
    ASSERT_TRUE(ui::WaitFor([&] { return (failed = run.WaitForBox(0ms)) && failed != question; }, 20s));
    ui::Press(failed, ui::Button::Ok);
    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(GetFileAttributesW(L"C:\\planted-winmm.dll.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(L"C:\\planted-winhttp.dll.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST(Shell, StartupFailureOutsideEveryHandlerEndsWithCodeOne)
{
    // Windows sockets refused to this copy: its datagram client cannot be
    // activated while the window is built.
    const WineDllOverride sockets(L"Lanceur_SansReseau.exe", L"ws2_32", L"");
    ScratchFolder folder(L"nonet");
    LauncherRun::Options options;
    options.executable = CopyOfLauncher(folder, L"Lanceur_SansReseau.exe");
    LauncherRun launcher(options);
    HWND box = launcher.WaitForBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(ui::Text(box), text::kApplicationErrorTitle);
    const std::wstring shown = ui::ChildTexts(box);
    EXPECT_NE(shown.find(L"Exception ErreurSocket dans le module Lanceur_SansReseau.exe en "), std::wstring::npos)
        << ::testing::PrintToString(shown);
    EXPECT_NE(shown.find(text::kSocketError), std::wstring::npos);
    EXPECT_TRUE(ui::TopLevelWindows(launcher.ProcessId(), window_class::kMain).empty()) << "the window is never shown";
    ui::Press(box, ui::Button::Ok);
    EXPECT_EQ(launcher.WaitForExit(), std::optional<DWORD>(1));
}
