#pragma once
#include <winsock2.h>

#include <cstdint>
#include <memory>
#include <string>

#include "base/errors.h"

class SocketError : public LauncherError {
public:
    explicit SocketError(int code);
    int Code() const noexcept { return code_; }
    const wchar_t* Kind() const noexcept override { return L"ErreurSocket"; }

private:
    int code_;
};

struct WinsockLibrary;

// The datagram client of the status exchange: one IPv4 UDP socket, bound to
// a port of the system's choosing for the whole run, never connected.
class StatusClient {
public:
    StatusClient(std::wstring host, std::uint16_t port, int replyWaitMs);
    ~StatusClient();
    StatusClient(const StatusClient&) = delete;
    StatusClient& operator=(const StatusClient&) = delete;

    // Loads Windows sockets, opens and binds the socket. Throws.
    void Open();

    // Resolves the host, sends the request to host:port, and waits up to
    // the reply wait for one datagram from that address and port; datagrams
    // from anyone else are dropped, and none is read once the wait has run
    // out. Blocks. Returns the reply's bytes, empty when none came. Throws
    // SocketError.
    std::string Exchange(const std::string& request);

private:
    sockaddr_in Resolve() const;

    std::wstring host_;
    std::uint16_t port_;
    int replyWaitMs_;
    std::unique_ptr<WinsockLibrary> winsock_;
    SOCKET socket_ = INVALID_SOCKET;
};
