// Any public key text: base64 that decodes has the length its text implies
// and encodes back to the same text; a parsed key came from 42 such bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "update/minisign.h"

namespace {

std::string Encode(const std::string& bytes)
{
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        std::uint32_t bits = 0;
        for (size_t j = 0; j < 3; ++j)
            bits = (bits << 8) | (j < n ? static_cast<std::uint8_t>(bytes[i + j]) : 0u);
        for (size_t j = 0; j < 4; ++j) text += j <= n ? alphabet[(bits >> (18 - 6 * j)) & 63] : '=';
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto bytes = DecodeBase64(text)) {
        // One text per byte string: nothing else may decode to the same bytes.
        if (Encode(*bytes) != text) std::abort();
    }
    if (ParseMinisignPublicKey(text)) {
        if (size != 56 || text.substr(0, 2) != "RW") std::abort();
    }
    return 0;
}
