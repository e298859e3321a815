#include "settings/flag.h"

#include <cstdint>

const wchar_t* FlagText(bool on)
{
    return on ? L"1" : L"0";
}

namespace {

std::optional<std::uint64_t> Digits(std::wstring_view digits, unsigned base)
{
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (wchar_t c : digits) {
        unsigned digit;
        if (c >= L'0' && c <= L'9') {
            digit = static_cast<unsigned>(c - L'0');
        } else if (base == 16 && c >= L'a' && c <= L'f') {
            digit = static_cast<unsigned>(c - L'a' + 10);
        } else if (base == 16 && c >= L'A' && c <= L'F') {
            digit = static_cast<unsigned>(c - L'A' + 10);
        } else {
            return std::nullopt;
        }
        if (digit >= base) return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull) return std::nullopt; // beyond 32 bits
    }
    return value;
}

} // namespace

std::optional<bool> ParseFlag(std::wstring_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == L'+' || text.front() == L'-')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    std::optional<std::uint64_t> value;
    if (text.starts_with(L"0x") || text.starts_with(L"0X")) {
        value = Digits(text.substr(2), 16);
    } else if (text.starts_with(L"x") || text.starts_with(L"X") || text.starts_with(L"$")) {
        value = Digits(text.substr(1), 16);
    } else {
        // Decimal numbers must fit a signed 32-bit integer.
        const std::uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
        const std::optional<std::uint64_t> decimal = Digits(text, 10);
        if (decimal.value_or(limit + 1) <= limit) value = decimal;
    }
    if (!value) return std::nullopt;
    return *value != 0;
}
