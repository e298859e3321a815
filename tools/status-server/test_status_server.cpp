#include "status_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <ostream>

#include <gtest/gtest.h>

extern char** environ;

namespace tarvik::status {

bool operator==(const Config& a, const Config& b) {
  return a.port == b.port && a.bind_address == b.bind_address &&
         a.poll_reply == b.poll_reply && a.version == b.version &&
         a.update_url == b.update_url && a.answer_join == b.answer_join &&
         a.join == b.join && a.rate_per_address == b.rate_per_address &&
         a.config_file == b.config_file &&
         a.online_while_udp_port == b.online_while_udp_port &&
         a.online_while_process == b.online_while_process;
}

void PrintTo(const Config& c, std::ostream* os) {
  *os << "{port=" << c.port << " bind=" << FormatEndpoint({c.bind_address, 0})
      << " poll=" << static_cast<int>(c.poll_reply) << " version=\""
      << Escape(c.version) << "\" update=\"" << Escape(c.update_url)
      << "\" answer_join=" << c.answer_join << " join=\"" << Escape(c.join)
      << "\" rate=" << c.rate_per_address << " config=\""
      << Escape(c.config_file) << "\" udp=" << c.online_while_udp_port
      << " process=\"" << Escape(c.online_while_process) << "\"}";
}

namespace {

using namespace std::literals;
using std::chrono::milliseconds;
using std::chrono::system_clock;

const std::string kUpdateUrl = "http://127.0.0.1:8080/MaJLanceur.exe";

Config Adjusted(const std::function<void(Config&)>& adjust) {
  Config config;
  adjust(config);
  return config;
}

ParsedOptions Parse(const std::vector<std::string>& args) {
  return ParseOptions(std::vector<std::string_view>(args.begin(), args.end()));
}

std::string Describe(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) text += "[" + Escape(arg) + "] ";
  return text;
}

system_clock::time_point At(long long unix_millis) {
  return system_clock::time_point(milliseconds(unix_millis));
}

TEST(Answer, DependsOnRequestAndMode) {
  const Config normal;
  const Config updating = Adjusted([](Config& c) {
    c.poll_reply = PollReply::kUpdate;
    c.update_url = kUpdateUrl;
  });
  const Config offline =
      Adjusted([](Config& c) { c.poll_reply = PollReply::kSilent; });
  const Config no_join = Adjusted([](Config& c) { c.answer_join = false; });
  const Config closed = Adjusted([](Config& c) {
    c.poll_reply = PollReply::kSilent;
    c.answer_join = false;
  });
  const Config custom = Adjusted([](Config& c) {
    c.version = " 3.1 ";
    c.join = "salle\x01";
  });
  // The URL alone must not switch a version server into update mode.
  const Config stray_url = Adjusted([](Config& c) { c.update_url = kUpdateUrl; });

  struct Case {
    const char* label;
    const Config& config;
    std::string_view request;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"poll", normal, "TPv2.0", "SP3.0.4"},
      {"join", normal, "DC", "CCtarvik"},
      {"empty", normal, "", std::nullopt},
      {"poll with newline", normal, "TPv2.0\n", std::nullopt},
      {"poll with NUL", normal, "TPv2.0\0"sv, std::nullopt},
      {"poll lowercase", normal, "tpv2.0", std::nullopt},
      {"poll leading space", normal, " TPv2.0", std::nullopt},
      {"poll prefix", normal, "TPv2", std::nullopt},
      {"older poll", normal, "TPv1.0", std::nullopt},
      {"join with NUL", normal, "DC\0"sv, std::nullopt},
      {"join suffix", normal, "DCX", std::nullopt},
      {"join lowercase", normal, "dc", std::nullopt},
      // Echoed replies must not start a ping-pong between two servers.
      {"echoed version", normal, "SP3.0.4", std::nullopt},
      {"echoed join", normal, "CCtarvik", std::nullopt},
      {"update poll", updating, "TPv2.0", "MJ" + kUpdateUrl},
      {"update join", updating, "DC", "CCtarvik"},
      {"offline poll", offline, "TPv2.0", std::nullopt},
      {"offline join", offline, "DC", "CCtarvik"},
      {"no-join poll", no_join, "TPv2.0", "SP3.0.4"},
      {"no-join join", no_join, "DC", std::nullopt},
      {"closed poll", closed, "TPv2.0", std::nullopt},
      {"closed join", closed, "DC", std::nullopt},
      {"custom poll", custom, "TPv2.0", "SP 3.1 "},
      {"custom join", custom, "DC", "CCsalle\x01"},
      {"stray url poll", stray_url, "TPv2.0", "SP3.0.4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Answer(c.config, c.request), c.expected);
  }
}

TEST(ParseOptions, AcceptsValidCommandLines) {
  const std::string longest_url(kMaxValueBytes, 'u');
  struct Case {
    std::vector<std::string> args;
    Config expected;
  };
  const Case cases[] = {
      {{}, Config{}},
      {{"--"}, Config{}},
      {{"--port", "1"}, Adjusted([](Config& c) { c.port = 1; })},
      {{"--port=65535"}, Adjusted([](Config& c) { c.port = 65535; })},
      {{"--port", "080"}, Adjusted([](Config& c) { c.port = 80; })},
      {{"--port", "100", "--port", "200"},
       Adjusted([](Config& c) { c.port = 200; })},
      {{"--bind", "127.0.0.1"},
       Adjusted([](Config& c) { c.bind_address = 0x7f000001; })},
      {{"--bind=10.1.2.3"},
       Adjusted([](Config& c) { c.bind_address = 0x0a010203; })},
      {{"--version", " 3.0.5 "}, Adjusted([](Config& c) { c.version = " 3.0.5 "; })},
      {{"--version=a=b"}, Adjusted([](Config& c) { c.version = "a=b"; })},
      // Like getopt_long, a required value is taken even if it looks like an option.
      {{"--version", "--offline"},
       Adjusted([](Config& c) { c.version = "--offline"; })},
      {{"--update", kUpdateUrl}, Adjusted([](Config& c) {
         c.poll_reply = PollReply::kUpdate;
         c.update_url = kUpdateUrl;
       })},
      {{"--update=" + longest_url}, Adjusted([&](Config& c) {
         c.poll_reply = PollReply::kUpdate;
         c.update_url = longest_url;
       })},
      {{"--offline"},
       Adjusted([](Config& c) { c.poll_reply = PollReply::kSilent; })},
      {{"--join", "salle 2\t"}, Adjusted([](Config& c) { c.join = "salle 2\t"; })},
      {{"--no-join"}, Adjusted([](Config& c) { c.answer_join = false; })},
      {{"--rate-per-address", "1"},
       Adjusted([](Config& c) { c.rate_per_address = 1; })},
      {{"--rate-per-address=100000"},
       Adjusted([](Config& c) { c.rate_per_address = 100000; })},
      {{"--config", "C:\\Tarvik\\statut.conf", "--port", "4000"},
       Adjusted([](Config& c) {
         c.config_file = "C:\\Tarvik\\statut.conf";
         c.port = 4000;
       })},
      {{"--online-while-udp-port", "56288", "--online-while-process", "jeu.exe"},
       Adjusted([](Config& c) {
         c.online_while_udp_port = 56288;
         c.online_while_process = "jeu.exe";
       })},
      {{"--offline", "--no-join", "--port", "4000", "--bind", "127.0.0.1"},
       Adjusted([](Config& c) {
         c.poll_reply = PollReply::kSilent;
         c.answer_join = false;
         c.port = 4000;
         c.bind_address = 0x7f000001;
       })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.args));
    const ParsedOptions parsed = Parse(c.args);
    if (const auto* error = std::get_if<OptionError>(&parsed)) {
      ADD_FAILURE() << "unexpected error: " << error->message;
    } else if (const auto* config = std::get_if<Config>(&parsed)) {
      EXPECT_EQ(*config, c.expected);
    } else {
      ADD_FAILURE() << "unexpected help request";
    }
  }
}

