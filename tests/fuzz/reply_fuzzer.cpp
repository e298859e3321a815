// Any datagram: decoding then splitting never fails, and never loses or
// invents a character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "server/datagram.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring reply = DecodeReply(bytes);
    if (reply.size() != size) std::abort();
    for (std::size_t i = 0; i < size; ++i) {
        const wchar_t expected = data[i] <= 0x7F ? static_cast<wchar_t>(data[i]) : L'\uFFFD';
        if (reply[i] != expected) std::abort();
    }
    const auto [command, argument] = SplitReply(reply);
    if (command.size() > 2) std::abort();
    if (command + argument != reply) std::abort();
    if (!argument.empty() && command.size() != 2) std::abort();

    // What the launcher would send back of such a text: one byte a character.
    const std::string request = EncodeRequest(reply);
    if (request.size() != reply.size()) std::abort();
    for (std::size_t i = 0; i < size; ++i)
        if (request[i] != (data[i] <= 0x7F ? static_cast<char>(data[i]) : '?')) std::abort();
    return 0;
}
