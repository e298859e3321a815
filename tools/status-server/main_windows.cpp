// The status server as a Windows console program: Winsock for the socket,
// the console's control events to stop, the system's UDP and process tables
// for the game server, the file's time stamp for a new config.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "liveness.h"
#include "service.h"
#include "status_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
#include <windows.h>
#include <iphlpapi.h>
#include <tlhelp32.h>

#include "base/unique.h"

namespace {

using tarvik::status::Config;
namespace status = tarvik::status;
using SteadyClock = std::chrono::steady_clock;
using SystemClock = std::chrono::system_clock;

struct SocketTraits {
  using Handle = SOCKET;
  static Handle Invalid() noexcept { return INVALID_SOCKET; }
  static void Close(Handle handle) noexcept { closesocket(handle); }
};
using UniqueSocket = Unique<SocketTraits>;

class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    error_ = WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockSession() {
    if (error_ == 0) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  int error() const { return error_; }

 private:
  int error_;
};

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(),
                                         static_cast<int>(text.size()), nullptr,
                                         0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                      out.data(), length, nullptr, nullptr);
  return out;
}

std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(
      CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                      out.data(), length);
  return out;
}

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 ? std::string(text, length) : std::string();
  LocalFree(text);
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' ||
          message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) return "error " + std::to_string(code);
  return message + " (" + std::to_string(code) + ")";
}

void LogLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ReportError(const std::string& what) {
  std::fprintf(stderr, "%.*s: %s\n",
               static_cast<int>(status::kProgramName.size()),
               status::kProgramName.data(), what.c_str());
}

// ---- Stopping: the console's control events, handled on a thread of their
// own; the main loop sees the event and ends cleanly.

HANDLE g_stop_event = nullptr;
HANDLE g_stopped_event = nullptr;
const char* volatile g_stop_reason = "console event";

BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      g_stop_reason = "Ctrl+C";
      break;
    case CTRL_BREAK_EVENT:
      g_stop_reason = "Ctrl+Break";
      break;
    case CTRL_CLOSE_EVENT:
      g_stop_reason = "console close";
      break;
    default:
      g_stop_reason = "log-off or shutdown";
      break;
  }
  SetEvent(g_stop_event);
  // Windows ends the process once this returns from the last three events:
  // leave the main loop time to write its last line.
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    WaitForSingleObject(g_stopped_event, 3000);
  }
  return TRUE;
}

// ---- What the system shows of the game server.

template <class Table>
bool TableHasPort(const std::vector<unsigned char>& buffer,
                  std::uint16_t port) {
  const auto* table = reinterpret_cast<const Table*>(buffer.data());
  for (DWORD i = 0; i < table->dwNumEntries; ++i) {
    // The port sits in network order in the low 16 bits.
    if (ntohs(static_cast<u_short>(table->table[i].dwLocalPort)) == port)
      return true;
  }
  return false;
}

class WindowsSystemView : public status::SystemView {
 public:
  bool UdpPortBound(std::uint16_t port) override {
    for (const ULONG family : {AF_INET, AF_INET6}) {
      std::vector<unsigned char> buffer(16 * 1024);
      DWORD size = static_cast<DWORD>(buffer.size());
      DWORD result;
      while ((result = GetExtendedUdpTable(buffer.data(), &size, FALSE, family,
                                           UDP_TABLE_BASIC, 0)) ==
             ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(size);
      }
      if (result != NO_ERROR) continue;
      if (family == AF_INET ? TableHasPort<MIB_UDPTABLE>(buffer, port)
                            : TableHasPort<MIB_UDP6TABLE>(buffer, port)) {
        return true;
      }
    }
    return false;
  }

  bool ProcessRunning(std::string_view name) override {
    const UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
      if (status::WindowsProcessMatches(name, Utf8(entry.szExeFile)))
        return true;
    }
    return false;
  }
};

// ---- The file of --config: read whole, watched by its time stamp and size.

status::ConfigRead ReadConfig(const std::string& path) {
  status::ConfigRead read;
  const UniqueFile file(
      CreateFileW(Wide(path).c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    read.error = SystemMessage(GetLastError());
    return read;
  }
  std::string text;
  char chunk[16384];
  DWORD got = 0;
  for (;;) {
    if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) {
      read.error = SystemMessage(GetLastError());
      return read;
    }
    if (got == 0) break;
    text.append(chunk, got);
  }
  read.text = std::move(text);
  return read;
}