TEST(ParseOptions, ExplainsEachMistake) {
  const std::string too_long(kMaxValueBytes + 1, 'u');
  struct Case {
    std::vector<std::string> args;
    std::string message_part;
  };
  const Case cases[] = {
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"--frobnicate=1"}, "unknown option '--frobnicate'"},
      {{"--Port", "80"}, "unknown option '--Port'"},
      {{"--po", "80"}, "unknown option '--po'"},
      {{"-p", "80"}, "unknown option '-p'"},
      {{"-"}, "unexpected argument '-'"},
      {{"serveur"}, "unexpected argument 'serveur'"},
      {{"--", "--port"}, "unexpected argument '--port'"},
      {{"--port"}, "option --port needs a value"},
      {{"--offline", "--bind"}, "option --bind needs a value"},
      {{"--offline=yes"}, "option --offline does not take a value"},
      {{"--no-join="}, "option --no-join does not take a value"},
      {{"--help=1"}, "option --help does not take a value"},
      {{"--port", "0"}, "invalid port '0'"},
      {{"--port", "65536"}, "invalid port '65536'"},
      {{"--port", "99999999999999999999"}, "invalid port '99999999999999999999'"},
      {{"--port="}, "invalid port ''"},
      {{"--port", "-1"}, "invalid port '-1'"},
      {{"--port", "+80"}, "invalid port '+80'"},
      {{"--port", " 80"}, "invalid port ' 80'"},
      {{"--port", "80 "}, "invalid port '80 '"},
      {{"--port", "0x50"}, "invalid port '0x50'"},
      {{"--bind", "localhost"}, "invalid bind address 'localhost'"},
      {{"--bind", "::1"}, "invalid bind address '::1'"},
      {{"--bind", "127.0.0.1\n"}, "invalid bind address '127.0.0.1\\x0a'"},
      {{"--version="}, "option --version needs a non-empty value"},
      {{"--update", ""}, "option --update needs a non-empty value"},
      {{"--join="}, "option --join needs a non-empty value"},
      {{"--update", too_long},
       "option --update value is 513 bytes long (at most 512)"},
      {{"--version", too_long}, "option --version value is 513 bytes long"},
      {{"--join", too_long}, "option --join value is 513 bytes long"},
      {{"--online-while-process", too_long},
       "option --online-while-process value is 513 bytes long"},
      {{"--rate-per-address", "0"}, "invalid rate '0'"},
      {{"--rate-per-address", "100001"}, "invalid rate '100001'"},
      {{"--rate-per-address", "2.5"}, "invalid rate '2.5'"},
      {{"--rate-per-address", ""}, "invalid rate ''"},
      {{"--online-while-udp-port", "0"},
       "invalid port '0' for --online-while-udp-port"},
      {{"--online-while-udp-port", "56284"},
       "--online-while-udp-port cannot be the server's own port 56284"},
      {{"--port", "4000", "--online-while-udp-port", "4000"},
       "cannot be the server's own port 4000"},
      {{"--online-while-process", "C:\\Jeu\\serveur.exe"},
       "takes a program name without a folder"},
      {{"--online-while-process", "/opt/jeu/serveur"},
       "takes a program name without a folder"},
      {{"--config="}, "option --config needs a file"},
      // The file holds the answers: one given beside it would be lost.
      {{"--config", "a.conf", "--version", "3.1"},
       "--version cannot be combined with --config"},
      {{"--offline", "--config", "a.conf"},
       "--offline cannot be combined with --config"},
      {{"--config", "a.conf", "--online-while-udp-port", "5000"},
       "--online-while-udp-port cannot be combined with --config"},
      {{"--update", kUpdateUrl, "--offline"},
       "--offline cannot be combined with --update"},
      {{"--offline", "--update", kUpdateUrl},
       "--offline cannot be combined with --update"},
      {{"--offline", "--version", "3.1"},
       "--offline cannot be combined with --version"},
      {{"--version", "3.1", "--update", kUpdateUrl},
       "--update cannot be combined with --version"},
      {{"--join", "x", "--no-join"}, "--no-join cannot be combined with --join"},
      // Checked in order, as getopt_long would report them.
      {{"--port", "0", "--help"}, "invalid port '0'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.args));
    const ParsedOptions parsed = Parse(c.args);
    const auto* error = std::get_if<OptionError>(&parsed);
    ASSERT_NE(error, nullptr);
    EXPECT_NE(error->message.find(c.message_part), std::string::npos)
        << "message: " << error->message;
  }
}

