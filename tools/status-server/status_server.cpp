#include "status_server.h"

#include <array>
#include <ctime>

namespace tarvik::status {
namespace {

enum class OptionId { kPort, kBind, kVersion, kUpdate, kOffline, kJoin, kNoJoin, kHelp };

struct KnownOption {
  std::string_view name;
  OptionId id;
  bool takes_value;
};

constexpr std::array<KnownOption, 8> kOptions{{
    {"port", OptionId::kPort, true},
    {"bind", OptionId::kBind, true},
    {"version", OptionId::kVersion, true},
    {"update", OptionId::kUpdate, true},
    {"offline", OptionId::kOffline, false},
    {"join", OptionId::kJoin, true},
    {"no-join", OptionId::kNoJoin, false},
    {"help", OptionId::kHelp, false},
}};

const KnownOption* FindOption(std::string_view name) {
  for (const KnownOption& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

std::string Quoted(std::string_view text) { return "'" + Escape(text) + "'"; }

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

// The two-byte reply prefix counts towards the datagram size.
std::optional<OptionError> CheckReplyFits(std::string_view option,
                                          std::string_view value) {
  if (value.empty()) {
    return OptionError{"option --" + std::string(option) +
                       " needs a non-empty value"};
  }
  if (value.size() + 2 > kMaxReplyBytes) {
    return OptionError{"option --" + std::string(option) +
                       " value is too long for one UDP datagram (at most " +
                       std::to_string(kMaxReplyBytes - 2) + " bytes)"};
  }
  return std::nullopt;
}

void AppendHexByte(std::string& out, unsigned char byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0f];
}

std::string ReplyText(const std::optional<std::string>& reply) {
  return reply ? Escape(*reply) : std::string("(silence)");
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string_view>& args) {
  Config config;
  bool version_given = false;
  bool update_given = false;
  bool offline_given = false;
  bool join_given = false;
  bool no_join_given = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--") {
      if (i + 1 < args.size()) {
        return OptionError{"unexpected argument " + Quoted(args[i + 1])};
      }
      break;
    }
    if (arg == "-h") return HelpRequested{};
    if (arg.size() < 2 || arg[0] != '-') {
      return OptionError{"unexpected argument " + Quoted(arg)};
    }
    if (arg[1] != '-') return OptionError{"unknown option " + Quoted(arg)};

    const std::string_view body = arg.substr(2);
    const std::size_t equals = body.find('=');
    const std::string_view name = body.substr(0, equals);
    const KnownOption* option = FindOption(name);
    if (option == nullptr) {
      return OptionError{"unknown option " + Quoted("--" + std::string(name))};
    }

    std::string_view value;
    if (option->takes_value) {
      if (equals != std::string_view::npos) {
        value = body.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return OptionError{"option --" + std::string(name) + " needs a value"};
      }
    } else if (equals != std::string_view::npos) {
      return OptionError{"option --" + std::string(name) +
                         " does not take a value"};
    }

    switch (option->id) {
      case OptionId::kHelp:
        return HelpRequested{};
      case OptionId::kPort: {
        const auto port = ParsePort(value);
        if (!port) {
          return OptionError{"invalid port " + Quoted(value) +
                             " (expected 1..65535)"};
        }
        config.port = *port;
        break;
      }
      case OptionId::kBind: {
        const auto address = ParseIPv4(value);
        if (!address) {
          return OptionError{"invalid bind address " + Quoted(value) +
                             " (expected dotted IPv4 such as 127.0.0.1)"};
        }
        config.bind_address = *address;
        break;
      }
      case OptionId::kVersion:
        if (auto error = CheckReplyFits(name, value)) return *error;
        config.version = std::string(value);
        version_given = true;
        break;
      case OptionId::kUpdate:
        if (auto error = CheckReplyFits(name, value)) return *error;
        config.update_url = std::string(value);
        update_given = true;
        break;
      case OptionId::kOffline:
        offline_given = true;
        break;
      case OptionId::kJoin:
        if (auto error = CheckReplyFits(name, value)) return *error;
        config.join = std::string(value);
        join_given = true;
        break;
      case OptionId::kNoJoin:
        no_join_given = true;
        break;
    }
  }

  // A value that would be silently ignored is almost always a mistake.
  if (offline_given && update_given) {
    return OptionError{"--offline cannot be combined with --update"};
  }
  if (offline_given && version_given) {
    return OptionError{"--offline cannot be combined with --version"};
  }
  if (update_given && version_given) {
    return OptionError{"--update cannot be combined with --version"};
  }
  if (no_join_given && join_given) {
    return OptionError{"--no-join cannot be combined with --join"};
  }

