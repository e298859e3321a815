// The time-dependent rules, the config file and the watch of the game
// server, driven with a clock of the tests' own: no sleeps.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "rate_limit.h"
#include "liveness.h"
#include "service.h"
#include "status_server.h"

namespace tarvik::status {
namespace {

using namespace std::literals;
using std::chrono::milliseconds;

const SteadyTime kStart = SteadyTime() + std::chrono::hours(1);
const WallTime kWall = WallTime(milliseconds(1700000000000));

SteadyTime At(milliseconds offset) { return kStart + offset; }

TEST(TokenBucket, GivesTheBurstThenTheRate) {
  const Rate rate{20, 40};
  TokenBucket bucket = FullBucket(rate, kStart);
  int taken = 0;
  while (TakeToken(bucket, rate, kStart)) ++taken;
  EXPECT_EQ(taken, 40);

  struct Step {
    milliseconds at;
    bool expected;
  };
  const Step steps[] = {
      {49ms, false},                  // 0.98 of a token
      {50ms, true},                   // one whole token after 1/20 s
      {50ms, false},  {149ms, true},  // 1.98 tokens came, one of them is taken
      {150ms, true},  {150ms, false},
      {140ms, false},  // a clock that goes back gives nothing
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.at.count());
    EXPECT_EQ(TakeToken(bucket, rate, At(step.at)), step.expected);
  }