TEST(ParseOptions, HelpWinsOverLaterArguments) {
  const std::vector<std::string> cases[] = {
      {"--help"},
      {"-h"},
      {"--port", "80", "--help"},
      {"--help", "--port", "0"},
      {"--offline", "--update", "u", "-h"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(Describe(args));
    EXPECT_TRUE(std::holds_alternative<HelpRequested>(Parse(args)));
  }
}

TEST(ParseIPv4, AcceptsOnlyDottedQuads) {
  const std::pair<std::string_view, std::optional<std::uint32_t>> cases[] = {
      {"0.0.0.0", 0u},
      {"127.0.0.1", 0x7f000001u},
      {"255.255.255.255", 0xffffffffu},
      {"10.0.0.255", 0x0a0000ffu},
      {"192.168.1.20", 0xc0a80114u},
      {"", std::nullopt},
      {"127.1", std::nullopt},
      {"1.2.3", std::nullopt},
      {"1.2.3.4.5", std::nullopt},
      {"1.2.3.4.", std::nullopt},
      {".1.2.3.4", std::nullopt},
      {"1..3.4", std::nullopt},
      {"256.1.1.1", std::nullopt},
      {"1.2.3.256", std::nullopt},
      {"1234.1.1.1", std::nullopt},
      {"01.2.3.4", std::nullopt},
      {"1.2.3.04", std::nullopt},
      {" 1.2.3.4", std::nullopt},
      {"1.2.3.4 ", std::nullopt},
      {"1.2.3.4\0"sv, std::nullopt},
      {"1.2.3.-4", std::nullopt},
      {"0x7f.0.0.1", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(Escape(text));
    EXPECT_EQ(ParseIPv4(text), expected);
  }
}

TEST(Escape, KeepsPrintableAsciiAndHexesTheRest) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", ""},
      {"TPv2.0", "TPv2.0"},
      {" ~!}", " ~!}"},
      {"\n", "\\x0a"},
      {"\0"sv, "\\x00"},
      {"\x1f", "\\x1f"},
      {"\x7f", "\\x7f"},
      {"\x80\xff", "\\x80\\xff"},
      {"\xc3\xa9t\xc3\xa9", "\\xc3\\xa9t\\xc3\\xa9"},
      {"\\", "\\\\"},
      {"\"", "\\\""},
      {"a\\x41", "a\\\\x41"},
      {"DC\r\n", "DC\\x0d\\x0a"},
  };
  for (const auto& [raw, shown] : cases) {
    SCOPED_TRACE(std::string(shown));
    EXPECT_EQ(Escape(raw), shown);
  }
}

TEST(LogFormat, TimestampsAreUtcWithMilliseconds) {
  const std::pair<long long, std::string_view> cases[] = {
      {0, "1970-01-01T00:00:00.000Z"},
      {1, "1970-01-01T00:00:00.001Z"},
      {-1, "1969-12-31T23:59:59.999Z"},
      {1700000000123, "2023-11-14T22:13:20.123Z"},
      {1700000000999, "2023-11-14T22:13:20.999Z"},
      {1709208000050, "2024-02-29T12:00:00.050Z"},
      {4102444799990, "2099-12-31T23:59:59.990Z"},
  };
  for (const auto& [millis, expected] : cases) {
    SCOPED_TRACE(millis);
    EXPECT_EQ(FormatTimestamp(At(millis)), expected);
  }
  // Sub-millisecond parts are dropped, never rounded up into the next second.
  EXPECT_EQ(FormatTimestamp(At(1700000000999) + std::chrono::microseconds(999)),
            "2023-11-14T22:13:20.999Z");
}

