#include <gtest/gtest.h>

#include <string>

#include "update/minisign.h"

namespace {

// Made by Debian's minisign 0.11: a key pair ("minisign -G -W"), then one
// file signed with the default (prehashed) signature and a trusted comment,
// and with the legacy one ("-l") and minisign's own trusted comment.
constexpr char kPublicKey[] = "RWQ4viXhZ3g/X1Q3e6AGRsEN9RGMASOgt6107mHiruz8JGcE504VqPWy";
const MinisignKeyId kKeyId = {0x38, 0xBE, 0x25, 0xE1, 0x67, 0x78, 0x3F, 0x5F}; // "5F3F7867E125BE38"
constexpr char kPrehashedLines[][110] = {
    "untrusted comment: signature from minisign secret key",
    "RUQ4viXhZ3g/X/5SeBzFPLQmAhhCAkJgePqYjYQdIMb0QBtBrNRffkvKz4l14d/sW+t/w2/7v6RoRwlgCr63IMJCWDpZdeWXkgQ=",
    "trusted comment: timestamp:1765380000\tfile:MaJLanceur.exe\tversion:2.0.0.1",
    "vI2uW96V0QSk0IiKyrd7PAyRaz0XoqrxIb9QxB2tdr+KCjDD5a/GFqOnIRoo2WQ+McWNBqAy27Kku2wsZw2JDw==",
};
constexpr char kLegacy[] =
    "untrusted comment: signature from minisign secret key\n"
    "RWQ4viXhZ3g/X05JZJ2VO02H3rogx9hjARbBpaXGcXDbjWYa0q6EN7all0ZU2c+37Ok/h6/hXatOtD8s3mNIk35+J2lIaz82vQM=\n"
    "trusted comment: timestamp:1796917251\tfile:MaJLanceur.exe\n"
    "Epw2E7fpDlaJh3plYrvLKKPVTe/0ZLWkguuLqclbQ3ZanHx64T9hRxYnkADYqwakpwyPYfVzUUKtPBfgEZJLBw==\n";

std::string Joined(const char (&lines)[4][110], const char* end = "\n")
{
    std::string text;
    for (const auto& line : lines) text += std::string(line) + end;
    return text;
}

FileVersion V(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d)
{
    return FileVersion{{a, b, c, d}};
}

} // namespace