  // A long pause refills to the burst, never beyond it.
  taken = 0;
  while (TakeToken(bucket, rate, At(1h))) ++taken;
  EXPECT_EQ(taken, 40);
}

TEST(Gate, OpensAtMostOncePerPeriod) {
  Gate gate(1s);
  const std::pair<milliseconds, bool> steps[] = {
      {0ms, true},     {1ms, false},   {999ms, false}, {1000ms, true},
      {1999ms, false}, {5000ms, true}, {4000ms, true},  // a clock that went
                                                        // back must not shut it
                                                        // for good
      {4500ms, false},
  };
  for (const auto& [at, expected] : steps) {
    SCOPED_TRACE(at.count());
    EXPECT_EQ(gate.Open(At(at)), expected);
  }
}

TEST(SettledChange, CountsAChangeOnceTwoLooksAgree) {
  SettledChange<int> change(1);
  const std::pair<int, bool> looks[] = {
      {1, false},
      {0, false},  // the editor emptied the file...
      {2, false},  // ...and wrote it again
      {2, true},
      {2, false},  // said once
      {1, false},
      {1, true},  // back to an earlier stamp is a change too
      {3, false},
      {1, false},  // changed and changed back between two looks: nothing
      {1, false},
  };
  for (std::size_t i = 0; i < std::size(looks); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(change.Look(looks[i].first), looks[i].second);
  }
}

constexpr std::uint32_t kFlooder = 0x7f000001;  // 127.0.0.1
constexpr std::uint32_t kPilot = 0x7f000002;    // 127.0.0.2

TEST(SenderTable, LimitsRepliesPerAddressAndOnlyThere) {
  SenderTable table(DefaultLimits(20));
  // 10,000 requests in one second from one address, a pilot polling beside.
  int flooder_replies = 0;
  int pilot_replies = 0;
  for (int i = 0; i < 10000; ++i) {
    const SteadyTime now = At(milliseconds(i / 10));
    flooder_replies += table.OnRequest(kFlooder, true, now).reply;
    if (i % 1000 == 0)
      pilot_replies += table.OnRequest(kPilot, true, now).reply;
  }
  EXPECT_LE(flooder_replies, 40 + 20);
  EXPECT_GE(flooder_replies, 40 + 19);
  EXPECT_EQ(pilot_replies, 10);
}

TEST(SenderTable, UnansweredRequestsCostNoReplies) {
  SenderTable table(DefaultLimits(1));
  for (int i = 0; i < 100; ++i) table.OnRequest(kFlooder, false, kStart);
  EXPECT_TRUE(table.OnRequest(kFlooder, true, kStart).reply);
  EXPECT_TRUE(table.OnRequest(kFlooder, true, kStart).reply);
  EXPECT_FALSE(table.OnRequest(kFlooder, true, kStart).reply);
}

TEST(SenderTable, ForgetsTheLeastRecentlySeenPastItsSize) {
  SenderLimits limits = DefaultLimits(1);
  limits.max_senders = 3;
  SenderTable table(limits);
  // Each address spends its burst of two.
  for (std::uint32_t address : {1u, 2u, 3u}) {
    table.OnRequest(address, true, kStart);
    table.OnRequest(address, true, kStart);
  }
  table.OnRequest(1, false, kStart);  // 1 is now the most recent
  table.OnRequest(4, true, kStart);   // 2 is forgotten
  EXPECT_EQ(table.size(), 3u);
  EXPECT_FALSE(table.OnRequest(1, true, kStart).reply) << "1 kept its count";
  EXPECT_TRUE(table.OnRequest(2, true, kStart).reply) << "2 came back full";

  SenderTable big(DefaultLimits(20));
  for (std::uint32_t address = 0; address < 100000; ++address) {
    big.OnRequest(address, true, kStart);
  }
  EXPECT_EQ(big.size(), DefaultLimits(20).max_senders);
}

TEST(SenderTable, LogsAFewLinesPerSenderThenSumsUp) {
  SenderTable table(DefaultLimits(20));
  int logged = 0;
  for (int i = 0; i < 10000; ++i) {
    logged += table.OnRequest(kFlooder, true, At(milliseconds(i / 10))).log;
  }
  // Ten at once; the next would come a second later, after the flood.
  EXPECT_EQ(logged, 10);
  // Still flooding a moment ago: no summary yet.
  EXPECT_TRUE(table.Summaries(At(1500ms)).empty());
  EXPECT_EQ(
      table.Summaries(At(2000ms)),
      std::vector<std::string>{"9990 requests from 127.0.0.1 not logged"});
  EXPECT_TRUE(table.Summaries(At(3000ms)).empty()) << "said once";

  // A pilot's poll each 3 s is always logged.
  for (int i = 0; i < 20; ++i) {
    EXPECT_TRUE(table.OnRequest(kPilot, true, At(milliseconds(3000 * i))).log);
  }
}

TEST(SenderTable, SumsUpALongFloodEveryTenSeconds) {
  SenderTable table(DefaultLimits(20));
  std::vector<std::string> summaries;
  for (int ms = 0; ms < 25000; ms += 1) {
    table.OnRequest(kFlooder, true, At(milliseconds(ms)));
    if (ms % 1000 == 0) {
      for (auto& line : table.Summaries(At(milliseconds(ms))))
        summaries.push_back(line);
    }
  }
  // Unlogged since 10 ms in: summed up at 11 s and at 22 s.
  ASSERT_EQ(summaries.size(), 2u);
  EXPECT_EQ(summaries[0], "10980 requests from 127.0.0.1 not logged");
  EXPECT_EQ(summaries[1], "10989 requests from 127.0.0.1 not logged");
}

TEST(SenderTable, BoundsTheLogWhenManyAddressesSend) {
  SenderLimits limits = DefaultLimits(20);
  limits.max_senders = 50;
  SenderTable table(limits);
  int logged = 0;
  // 10,000 spoofed addresses, ten requests each, within a second.
  for (std::uint32_t address = 0; address < 10000; ++address) {
    for (int i = 0; i < 10; ++i) {
      logged +=
          table.OnRequest(address, true, At(milliseconds(address / 10))).log;
    }
  }
  EXPECT_LE(logged, 100 + 20);
  const auto summaries = table.Summaries(At(5s));
  ASSERT_FALSE(summaries.empty());
  EXPECT_LE(summaries.size(), 100u);
  // The forgotten ones in one line.
  EXPECT_NE(summaries.back().find(" other addresses not logged"),
            std::string::npos)
      << summaries.back();
}

TEST(ProcNetUdp, FindsTheLocalPortInBothTables) {
  const std::string_view udp =
      "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when "
      "retrnsmt   uid  timeout inode ref pointer drops\n"
      "  133: 00000000:DBDC 00000000:0000 07 00000000:00000000 00:00000000 "
      "00000000     0        0 23571 2 0000000000000000 0\n"
      "  301: 0100007F:0035 00000000:0000 07 00000000:00000000 00:00000000 "
      "00000000   101        0 18011 2 0000000000000000 0\n";
  const std::string_view udp6 =
      "  sl  local_address                         remote_address              "
      "          st\n"
      "  512: 00000000000000000000000001000000:dbe0 "
      "00000000000000000000000000000000:0000 07\n";
  const std::string_view header_only =
      "   sl  local_address rem_address   st\n";
  const std::string_view broken =
      "   sl  local_address\n  1: 0100007F:DB\n  2: nonsense\n  3:\n";
  struct Case {
    std::string_view table;
    std::uint16_t port;
    bool expected;
  };
  const Case cases[] = {
      {udp, 56284, true},  // 0xDBDC
      {udp, 53, true},
      {udp, 56285, false},
      {udp, 133, false},    // the slot number is no port
      {udp6, 56288, true},  // lower-case hex
      {udp6, 56284, false},
      {header_only, 56284, false},
      {"", 56284, false},
      {broken, 219, false},
      // The header line itself is never read as a socket.
      {"  1: 0100007F:DBDC 00000000:0000 07\n", 56284, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table.substr(0, 40)) + " port " +
                 std::to_string(c.port));
    EXPECT_EQ(ProcNetUdpHasLocalPort(c.table, c.port), c.expected);
  }
}