TEST(LogFormat, EndpointsAreDottedWithPort) {
  const std::pair<Endpoint, std::string_view> cases[] = {
      {{0, 0}, "0.0.0.0:0"},
      {{0x7f000001, 56284}, "127.0.0.1:56284"},
      {{0xc0a80114, 1}, "192.168.1.20:1"},
      {{0xffffffff, 65535}, "255.255.255.255:65535"},
  };
  for (const auto& [endpoint, expected] : cases) {
    EXPECT_EQ(FormatEndpoint(endpoint), expected);
  }
}

TEST(LogFormat, RequestLinesShowBytesAndAnswer) {
  const Endpoint sender{0x7f000001, 40001};
  const std::string prefix = "2023-11-14T22:13:20.123Z 127.0.0.1:40001 ";
  const std::string shown_limit(kMaxLoggedRequestBytes, 'a');
  struct Case {
    std::string request;
    std::optional<std::string> reply;
    std::string expected_rest;
  };
  const Case cases[] = {
      {"TPv2.0", "SP3.0.4", "6 bytes \"TPv2.0\" -> SP3.0.4"},
      {"TPv2.0", "MJ" + kUpdateUrl, "6 bytes \"TPv2.0\" -> MJ" + kUpdateUrl},
      {"TPv2.0", std::nullopt, "6 bytes \"TPv2.0\" -> (silence)"},
      {"DC", "CCsalle 1", "2 bytes \"DC\" -> CCsalle 1"},
      {"DC", "CCa\tb\"", "2 bytes \"DC\" -> CCa\\x09b\\\""},
      {"X", std::nullopt, "1 byte \"X\" -> (silence)"},
      {"", std::nullopt, "0 bytes \"\" -> (silence)"},
      {"DC\r\n", std::nullopt, "4 bytes \"DC\\x0d\\x0a\" -> (silence)"},
      {shown_limit, std::nullopt,
       std::to_string(kMaxLoggedRequestBytes) + " bytes \"" + shown_limit +
           "\" -> (silence)"},
      {shown_limit + "\nb", std::nullopt,
       std::to_string(kMaxLoggedRequestBytes + 2) + " bytes \"" + shown_limit +
           "\"... -> (silence)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected_rest);
    EXPECT_EQ(FormatRequestLine(At(1700000000123), sender, c.request, c.reply),
              prefix + c.expected_rest);
  }
}

TEST(LogFormat, StartAndStopLines) {
  const auto when = At(1700000000123);
  const Config closed = Adjusted([](Config& c) {
    c.bind_address = 0x7f000001;
    c.port = 4000;
    c.poll_reply = PollReply::kSilent;
    c.answer_join = false;
  });
  const Config updating = Adjusted([](Config& c) {
    c.poll_reply = PollReply::kUpdate;
    c.update_url = kUpdateUrl;
  });
  EXPECT_EQ(FormatListeningLine(when, Config{}),
            "2023-11-14T22:13:20.123Z listening on udp 0.0.0.0:56284 "
            "(TPv2.0 -> SP3.0.4, DC -> CCtarvik)");
  EXPECT_EQ(FormatListeningLine(when, closed),
            "2023-11-14T22:13:20.123Z listening on udp 127.0.0.1:4000 "
            "(TPv2.0 -> (silence), DC -> (silence))");
  EXPECT_EQ(FormatListeningLine(when, updating),
            "2023-11-14T22:13:20.123Z listening on udp 0.0.0.0:56284 "
            "(TPv2.0 -> MJ" + kUpdateUrl + ", DC -> CCtarvik)");
  EXPECT_EQ(FormatStoppingLine(when, "SIGTERM"),
            "2023-11-14T22:13:20.123Z stopping on SIGTERM");
}

// ---- The built server, run as a child process on the loopback interface.

constexpr int kWaitMillis = 2000;

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.substr(text.size() - suffix.size()) == suffix;
}

sockaddr_in Loopback(std::uint16_t port, std::uint32_t host = INADDR_LOOPBACK) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(host);
  return address;
}

