#include "tests/support/status_fixture.h"

#include <stdexcept>

namespace {

SOCKET LoopbackSocket(u_short port)
{
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot bind the status fixture on 127.0.0.1:" + std::to_string(port));
    return s;
}

} // namespace

StatusFixture::StatusFixture(Script script) : script_(std::move(script))
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = LoopbackSocket(56284);
    other_ = LoopbackSocket(0);
    thread_ = std::thread([this] { Serve(); });
}

StatusFixture::~StatusFixture()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    // Wake the receiving thread with a datagram of its own.
    sockaddr_in self{};
    int size = sizeof self;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&self), &size);
    sendto(other_, "", 0, 0, reinterpret_cast<sockaddr*>(&self), sizeof self);
    thread_.join();
    closesocket(socket_);
    closesocket(other_);
    WSACleanup();
}

void StatusFixture::SetScript(Script script)
{
    std::lock_guard lock(mutex_);
    script_ = std::move(script);
}

std::vector<StatusFixture::Request> StatusFixture::Requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

bool StatusFixture::WaitForRequests(size_t count, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Requests().size() >= count) return true;
        Sleep(20);
    }
    return Requests().size() >= count;
}

void StatusFixture::SendFromServer(const std::string& bytes, const sockaddr_in& to)
{
    sendto(socket_, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void StatusFixture::SendFromElsewhere(const std::string& bytes, const sockaddr_in& to)
{
    sendto(other_, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void StatusFixture::Serve()
{
    char buffer[65536];
    for (;;) {
        Request request{};
        int size = sizeof request.from;
        const int received =
            recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&request.from), &size);
        request.at = std::chrono::steady_clock::now();
        Script script;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            if (received < 0) continue;
            request.bytes.assign(buffer, static_cast<size_t>(received));
            requests_.push_back(request);
            script = script_;
        }
        if (!script) continue;
        if (auto reply = script(request, *this)) SendFromServer(*reply, request.from);
    }
}