TEST(ProcessNames, MatchLikeEachSystemNamesThem) {
  struct LinuxCase {
    std::string_view wanted, comm, cmdline;
    bool expected;
  };
  const LinuxCase linux_cases[] = {
      {"FlightServer", "FlightServer\n", "/opt/game/FlightServer\0-port\0"sv,
       true},
      {"FlightServer", "bash\n", "bash\0FlightServer\0"sv, false},
      // The kernel cuts the command name at 15 bytes; the path has it whole.
      {"tarvik-game-server", "tarvik-game-ser\n", "/srv/tarvik-game-server\0"sv,
       true},
      {"tarvik-game-ser", "tarvik-game-ser\n", "/srv/tarvik-game-server\0"sv,
       true},
      {"flightserver", "FlightServer\n", "/opt/FlightServer\0"sv, false},
      {"server", "FlightServer\n", "/opt/FlightServer\0"sv, false},
      {"FlightServer", "FlightServer\n", ""sv,
       true},  // a kernel thread has no arguments
  };
  for (const LinuxCase& c : linux_cases) {
    SCOPED_TRACE(std::string(c.wanted) + " / " + std::string(c.comm));
    EXPECT_EQ(LinuxProcessMatches(c.wanted, c.comm, c.cmdline), c.expected);
  }
  struct WindowsCase {
    std::string_view wanted, exe;
    bool expected;
  };
  const WindowsCase windows_cases[] = {
      {"CondorDedicated.exe", "CondorDedicated.exe", true},
      {"condordedicated.EXE", "CondorDedicated.exe", true},
      {"CondorDedicated", "CondorDedicated.exe", true},
      {"Condor", "CondorDedicated.exe", false},
      {"CondorDedicated.exe", "CondorDedicated", false},
      {"CondorDedicated.ex", "CondorDedicated.exe", false},
      {"", "x.exe", false},
  };
  for (const WindowsCase& c : windows_cases) {
    SCOPED_TRACE(std::string(c.wanted) + " / " + std::string(c.exe));
    EXPECT_EQ(WindowsProcessMatches(c.wanted, c.exe), c.expected);
  }
}

Config WithSocket() {
  Config base;
  base.port = 4000;
  base.bind_address = 0x7f000001;
  base.rate_per_address = 5;
  base.config_file = "statut.conf";
  return base;
}