class UdpSocket {
 public:
  // Port 0 lets the kernel pick a free one.
  explicit UdpSocket(std::uint16_t port = 0, std::uint32_t host = INADDR_LOOPBACK)
      : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    const sockaddr_in address = Loopback(port, host);
    bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<const sockaddr*>(&address),
                              sizeof address) == 0;
  }
  ~UdpSocket() {
    if (fd_ >= 0) close(fd_);
  }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  bool bound() const { return bound_; }

  std::uint16_t port() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
  }

  bool SendTo(std::uint16_t port, std::string_view payload,
              std::uint32_t host = INADDR_LOOPBACK) const {
    const sockaddr_in address = Loopback(port, host);
    return sendto(fd_, payload.data(), payload.size(), 0,
                  reinterpret_cast<const sockaddr*>(&address),
                  sizeof address) == static_cast<ssize_t>(payload.size());
  }

  struct Datagram {
    std::string payload;
    sockaddr_in from;
  };

  std::optional<Datagram> Receive(int wait_millis = kWaitMillis) const {
    pollfd watched{fd_, POLLIN, 0};
    if (poll(&watched, 1, wait_millis) != 1) return std::nullopt;
    char buffer[65536];
    Datagram datagram{};
    socklen_t length = sizeof datagram.from;
    const ssize_t received =
        recvfrom(fd_, buffer, sizeof buffer, 0,
                 reinterpret_cast<sockaddr*>(&datagram.from), &length);
    if (received < 0) return std::nullopt;
    datagram.payload.assign(buffer, static_cast<std::size_t>(received));
    return datagram;
  }

 private:
  int fd_;
  bool bound_ = false;
};

std::uint16_t FreeLoopbackPort() { return UdpSocket().port(); }

class ServerProcess {
 public:
  enum class Sigint { kDefault, kIgnored };

  explicit ServerProcess(const std::vector<std::string>& args,
                         Sigint sigint = Sigint::kDefault) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    if (pipe2(err, O_CLOEXEC) != 0) {
      close(out[0]);
      close(out[1]);
      return;
    }
    out_fd_ = out[0];
    err_fd_ = err[0];

