// The Windows build of the status server under Wine, answering the real
// launcher on 127.0.0.1:56284, tied to a game server that the test plays.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/layout.h"
#include "tests/e2e/launcher.h"

using namespace std::chrono_literals;

namespace {

constexpr std::uint16_t kGamePort = 56290;
const std::wstring kOnline = L"Serveur en ligne";
const std::wstring kOffline = L"Serveur hors ligne";

void WriteFile(const std::wstring& path, const std::string& text)
{
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << text;
}

std::string ReadFile(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A program of the build, its output in a file; ended by process id.
class Program {
public:
    Program(const std::wstring& executable, const std::wstring& arguments, const std::wstring& output = L"")
    {
        std::wstring commandLine = L"\"" + executable + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!output.empty()) {
            SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
            output_.reset(CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = output_.get();
            startup.hStdError = output_.get();
        }
        if (CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, !output.empty(),
                           CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process_.info)) {
            started_ = true;
        }
    }
    ~Program()
    {
        if (started_) {
            TerminateProcess(process_.info.hProcess, 0);
            WaitForSingleObject(process_.info.hProcess, 5000);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return started_; }
    bool Running() const { return started_ && WaitForSingleObject(process_.info.hProcess, 0) == WAIT_TIMEOUT; }

private:
    UniqueFile output_;
    UniqueProcessInformation process_;
    bool started_ = false;
};

class WinsockSession {
public:
    WinsockSession()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockSession() { WSACleanup(); }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
};

// The game server as the status server sees it: a bound UDP port.
class GamePort {
public:
    GamePort() : socket_(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(kGamePort);
        bound_ = bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~GamePort() { closesocket(socket_); }
    GamePort(const GamePort&) = delete;
    GamePort& operator=(const GamePort&) = delete;
    bool Bound() const { return bound_; }

private:
    SOCKET socket_;
    bool bound_ = false;
};

class WindowsStatusServer : public ::testing::Test {
protected:
    void StartServer(const std::string& config)
    {
        WriteFile(ConfigFile(), config);
        server_ = std::make_unique<Program>(
            FromBuildPath(TARVIK_WINDOWS_STATUS_SERVER),
            L"--bind 127.0.0.1 --port 56284 --config \"" + ConfigFile() + L"\"", LogFile());
        ASSERT_TRUE(server_->Started());
        ASSERT_TRUE(ui::WaitFor([&] { return ReadFile(LogFile()).find(" listening on udp ") != std::string::npos; },
                                20s))
            << ReadFile(LogFile());
    }

    // The launcher's status once it has settled on `expected`, or what it
    // showed when the time ran out: the poll comes every 3 s, the server
    // looks at the game server once a second at most.
    std::wstring StatusBecomes(const std::wstring& expected)
    {
        std::wstring shown;
        ui::WaitFor(
            [&] {
                shown = ui::Text(launcher_->Control(IdStatusLabel));
                return shown == expected;
            },
            10s, 100ms);
        return shown;
    }

    // The launcher, once its first poll has been left unanswered.
    void StartLauncherUntilFirstSilence()
    {
        launcher_ = std::make_unique<LauncherRun>();
        ASSERT_TRUE(launcher_->MainWindow());
        ASSERT_TRUE(ui::WaitFor([&] { return Log().find("\"TPv2.0\" -> (silence)") != std::string::npos; }, 10s))
            << Log();
        EXPECT_EQ(ui::Text(launcher_->Control(IdStatusLabel)), kOffline);
    }

    std::wstring ConfigFile() const { return folder_.Path() + L"\\statut.conf"; }
    std::wstring LogFile() const { return folder_.Path() + L"\\statut.log"; }
    std::string Log() const { return ReadFile(LogFile()); }

    WinsockSession winsock_;
    ScratchFolder folder_{L"status-server"};
    std::unique_ptr<Program> server_;
    std::unique_ptr<LauncherRun> launcher_;
};

TEST_F(WindowsStatusServer, TheLauncherFollowsTheGameServersPortAndTheFile)
{
    StartServer("# tied to the game server\nversion 3.0.4\nonline-while-udp-port 56290\n");
    StartLauncherUntilFirstSilence();

    {
        const GamePort game;
        ASSERT_TRUE(game.Bound());
        EXPECT_EQ(StatusBecomes(kOnline), kOnline) << Log();
        EXPECT_TRUE(IsWindowEnabled(launcher_->Control(IdConnectButton)));

        // Changed while the server runs: read again without a restart.
        WriteFile(ConfigFile(), "offline\n");
        EXPECT_EQ(StatusBecomes(kOffline), kOffline) << Log();
        WriteFile(ConfigFile(), "versio 3.0.5\n");
        ASSERT_TRUE(ui::WaitFor([&] { return Log().find("previous answers kept") != std::string::npos; }, 5s))
            << Log();
        WriteFile(ConfigFile(), "version 3.0.5\nonline-while-udp-port 56290\n");
        EXPECT_EQ(StatusBecomes(kOnline), kOnline) << Log();
    }
    EXPECT_EQ(StatusBecomes(kOffline), kOffline) << Log();
    EXPECT_TRUE(server_->Running());
    EXPECT_NE(Log().find("\"TPv2.0\" -> SP3.0.5"), std::string::npos) << Log();
}

TEST_F(WindowsStatusServer, TheLauncherFollowsTheGameServersProcess)
{
    StartServer("online-while-process condor_standin\n");
    StartLauncherUntilFirstSilence();
    {
        const Program game(FromBuildPath(TARVIK_STANDIN_PATH), L"");
        ASSERT_TRUE(game.Started());
        EXPECT_EQ(StatusBecomes(kOnline), kOnline) << Log();
    }
    EXPECT_EQ(StatusBecomes(kOffline), kOffline) << Log();
}

} // namespace
