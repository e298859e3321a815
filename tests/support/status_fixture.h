#pragma once
#include <winsock2.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A status server on 127.0.0.1:56284 inside the test, answering as each test
// scripts it, and writing down every request with its time.
class StatusFixture {
public:
    struct Request {
        std::string bytes;
        std::chrono::steady_clock::time_point at;
        sockaddr_in from;
    };
    // Given the request, what to send back from the server's port (nothing
    // when empty), and what to do besides (late or foreign replies).
    using Script = std::function<std::optional<std::string>(const Request&, StatusFixture&)>;

    explicit StatusFixture(Script script);
    ~StatusFixture();
    StatusFixture(const StatusFixture&) = delete;
    StatusFixture& operator=(const StatusFixture&) = delete;

    void SetScript(Script script);
    std::vector<Request> Requests() const;
    // Waits until at least count requests came; false when time ran out.
    bool WaitForRequests(size_t count, std::chrono::milliseconds timeout) const;

    // Sends from the server's own port, or from another port of loopback.
    void SendFromServer(const std::string& bytes, const sockaddr_in& to);
    void SendFromElsewhere(const std::string& bytes, const sockaddr_in& to);

    static std::string Reply(const char* text) { return text; }

private:
    void Serve();

    SOCKET socket_ = INVALID_SOCKET;
    SOCKET other_ = INVALID_SOCKET;
    mutable std::mutex mutex_;
    Script script_;
    std::vector<Request> requests_;
    bool stopping_ = false;
    std::thread thread_;
};
