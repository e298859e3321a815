#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/launcher_window.h"
#include "server/status_client.h"

inline constexpr unsigned kPollPeriodMs = 3000;
inline constexpr std::uint16_t kStatusPort = 56284;
inline constexpr int kReplyWaitMs = 500;

// What a poll tick leaves to the window.
enum class PollFollowUp { None, Connect, Update };

// The status server as the launcher sees it: one exchange at a time, and
// the poll that shows its state in the window.
class StatusPoll final : public StatusExchange {
public:
    explicit StatusPoll(std::wstring statusHost);

    // Opens the socket for the whole run. Throws.
    void Open() { client_.Open(); }

    // A reply split into its command and argument; an empty one when none
    // came within the wait. Throws SocketError.
    Reply Exchange(std::wstring_view request) override;

    // Asks for the status, shows it, and plays the alert when it is due.
    PollFollowUp Tick(LauncherState& state, LauncherWindow& window);

private:
    StatusClient client_;
};