  if (offline_given) config.poll_reply = PollReply::kSilent;
  if (update_given) config.poll_reply = PollReply::kUpdate;
  config.answer_join = !no_join_given;
  return config;
}

std::string_view Usage() {
  return R"(Usage: tarvik-status-server [OPTIONS]

Answers the Le Vol Du Tarvik launcher over UDP: the status poll "TPv2.0"
and the connection request "DC". Every datagram is logged to stdout.

Options:
  --port N        UDP port to listen on, 1..65535 (default 56284)
  --bind ADDR     dotted IPv4 address to listen on (default 0.0.0.0)
  --version TEXT  answer polls with "SP" + TEXT (default 3.0.4)
  --update URL    answer polls with "MJ" + URL: the launcher must update
  --offline       leave polls unanswered: the server looks offline
  --join TEXT     answer connection requests with "CC" + TEXT (default tarvik)
  --no-join       leave connection requests unanswered
  -h, --help      show this help and exit

Values are sent byte for byte, without trimming. --offline, --update and
--version exclude one another, as do --join and --no-join.

Stops cleanly on SIGINT or SIGTERM. Exit status: 0 when stopped by a signal,
1 when the socket cannot be used, 2 for invalid options.
)";
}

std::optional<std::uint32_t> ParseIPv4(std::string_view text) {
  std::uint32_t address = 0;
  std::size_t pos = 0;
  for (int octet_index = 0; octet_index < 4; ++octet_index) {
    if (octet_index > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    const std::size_t start = pos;
    unsigned octet = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' &&
           pos - start < 3) {
      octet = octet * 10 + static_cast<unsigned>(text[pos] - '0');
      ++pos;
    }
    const std::size_t digits = pos - start;
    // Leading zeros read as octal in some tools; refuse the ambiguity.
    if (digits == 0 || octet > 255 || (digits > 1 && text[start] == '0')) {
      return std::nullopt;
    }
    address = (address << 8) | octet;
  }
  if (pos != text.size()) return std::nullopt;
  return address;
}

std::optional<std::string> Answer(const Config& config,
                                  std::string_view request) {
  if (request == kPollRequest) {
    switch (config.poll_reply) {
      case PollReply::kVersion:
        return "SP" + config.version;
      case PollReply::kUpdate:
        return "MJ" + config.update_url;
      case PollReply::kSilent:
        return std::nullopt;
    }
  }
  if (request == kJoinRequest && config.answer_join) {
    return "CC" + config.join;
  }
  return std::nullopt;
}

std::string Escape(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (byte >= 0x20 && byte <= 0x7e) {
      out += c;
    } else {
      AppendHexByte(out, byte);
    }
  }
  return out;
}

std::string FormatTimestamp(std::chrono::system_clock::time_point when) {
  using std::chrono::floor;
  const auto millis = floor<std::chrono::milliseconds>(when);
  const auto seconds = floor<std::chrono::seconds>(millis);
  const auto fraction = (millis - seconds).count();
  const std::time_t time = std::chrono::system_clock::to_time_t(seconds);
  std::tm utc{};
  gmtime_r(&time, &utc);
  char text[40];
  const std::size_t length =
      std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::string out(text, length);
  out += '.';
  out += static_cast<char>('0' + fraction / 100);
  out += static_cast<char>('0' + fraction / 10 % 10);
  out += static_cast<char>('0' + fraction % 10);
  out += 'Z';
  return out;
}

std::string FormatEndpoint(const Endpoint& endpoint) {
  const std::uint32_t a = endpoint.address;
  return std::to_string(a >> 24) + '.' + std::to_string((a >> 16) & 0xff) +
         '.' + std::to_string((a >> 8) & 0xff) + '.' +
         std::to_string(a & 0xff) + ':' + std::to_string(endpoint.port);
}

std::string FormatRequestLine(std::chrono::system_clock::time_point when,
                              const Endpoint& sender, std::string_view request,
                              const std::optional<std::string>& reply) {
  const bool cut = request.size() > kMaxLoggedRequestBytes;
  std::string line = FormatTimestamp(when) + ' ' + FormatEndpoint(sender) +
                     ' ' + std::to_string(request.size()) +
                     (request.size() == 1 ? " byte " : " bytes ") + '"' +
                     Escape(request.substr(0, kMaxLoggedRequestBytes)) + '"';
  if (cut) line += "...";
  line += " -> " + ReplyText(reply);
  return line;
}

std::string FormatListeningLine(std::chrono::system_clock::time_point when,
                                const Config& config) {
  return FormatTimestamp(when) + " listening on udp " +
         FormatEndpoint({config.bind_address, config.port}) + " (" +
         std::string(kPollRequest) + " -> " +
         ReplyText(Answer(config, kPollRequest)) + ", " +
         std::string(kJoinRequest) + " -> " +
         ReplyText(Answer(config, kJoinRequest)) + ")";
}

std::string FormatStoppingLine(std::chrono::system_clock::time_point when,
                               std::string_view signal_name) {
  return FormatTimestamp(when) + " stopping on " + std::string(signal_name);
}

}  // namespace tarvik::status