    std::vector<std::string> argv_text{TARVIK_STATUS_SERVER_BINARY};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argv_text) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);

    // Start from a known signal state whatever the test runner set up.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    if (sigint == Sigint::kDefault) sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    // An ignored disposition survives exec; that is how a shell starts
    // background jobs.
    struct sigaction previous {};
    if (sigint == Sigint::kIgnored) {
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      sigemptyset(&ignore.sa_mask);
      sigaction(SIGINT, &ignore, &previous);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(),
                    environ) == 0) {
      pid_ = pid;
    }
    if (sigint == Sigint::kIgnored) sigaction(SIGINT, &previous, nullptr);

    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
  }

  ~ServerProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_fd_ >= 0) close(out_fd_);
    if (err_fd_ >= 0) close(err_fd_);
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  bool running() const { return pid_ > 0; }
  bool Signal(int signal_number) const {
    return pid_ > 0 && kill(pid_, signal_number) == 0;
  }
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

  // Next complete stdout line, waiting for it if needed.
  std::optional<std::string> NextLine() {
    for (;;) {
      const std::size_t end = out_.find('\n', line_start_);
      if (end != std::string::npos) {
        std::string line = out_.substr(line_start_, end - line_start_);
        line_start_ = end + 1;
        return line;
      }
      if (!PumpOnce()) return std::nullopt;
    }
  }

  // Exit code once the process has closed its output and ended.
  std::optional<int> WaitForExit() {
    while (out_fd_ >= 0 || err_fd_ >= 0) {
      if (!PumpOnce()) return std::nullopt;
    }
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return std::nullopt;
    pid_ = -1;
    if (!WIFEXITED(status)) return std::nullopt;
    return WEXITSTATUS(status);
  }

 private:
  // Reads whatever arrives within the bounded wait; false if nothing did.
  bool PumpOnce() {
    pollfd watched[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (out_fd_ < 0 && err_fd_ < 0) return false;
    if (poll(watched, 2, kWaitMillis) <= 0) return false;
    Drain(watched[0], out_fd_, out_);
    Drain(watched[1], err_fd_, err_);
    return true;
  }

  static void Drain(const pollfd& watched, int& fd, std::string& sink) {
    if (fd < 0 || (watched.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      sink.append(buffer, static_cast<std::size_t>(got));
    } else {
      close(fd);
      fd = -1;
    }
  }

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_;
  std::string err_;
  std::size_t line_start_ = 0;
};

TEST(StatusServerProcess, AnswersOverLoopbackAndStopsOnSigterm) {
  const std::uint16_t port = FreeLoopbackPort();
  ASSERT_NE(port, 0);
  const std::string port_text = std::to_string(port);
  ServerProcess server({"--bind", "127.0.0.1", "--port", port_text,
                        "--version", "3.0.4-essai", "--join", "vol 42"});
  ASSERT_TRUE(server.running());
  const auto startup = server.NextLine();
  ASSERT_TRUE(startup) << server.err();
  EXPECT_TRUE(EndsWith(*startup, " listening on udp 127.0.0.1:" + port_text +
                                     " (TPv2.0 -> SP3.0.4-essai, DC -> CCvol 42)"))
      << *startup;

  UdpSocket client;
  ASSERT_TRUE(client.bound());
  // Sent first on purpose: any answer to it would arrive before the poll's.
  ASSERT_TRUE(client.SendTo(port, "TPv1.0"));
  ASSERT_TRUE(client.SendTo(port, "TPv2.0"));
  const auto poll_reply = client.Receive();
  ASSERT_TRUE(poll_reply) << server.err();
  EXPECT_EQ(poll_reply->payload, "SP3.0.4-essai");
  EXPECT_EQ(ntohs(poll_reply->from.sin_port), port);
  EXPECT_EQ(ntohl(poll_reply->from.sin_addr.s_addr), INADDR_LOOPBACK);

  ASSERT_TRUE(client.SendTo(port, "DC"));
  const auto join_reply = client.Receive();
  ASSERT_TRUE(join_reply) << server.err();
  EXPECT_EQ(join_reply->payload, "CCvol 42");
  EXPECT_EQ(ntohs(join_reply->from.sin_port), port);

  const std::string from = " 127.0.0.1:" + std::to_string(client.port()) + " ";
  for (const std::string_view logged :
       {"6 bytes \"TPv1.0\" -> (silence)"sv, "6 bytes \"TPv2.0\" -> SP3.0.4-essai"sv,
        "2 bytes \"DC\" -> CCvol 42"sv}) {
    const auto line = server.NextLine();
    ASSERT_TRUE(line) << "missing log of " << logged;
    EXPECT_NE(line->find(from), std::string::npos) << *line;
    EXPECT_TRUE(EndsWith(*line, logged)) << *line;
  }

  ASSERT_TRUE(server.Signal(SIGTERM));
  EXPECT_EQ(server.WaitForExit(), 0) << server.err();
  const auto last = server.NextLine();
  ASSERT_TRUE(last);
  EXPECT_TRUE(EndsWith(*last, " stopping on SIGTERM")) << *last;
  EXPECT_FALSE(server.NextLine());
  EXPECT_EQ(server.err(), "");
}

// Bound to every address, the server must answer from the one each request
// came to: launchers drop a reply from any other. All of 127/8 is loopback,
// and the kernel's own choice towards 127.0.0.1 would be 127.0.0.1.
TEST(StatusServerProcess, RepliesFromTheAddressTheRequestCameTo) {
  const std::uint16_t port = FreeLoopbackPort();
  ASSERT_NE(port, 0);
  ServerProcess server({"--port", std::to_string(port)});
  ASSERT_TRUE(server.running());
  ASSERT_TRUE(server.NextLine()) << server.err();

  UdpSocket client;
  ASSERT_TRUE(client.bound());
  for (const std::uint32_t asked : {0x7F000001u, 0x7F000002u, 0x7F0A0B0Cu}) {
    ASSERT_TRUE(client.SendTo(port, "TPv2.0", asked));
    const auto reply = client.Receive();
    ASSERT_TRUE(reply) << server.err();
    EXPECT_EQ(reply->payload, "SP3.0.4");
    EXPECT_EQ(ntohl(reply->from.sin_addr.s_addr), asked) << std::hex << asked;
    EXPECT_EQ(ntohs(reply->from.sin_port), port);
  }
  ASSERT_TRUE(server.Signal(SIGTERM));
  EXPECT_EQ(server.WaitForExit(), 0) << server.err();
}

TEST(StatusServerProcess, StopsOnSigintEvenWhenStartedWithItIgnored) {
  const std::string port = std::to_string(FreeLoopbackPort());
  ServerProcess server({"--bind", "127.0.0.1", "--port", port},
                       ServerProcess::Sigint::kIgnored);
  ASSERT_TRUE(server.running());
  ASSERT_TRUE(server.NextLine()) << server.err();
  ASSERT_TRUE(server.Signal(SIGINT));
  EXPECT_EQ(server.WaitForExit(), 0) << server.err();
  const auto last = server.NextLine();
  ASSERT_TRUE(last);
  EXPECT_TRUE(EndsWith(*last, " stopping on SIGINT")) << *last;
}

TEST(StatusServerProcess, RefusesAPortAlreadyInUse) {
  const UdpSocket holder;
  ASSERT_TRUE(holder.bound());
  const std::string port = std::to_string(holder.port());
  ServerProcess server({"--bind", "127.0.0.1", "--port", port});
  ASSERT_TRUE(server.running());
  EXPECT_EQ(server.WaitForExit(), 1);
  EXPECT_EQ(server.out(), "");
  EXPECT_NE(server.err().find("cannot listen on udp 127.0.0.1:" + port),
            std::string::npos)
      << server.err();
}

TEST(StatusServerProcess, CommandLineErrorsAndHelp) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string expected_out_start;
    std::string expected_err_part;
  };
  const Case cases[] = {
      {{"--help"}, 0, "Usage: tarvik-status-server [OPTIONS]\n", ""},
      {{"-h", "--port", "0"}, 0, "Usage: tarvik-status-server [OPTIONS]\n", ""},
      {{"--port", "0"}, 2, "", "tarvik-status-server: invalid port '0'"},
      {{"--bind", "localhost"}, 2, "", "invalid bind address 'localhost'"},
      {{"--update", "u", "--offline"}, 2, "",
       "--offline cannot be combined with --update"},
      {{"--frobnicate"}, 2, "", "unknown option '--frobnicate'"},
      {{"--version", std::string(513, 'v')}, 2, "",
       "option --version value is 513 bytes long (at most 512)"},
      {{"--rate-per-address", "0"}, 2, "", "invalid rate '0'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.args));
    // Should parsing wrongly succeed, the server must still stay on loopback.
    std::vector<std::string> args{"--bind", "127.0.0.1", "--port",
                                  std::to_string(FreeLoopbackPort())};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ServerProcess run(args);
    ASSERT_TRUE(run.running());
    EXPECT_EQ(run.WaitForExit(), c.exit_code);
    EXPECT_EQ(run.out().rfind(c.expected_out_start, 0), 0u) << run.out();
    if (c.exit_code == 0) {
      EXPECT_EQ(run.err(), "");
    } else {
      EXPECT_EQ(run.out(), "");
      EXPECT_NE(run.err().find(c.expected_err_part), std::string::npos)
          << run.err();
      EXPECT_NE(run.err().find("Usage: tarvik-status-server"), std::string::npos)
          << run.err();
    }
  }
}


