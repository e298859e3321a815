#include "service.h"

namespace tarvik::status {
namespace {

std::string NamedFile(const Config& config) {
  return "config '" + Escape(config.config_file) + "'";
}

}  // namespace

std::variant<Config, OptionError> StartingConfig(const Config& command_line,
                                                 const ConfigRead& read) {
  if (command_line.config_file.empty()) return command_line;
  if (!read.text) {
    return OptionError{"cannot read " + NamedFile(command_line) + ": " +
                       read.error};
  }
  auto parsed = ParseConfigFile(*read.text, command_line);
  if (auto* error = std::get_if<OptionError>(&parsed)) {
    return OptionError{NamedFile(command_line) + ", " + error->message};
  }
  return parsed;
}

StartUp PrepareStartUp(
    const std::vector<std::string_view>& args,
    const std::function<ConfigRead(const std::string& path)>& read_config) {
  const std::string program = std::string(kProgramName) + ": ";
  StartUp start;
  const ParsedOptions parsed = ParseOptions(args);
  if (std::holds_alternative<HelpRequested>(parsed)) {
    start.out = Usage();
    return start;
  }
  start.exit_status = 2;
  if (const auto* error = std::get_if<OptionError>(&parsed)) {
    start.err = program + error->message + "\n\n" + std::string(Usage());
    return start;
  }
  const Config& command_line = std::get<Config>(parsed);
  const auto starting =
      StartingConfig(command_line, command_line.config_file.empty()
                                       ? ConfigRead{}
                                       : read_config(command_line.config_file));
  if (const auto* error = std::get_if<OptionError>(&starting)) {
    start.err = program + error->message + "\n";
    return start;
  }
  start.config = std::get<Config>(starting);
  start.exit_status = 0;
  return start;
}

Service::Service(Config config, SystemView& system)
    : config_(std::move(config)),
      system_(system),
      senders_(DefaultLimits(config_.rate_per_address)) {}

bool Service::GameServerUp(SteadyTime now) {
  if (!config_.WatchesGameServer()) return true;
  if (watch_gate_.Open(now)) {
    game_server_up_ = (config_.online_while_udp_port == 0 ||
                       system_.UdpPortBound(config_.online_while_udp_port)) &&
                      (config_.online_while_process.empty() ||
                       system_.ProcessRunning(config_.online_while_process));
  }
  return game_server_up_;
}

Handled Service::OnRequest(const Endpoint& sender, std::string_view request,
                           SteadyTime now, WallTime wall) {
  // The watch matters only to a version reply; other requests do not pay
  // for a look at the system.
  const bool watched =
      request == kPollRequest && config_.poll_reply == PollReply::kVersion;
  const std::optional<std::string> reply =
      Answer(config_, request, !watched || GameServerUp(now));
  const Allowance allowance =
      senders_.OnRequest(sender.address, reply.has_value(), now);
  Handled handled;
  if (reply && allowance.reply) handled.reply = reply;
  if (allowance.log) {
    handled.log_line = FormatRequestLine(wall, sender, request, reply,
                                         reply && !allowance.reply);
  }
  return handled;
}

std::vector<std::string> Service::OnTick(SteadyTime now, WallTime wall) {
  if (!tick_gate_.Open(now)) return {};
  std::vector<std::string> lines = senders_.Summaries(now);
  for (std::string& line : lines) line = FormatTimestamp(wall) + ' ' + line;
  return lines;
}

std::string Service::Reload(const ConfigRead& read, WallTime wall) {
  const std::string prefix = FormatTimestamp(wall) + ' ' + NamedFile(config_);
  if (!read.text) {
    return prefix + " not read, previous answers kept: " + read.error;
  }
  auto parsed = ParseConfigFile(*read.text, config_);
  if (const auto* error = std::get_if<OptionError>(&parsed)) {
    return prefix + " not read, previous answers kept: " + error->message;
  }
  config_ = std::get<Config>(std::move(parsed));
  // New watch settings deserve a fresh look at the next poll.
  watch_gate_ = Gate(std::chrono::seconds(1));
  return prefix + " read (" + FormatAnswers(config_) + ")";
}

}  // namespace tarvik::status
