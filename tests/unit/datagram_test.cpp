#include <gtest/gtest.h>

#include "base/errors.h"
#include "server/datagram.h"

TEST(Datagram, RequestIsOneBytePerCharacter)
{
    struct Case {
        std::wstring request;
        std::string bytes;
    };
    const Case cases[] = {
        {L"TPv2.0", std::string("\x54\x50\x76\x32\x2E\x30", 6)},
        {L"DC", "\x44\x43"},
        {L"", ""},
        {std::wstring(L"a\0b", 3), std::string("a\0b", 3)},   // U+0000 is a byte like any other
        {L"\x7F", "\x7F"},
        {L"é", "?"},                                          // beyond U+007F
        {L"\x80\xFF\x100\x20AC", "????"},
        {L"\xD83D\xDE00", "??"},                              // each half of a pair
    };
    for (const Case& c : cases) EXPECT_EQ(EncodeRequest(c.request), c.bytes);
}

TEST(Datagram, ReplyIsDecodedByteForByteWithoutTrimming)
{
    struct Case {
        std::string bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {"SP3.0.4", L"SP3.0.4"},
        {"SP3\r\n", L"SP3\r\n"},
        {std::string(" SP\0x ", 6), std::wstring(L" SP\0x ", 6)},
        {"\x7F", L"\x7F"},
        {"MJ\xE9", L"MJ\xFFFD"},
        {"\x80\xFF", L"\xFFFD\xFFFD"},
        {"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeReply(c.bytes), c.text);
}

TEST(Datagram, ReplySplitsIntoCodeAndArgument)
{
    struct Case {
        std::wstring reply;
        std::wstring commande;
        std::wstring argument;
    };
    const Case cases[] = {
        {L"SP3.0.4", L"SP", L"3.0.4"},
        {L"SP", L"SP", L""},
        {L"S", L"S", L""},
        {L"", L"", L""},
        {L"sp3", L"sp", L"3"},
        {L"CCabc def\r\n", L"CC", L"abc def\r\n"},
        {L"MJ\xFFFD", L"MJ", L"\xFFFD"},
    };
    for (const Case& c : cases) {
        const auto split = SplitReply(c.reply);
        EXPECT_EQ(split.command, c.commande) << c.reply;
        EXPECT_EQ(split.argument, c.argument) << c.reply;
        EXPECT_EQ(split.command + split.argument, c.reply);
    }
}

TEST(Datagram, SocketErrorText)
{
    struct Case {
        int code;
        std::wstring text;
    };
    const Case cases[] = {
        {11001, L"Erreur de socket n° 11001\r\nHôte non trouvé."},
        {10040, L"Erreur de socket n° 10040\r\nMessage trop long."},
        {10054, L"Erreur de socket n° 10054\r\nConnexion réinitialisée par l'homologue (peer)."},
        {10051, L"Erreur de socket n° 10051\r\nLe réseau est inaccessible."},
        {10066, L"Erreur de socket n° 10066\r\nRépertoire non vide"},
        {11002, L"Erreur de socket n° 11002\r\n"}, // no description: ends with the line break
        {0, L"Erreur de socket n° 0\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(SocketErrorText(c.code), c.text);

    // As the error box shows them: a full stop only where the text lacks one.
    EXPECT_EQ(WithFullStop(SocketErrorText(10066)), L"Erreur de socket n° 10066\r\nRépertoire non vide.");
    EXPECT_EQ(WithFullStop(SocketErrorText(10054)), SocketErrorText(10054));
    EXPECT_EQ(WithFullStop(SocketErrorText(11002)), SocketErrorText(11002));
}
