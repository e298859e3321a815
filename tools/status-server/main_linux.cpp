#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "liveness.h"
#include "service.h"
#include "status_server.h"

namespace {

using tarvik::status::Config;
namespace status = tarvik::status;
using SteadyClock = std::chrono::steady_clock;
using SystemClock = std::chrono::system_clock;

void LogLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ReportError(const std::string& what) {
  std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(status::kProgramName.size()),
               status::kProgramName.data(), what.c_str());
}

std::string SystemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

const char* SignalName(int signal_number) {
  switch (signal_number) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal";
  }
}

// Blocked signals are collected through a descriptor, so a signal arriving
// between two polls cannot be missed. A shell may start background jobs with
// SIGINT ignored, and POSIX lets a blocked but ignored signal be discarded,
// hence the reset to the default action first.
int OpenSignals() {
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  sigaction(SIGINT, &default_action, nullptr);
  sigaction(SIGTERM, &default_action, nullptr);
  sigaction(SIGHUP, &default_action, nullptr);

  // A vanished log reader must not take the server down with it.
  struct sigaction ignore_action {};
  ignore_action.sa_handler = SIG_IGN;
  sigemptyset(&ignore_action.sa_mask);
  sigaction(SIGPIPE, &ignore_action, nullptr);

  sigset_t watched_signals;
  sigemptyset(&watched_signals);
  sigaddset(&watched_signals, SIGINT);
  sigaddset(&watched_signals, SIGTERM);
  sigaddset(&watched_signals, SIGHUP);
  if (sigprocmask(SIG_BLOCK, &watched_signals, nullptr) != 0) return -1;
  return signalfd(-1, &watched_signals, SFD_CLOEXEC);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) return std::nullopt;
  return std::move(text).str();
}

status::ConfigRead ReadConfig(const std::string& path) {
  status::ConfigRead read;
  errno = 0;
  read.text = ReadWholeFile(path);
  if (!read.text) read.error = errno != 0 ? std::strerror(errno) : "read failed";
  return read;
}

class LinuxSystemView : public status::SystemView {
 public:
  bool UdpPortBound(std::uint16_t port) override {
    for (const char* table : {"/proc/net/udp", "/proc/net/udp6"}) {
      const auto text = ReadWholeFile(table);
      if (text && status::ProcNetUdpHasLocalPort(*text, port)) return true;
    }
    return false;
  }

  bool ProcessRunning(std::string_view name) override {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return false;
    bool found = false;
    while (const dirent* entry = readdir(proc)) {
      if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
      const std::string folder = std::string("/proc/") + entry->d_name;
      // A process may end between the listing and the reading.
      const auto comm = ReadWholeFile(folder + "/comm");
      const auto cmdline = ReadWholeFile(folder + "/cmdline");
      if (comm && cmdline && status::LinuxProcessMatches(name, *comm, *cmdline)) {
        found = true;
        break;
      }
    }
    closedir(proc);
    return found;
  }
};

// No SO_REUSEADDR: on Linux it would let a second server share the port
// and silently take over part of the traffic.
int OpenSocket(const Config& config) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(config.port);
  address.sin_addr.s_addr = htonl(config.bind_address);
  // Launchers take a reply only from the address they asked; on a host with
  // several addresses, each reply must leave from the one its request came to.
  const int on = 1;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
          0 ||
      setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

// Errors a busy or briefly starved host can produce; the next datagram may
// well go through.
bool IsTransient(int error) {
  return error == EINTR || error == EAGAIN || error == EWOULDBLOCK ||
         error == ENOMEM || error == ENOBUFS || error == ECONNREFUSED;
}

// The local address a datagram was sent to, if the kernel said.
std::optional<in_addr> ArrivedAt(msghdr& message) {
  for (cmsghdr* header = CMSG_FIRSTHDR(&message); header;
       header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
      in_pktinfo info;
      std::memcpy(&info, CMSG_DATA(header), sizeof info);
      return info.ipi_addr;
    }
  }
  return std::nullopt;
}

