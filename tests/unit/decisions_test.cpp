// The launcher's decisions, away from the window: what a reply, a tick or
// an answer does to the state and which effects follow.
#include <gtest/gtest.h>

#include "base/launcher_window.h"
#include "server/poll_rules.h"
#include "settings/first_run.h"
#include "simulator/connection_rules.h"
#include "update/update_rules.h"

namespace {

LauncherState State(bool online, bool alert, bool autoConnect, std::wstring version = L"")
{
    LauncherState state;
    state.serverOnline = online;
    state.alertOn = alert;
    state.autoConnectOn = autoConnect;
    state.simulatorVersion = std::move(version);
    state.simulatorFolder = L"C:\\Condor3";
    return state;
}

} // namespace

TEST(Decisions, PollReply)
{
    struct Case {
        const char* row;
        LauncherState before;
        Reply reply;
        PollAction action;
        bool onlineAfter;
        const wchar_t* versionAfter;
        bool playAlert;
        bool connect;
    };
    const Case cases[] = {
        {"comes online, alert on", State(false, true, false), {L"SP", L"3.0.4"}, PollAction::ShowOnline, true,
         L"3.0.4", true, false},
        {"comes online, alert off", State(false, false, false), {L"SP", L"3.0.4"}, PollAction::ShowOnline, true,
         L"3.0.4", false, false},
        // The alert announces a change, not every tick.
        {"stays online", State(true, true, false, L"3.0.4"), {L"SP", L"3.0.5"}, PollAction::ShowOnline, true,
         L"3.0.5", false, false},
        // The automatic connection follows every online reply.
        {"auto-connect, already online", State(true, false, true), {L"SP", L"3.0.4"}, PollAction::ShowOnline, true,
         L"3.0.4", false, true},
        {"auto-connect and alert at once", State(false, true, true), {L"SP", L""}, PollAction::ShowOnline, true, L"",
         true, true},
        {"update, online state kept", State(true, true, true, L"3.0.4"), {L"MJ", L"http://h/MaJ.exe"},
         PollAction::StartUpdate, true, L"3.0.4", false, false},
        {"silence", State(true, true, true, L"3.0.4"), {L"", L""}, PollAction::ShowOffline, false, L"3.0.4", false,
         false},
        // Commands are case-sensitive and exactly two characters.
        {"lower case", State(true, false, false), {L"sp", L"3.0.4"}, PollAction::ShowOffline, false, L"", false, false},
        {"one character", State(true, false, false), {L"S", L""}, PollAction::ShowOffline, false, L"", false, false},
        {"the connection's reply", State(false, false, true), {L"CC", L"abc"}, PollAction::ShowOffline, false, L"",
         false, false},
    };
    for (const Case& c : cases) {
        const PollOutcome outcome = OnPollReply(c.before, c.reply);
        EXPECT_EQ(outcome.action, c.action) << c.row;
        EXPECT_EQ(outcome.state.serverOnline, c.onlineAfter) << c.row;
        EXPECT_EQ(outcome.state.simulatorVersion, c.versionAfter) << c.row;
        EXPECT_EQ(outcome.playAlert, c.playAlert) << c.row;
        EXPECT_EQ(outcome.connect, c.connect) << c.row;
        // Nothing else of the state moves.
        EXPECT_EQ(outcome.state.alertOn, c.before.alertOn) << c.row;
        EXPECT_EQ(outcome.state.autoConnectOn, c.before.autoConnectOn) << c.row;
        EXPECT_EQ(outcome.state.simulatorFolder, c.before.simulatorFolder) << c.row;
    }
}

TEST(Decisions, ConnectionReply)
{
    struct Case {
        Reply reply;
        bool accepted;
        const wchar_t* statusText;
        const wchar_t* commandLine;
    };
    const Case cases[] = {
        {{L"CC", L"tarvik"}, true, L"Connexion validée.", L"C:\\Condor3\\Condor.exe cndr3:tarvik"},
        // The argument goes as it came: nothing quoted or trimmed.
        {{L"CC", L"a b\r\n"}, true, L"Connexion validée.", L"C:\\Condor3\\Condor.exe cndr3:a b\r\n"},
        {{L"CC", L""}, true, L"Connexion validée.", L"C:\\Condor3\\Condor.exe cndr3:"},
        {{L"", L""}, false, L"Le serveur ne répond pas.", L""},
        {{L"SP", L"3.0.4"}, false, L"Le serveur ne répond pas.", L""},
        {{L"cc", L"tarvik"}, false, L"Le serveur ne répond pas.", L""},
    };
    for (const Case& c : cases) {
        const ConnectOutcome outcome = OnConnectReply(State(true, false, false), c.reply);
        EXPECT_EQ(outcome.accepted, c.accepted) << c.reply.command << c.reply.argument;
        EXPECT_EQ(outcome.statusText, c.statusText);
        EXPECT_EQ(outcome.commandLine, c.commandLine);
    }
}

TEST(Decisions, WatchUpdateAndTheirAnswers)
{
    // Once the window is back, the question comes whatever the simulator does.
    EXPECT_EQ(OnWatchTick(false, true), WatchStep::KeepWatching);
    EXPECT_EQ(OnWatchTick(false, false), WatchStep::ShowWindow);
    EXPECT_EQ(OnWatchTick(true, false), WatchStep::AskToQuit);
    EXPECT_EQ(OnWatchTick(true, true), WatchStep::AskToQuit);

    struct Case {
        Answer answer;
        AfterSimulator afterSimulator;
        UpdateStep update;
    };
    // A dismissed box is no "&Oui" to quitting, but counts as one to updating.
    const Case cases[] = {
        {Answer::Yes, AfterSimulator::Quit, UpdateStep::Download},
        {Answer::No, AfterSimulator::ResumePolling, UpdateStep::Quit},
        {Answer::Dismissed, AfterSimulator::ResumePolling, UpdateStep::Download},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OnSimulatorClosedAnswer(c.answer), c.afterSimulator) << static_cast<int>(c.answer);
        EXPECT_EQ(AfterUpdateQuestion(c.answer), c.update) << static_cast<int>(c.answer);
    }
}

TEST(Decisions, FirstRunWritesTheFolderAndTheOptionsOff)
{
    const std::vector<SettingEntry> entries = FirstRunEntries(L"D:\\Jeux\\Condor3", false);
    ASSERT_EQ(entries.size(), 4u);
    const struct {
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* value;
    } expected[] = {
        {L"CONDOR 3", L"CheminExe", L"D:\\Jeux\\Condor3"},
        {L"LAUNCHER", L"Update", L"no"},
        {L"LAUNCHER", L"Alerte", L"0"},
        {L"LAUNCHER", L"AutoConnect", L"0"},
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_STREQ(entries[i].section, expected[i].section) << i;
        EXPECT_STREQ(entries[i].key, expected[i].key) << i;
        EXPECT_EQ(entries[i].value, expected[i].value) << i;
    }
    // An empty choice is stored as it is: the pilot cancelled the chooser.
    EXPECT_EQ(FirstRunEntries(L"", false).at(0).value, L"");
}

TEST(Decisions, FirstRunWritesNothingWhenTheProgramIsEnding)
{
    // Boxes closed by the end are no answer: the next start asks again.
    EXPECT_TRUE(FirstRunEntries(L"C:\\", true).empty());
    EXPECT_TRUE(FirstRunEntries(L"", true).empty());
}
