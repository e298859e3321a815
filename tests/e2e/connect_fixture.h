#pragma once
#include <windows.h>

#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <optional>

#include "app/layout.h"
#include "tests/e2e/launcher.h"
#include "tests/support/status_fixture.h"

// A simulator directory holding the stand-in as "Condor.exe"; it writes the
// command line it was started with to "standin.log" beside itself.
class SimulatorInstall {
public:
    // In a scratch folder of its own.
    SimulatorInstall() : scratch_(std::make_unique<ScratchFolder>(L"condor")), path_(scratch_->Path()) { Copy(); }
    // At a given path, removed afterwards.
    explicit SimulatorInstall(std::wstring path) : path_(std::move(path))
    {
        Remove(); // what a run that was cut short left there
        CreateDirectoryW(path_.c_str(), nullptr);
        Copy();
    }
    // The simulator started from it ends first, so that the folder can go.
    ~SimulatorInstall()
    {
        CloseStandins();
        if (!scratch_) Remove();
    }
    SimulatorInstall(const SimulatorInstall&) = delete;
    SimulatorInstall& operator=(const SimulatorInstall&) = delete;

    const std::wstring& Path() const { return path_; }
    // "<program's path>\t<its command line>", or empty when it never started.
    std::string Started() const
    {
        std::ifstream log((path_ + L"\\standin.log").c_str());
        std::string line;
        std::getline(log, line);
        return line;
    }

private:
    void Remove() const
    {
        DeleteFileW((path_ + L"\\Condor.exe").c_str());
        DeleteFileW((path_ + L"\\standin.log").c_str());
        RemoveDirectoryW(path_.c_str());
    }
    void Copy() const
    {
        CopyFileW(FromBuildPath(TARVIK_STANDIN_PATH).c_str(), (path_ + L"\\Condor.exe").c_str(), FALSE);
    }

    std::unique_ptr<ScratchFolder> scratch_;
    std::wstring path_;
};

// Every stand-in closed before and after each test.
struct ConnectFixture : ::testing::Test {
    void SetUp() override { CloseStandins(); }
    void TearDown() override { CloseStandins(); }

    // Online from the first tick, "DC" answered as given.
    static StatusFixture::Script Server(std::optional<std::string> dcReply, std::string version = "3.0.4")
    {
        return [dcReply, version](const StatusFixture::Request& request, StatusFixture&) -> std::optional<std::string> {
            if (request.bytes == "TPv2.0") return "SP" + version;
            if (request.bytes == "DC") return dcReply;
            return std::nullopt;
        };
    }
    static LauncherRun::Options Settings(const std::wstring& chemin, bool alerte = false, bool autoConnect = false)
    {
        SettingsText file = SettingsText().CheminExe(Narrow(chemin)).Launcher();
        if (alerte) file.Alerte("1");
        if (autoConnect) file.AutoConnect("1");
        LauncherRun::Options settings;
        settings.settings = file.Text();
        return settings;
    }
    static size_t Count(const StatusFixture& server, const std::string& bytes)
    {
        size_t count = 0;
        for (const auto& request : server.Requests()) count += request.bytes == bytes;
        return count;
    }
    // Waits for the first online poll, then clicks "Connexion".
    static void Connect(LauncherRun& launcher)
    {
        HWND button = launcher.Control(IdConnectButton);
        ASSERT_TRUE(ui::WaitFor([&] { return IsWindowEnabled(button) != FALSE; }, std::chrono::seconds(10)));
        PostMessageW(button, BM_CLICK, 0, 0);
    }
    static std::wstring Label(LauncherRun& launcher) { return ui::Text(launcher.Control(IdStatusLabel)); }
};
