#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "app/layout.h"
#include "tests/e2e/launcher.h"
#include "tests/support/screenshot.h"

#include <commctrl.h>

#include "tests/support/status_fixture.h"
#include "tests/support/texts.h"

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

// The simulator's registry value, as the tests set it, removed afterwards.
class CondorRegistration {
public:
    CondorRegistration() { Remove(); }
    ~CondorRegistration() { Remove(); }
    CondorRegistration(const CondorRegistration&) = delete;
    CondorRegistration& operator=(const CondorRegistration&) = delete;

    void InstallDir(DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Condor3", 0, nullptr, 0,
                                  KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"InstallDir", 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    void InstallDir(const std::wstring& folder)
    {
        InstallDir(REG_SZ, folder.c_str(), static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    }

private:
    static void Remove() { RegDeleteKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Condor3", KEY_WOW64_32KEY, 0); }
};

// A simulator directory: with "Condor.exe" in it, or without.
// Straight under "C:\": Wine's chooser walks down to its starting folder by
// comparing each level with the item it listed, modification time included,
// so a level that changes meanwhile, as the temporary folder does, stops it.
class SimulatorFolder {
public:
    explicit SimulatorFolder(bool withExecutable) : folder_(L"condor", L"C:\\")
    {
        if (withExecutable) std::ofstream((folder_.Path() + L"\\Condor.exe").c_str()) << "MZ";
    }
    const std::wstring& Path() const { return folder_.Path(); }

private:
    ScratchFolder folder_;
};

LauncherRun::Options FreshSettings()
{
    LauncherRun::Options options;
    options.settings.reset();
    return options;
}

HWND TreeOf(HWND chooser)
{
    for (HWND child : ui::Children(chooser))
        if (ui::ClassName(child) == window_class::kFolderTree) return child;
    return nullptr;
}

// How deep the chooser's selection sits below its root, "C:\". Item
// handles mean nothing outside the launcher but can be handed back to it.
int SelectionDepth(HWND tree)
{
    auto item = static_cast<LPARAM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item) return -1;
    int depth = 0;
    while ((item = static_cast<LPARAM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, item)))) ++depth;
    return depth;
}

int DepthBelowDrive(const std::wstring& folder)
{
    return folder.size() <= 3 ? 0 : static_cast<int>(std::count(folder.begin() + 3, folder.end(), L'\\')) + 1;
}

// Waits for the first-run message, checks it and dismisses it; then waits
// for the folder chooser to have walked down to `opensOn` ("C:\" when
// nothing is registered) and answers it with OK or Cancel.
void AnswerFirstRun(LauncherRun& launcher, ui::Button chooserButton, const std::wstring& opensOn = L"C:\\")
{
    HWND message = launcher.WaitForBox();
    ASSERT_TRUE(message);
    EXPECT_EQ(ui::Text(message), text::kMessageTitle);
    EXPECT_NE(ui::ChildTexts(message).find(text::kFirstRunMessage), std::wstring::npos)
        << ::testing::PrintToString(ui::ChildTexts(message));
    EXPECT_EQ(ui::TopLevelWindows(launcher.ProcessId(), window_class::kMain).size(), 0u) << "before the main window";
    Sleep(200);
    CaptureClient(message).Save(ArtifactsPath() + L"\\first-run-message.bmp");
    ui::Press(message, ui::Button::Ok);

    HWND chooser = nullptr;
    ASSERT_TRUE(ui::WaitFor(
        [&] {
            for (HWND box : ui::TopLevelWindows(launcher.ProcessId(), window_class::kBox))
                if (TreeOf(box)) chooser = box;
            return chooser != nullptr;
        },
        10s));
    EXPECT_NE(ui::ChildTexts(chooser).find(text::kChooserPrompt), std::wstring::npos);
    CaptureClient(chooser).Save(ArtifactsPath() + L"\\first-run-chooser.bmp");
    // It opens its tree down to the starting folder a level at a time, and
    // on a busy machine a level can take a while.
    HWND tree = TreeOf(chooser);
    const int depth = DepthBelowDrive(opensOn);
    EXPECT_TRUE(ui::WaitFor([&] { return SelectionDepth(tree) == depth; }, 30s))
        << "selection " << SelectionDepth(tree) << " levels down, not " << depth;
    ui::Press(chooser, chooserButton);
}

Lines FirstRunFile(const std::wstring& chemin)
{
    return SettingsText().CheminExe(Narrow(chemin)).Update("no").Alerte("0").AutoConnect("0").Lines();
}

} // namespace