TEST(Minisign, Base64IsDecodedStrictly)
{
    struct Case {
        const char* text;
        std::optional<std::string> bytes;
    };
    const Case cases[] = {
        {"", std::string()},
        {"QQ==", std::string("A")},
        {"QUI=", std::string("AB")},
        {"QUJD", std::string("ABC")},
        {"+/+/", std::string("\xfb\xff\xbf")},
        {"QR==", std::nullopt},  // spare bits set: another text for the same byte
        {"QUJ=", std::nullopt},  // the same with one '='
        {"QQ", std::nullopt},    // padding left out
        {"QQ=", std::nullopt},   // too short for its group
        {"Q===", std::nullopt},  // three '='
        {"=QQ=", std::nullopt},  // '=' in the middle
        {"QU I", std::nullopt},  // blank
        {"QUI-", std::nullopt},  // the URL alphabet is another one
        {"QUJDQQ==\n", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeBase64(c.text), c.bytes) << c.text;
}

TEST(Minisign, PublicKeyLineGivesKeyIdAndKey)
{
    const auto key = ParseMinisignPublicKey(kPublicKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->keyId, kKeyId);
    EXPECT_EQ(key->key[0], 0x54); // "T" after the id: the key's first byte
    EXPECT_EQ(key->key[31], 0xB2);

    const std::string refused[] = {
        "",
        "untrusted comment: minisign public key 5F3F7867E125BE38",
        std::string(kPublicKey) + "\n",                  // the line, not the file
        std::string(kPublicKey).substr(0, 52),           // short
        std::string(kPublicKey) + "AAAA",                // long
        "RUQ4viXhZ3g/X1Q3e6AGRsEN9RGMASOgt6107mHiruz8JGcE504VqPWy", // "ED": a signature's algorithm, no key's
        "AAAA" + std::string(kPublicKey).substr(4),      // no algorithm at all
    };
    for (const std::string& text : refused) EXPECT_FALSE(ParseMinisignPublicKey(text)) << text;
}

TEST(Minisign, SignatureFileGivesItsFourParts)
{
    struct Case {
        const char* name;
        std::string text;
        bool prehashed;
        const char* trustedComment;
    };
    const Case cases[] = {
        {"prehashed", Joined(kPrehashedLines), true, "timestamp:1765380000\tfile:MaJLanceur.exe\tversion:2.0.0.1"},
        {"legacy", kLegacy, false, "timestamp:1796917251\tfile:MaJLanceur.exe"},
        {"CRLF line ends", Joined(kPrehashedLines, "\r\n"), true,
         "timestamp:1765380000\tfile:MaJLanceur.exe\tversion:2.0.0.1"},
        {"no end after the last line", Joined(kPrehashedLines).substr(0, Joined(kPrehashedLines).size() - 1), true,
         "timestamp:1765380000\tfile:MaJLanceur.exe\tversion:2.0.0.1"},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseMinisignSignature(c.text);
        ASSERT_TRUE(parsed) << c.name;
        EXPECT_EQ(parsed->prehashed, c.prehashed) << c.name;
        EXPECT_EQ(parsed->keyId, kKeyId) << c.name;
        EXPECT_EQ(parsed->trustedComment, c.trustedComment) << c.name;
    }
    const auto prehashed = ParseMinisignSignature(Joined(kPrehashedLines));
    EXPECT_EQ(prehashed->signature[0], 0xFE);
    EXPECT_EQ(prehashed->signature[63], 0x04);
    EXPECT_EQ(prehashed->globalSignature[0], 0xBC);
    EXPECT_EQ(prehashed->globalSignature[63], 0x0F);
}

TEST(Minisign, MalformedSignatureFilesAreRefused)
{
    const std::string good = Joined(kPrehashedLines);
    auto with = [](int index, std::string line) {
        std::string text;
        for (int i = 0; i < 4; ++i) text += (i == index ? line : std::string(kPrehashedLines[i])) + "\n";
        return text;
    };
    const std::string sig = kPrehashedLines[1];
    const std::string global = kPrehashedLines[3];
    const std::pair<const char*, std::string> refused[] = {
        {"empty", ""},
        {"three lines", good.substr(0, good.rfind('\n', good.size() - 2) + 1)},
        {"a fifth line", good + "\n"},
        {"untrusted comment without its prefix", with(0, "signature from minisign secret key")},
        {"trusted comment without its prefix", with(2, "comment: version:2.0.0.1")},
        {"the comment lines swapped", std::string(kPrehashedLines[2]) + "\n" + sig + "\n" + kPrehashedLines[0] + "\n" +
                                           global + "\n"},
        {"signature one byte short", with(1, sig.substr(0, 96) + "AA==")},
        {"signature not base64", with(1, "*" + sig.substr(1))},
        {"signature with spare bits set", with(1, sig.substr(0, 98) + "R=")},
        {"unknown algorithm", with(1, "RUE" + sig.substr(3))},
        {"global signature short", with(3, global.substr(0, 84))},
        {"global signature missing", with(3, "")},
        {"blank after the signature", with(1, sig + " ")},
    };
    for (const auto& [name, text] : refused) EXPECT_FALSE(ParseMinisignSignature(text)) << name;
}

TEST(Minisign, TrustedCommentVersion)
{
    struct Case {
        const char* comment;
        std::optional<FileVersion> version;
    };
    const Case cases[] = {
        {"version:2.0.0.1", V(2, 0, 0, 1)},
        {"timestamp:1765380000\tfile:MaJLanceur.exe\tversion:2.0.0.1", V(2, 0, 0, 1)},
        {"version:65535.0.10.7 file:x", V(65535, 0, 10, 7)}, // blanks separate fields too
        {"  version:1.2.3.4  ", V(1, 2, 3, 4)},
        {"timestamp:1765380000\tfile:MaJLanceur.exe", std::nullopt}, // minisign's own comment
        {"", std::nullopt},
        {"version:2.0.0", std::nullopt},
        {"version:2.0.0.1.5", std::nullopt},
        {"version:2.0.0.65536", std::nullopt},
        {"version:2..0.1", std::nullopt},
        {"version:2.0.0.1a", std::nullopt},
        {"version:-2.0.0.1", std::nullopt},
        {"version: 2.0.0.1", std::nullopt},
        {"version:2.0.0.1 version:2.0.0.1", std::nullopt}, // given twice
        {"version:9.0.0.0 version:1.0.0.0", std::nullopt},
        {"Version:2.0.0.1", std::nullopt},
        {"oldversion:2.0.0.1", std::nullopt},
        {"file:version:2.0.0.1", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(TrustedVersion(c.comment), c.version) << c.comment;
}

TEST(Minisign, VersionsCompareFromTheFirstPart)
{
    struct Case {
        FileVersion offered;
        FileVersion running;
        bool newer;
    };
    const Case cases[] = {
        {V(2, 0, 0, 1), V(2, 0, 0, 0), true},
        {V(2, 0, 0, 0), V(2, 0, 0, 0), false}, // the same version is no update
        {V(1, 9, 9, 9), V(2, 0, 0, 0), false},
        {V(2, 1, 0, 0), V(2, 0, 65535, 65535), true},
        {V(10, 0, 0, 0), V(9, 65535, 65535, 65535), true}, // numbers, not text
        {V(2, 0, 0, 0), V(2, 0, 0, 1), false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.offered > c.running, c.newer);
}
