#pragma once
#include <optional>
#include <string_view>

// A stored flag, taken as a 32-bit whole number: on when not 0. None when
// the text is no such number, so that the caller's default applies.
// "1", "-1", "+7", "0x10", "x1F", "$ff" are on; "0" is off; "", "true",
// "12abc", "4294967296" and "0x" are no number.
std::optional<bool> ParseFlag(std::wstring_view text);

// How a flag is stored: "1" or "0".
const wchar_t* FlagText(bool on);