TEST(FirstRun, RegisteredSimulatorIsTakenWithoutAsking)
{
    CondorRegistration registration;
    SimulatorFolder condor(true);
    registration.InstallDir(condor.Path());
    LauncherRun launcher(FreshSettings());
    ASSERT_TRUE(launcher.MainWindow());
    EXPECT_EQ(ui::TopLevelWindows(launcher.ProcessId(), window_class::kBox).size(), 0u);
    EXPECT_EQ(launcher.SettingsLines(), FirstRunFile(condor.Path()));
    EXPECT_EQ(SendMessageW(launcher.Control(IdAlertBox), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(launcher.Control(IdAutoConnectBox), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST(FirstRun, WithoutTheSimulatorThePilotIsAsked)
{
    struct Row {
        const char* what;
        bool registered;   // InstallDir names an existing folder without Condor.exe
        ui::Button answer; // the chooser's button
        bool storesFolder; // CheminExe afterwards: that folder, or empty
    };
    const Row rows[] = {
        {"chooses the folder it opened on", true, ui::Button::Ok, true},
        {"cancels, InstallDir names a folder", true, ui::Button::Cancel, true},
        {"cancels, nothing registered", false, ui::Button::Cancel, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CondorRegistration registration;
        SimulatorFolder folder(false);
        if (row.registered) registration.InstallDir(folder.Path());
        LauncherRun launcher(FreshSettings());
        AnswerFirstRun(launcher, row.answer, row.registered ? folder.Path() : L"C:\\");
        ASSERT_TRUE(launcher.MainWindow());
        EXPECT_EQ(launcher.SettingsLines(), FirstRunFile(row.storesFolder ? folder.Path() : L""));
    }
}

TEST(FirstRun, ChosenDriveRootKeepsItsSeparator)
{
    CondorRegistration registration;
    LauncherRun launcher(FreshSettings());
    // Nothing registered: the chooser opens on its root, "C:\".
    AnswerFirstRun(launcher, ui::Button::Ok);
    ASSERT_TRUE(launcher.MainWindow());
    EXPECT_EQ(launcher.SettingsLines(), FirstRunFile(L"C:\\"));
}

TEST(FirstRun, StoredValuesOtherThanVideSkipIt)
{
    const std::string stored[] = {
        SettingsText().CheminExe("vide").Text(), // the marker is compared with its case
        SettingsText().CheminExe("").Text(),     // empty is a stored value too
    };
    for (const std::string& content : stored) {
        LauncherRun::Options options;
        options.settings = content;
        LauncherRun launcher(options);
        ASSERT_TRUE(launcher.MainWindow());
        EXPECT_EQ(launcher.WaitForBox(1s), nullptr);
        std::ifstream file(launcher.SettingsFile().c_str(), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), content) << "nothing written";
    }
}

TEST(FirstRun, InstallDirOfAnotherTypeIsAnErrorAndStoresNothing)
{
    CondorRegistration registration;
    const DWORD number = 3;
    registration.InstallDir(REG_DWORD, &number, sizeof number);
    LauncherRun launcher(FreshSettings());
    HWND box = launcher.WaitForBox();
    ASSERT_TRUE(box);
    EXPECT_NE(ui::ChildTexts(box).find(text::kInstallDirWrongType), std::wstring::npos);
    EXPECT_EQ(ui::ChildTexts(box).find(std::wstring(text::kInstallDirWrongType) + L"."), std::wstring::npos)
        << "no full stop after a quote";
    PostMessageW(box, WM_CLOSE, 0, 0);
    ASSERT_TRUE(launcher.MainWindow()) << "the window comes all the same";
    EXPECT_EQ(GetFileAttributesW(launcher.SettingsFile().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FirstRun, PollTickWhileTheMessageIsOpenDoesNotBreakIt)
{
    StatusFixture server([](const StatusFixture::Request&, StatusFixture&) { return std::string("SP3.0.4"); });
    CondorRegistration registration;
    LauncherRun launcher(FreshSettings());
    ASSERT_TRUE(launcher.WaitForBox());
    ASSERT_TRUE(server.WaitForRequests(1, 10s)) << "a tick inside the message";
    Sleep(500);
    AnswerFirstRun(launcher, ui::Button::Cancel);
    ASSERT_TRUE(launcher.MainWindow());
    EXPECT_EQ(launcher.SettingsLines(), FirstRunFile(L""));
    EXPECT_EQ(ui::Text(launcher.Control(IdStatusLabel)), text::kOnline);
}

TEST(Options, AlerteReadAtStartIsResetByTheFirstRun)
{
    CondorRegistration registration;
    SimulatorFolder condor(true);
    registration.InstallDir(condor.Path());
    LauncherRun::Options options;
    options.settings = SettingsText().Alerte("1").Text();
    LauncherRun launcher(options);
    ASSERT_TRUE(launcher.MainWindow());
    EXPECT_EQ(SendMessageW(launcher.Control(IdAlertBox), BM_GETCHECK, 0, 0), BST_CHECKED) << "on for this run";
    const Lines lines = launcher.SettingsLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Alerte=0"), lines.end()) << "off from the next start";
}

TEST(Options, EachClickWritesItsBox)
{
    LauncherRun::Options options;
    options.settings = SettingsText().CheminExe("C:\\Condor3").AutoConnect("0x10").Text();
    LauncherRun launcher(options);
    ASSERT_TRUE(launcher.MainWindow());
    EXPECT_EQ(SendMessageW(launcher.Control(IdAutoConnectBox), BM_GETCHECK, 0, 0), BST_CHECKED) << "0x10 reads as on";
    auto value = [&](const std::string& key) {
        for (const std::string& line : launcher.SettingsLines())
            if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
        return std::string("(none)");
    };
    EXPECT_EQ(value("AutoConnect"), "1") << "restoring a checked box writes it back";

    HWND alerte = launcher.Control(IdAlertBox);
    for (const char* expected : {"1", "0", "1"}) {
        SendMessageW(alerte, BM_CLICK, 0, 0);
        EXPECT_TRUE(ui::WaitFor([&] { return value("Alerte") == expected; }, 3s)) << value("Alerte");
    }
    SendMessageW(launcher.Control(IdAutoConnectBox), BM_CLICK, 0, 0);
    EXPECT_TRUE(ui::WaitFor([&] { return value("AutoConnect") == "0"; }, 3s));
}

TEST(Options, UnwritableSettingsAreReportedAndTheLauncherGoesOn)
{
    CondorRegistration registration;
    SimulatorFolder condor(true);
    registration.InstallDir(condor.Path());

    LauncherRun::Options missingFolder;
    missingFolder.settingsFolder = false;
    // Stands for a read-only file, which stops nobody running as root, as
    // the tests do under Wine.
    LauncherRun::Options folderInTheWay;
    folderInTheWay.settingsIsFolder = true;
    for (const auto& options : {missingFolder, folderInTheWay}) {
        LauncherRun launcher(options);
        const std::wstring expected = text::kCannotWrite + launcher.SettingsFile() + L".";
        HWND box = launcher.WaitForBox();
        ASSERT_TRUE(box);
        EXPECT_NE(ui::ChildTexts(box).find(expected), std::wstring::npos)
            << ::testing::PrintToString(ui::ChildTexts(box));
        PostMessageW(box, WM_CLOSE, 0, 0);
        ASSERT_TRUE(launcher.MainWindow());

        // A click fails the same way, after the box has changed.
        HWND alerte = launcher.Control(IdAlertBox);
        PostMessageW(alerte, BM_CLICK, 0, 0);
        box = launcher.WaitForBox();
        ASSERT_TRUE(box);
        EXPECT_NE(ui::ChildTexts(box).find(expected), std::wstring::npos);
        EXPECT_EQ(SendMessageTimeoutW(alerte, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr), TRUE);
        PostMessageW(box, WM_CLOSE, 0, 0);
    }
}

// An update ordered while a first-run box is open ends the program: the
// unanswered boxes are no choice, nothing is stored, and the next start
// asks again.
TEST(FirstRun, EndedByAnUpdateWhileTheMessageIsOpenStoresNothing)
{
    StatusFixture server([](const StatusFixture::Request& request, StatusFixture&) -> std::optional<std::string> {
        if (request.bytes == "TPv2.0") return std::string("MJhttp://127.0.0.1:9/MaJLanceur.exe");
        return std::nullopt;
    });
    CondorRegistration registration;
    for (ui::Button answer : {ui::Button::Oui, ui::Button::Non}) {
        SCOPED_TRACE(answer == ui::Button::Oui ? "&Oui" : "&Non");
        LauncherRun launcher(FreshSettings());
        HWND message = launcher.WaitForBox();
        ASSERT_TRUE(message);
        ASSERT_NE(ui::ChildTexts(message).find(text::kFirstRunMessage), std::wstring::npos);
        // The tick's question comes over the message.
        HWND question = nullptr;
        ASSERT_TRUE(ui::WaitFor(
            [&] {
                for (HWND box : ui::TopLevelWindows(launcher.ProcessId(), window_class::kBox))
                    if (box != message && ui::Text(box) == text::kQuestionTitle) question = box;
                return question != nullptr;
            },
            10s));
        ui::Press(question, answer);
        if (answer == ui::Button::Oui) {
            // Nothing answers on port 9: the download fails and says so.
            HWND failed = nullptr;
            ASSERT_TRUE(ui::WaitFor(
                [&] {
                    for (HWND box : ui::TopLevelWindows(launcher.ProcessId(), window_class::kBox))
                        if (box != message && box != question &&
                            ui::ChildTexts(box).find(text::kUpdateFailed) != std::wstring::npos)
                            failed = box;
                    return failed != nullptr;
                },
                30s));
            ui::Press(failed, ui::Button::Ok);
        }
        EXPECT_EQ(launcher.WaitForExit(15s), std::optional<DWORD>(0));
        const Lines lines = launcher.SettingsLines();
        // Without "CheminExe" the next start is a first run again.
        const auto stored = [](const std::string& line) { return line.starts_with("CheminExe"); };
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), stored), 0) << ::testing::PrintToString(lines);
    }
}