TEST(ConfigFile, ReadsAnswersAndKeepsTheSocket) {
  struct Case {
    const char* label;
    std::string_view text;
    std::function<void(Config&)> expected;
  };
  const Case cases[] = {
      {"empty: the defaults", "", [](Config&) {}},
      {"comments and blanks",
       "# statut du serveur\n\n   \t\n  # indented comment\nversion 3.0.5 # "
       "current\n",
       [](Config& c) { c.version = "3.0.5"; }},
      {"CRLF and trailing blanks", "version 3.0.5 \t\r\njoin salle 2\r\n",
       [](Config& c) {
         c.version = "3.0.5";
         c.join = "salle 2";
       }},
      {"a fragment is no comment", "update http://h/MaJ.exe#x\n",
       [](Config& c) {
         c.poll_reply = PollReply::kUpdate;
         c.update_url = "http://h/MaJ.exe#x";
       }},
      {"flags and watches, no final newline",
       "offline\nno-join\nonline-while-udp-port 56288\nonline-while-process "
       "jeu.exe",
       [](Config& c) {
         c.poll_reply = PollReply::kSilent;
         c.answer_join = false;
         c.online_while_udp_port = 56288;
         c.online_while_process = "jeu.exe";
       }},
      {"later lines win", "version 1\nversion 2\n",
       [](Config& c) { c.version = "2"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Config expected = WithSocket();
    c.expected(expected);
    const auto parsed = ParseConfigFile(c.text, WithSocket());
    ASSERT_TRUE(std::holds_alternative<Config>(parsed))
        << std::get<OptionError>(parsed).message;
    const Config& got = std::get<Config>(parsed);
    EXPECT_EQ(got.port, 4000);
    EXPECT_EQ(got.bind_address, 0x7f000001u);
    EXPECT_EQ(got.rate_per_address, 5u);
    EXPECT_EQ(got.config_file, "statut.conf");
    EXPECT_EQ(got.poll_reply, expected.poll_reply);
    EXPECT_EQ(got.version, expected.version);
    EXPECT_EQ(got.update_url, expected.update_url);
    EXPECT_EQ(got.answer_join, expected.answer_join);
    EXPECT_EQ(got.join, expected.join);
    EXPECT_EQ(got.online_while_udp_port, expected.online_while_udp_port);
    EXPECT_EQ(got.online_while_process, expected.online_while_process);
  }
}

TEST(ConfigFile, NamesTheLineOfEachMistake) {
  const std::string long_version = "version " + std::string(513, 'v') + "\n";
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"versio 3\n", "line 1: unknown option 'versio'"},
      {"# ok\n--version 3\n", "line 2: unknown option '--version'"},
      {"port 4001\n", "line 1: 'port' belongs on the command line"},
      {"bind 0.0.0.0\n", "line 1: 'bind' belongs on the command line"},
      {"rate-per-address 9\n",
       "line 1: 'rate-per-address' belongs on the command line"},
      {"config other.conf\n", "line 1: 'config' belongs on the command line"},
      {"version\n", "line 1: 'version' needs a value"},
      {"version   # nothing\n", "line 1: 'version' needs a value"},
      {"offline yes\n", "line 1: 'offline' does not take a value"},
      {long_version, "line 1: option --version value is 513 bytes long"},
      {"\n\nonline-while-udp-port 70000\n", "line 3: invalid port '70000'"},
      {"online-while-udp-port 4000\n", "cannot be the server's own port 4000"},
      {"version 3\noffline\n", "--offline cannot be combined with --version"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(std::string(text.substr(0, 40)));
    const auto parsed = ParseConfigFile(text, WithSocket());
    const auto* error = std::get_if<OptionError>(&parsed);
    ASSERT_NE(error, nullptr);
    EXPECT_NE(error->message.find(message), std::string::npos)
        << error->message;
  }
}

class FakeSystem : public SystemView {
 public:
  bool UdpPortBound(std::uint16_t port) override {
    ++looks;
    return port == bound_port;
  }
  bool ProcessRunning(std::string_view name) override {
    ++looks;
    return name == running;
  }
  std::uint16_t bound_port = 0;
  std::string running;
  int looks = 0;
};

const Endpoint kPilotEndpoint{kPilot, 50000};

std::optional<std::string> ReplyAt(Service& service, milliseconds at,
                                   std::string_view request = kPollRequest) {
  return service.OnRequest(kPilotEndpoint, request, At(at), kWall).reply;
}

TEST(Service, AnswersSpOnlyWhileTheGameServerShows) {
  FakeSystem system;
  Config config;
  config.online_while_udp_port = 56288;
  config.online_while_process = "jeu";
  Service service(config, system);

  EXPECT_EQ(ReplyAt(service, 0ms), std::nullopt);
  EXPECT_EQ(ReplyAt(service, 0ms, kJoinRequest), "CCtarvik")
      << "joins are not watched";
  system.bound_port = 56288;
  EXPECT_EQ(ReplyAt(service, 999ms), std::nullopt)
      << "looked at most once a second";
  EXPECT_EQ(ReplyAt(service, 1000ms), std::nullopt) << "the process is missing";
  system.running = "jeu";
  EXPECT_EQ(ReplyAt(service, 2000ms), "SP3.0.4");
  system.bound_port = 0;
  EXPECT_EQ(ReplyAt(service, 2500ms), "SP3.0.4");
  EXPECT_EQ(ReplyAt(service, 3000ms), std::nullopt);
  EXPECT_LE(system.looks, 2 * 4);
}

TEST(Service, LooksAtNothingWithoutAWatch) {
  FakeSystem system;
  Service service(Config{}, system);
  EXPECT_EQ(ReplyAt(service, 0ms), "SP3.0.4");
  EXPECT_EQ(system.looks, 0);
}

TEST(Service, TellsRateLimitedRequestsApart) {
  FakeSystem system;
  Config config;
  config.rate_per_address = 1;
  Service service(config, system);
  std::vector<std::string> lines;
  for (int i = 0; i < 3; ++i) {
    const Handled handled =
        service.OnRequest(kPilotEndpoint, kPollRequest, kStart, kWall);
    EXPECT_EQ(handled.reply.has_value(), i < 2);
    ASSERT_TRUE(handled.log_line);
    lines.push_back(*handled.log_line);
  }
  EXPECT_EQ(
      lines[1],
      "2023-11-14T22:13:20.000Z 127.0.0.2:50000 6 bytes \"TPv2.0\" -> SP3.0.4");
  EXPECT_EQ(lines[2], lines[1] + " (rate limited, not sent)");
}

TEST(Service, RereadsTheAnswersAndKeepsThemOnABadFile) {
  FakeSystem system;
  Config config;
  config.config_file = "statut.conf";
  Service service(config, system);

  EXPECT_EQ(service.Reload({"version 3.0.5\n", ""}, kWall),
            "2023-11-14T22:13:20.000Z config 'statut.conf' read "
            "(TPv2.0 -> SP3.0.5, DC -> CCtarvik)");
  EXPECT_EQ(ReplyAt(service, 0ms), "SP3.0.5");

  const std::pair<ConfigRead, std::string> bad[] = {
      {{"versio 3.0.6\n", ""}, "line 1: unknown option 'versio'"},
      {{std::nullopt, "No such file or directory"},
       "No such file or directory"},
  };
  for (const auto& [read, reason] : bad) {
    EXPECT_EQ(
        service.Reload(read, kWall),
        "2023-11-14T22:13:20.000Z config 'statut.conf' not read, previous "
        "answers kept: " +
            reason);
    EXPECT_EQ(ReplyAt(service, 0ms), "SP3.0.5");
  }

  // A watch added by the file applies at the next poll.
  system.bound_port = 1;
  service.Reload({"online-while-udp-port 56288\n", ""}, kWall);
  EXPECT_EQ(ReplyAt(service, 10ms), std::nullopt);
  EXPECT_EQ(ReplyAt(service, 10ms, kJoinRequest), "CCtarvik");
}

TEST(Service, StartsOnlyFromAGoodFile) {
  Config command_line;
  command_line.config_file = "statut.conf";
  command_line.port = 4000;
  const auto good =
      StartingConfig(command_line, {"update http://h/u.exe\n", ""});
  ASSERT_TRUE(std::holds_alternative<Config>(good));
  EXPECT_EQ(std::get<Config>(good).update_url, "http://h/u.exe");
  EXPECT_EQ(std::get<Config>(good).port, 4000);

  const std::pair<ConfigRead, std::string> bad[] = {
      {{std::nullopt, "Permission denied"},
       "cannot read config 'statut.conf': Permission denied"},
      {{"port 1\n", ""},
       "config 'statut.conf', line 1: 'port' belongs on the command line, not "
       "in the file"},
  };
  for (const auto& [read, message] : bad) {
    const auto started = StartingConfig(command_line, read);
    ASSERT_TRUE(std::holds_alternative<OptionError>(started));
    EXPECT_EQ(std::get<OptionError>(started).message, message);
  }
  // Without --config nothing is read.
  EXPECT_TRUE(std::holds_alternative<Config>(StartingConfig(Config{}, {})));
}

}  // namespace
}  // namespace tarvik::status
