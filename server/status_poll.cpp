#include "server/status_poll.h"

#include <windows.h>
#include <mmsystem.h>

#include "base/timer.h"
#include "server/datagram.h"
#include "server/poll_rules.h"

namespace {

constexpr wchar_t kPollRequest[] = L"TPv2.0";
constexpr wchar_t kOnlineText[] = L"Serveur en ligne";
constexpr wchar_t kOfflineText[] = L"Serveur hors ligne";
constexpr wchar_t kAlertSound[] = L"alerte.wav";
constexpr DWORD kAlertPauseMs = 3500;

} // namespace

StatusPoll::StatusPoll(std::wstring statusHost) : client_(std::move(statusHost), kStatusPort, kReplyWaitMs) {}

Reply StatusPoll::Exchange(std::wstring_view request)
{
    return SplitReply(DecodeReply(client_.Exchange(EncodeRequest(request))));
}

PollFollowUp StatusPoll::Tick(LauncherState& state, LauncherWindow& window)
{
    // Back to the usual period after the longer one that follows a refused
    // connection; the same value leaves the running period alone.
    window.PollTimer().SetInterval(kPollPeriodMs);
    state.lastReply = {};
    state.lastReply = Exchange(kPollRequest);
    PollOutcome outcome = OnPollReply(state, state.lastReply);
    switch (outcome.action) {
    case PollAction::ShowOnline:
        window.SetStatusText(kOnlineText);
        if (outcome.playAlert) {
            window.PaintNow(); // the label shows before the pause holds the thread
            // No SND_NODEFAULT: without the file the system's sound plays,
            // and the pause is the same either way.
            ::PlaySoundW(kAlertSound, nullptr, SND_FILENAME | SND_ASYNC);
            ::Sleep(kAlertPauseMs);
        }
        state = std::move(outcome.state);
        window.SetConnectEnabled(true);
        return outcome.connect ? PollFollowUp::Connect : PollFollowUp::None;
    case PollAction::StartUpdate:
        return PollFollowUp::Update;
    case PollAction::ShowOffline:
        window.SetStatusText(kOfflineText);
        state = std::move(outcome.state);
        window.SetConnectEnabled(false);
        break;
    }
    return PollFollowUp::None;
}