struct FileStamp {
  bool present = false;
  FILETIME written{};
  DWORD size_high = 0;
  DWORD size_low = 0;

  bool operator==(const FileStamp& other) const {
    return present == other.present &&
           CompareFileTime(&written, &other.written) == 0 &&
           size_high == other.size_high && size_low == other.size_low;
  }
};

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
    stamp.present = true;
    stamp.written = data.ftLastWriteTime;
    stamp.size_high = data.nFileSizeHigh;
    stamp.size_low = data.nFileSizeLow;
  }
  return stamp;
}

// ---- The socket.

// SO_EXCLUSIVEADDRUSE: no other program may bind the same port and take
// part of the traffic.
UniqueSocket OpenSocket(const Config& config, int& error) {
  UniqueSocket socket_handle(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (!socket_handle) {
    error = WSAGetLastError();
    return UniqueSocket();
  }
  const SOCKET s = socket_handle.get();
  const DWORD on = 1;
  const BOOL no = FALSE;
  DWORD returned = 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(config.port);
  address.sin_addr.s_addr = htonl(config.bind_address);
  // Launchers take a reply only from the address they asked; on a host with
  // several addresses, each reply must leave from the one its request came
  // to. Without SIO_UDP_CONNRESET off, an unreachable sender would make the
  // next receive fail.
  if (setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
      bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
          0 ||
      setsockopt(s, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&on),
                 sizeof on) != 0) {
    error = WSAGetLastError();
    return UniqueSocket();
  }
  WSAIoctl(s, SIO_UDP_CONNRESET, const_cast<BOOL*>(&no), sizeof no, nullptr, 0,
           &returned, nullptr, nullptr);
  return socket_handle;
}

LPFN_WSARECVMSG FindRecvMsg(SOCKET s) {
  GUID id = WSAID_WSARECVMSG;
  LPFN_WSARECVMSG function = nullptr;
  DWORD returned = 0;
  if (WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function,
               sizeof function, &returned, nullptr, nullptr) != 0) {
    return nullptr;
  }
  return function;
}

bool IsTransient(int error) {
  return error == WSAEWOULDBLOCK || error == WSAEINTR ||
         error == WSAECONNRESET || error == WSAENOBUFS ||
         error == WSAEMSGSIZE || error == WSAENETRESET;
}

std::optional<IN_PKTINFO> ArrivedAt(WSAMSG& message) {
  for (WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message); header;
       header = WSA_CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
      IN_PKTINFO info;
      std::memcpy(&info, WSA_CMSG_DATA(header), sizeof info);
      return info;
    }
  }
  return std::nullopt;
}

int SendReply(SOCKET s, const std::string& reply, sockaddr_in& to,
              const std::optional<IN_PKTINFO>& from) {
  WSABUF payload{static_cast<ULONG>(reply.size()),
                 const_cast<char*>(reply.data())};
  alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
  WSAMSG message{};
  message.name = reinterpret_cast<sockaddr*>(&to);
  message.namelen = sizeof to;
  message.lpBuffers = &payload;
  message.dwBufferCount = 1;
  if (from) {
    message.Control.buf = control;
    message.Control.len = sizeof control;
    WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = WSA_CMSG_LEN(sizeof(IN_PKTINFO));
    std::memcpy(WSA_CMSG_DATA(header), &*from, sizeof *from);
  }
  DWORD sent = 0;
  return WSASendMsg(s, &message, 0, &sent, nullptr, nullptr);
}

enum class Served { kOne, kNone, kBroken };

