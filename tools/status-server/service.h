// The status server between its socket and its log: which reply a request
// gets, whether it is sent and logged, the watch of the game server and the
// rereading of the answers. Sockets, files and the clock stay outside.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "rate_limit.h"
#include "status_server.h"

namespace tarvik::status {

using WallTime = std::chrono::system_clock::time_point;

// What the platform lets the server see of the game server.
class SystemView {
 public:
  virtual ~SystemView() = default;
  virtual bool UdpPortBound(std::uint16_t port) = 0;
  virtual bool ProcessRunning(std::string_view name) = 0;
};

// The file of --config as it was read: its text, or why not.
struct ConfigRead {
  std::optional<std::string> text;
  std::string error;
};

// The command line's settings with the answers of the file; an error that
// stops the start-up otherwise.
std::variant<Config, OptionError> StartingConfig(const Config& command_line,
                                                 const ConfigRead& read);

// What a start-up comes to before anything is opened: the configuration to
// serve, or the help or an error to print and the exit status.
struct StartUp {
  std::optional<Config> config;
  std::string out;
  std::string err;
  int exit_status = 0;
};

StartUp PrepareStartUp(
    const std::vector<std::string_view>& args,
    const std::function<ConfigRead(const std::string& path)>& read_config);

struct Handled {
  std::optional<std::string> reply;  // to send back
  std::optional<std::string> log_line;
};

class Service {
 public:
  Service(Config config, SystemView& system);

  const Config& config() const { return config_; }

  Handled OnRequest(const Endpoint& sender, std::string_view request,
                    SteadyTime now, WallTime wall);

  // Summaries of what the log left out; may be called often, looks at the
  // senders once a second.
  std::vector<std::string> OnTick(SteadyTime now, WallTime wall);

  // New answers from the file, or the previous ones kept; the log line says
  // which and why.
  std::string Reload(const ConfigRead& read, WallTime wall);

 private:
  bool GameServerUp(SteadyTime now);

  Config config_;
  SystemView& system_;
  SenderTable senders_;
  Gate watch_gate_{std::chrono::seconds(1)};
  Gate tick_gate_{std::chrono::seconds(1)};
  bool game_server_up_ = false;
};

}  // namespace tarvik::status
