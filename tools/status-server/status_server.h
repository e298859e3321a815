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

// Largest UDP payload over IPv4; a longer reply could never be sent.
inline constexpr std::size_t kMaxReplyBytes = 65507;

enum class PollReply {
  kVersion,  // "SP" + version: the server is up and current
  kUpdate,   // "MJ" + URL: the launcher must update itself first
  kSilent,   // no reply: the launcher shows the server as offline
};

struct Config {
  std::uint16_t port = kDefaultPort;
  std::uint32_t bind_address = 0;  // host byte order; 0 is 0.0.0.0
  PollReply poll_reply = PollReply::kVersion;
  std::string version{kDefaultVersion};
  std::string update_url;
  bool answer_join = true;
  std::string join{kDefaultJoin};
};

struct HelpRequested {};
struct OptionError {
  std::string message;
};
using ParsedOptions = std::variant<Config, HelpRequested, OptionError>;

// Arguments without the program name.
ParsedOptions ParseOptions(const std::vector<std::string_view>& args);

std::string_view Usage();

// Dotted-quad only: names and short forms like "127.1" are refused so the
// listening address is always what the operator sees in the log.
std::optional<std::uint32_t> ParseIPv4(std::string_view text);

std::optional<std::string> Answer(const Config& config,
                                  std::string_view request);

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
std::string FormatRequestLine(std::chrono::system_clock::time_point when,
                              const Endpoint& sender, std::string_view request,
                              const std::optional<std::string>& reply);
std::string FormatListeningLine(std::chrono::system_clock::time_point when,
                                const Config& config);
std::string FormatStoppingLine(std::chrono::system_clock::time_point when,
                               std::string_view signal_name);

}  // namespace tarvik::status
