#include <gtest/gtest.h>

#include "settings/flag.h"

TEST(Settings, FlagIsA32BitWholeNumber)
{
    struct Case {
        const wchar_t* text;
        std::optional<bool> flag; // none: no number, the default applies
    };
    const Case cases[] = {
        {L"1", true},       {L"2", true},        {L"-1", true},       {L"+7", true},
        {L"0x10", true},    {L"0X10", true},     {L"x1F", true},      {L"X1f", true},
        {L"$ff", true},     {L"-$1", true},      {L"2147483647", true}, {L"-2147483648", true},
        {L"0xFFFFFFFF", true},
        {L"0", false},      {L"-0", false},      {L"0x0", false},     {L"$0", false},
        {L"", std::nullopt},       {L"true", std::nullopt},       {L"oui", std::nullopt},
        {L"12abc", std::nullopt},  {L"4294967296", std::nullopt}, {L"2147483648", std::nullopt},
        {L"0x", std::nullopt},     {L"$", std::nullopt},          {L"0x100000000", std::nullopt},
        {L" 1", std::nullopt},     {L"1 ", std::nullopt},         {L"+", std::nullopt},
        {L"0xG", std::nullopt},    {L"١", std::nullopt}, // digits of other scripts are not digits here
    };
    for (const Case& c : cases) EXPECT_EQ(ParseFlag(c.text), c.flag) << ::testing::PrintToString(std::wstring(c.text));
}
