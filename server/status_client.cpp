#include "server/status_client.h"

#include <ws2tcpip.h>

#include "base/system_library.h"
#include "base/unique.h"
#include "server/datagram.h"

namespace {

constexpr int kReceiveBufferSize = 8192;

struct LibraryTraits {
    using Handle = HMODULE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};

template <class Function>
void Bind(HMODULE library, Function*& function, const char* name)
{
    function = reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
    if (!function) throw SocketError(WSAVERNOTSUPPORTED);
}

} // namespace

SocketError::SocketError(int code) : LauncherError(SocketErrorText(code)), code_(code) {}

// Windows sockets, loaded from the system folder when the client is activated.
struct WinsockLibrary {
    Unique<LibraryTraits> module;
    bool started = false;
    decltype(&::WSAStartup) WSAStartup = nullptr;
    decltype(&::WSACleanup) WSACleanup = nullptr;
    decltype(&::WSAGetLastError) WSAGetLastError = nullptr;
    decltype(&::socket) socket = nullptr;
    decltype(&::closesocket) closesocket = nullptr;
    decltype(&::bind) bind = nullptr;
    decltype(&::setsockopt) setsockopt = nullptr;
    decltype(&::sendto) sendto = nullptr;
    decltype(&::recvfrom) recvfrom = nullptr;
    decltype(&::select) select = nullptr;
    decltype(&::GetAddrInfoW) GetAddrInfoW = nullptr;
    decltype(&::FreeAddrInfoW) FreeAddrInfoW = nullptr;
    decltype(&::InetPtonW) InetPtonW = nullptr;

    WinsockLibrary()
    {
        module.reset(LoadSystemLibrary(L"ws2_32.dll"));
        if (!module) throw SocketError(WSASYSNOTREADY);
        HMODULE m = module.get();
        Bind(m, WSAStartup, "WSAStartup");
        Bind(m, WSACleanup, "WSACleanup");
        Bind(m, WSAGetLastError, "WSAGetLastError");
        Bind(m, socket, "socket");
        Bind(m, closesocket, "closesocket");
        Bind(m, bind, "bind");
        Bind(m, setsockopt, "setsockopt");
        Bind(m, sendto, "sendto");
        Bind(m, recvfrom, "recvfrom");
        Bind(m, select, "select");
        Bind(m, GetAddrInfoW, "GetAddrInfoW");
        Bind(m, FreeAddrInfoW, "FreeAddrInfoW");
        Bind(m, InetPtonW, "InetPtonW");
        WSADATA data;
        if (int result = WSAStartup(MAKEWORD(2, 2), &data)) throw SocketError(result);
        started = true;
    }
    ~WinsockLibrary()
    {
        if (started) WSACleanup();
    }
    WinsockLibrary(const WinsockLibrary&) = delete;
    WinsockLibrary& operator=(const WinsockLibrary&) = delete;

    [[noreturn]] void Fail() const { throw SocketError(WSAGetLastError()); }
};

StatusClient::StatusClient(std::wstring host, std::uint16_t port, int replyWaitMs)
    : host_(std::move(host)), port_(port), replyWaitMs_(replyWaitMs)
{
}

StatusClient::~StatusClient()
{
    if (socket_ != INVALID_SOCKET) winsock_->closesocket(socket_);
}

void StatusClient::Open()
{
    auto winsock = std::make_unique<WinsockLibrary>();
    SOCKET opened = winsock->socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (opened == INVALID_SOCKET) winsock->Fail();
    winsock_ = std::move(winsock);
    socket_ = opened;

    const BOOL off = FALSE;
    winsock_->setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&off), sizeof off);
    winsock_->setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&off), sizeof off);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = INADDR_ANY;
    any.sin_port = 0;
    if (winsock_->bind(socket_, reinterpret_cast<const sockaddr*>(&any), sizeof any) == SOCKET_ERROR)
        throw LauncherError(L"Impossible de lier le socket.");
}

sockaddr_in StatusClient::Resolve() const
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = static_cast<u_short>((port_ >> 8) | (port_ << 8)); // network order, without ws2_32's htons
    // A dotted address is used as it is; a name is resolved at every request.
    if (winsock_->InetPtonW(AF_INET, host_.c_str(), &address.sin_addr) == 1) return address;

    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    ADDRINFOW* found = nullptr;
    if (int result = winsock_->GetAddrInfoW(host_.c_str(), nullptr, &hints, &found)) throw SocketError(result);
    address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    winsock_->FreeAddrInfoW(found);
    return address;
}

std::string StatusClient::Exchange(const std::string& request)
{
    const sockaddr_in server = Resolve();
    if (winsock_->sendto(socket_, request.data(), static_cast<int>(request.size()), 0,
                         reinterpret_cast<const sockaddr*>(&server), sizeof server) == SOCKET_ERROR)
        winsock_->Fail();

    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(std::max(replyWaitMs_, 0));
    char buffer[kReceiveBufferSize];
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const ULONGLONG left = deadline > now ? deadline - now : 0;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_, &readable);
        timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
        const int ready = winsock_->select(0, &readable, nullptr, nullptr, &wait);
        if (ready == SOCKET_ERROR) winsock_->Fail();
        if (ready == 0) return {};

        sockaddr_in sender{};
        int senderSize = sizeof sender;
        const int received = winsock_->recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender),
                                                &senderSize);
        const bool fromServer = sender.sin_addr.s_addr == server.sin_addr.s_addr && sender.sin_port == server.sin_port;
        if (received == SOCKET_ERROR) {
            const int code = winsock_->WSAGetLastError();
            // Someone else's oversize datagram is dropped like any of theirs.
            if (code == WSAEMSGSIZE && !fromServer) continue;
            throw SocketError(code);
        }
        // Only the server that was asked may answer: a datagram from anyone
        // else could otherwise start a download or the simulator.
        if (fromServer) return std::string(buffer, static_cast<size_t>(received));
        // A flood of strangers must not hold the window past the wait.
        if (::GetTickCount64() >= deadline) return {};
    }
}
