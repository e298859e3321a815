#include "status_server.h"

#include <array>
#include <ctime>

namespace tarvik::status {
namespace {

enum class OptionId {
  kPort,
  kBind,
  kRatePerAddress,
  kConfig,
  kVersion,
  kUpdate,
  kOffline,
  kJoin,
  kNoJoin,
  kOnlineWhileUdpPort,
  kOnlineWhileProcess,
  kHelp,
};

// Answers may also come from the file of --config; the rest is fixed for the
// life of the process.
enum class Scope { kCommandLine, kAnswer };

struct KnownOption {
  std::string_view name;
  OptionId id;
  bool takes_value;
  Scope scope;
};

constexpr std::array<KnownOption, 12> kOptions{{
    {"port", OptionId::kPort, true, Scope::kCommandLine},
    {"bind", OptionId::kBind, true, Scope::kCommandLine},
    {"rate-per-address", OptionId::kRatePerAddress, true, Scope::kCommandLine},
    {"config", OptionId::kConfig, true, Scope::kCommandLine},
    {"version", OptionId::kVersion, true, Scope::kAnswer},
    {"update", OptionId::kUpdate, true, Scope::kAnswer},
    {"offline", OptionId::kOffline, false, Scope::kAnswer},
    {"join", OptionId::kJoin, true, Scope::kAnswer},
    {"no-join", OptionId::kNoJoin, false, Scope::kAnswer},
    {"online-while-udp-port", OptionId::kOnlineWhileUdpPort, true, Scope::kAnswer},
    {"online-while-process", OptionId::kOnlineWhileProcess, true, Scope::kAnswer},
    {"help", OptionId::kHelp, false, Scope::kCommandLine},
}};

const KnownOption* FindOption(std::string_view name) {
  for (const KnownOption& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

std::string Quoted(std::string_view text) { return "'" + Escape(text) + "'"; }

std::optional<unsigned> ParseNumber(std::string_view text, unsigned low,
                                    unsigned high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  if (text.size() > 5) return std::nullopt;
  const auto value = ParseNumber(text, 1, 65535);
  if (!value) return std::nullopt;
  return static_cast<std::uint16_t>(*value);
}

std::optional<OptionError> CheckValue(std::string_view option,
                                      std::string_view value) {
  if (value.empty()) {
    return OptionError{"option --" + std::string(option) +
                       " needs a non-empty value"};
  }
  if (value.size() > kMaxValueBytes) {
    return OptionError{"option --" + std::string(option) + " value is " +
                       std::to_string(value.size()) + " bytes long (at most " +
                       std::to_string(kMaxValueBytes) + ")"};
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

// Options applied one at a time, from the command line or from a file, then
// checked together.
class OptionReader {
 public:
  explicit OptionReader(Config config) : config_(std::move(config)) {}

  std::optional<OptionError> Apply(const KnownOption& option,
                                   std::string_view value) {
    const std::string name(option.name);
    if (option.scope == Scope::kAnswer) answer_given_ = name;
    switch (option.id) {
      case OptionId::kHelp:
        break;
      case OptionId::kPort: {
        const auto port = ParsePort(value);
        if (!port) {
          return OptionError{"invalid port " + Quoted(value) +
                             " (expected 1..65535)"};
        }
        config_.port = *port;
        break;
      }
      case OptionId::kBind: {
        const auto address = ParseIPv4(value);
        if (!address) {
          return OptionError{"invalid bind address " + Quoted(value) +
                             " (expected dotted IPv4 such as 127.0.0.1)"};
        }
        config_.bind_address = *address;
        break;
      }
      case OptionId::kRatePerAddress: {
        const auto rate = ParseNumber(value, 1, kMaxRatePerAddress);
        if (!rate) {
          return OptionError{"invalid rate " + Quoted(value) +
                             " (expected replies per second, 1.." +
                             std::to_string(kMaxRatePerAddress) + ")"};
        }
        config_.rate_per_address = *rate;
        break;
      }
      case OptionId::kConfig:
        if (value.empty()) return OptionError{"option --config needs a file"};
        config_.config_file = std::string(value);
        break;
      case OptionId::kVersion:
        if (auto error = CheckValue(name, value)) return error;
        config_.version = std::string(value);
        version_given_ = true;
        break;
      case OptionId::kUpdate:
        if (auto error = CheckValue(name, value)) return error;
        config_.update_url = std::string(value);
        update_given_ = true;
        break;
      case OptionId::kOffline:
        offline_given_ = true;
        break;
      case OptionId::kJoin:
        if (auto error = CheckValue(name, value)) return error;
        config_.join = std::string(value);
        join_given_ = true;
        break;
      case OptionId::kNoJoin:
        no_join_given_ = true;
        break;
      case OptionId::kOnlineWhileUdpPort: {
        const auto port = ParsePort(value);
        if (!port) {
          return OptionError{"invalid port " + Quoted(value) +
                             " for --online-while-udp-port (expected 1..65535)"};
        }
        config_.online_while_udp_port = *port;
        break;
      }
      case OptionId::kOnlineWhileProcess:
        if (auto error = CheckValue(name, value)) return error;
        if (value.find_first_of("/\\") != std::string_view::npos) {
          return OptionError{"option --online-while-process takes a program "
                             "name without a folder, not " + Quoted(value)};
        }
        config_.online_while_process = std::string(value);
        break;
    }
    return std::nullopt;
  }

  std::variant<Config, OptionError> Finish() {
    // A value that would be silently ignored is almost always a mistake.
    if (offline_given_ && update_given_) {
      return OptionError{"--offline cannot be combined with --update"};
    }
    if (offline_given_ && version_given_) {
      return OptionError{"--offline cannot be combined with --version"};
    }
    if (update_given_ && version_given_) {
      return OptionError{"--update cannot be combined with --version"};
    }
    if (no_join_given_ && join_given_) {
      return OptionError{"--no-join cannot be combined with --join"};
    }
    if (!config_.config_file.empty() && !answer_given_.empty()) {
      return OptionError{"--" + answer_given_ +
                         " cannot be combined with --config: the file holds "
                         "the answers"};
    }
    // The server's own socket would always look like the game server.
    if (config_.online_while_udp_port == config_.port) {
      return OptionError{"--online-while-udp-port cannot be the server's own "
                         "port " + std::to_string(config_.port)};
    }
    if (offline_given_) config_.poll_reply = PollReply::kSilent;
    if (update_given_) config_.poll_reply = PollReply::kUpdate;
    config_.answer_join = !no_join_given_;
    return config_;
  }

 private:
  Config config_;
  bool version_given_ = false;
  bool update_given_ = false;
  bool offline_given_ = false;
  bool join_given_ = false;
  bool no_join_given_ = false;
  std::string answer_given_;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// "#" at the start or after a blank begins a comment, so that an address
// such as "http://h/#x" keeps its fragment.
std::string_view StripComment(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '#' && (i == 0 || IsBlank(line[i - 1]))) {
      return line.substr(0, i);
    }
  }
  return line;
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string_view>& args) {
  OptionReader reader{Config{}};
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
    if (option->id == OptionId::kHelp) return HelpRequested{};
    if (auto error = reader.Apply(*option, value)) return *error;
  }
  auto finished = reader.Finish();
  if (auto* error = std::get_if<OptionError>(&finished)) return *error;
  return std::get<Config>(std::move(finished));
}

std::variant<Config, OptionError> ParseConfigFile(std::string_view text,
                                                  const Config& base) {
  Config defaults;
  defaults.port = base.port;
  defaults.bind_address = base.bind_address;
  defaults.rate_per_address = base.rate_per_address;
  OptionReader reader{defaults};

  std::size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const std::size_t end = text.find('\n');
    const std::string_view line =
        TrimBlanks(StripComment(text.substr(0, end)));
    text = end == std::string_view::npos ? std::string_view{}
                                         : text.substr(end + 1);
    if (line.empty()) continue;

    const std::string where = "line " + std::to_string(line_number) + ": ";
    std::size_t blank = 0;
    while (blank < line.size() && !IsBlank(line[blank])) ++blank;
    const std::string_view name = line.substr(0, blank);
    const std::string_view value = TrimBlanks(line.substr(blank));
    const KnownOption* option = FindOption(name);
    if (option == nullptr) {
      return OptionError{where + "unknown option " + Quoted(name)};
    }
    if (option->scope != Scope::kAnswer) {
      return OptionError{where + Quoted(name) +
                         " belongs on the command line, not in the file"};
    }
    if (option->takes_value && value.empty()) {
      return OptionError{where + Quoted(name) + " needs a value"};
    }
    if (!option->takes_value && !value.empty()) {
      return OptionError{where + Quoted(name) + " does not take a value"};
    }
    if (auto error = reader.Apply(*option, value)) {
      return OptionError{where + error->message};
    }
  }
  auto finished = reader.Finish();
  if (auto* error = std::get_if<OptionError>(&finished)) {
    return OptionError{"in the file: " + error->message};
  }
  std::get<Config>(finished).config_file = base.config_file;
  return finished;
}

std::string_view Usage() {
  return R"(Usage: tarvik-status-server [OPTIONS]

Answers the Le Vol Du Tarvik launcher over UDP: the status poll "TPv2.0"
and the connection request "DC". Requests are logged to stdout.

The socket and its limits (command line only):
  --port N        UDP port to listen on, 1..65535 (default 56284)
  --bind ADDR     dotted IPv4 address to listen on (default 0.0.0.0)
  --rate-per-address N
                  replies per second to one address, burst 2 N (default 20)
  --config FILE   read the answers from FILE, again on SIGHUP (Linux) or
                  when it changes (Windows); a bad file keeps the previous ones

The answers (command line, or FILE with one option a line and no dashes):
  --version TEXT  answer polls with "SP" + TEXT (default 3.0.4)
  --update URL    answer polls with "MJ" + URL: the launcher must update;
                  launchers built with a signing key also fetch the
                  signature URL.minisig (".minisig" after the path), so put
                  it beside the updater
  --offline       leave polls unanswered: the server looks offline
  --join TEXT     answer connection requests with "CC" + TEXT (default tarvik)
  --no-join       leave connection requests unanswered
  --online-while-udp-port PORT
                  answer "SP" only while some program has that local UDP
                  port bound (the game server), silence otherwise
  --online-while-process NAME
                  answer "SP" only while a process of that name runs

  -h, --help      show this help and exit

Values are sent byte for byte, without trimming, and hold at most 512 bytes.
--offline, --update and --version exclude one another, as do --join and
--no-join. The game server is looked for at most once a second.

Stops cleanly on SIGINT or SIGTERM (Ctrl+C on Windows). Exit status: 0 when
stopped, 1 when the socket cannot be used, 2 for invalid options or config.
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
                                  std::string_view request,
                                  bool game_server_up) {
  if (request == kPollRequest) {
    switch (config.poll_reply) {
      case PollReply::kVersion:
        if (!game_server_up) return std::nullopt;
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
#ifdef _WIN32
  gmtime_s(&utc, &time);
#else
  gmtime_r(&time, &utc);
#endif
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

std::string FormatAddress(std::uint32_t a) {
  return std::to_string(a >> 24) + '.' + std::to_string((a >> 16) & 0xff) +
         '.' + std::to_string((a >> 8) & 0xff) + '.' +
         std::to_string(a & 0xff);
}

std::string FormatEndpoint(const Endpoint& endpoint) {
  return FormatAddress(endpoint.address) + ':' + std::to_string(endpoint.port);
}

std::string FormatRequestLine(std::chrono::system_clock::time_point when,
                              const Endpoint& sender, std::string_view request,
                              const std::optional<std::string>& reply,
                              bool rate_limited) {
  const bool cut = request.size() > kMaxLoggedRequestBytes;
  std::string line = FormatTimestamp(when) + ' ' + FormatEndpoint(sender) +
                     ' ' + std::to_string(request.size()) +
                     (request.size() == 1 ? " byte " : " bytes ") + '"' +
                     Escape(request.substr(0, kMaxLoggedRequestBytes)) + '"';
  if (cut) line += "...";
  line += " -> " + ReplyText(reply);
  if (rate_limited) line += " (rate limited, not sent)";
  return line;
}

std::string FormatListeningLine(std::chrono::system_clock::time_point when,
                                const Config& config) {
  return FormatTimestamp(when) + " listening on udp " +
         FormatEndpoint({config.bind_address, config.port}) + " (" +
         FormatAnswers(config) + ")";
}

std::string FormatAnswers(const Config& config) {
  std::string text = std::string(kPollRequest) + " -> " +
                     ReplyText(Answer(config, kPollRequest)) + ", " +
                     std::string(kJoinRequest) + " -> " +
                     ReplyText(Answer(config, kJoinRequest));
  if (config.poll_reply == PollReply::kVersion && config.WatchesGameServer()) {
    text += "; SP only while";
    if (config.online_while_udp_port != 0) {
      text += " udp port " + std::to_string(config.online_while_udp_port) +
              " is bound";
    }
    if (config.online_while_udp_port != 0 &&
        !config.online_while_process.empty()) {
      text += " and";
    }
    if (!config.online_while_process.empty()) {
      text += " process " + Quoted(config.online_while_process) + " runs";
    }
  }
  return text;
}

std::string FormatStoppingLine(std::chrono::system_clock::time_point when,
                               std::string_view signal_name) {
  return FormatTimestamp(when) + " stopping on " + std::string(signal_name);
}

}  // namespace tarvik::status
