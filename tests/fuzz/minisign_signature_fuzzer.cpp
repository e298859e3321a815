// Any .minisig text: a parsed signature has one of the two algorithms, a
// trusted comment on one line, and the version it vouches for reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "update/minisign.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = ParseMinisignSignature(text);
    if (!parsed) return 0;
    if (parsed->trustedComment.find('\n') != std::string::npos) std::abort();
    if (text.find("trusted comment: " + parsed->trustedComment) == std::string_view::npos) std::abort();
    if (const auto version = TrustedVersion(parsed->trustedComment)) {
        std::string field = "version:";
        for (size_t i = 0; i < version->parts.size(); ++i)
            field += (i ? "." : "") + std::to_string(version->parts[i]);
        // Leading zeros aside, the field is in the comment as it was read.
        if (parsed->trustedComment.find("version:") == std::string::npos) std::abort();
        if (TrustedVersion(field) != version) std::abort();
    }
    return 0;
}
