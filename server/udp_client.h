#pragma once
#include <winsock2.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/errors.h"

class SocketError : public Erreur {
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
class IdUDPClient {
public:
    std::wstring Host;
    std::uint16_t Port = 0;
    int ReceiveTimeout = 0; // milliseconds

    IdUDPClient();
    ~IdUDPClient();
    IdUDPClient(const IdUDPClient&) = delete;
    IdUDPClient& operator=(const IdUDPClient&) = delete;

    // Loads Windows sockets, opens and binds the socket. Throws.
    void Activate();

    // Resolves Host, sends the request to Host:Port, and waits up to
    // ReceiveTimeout for one datagram from that address and port; datagrams
    // from anyone else are dropped. Blocks. Returns the reply's bytes, empty
    // when none came. Throws SocketError.
    std::string Exchange(const std::string& request);

private:
    sockaddr_in Resolve() const;

    std::unique_ptr<WinsockLibrary> winsock_;
    SOCKET socket_ = INVALID_SOCKET;
};
