#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// Where a body goes: emptied before every request of an exchange, so that it
// holds the final response's body alone.
class BodySink {
public:
    virtual ~BodySink() = default;
    virtual bool Restart() = 0;
    virtual bool Write(const char* bytes, std::size_t count) = 0;
};

// Shared by the thread that downloads and the one that shows its progress.
struct DownloadProgress {
    std::atomic<std::uint64_t> received{0};
    std::atomic<std::uint64_t> announced{0}; // 0: no length announced
    std::atomic<bool> cancelled{false};      // checked before every request and read
};

struct DownloadRules {
    bool httpsOnly = false;   // only "https" addresses are asked
    std::uint64_t maxBytes;   // a longer body, announced or not, fails
};

// Downloads URL into the sink with the platform's HTTP client: redirects
// followed by hand (5 at most), the user's proxy settings, the platform's
// certificate checks, 60 s for every wait. True when the final response is a
// success and its whole body, within the cap, is in the sink. Blocks until
// then.
bool Download(const std::wstring& URL, BodySink& sink, const DownloadRules& rules, DownloadProgress& progress);