Served ServeOne(SOCKET s, LPFN_WSARECVMSG receive, status::Service& service) {
  // Larger than any IPv4 UDP payload, so nothing is ever cut short.
  static char buffer[65536];
  sockaddr_in sender{};
  WSABUF payload{sizeof buffer, buffer};
  alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))];
  WSAMSG message{};
  message.name = reinterpret_cast<sockaddr*>(&sender);
  message.namelen = sizeof sender;
  message.lpBuffers = &payload;
  message.dwBufferCount = 1;
  message.Control.buf = control;
  message.Control.len = sizeof control;
  DWORD received = 0;
  if (receive(s, &message, &received, nullptr, nullptr) != 0) {
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return Served::kNone;
    if (IsTransient(error)) return Served::kOne;
    ReportError("receive failed: " + SystemMessage(static_cast<DWORD>(error)));
    return Served::kBroken;
  }

  const std::string_view request(buffer, received);
  const status::Endpoint endpoint{ntohl(sender.sin_addr.s_addr),
                                  ntohs(sender.sin_port)};
  const status::Handled handled = service.OnRequest(
      endpoint, request, SteadyClock::now(), SystemClock::now());
  if (handled.log_line) LogLine(*handled.log_line);
  if (!handled.reply) return Served::kOne;
  const std::optional<IN_PKTINFO> arrived_at = ArrivedAt(message);
  int result = SendReply(s, *handled.reply, sender, arrived_at);
  // Some set-ups refuse a chosen source address; on a host with one address
  // the system's own choice is the right one. Said once.
  if (result != 0 && arrived_at && WSAGetLastError() == WSAEINVAL) {
    static bool reported = false;
    if (!reported) {
      ReportError(
          "the source address of replies cannot be chosen here; replying "
          "from the address the system picks");
      reported = true;
    }
    result = SendReply(s, *handled.reply, sender, std::nullopt);
  }
  if (result != 0) {
    ReportError("reply to " + status::FormatEndpoint(endpoint) + " failed: " +
                SystemMessage(static_cast<DWORD>(WSAGetLastError())));
  }
  return Served::kOne;
}

int Run(const Config& config) {
  const WinsockSession winsock;
  if (winsock.error() != 0) {
    ReportError("cannot start Windows sockets: " +
                SystemMessage(static_cast<DWORD>(winsock.error())));
    return 1;
  }
  int error = 0;
  const UniqueSocket socket_handle = OpenSocket(config, error);
  const LPFN_WSARECVMSG receive =
      socket_handle ? FindRecvMsg(socket_handle.get()) : nullptr;
  if (receive == nullptr) {
    if (error == 0) error = WSAGetLastError();
    ReportError("cannot listen on udp " +
                status::FormatEndpoint({config.bind_address, config.port}) +
                ": " + SystemMessage(static_cast<DWORD>(error)));
    return 1;
  }
  const UniqueHandle readable(WSACreateEvent());
  const UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const UniqueHandle stopped(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!readable || !stop || !stopped ||
      WSAEventSelect(socket_handle.get(), readable.get(), FD_READ) != 0) {
    ReportError("cannot wait for datagrams: " + SystemMessage(GetLastError()));
    return 1;
  }
  g_stop_event = stop.get();
  g_stopped_event = stopped.get();
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);

  WindowsSystemView system;
  status::Service service(config, system);
  LogLine(status::FormatListeningLine(SystemClock::now(), config));

  status::Gate config_gate(std::chrono::seconds(1));
  status::SettledChange<FileStamp> config_change(
      config.config_file.empty() ? FileStamp{} : StampOf(config.config_file));

  const HANDLE waited[2] = {stop.get(), readable.get()};
  for (;;) {
    // Woken each second at least, for the config file and the log summaries.
    const DWORD woken = WaitForMultipleObjects(2, waited, FALSE, 1000);
    if (woken == WAIT_OBJECT_0) {
      LogLine(status::FormatStoppingLine(SystemClock::now(), g_stop_reason));
      SetEvent(stopped.get());
      return 0;
    }
    if (woken == WAIT_OBJECT_0 + 1) {
      WSAResetEvent(readable.get());
      // A bounded batch: under a flood the stop event and the ticks still
      // get their turn; a receive re-arms the event while datagrams remain.
      for (int i = 0; i < 256; ++i) {
        const Served served = ServeOne(socket_handle.get(), receive, service);
        if (served == Served::kBroken) return 1;
        if (served == Served::kNone) break;
      }
    } else if (woken == WAIT_FAILED) {
      ReportError("wait failed: " + SystemMessage(GetLastError()));
      return 1;
    }
    const auto now = SteadyClock::now();
    if (!config.config_file.empty() && config_gate.Open(now) &&
        config_change.Look(StampOf(config.config_file))) {
      LogLine(
          service.Reload(ReadConfig(config.config_file), SystemClock::now()));
    }
    for (const std::string& line : service.OnTick(now, SystemClock::now()))
      LogLine(line);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arg_text;
  for (int i = 1; i < argc; ++i) arg_text.push_back(Utf8(argv[i]));
  const std::vector<std::string_view> args(arg_text.begin(), arg_text.end());

  const status::StartUp start = status::PrepareStartUp(args, ReadConfig);
  std::fputs(start.out.c_str(), stdout);
  std::fputs(start.err.c_str(), stderr);
  if (!start.config) return start.exit_status;
  return Run(*start.config);
}
