// Whether the game server shows, read from what the system lists. The
// parsing and matching are here; reading the lists is the platform's.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvik::status {

// Linux's /proc/net/udp and /proc/net/udp6 (the header line, then one socket
// a line, local address second, the port in hex after its colon):
//   sl  local_address rem_address   st ...
//    7: 0100007F:DBDC 00000000:0000 07 ...
bool ProcNetUdpHasLocalPort(std::string_view table, std::uint16_t port);

// A Linux process answers to its command name (cut to 15 bytes by the
// kernel) and to the last part of its first argument: "comm" holds
// "FlightServer", /proc/PID/cmdline starts "/opt/game/FlightServer\0".
bool LinuxProcessMatches(std::string_view wanted, std::string_view comm,
                         std::string_view cmdline);

// Windows lists executable names: "GameServer.exe" matches "GameServer.exe"
// and "gameserver", as Windows compares names without case.
bool WindowsProcessMatches(std::string_view wanted, std::string_view exe_name);

}  // namespace tarvik::status