// ---- Tied to the game server, limited per sender, answers from a file.

// Polls every 100 ms until the answer is the one expected (nullopt: a poll
// left unanswered); false if that did not happen within the time given.
bool PollsUntil(const UdpSocket& client, std::uint16_t port,
                const std::optional<std::string>& expected, milliseconds within) {
  const auto end = std::chrono::steady_clock::now() + within;
  while (std::chrono::steady_clock::now() < end) {
    if (!client.SendTo(port, "TPv2.0")) return false;
    const auto reply = client.Receive(100);
    if (expected ? reply && reply->payload == *expected : !reply) return true;
    if (reply) usleep(100000);
  }
  return false;
}

class ScratchFolder {
 public:
  ScratchFolder() {
    char pattern[] = "/tmp/tarvik-status-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
  }
  ~ScratchFolder() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string Path(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(StatusServerProcess, OnlineOnlyWhileTheGameServersPortIsBound) {
  const std::uint16_t port = FreeLoopbackPort();
  const std::uint16_t game_port = FreeLoopbackPort();
  ASSERT_NE(port, game_port);
  ServerProcess server({"--bind", "127.0.0.1", "--port", std::to_string(port),
                        "--online-while-udp-port", std::to_string(game_port)});
  ASSERT_TRUE(server.NextLine()) << server.err();
  UdpSocket client;
  EXPECT_TRUE(PollsUntil(client, port, std::nullopt, 500ms));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    {
      const UdpSocket game(game_port, INADDR_ANY);
      ASSERT_TRUE(game.bound());
      EXPECT_TRUE(PollsUntil(client, port, "SP3.0.4", 2000ms)) << server.err();
    }
    EXPECT_TRUE(PollsUntil(client, port, std::nullopt, 2000ms)) << server.err();
  }
}

TEST(StatusServerProcess, OnlineOnlyWhileTheGameServersProcessRuns) {
  // A name longer than the 15 bytes the kernel keeps of a command.
  const std::string name = "tarvik-jeu-essai";
  ScratchFolder folder;
  const std::string program = folder.Path(name);
  ASSERT_EQ(std::system(("cp /bin/sleep '" + program + "'").c_str()), 0);

  const std::uint16_t port = FreeLoopbackPort();
  ServerProcess server({"--bind", "127.0.0.1", "--port", std::to_string(port),
                        "--online-while-process", name});
  ASSERT_TRUE(server.NextLine()) << server.err();
  UdpSocket client;
  EXPECT_TRUE(PollsUntil(client, port, std::nullopt, 500ms));

  std::string seconds = "30";
  char* argv[] = {const_cast<char*>(program.c_str()), seconds.data(), nullptr};
  pid_t game = -1;
  ASSERT_EQ(posix_spawn(&game, program.c_str(), nullptr, nullptr, argv, environ), 0);
  EXPECT_TRUE(PollsUntil(client, port, "SP3.0.4", 2000ms)) << server.err();
  kill(game, SIGKILL);
  waitpid(game, nullptr, 0);
  EXPECT_TRUE(PollsUntil(client, port, std::nullopt, 2000ms)) << server.err();
}

// 10,000 polls at full speed from 127.0.0.1 while a pilot on 127.0.0.2
// polls now and then.
TEST(StatusServerProcess, AFloodFromOneAddressIsLimitedAndSummedUp) {
  const std::uint16_t port = FreeLoopbackPort();
  ServerProcess server({"--port", std::to_string(port)});
  ASSERT_TRUE(server.NextLine()) << server.err();
  UdpSocket flooder;
  UdpSocket pilot(0, 0x7f000002);
  ASSERT_TRUE(pilot.bound());

  constexpr int kFlood = 10000;
  constexpr std::string_view kPoll = "TPv2.0";
  // The kernel drops what a full socket buffer cannot hold, the pilot's
  // poll as well as the flood's: asked again, as a launcher would.
  const auto pilot_answered = [&] {
    for (int attempt = 0; attempt < 5; ++attempt) {
      pilot.SendTo(port, kPoll);
      if (pilot.Receive(100)) return true;
    }
    return false;
  };
  int pilot_replies = 0;
  const auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < kFlood; ++i) {
    flooder.SendTo(port, kPoll);
    if (i % 2000 == 0) pilot_replies += pilot_answered();
  }
  // The server takes datagrams in turn: once the pilot's next poll is
  // answered, the whole flood has been dealt with, within `seconds`.
  ASSERT_TRUE(pilot_answered());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::size_t replies = 0;
  std::size_t reply_bytes = 0;
  while (const auto reply = flooder.Receive(300)) {
    ++replies;
    reply_bytes += reply->payload.size();
  }
  EXPECT_LE(static_cast<double>(replies), 40 + 20 * seconds + 1);
  EXPECT_GE(replies, 40u);
  EXPECT_EQ(pilot_replies, 5);

