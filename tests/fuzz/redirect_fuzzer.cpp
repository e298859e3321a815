// Any address and any "Location": a resolved redirect is always an http or
// https address that parses, or a failure.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/url.h"

namespace {

void CheckParsed(const std::wstring& address)
{
    const auto parsed = ParseHttpAddress(address);
    if (!parsed) return;
    if (parsed->host.empty() || parsed->port == 0 || parsed->port > 65535) std::abort();
    if (parsed->pathAndQuery.empty() || parsed->pathAndQuery.front() != L'/') std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // "current\nlocation", each byte a character (ASCII is where the rules are).
    std::wstring current, location;
    std::wstring* into = &current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n' && into == &current) {
            into = &location;
            continue;
        }
        into->push_back(static_cast<wchar_t>(data[i]));
    }
    CheckParsed(current);
    CheckParsed(location);
    if (const auto resolved = ResolveRedirect(current, location)) {
        const auto parsed = ParseHttpAddress(*resolved);
        if (!parsed) std::abort();
        CheckParsed(*resolved);
    }
    return 0;
}