ssize_t SendReply(int socket_fd, const std::string& reply,
                  sockaddr_in& to, std::optional<in_addr> from) {
  iovec payload{const_cast<char*>(reply.data()), reply.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  msghdr message{};
  message.msg_name = &to;
  message.msg_namelen = sizeof to;
  message.msg_iov = &payload;
  message.msg_iovlen = 1;
  if (from) {
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst = *from;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
  }
  return sendmsg(socket_fd, &message, 0);
}

// False only when the socket itself has become unusable.
bool ServeOne(int socket_fd, status::Service& service) {
  // Larger than any IPv4 UDP payload, so nothing is ever cut short.
  static char buffer[65536];
  sockaddr_in sender{};
  iovec payload{buffer, sizeof buffer};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
  msghdr message{};
  message.msg_name = &sender;
  message.msg_namelen = sizeof sender;
  message.msg_iov = &payload;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t received = recvmsg(socket_fd, &message, MSG_DONTWAIT);
  if (received < 0) {
    if (IsTransient(errno)) return true;
    ReportError(SystemError("receive failed"));
    return false;
  }

  const std::string_view request(buffer, static_cast<std::size_t>(received));
  const status::Endpoint endpoint{ntohl(sender.sin_addr.s_addr),
                                  ntohs(sender.sin_port)};
  const status::Handled handled = service.OnRequest(
      endpoint, request, SteadyClock::now(), SystemClock::now());
  if (handled.log_line) LogLine(*handled.log_line);
  const std::optional<std::string>& reply = handled.reply;
  if (reply && SendReply(socket_fd, *reply, sender, ArrivedAt(message)) < 0) {
    ReportError(SystemError("reply to " + status::FormatEndpoint(endpoint) +
                            " failed"));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0),
                                           argv + argc);
  const status::StartUp start = status::PrepareStartUp(args, ReadConfig);
  std::fputs(start.out.c_str(), stdout);
  std::fputs(start.err.c_str(), stderr);
  if (!start.config) return start.exit_status;
  const Config& config = *start.config;

  const int signal_fd = OpenSignals();
  if (signal_fd < 0) {
    ReportError(SystemError("cannot watch for SIGINT/SIGTERM/SIGHUP"));
    return 1;
  }
  const int socket_fd = OpenSocket(config);
  if (socket_fd < 0) {
    ReportError(SystemError(
        "cannot listen on udp " +
        status::FormatEndpoint({config.bind_address, config.port})));
    return 1;
  }
  LinuxSystemView system;
  status::Service service(config, system);
  LogLine(status::FormatListeningLine(SystemClock::now(), config));

  for (;;) {
    pollfd watched[2] = {{signal_fd, POLLIN, 0}, {socket_fd, POLLIN, 0}};
    // Woken each second at least, for the summaries of the log.
    if (poll(watched, 2, 1000) < 0) {
      if (errno == EINTR) continue;
      ReportError(SystemError("poll failed"));
      return 1;
    }
    if (watched[0].revents & POLLIN) {
      signalfd_siginfo info{};
      if (read(signal_fd, &info, sizeof info) == sizeof info) {
        if (info.ssi_signo == SIGHUP) {
          LogLine(config.config_file.empty()
                      ? status::FormatTimestamp(SystemClock::now()) +
                            " SIGHUP: no --config file to read"
                      : service.Reload(ReadConfig(config.config_file),
                                       SystemClock::now()));
        } else {
          LogLine(status::FormatStoppingLine(
              SystemClock::now(), SignalName(static_cast<int>(info.ssi_signo))));
          close(socket_fd);
          return 0;
        }
      }
    }
    if ((watched[1].revents & (POLLIN | POLLERR)) &&
        !ServeOne(socket_fd, service)) {
      return 1;
    }
    for (const std::string& line :
         service.OnTick(SteadyClock::now(), SystemClock::now())) {
      LogLine(line);
    }
  }
}