  // The log: a few lines, then what it left out, said once the flood stops.
  std::size_t logged_from_flooder = 0;
  std::size_t lines = 0;
  std::optional<unsigned long> unlogged;
  const std::string from = " 127.0.0.1:" + std::to_string(flooder.port()) + " ";
  while (!unlogged) {
    const auto line = server.NextLine();
    if (!line) break;
    ++lines;
    if (line->find(from) != std::string::npos) ++logged_from_flooder;
    const std::size_t summary = line->find(" requests from 127.0.0.1 not logged");
    if (summary != std::string::npos) {
      const std::size_t number = line->rfind(' ', summary - 1) + 1;
      unlogged = std::stoul(line->substr(number, summary - number));
    }
  }
  ASSERT_TRUE(unlogged) << server.out();
  EXPECT_LE(lines, 30u);
  EXPECT_EQ(server.out().find("127.0.0.2:" + std::to_string(pilot.port()) +
                              " 6 bytes \"TPv2.0\" -> SP3.0.4 (rate limited"),
            std::string::npos);

  // What reached the server: loopback drops what it had no time to take.
  const std::size_t arrived = logged_from_flooder + *unlogged;
  const std::size_t arrived_bytes = arrived * kPoll.size();
  std::printf("flood: %d polls dealt with in %.2f s, %zu arrived, %zu replies; "
              "%zu bytes in, %zu out; %zu log lines\n",
              kFlood, seconds, arrived, replies, arrived_bytes, reply_bytes, lines);
  EXPECT_LE(arrived, static_cast<std::size_t>(kFlood));
  EXPECT_GT(arrived, replies) << "the limit was never reached";
  // "SP3.0.4" for "TPv2.0": 7/6, the documented factor of the default reply.
  EXPECT_LE(reply_bytes * 6, arrived_bytes * 7);
}

TEST(StatusServerProcess, RereadsItsFileOnSighupAndKeepsAnswersOnABadOne) {
  ScratchFolder folder;
  const std::string file = folder.Path("statut.conf");
  WriteFile(file, "# le serveur\nversion 3.0.5\n");
  const std::uint16_t port = FreeLoopbackPort();
  ServerProcess server({"--bind", "127.0.0.1", "--port", std::to_string(port),
                        "--config", file});
  const auto started = server.NextLine();
  ASSERT_TRUE(started) << server.err();
  EXPECT_TRUE(EndsWith(*started, "(TPv2.0 -> SP3.0.5, DC -> CCtarvik)")) << *started;
  UdpSocket client;
  EXPECT_TRUE(PollsUntil(client, port, "SP3.0.5", 500ms));

  struct Step {
    std::string text;  // nullopt: the file removed
    bool remove;
    std::string logged;
    std::string answer;
  };
  const Step steps[] = {
      {"version 3.0.6\nno-join\n", false,
       "config '" + file + "' read (TPv2.0 -> SP3.0.6, DC -> (silence))", "SP3.0.6"},
      {"version 3.0.7\nport 1\n", false,
       "config '" + file + "' not read, previous answers kept: line 2: 'port' "
       "belongs on the command line, not in the file", "SP3.0.6"},
      {"", true,
       "config '" + file + "' not read, previous answers kept: No such file or directory",
       "SP3.0.6"},
      {"offline\n", false, "config '" + file + "' read (TPv2.0 -> (silence), DC -> CCtarvik)",
       ""},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.logged);
    if (step.remove) {
      std::remove(file.c_str());
    } else {
      WriteFile(file, step.text);
    }
    ASSERT_TRUE(server.Signal(SIGHUP));
    std::optional<std::string> line;
    // Request lines of the polls above may come first.
    do line = server.NextLine();
    while (line && line->find(" config '") == std::string::npos);
    ASSERT_TRUE(line) << server.err();
    EXPECT_TRUE(EndsWith(*line, step.logged)) << *line;
    EXPECT_TRUE(PollsUntil(client, port,
                           step.answer.empty() ? std::nullopt
                                               : std::optional<std::string>(step.answer),
                           500ms));
  }
  ASSERT_TRUE(server.Signal(SIGTERM));
  EXPECT_EQ(server.WaitForExit(), 0) << server.err();
}

TEST(StatusServerProcess, ABadStartingFileStartsNothing) {
  ScratchFolder folder;
  const std::string bad = folder.Path("mauvais.conf");
  WriteFile(bad, "version 3.0.5\njoin " + std::string(600, 'j') + "\n");
  const std::string missing = folder.Path("absent.conf");
  const std::pair<std::string, std::string> cases[] = {
      {bad, "config '" + bad + "', line 2: option --join value is 600 bytes long (at most 512)"},
      {missing, "cannot read config '" + missing + "': No such file or directory"},
  };
  for (const auto& [file, message] : cases) {
    SCOPED_TRACE(file);
    const std::string port = std::to_string(FreeLoopbackPort());
    ServerProcess run({"--bind", "127.0.0.1", "--port", port, "--config", file});
    EXPECT_EQ(run.WaitForExit(), 2);
    EXPECT_EQ(run.out(), "");
    EXPECT_EQ(run.err(), "tarvik-status-server: " + message + "\n");
  }
}

}  // namespace
}  // namespace tarvik::status
