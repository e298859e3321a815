// Decisions and text of the Tarvik status server, kept free of sockets and
// signals so they can be checked without a network.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tarvik::status {

inline constexpr std::string_view kProgramName = "tarvik-status-server";
inline constexpr std::string_view kPollRequest = "TPv2.0";
inline constexpr std::string_view kJoinRequest = "DC";

inline constexpr std::uint16_t kDefaultPort = 56284;
inline constexpr std::string_view kDefaultVersion = "3.0.4";
inline constexpr std::string_view kDefaultJoin = "tarvik";

// Reply values stay small so that a spoofed request cannot turn the server
// into an amplifier: a 6-byte poll gets at most 2 + 512 bytes back.
inline constexpr std::size_t kMaxValueBytes = 512;

inline constexpr unsigned kDefaultRatePerAddress = 20;
inline constexpr unsigned kMaxRatePerAddress = 100000;

enum class PollReply {
  kVersion,  // "SP" + version: the server is up and current
  kUpdate,   // "MJ" + URL: the launcher must update itself first
  kSilent,   // no reply: the launcher shows the server as offline
};

// The command line sets the socket and the limits; the answers come from
// the command line too, or from the file of --config, which may change.
struct Config {
  std::uint16_t port = kDefaultPort;
  std::uint32_t bind_address = 0;  // host byte order; 0 is 0.0.0.0
  unsigned rate_per_address = kDefaultRatePerAddress;
  std::string config_file;

  PollReply poll_reply = PollReply::kVersion;
  std::string version{kDefaultVersion};
  std::string update_url;
  bool answer_join = true;
  std::string join{kDefaultJoin};
  // "SP" only while the game server shows: a local UDP port bound, a
  // process of that name running. 0 and empty: not watched.
  std::uint16_t online_while_udp_port = 0;
  std::string online_while_process;

  bool WatchesGameServer() const {
    return online_while_udp_port != 0 || !online_while_process.empty();
  }
};

struct HelpRequested {};
struct OptionError {
  std::string message;
};
using ParsedOptions = std::variant<Config, HelpRequested, OptionError>;

// Arguments without the program name.
ParsedOptions ParseOptions(const std::vector<std::string_view>& args);

// The answers of a --config file, one option a line without its dashes:
//   # comment
//   version 3.0.5
//   online-while-udp-port 56288
// The socket and the limits are kept from `base`; answers the file does not
// give take their defaults. Errors name the line.
std::variant<Config, OptionError> ParseConfigFile(std::string_view text,
                                                  const Config& base);

std::string_view Usage();

// Dotted-quad only: names and short forms like "127.1" are refused so the
// listening address is always what the operator sees in the log.
std::optional<std::uint32_t> ParseIPv4(std::string_view text);

// `game_server_up` is what the watch of --online-while-* saw; without a
// watch it is true.
std::optional<std::string> Answer(const Config& config,
                                  std::string_view request,
                                  bool game_server_up = true);

// Printable ASCII stays as is; everything else becomes \xHH, and the
// backslash and double quote are escaped so log lines stay unambiguous.
std::string Escape(std::string_view bytes);

// Requests longer than this are cut in the log; the byte count stays exact.
inline constexpr std::size_t kMaxLoggedRequestBytes = 96;

struct Endpoint {
  std::uint32_t address = 0;  // host byte order
  std::uint16_t port = 0;
};

std::string FormatTimestamp(std::chrono::system_clock::time_point when);
std::string FormatEndpoint(const Endpoint& endpoint);
std::string FormatAddress(std::uint32_t address);

// A rate-limited request shows the reply it did not get.
std::string FormatRequestLine(std::chrono::system_clock::time_point when,
                              const Endpoint& sender, std::string_view request,
                              const std::optional<std::string>& reply,
                              bool rate_limited = false);
std::string FormatListeningLine(std::chrono::system_clock::time_point when,
                                const Config& config);
// The answers and what they hang on, as the start and reload lines show them.
std::string FormatAnswers(const Config& config);
std::string FormatStoppingLine(std::chrono::system_clock::time_point when,
                               std::string_view signal_name);

}  // namespace tarvik::status
