// Any text read from the settings file as a flag: an answer or none, never
// a crash; and every 32-bit number written in any accepted form reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "settings/flag.h"

namespace {

std::wstring Hex(std::uint32_t value)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"%x", value);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The raw input as UTF-16 units, as the platform hands values over.
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    (void)ParseFlag(text);

    if (size >= 4) {
        std::uint32_t bits;
        std::memcpy(&bits, data, 4);
        const auto value = static_cast<std::int32_t>(bits);
        const bool on = value != 0;
        if (ParseFlag(std::to_wstring(value)) != on) std::abort();
        if (ParseFlag(L"0x" + Hex(bits)) != on) std::abort();
        if (ParseFlag(L"$" + Hex(bits)) != on) std::abort();
        if (ParseFlag(L"x" + Hex(bits)) != on) std::abort();
        if (ParseFlag(std::to_wstring(value) + L"z").has_value()) std::abort();
        if (ParseFlag(std::to_wstring(static_cast<std::uint64_t>(bits) + 0x100000000ull)).has_value()) std::abort();
    }
    return 0;
}
