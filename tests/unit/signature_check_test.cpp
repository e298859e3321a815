#include <gtest/gtest.h>

#include <windows.h>

#include <sodium.h>

#include <fstream>
#include <string>

#include "update/signature_check.h"

// Signatures made here with libsodium in minisign's layout, so that a row can
// change one part of an otherwise good signature and sign the rest again.
namespace {

using Bytes = std::string;

Bytes Base64(const Bytes& bytes)
{
    std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1); // the terminating zero
    return text;
}

struct KeyPair {
    Bytes keyId = "\x01\x02\x03\x04\x05\x06\x07\x08";
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    KeyPair() { crypto_sign_keypair(publicKey, secretKey); }
    Bytes PublicLine() const { return Base64("Ed" + keyId + Bytes(reinterpret_cast<const char*>(publicKey), 32)); }
    Bytes Sign(const Bytes& message) const
    {
        unsigned char signature[crypto_sign_BYTES];
        crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                             message.size(), secretKey);
        return Bytes(reinterpret_cast<const char*>(signature), sizeof signature);
    }
};

Bytes Blake2b512(const Bytes& data)
{
    unsigned char hash[crypto_generichash_BYTES_MAX];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(data.data()), data.size(), nullptr, 0);
    return Bytes(reinterpret_cast<const char*>(hash), sizeof hash);
}

// The parts of a .minisig, each open to a change before it is written out.
struct Minisig {
    Bytes algorithm;
    Bytes keyId;
    Bytes signature;
    Bytes trustedComment;
    Bytes globalSignature;

    static Minisig Of(const KeyPair& key, const Bytes& file, bool prehashed, const Bytes& comment)
    {
        Minisig made{prehashed ? "ED" : "Ed", key.keyId, key.Sign(prehashed ? Blake2b512(file) : file), comment, {}};
        made.SignComment(key);
        return made;
    }
    void SignComment(const KeyPair& key) { globalSignature = key.Sign(signature + trustedComment); }
    Bytes Text() const
    {
        return "untrusted comment: signature from the test\n" + Base64(algorithm + keyId + signature) +
               "\ntrusted comment: " + trustedComment + "\n" + Base64(globalSignature) + "\n";
    }
};

// S + L, with L the order of the group: the same S modulo L, written in a
// second way that a verifier must not accept.
void MakeNonCanonical(Bytes& signature)
{
    static const unsigned char order[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                            0xa2, 0xde, 0xf9, 0xde, 0x14, 0,    0,    0,    0,    0,    0,
                                            0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};
    unsigned carry = 0;
    for (int i = 0; i < 32; ++i) {
        const unsigned sum = static_cast<unsigned char>(signature[32 + i]) + order[i] + carry;
        signature[32 + i] = static_cast<char>(sum & 0xFF);
        carry = sum >> 8;
    }
}

struct SignedFileFixture : ::testing::Test {
    std::wstring path;
    const Bytes content = "MZ" + Bytes(100000, 'x') + "fin";
    KeyPair key;

    void SetUp() override
    {
        ASSERT_EQ(sodium_init() < 0, false);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path = std::wstring(temp) + L"tarvik-signed-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
        std::ofstream(path.c_str(), std::ios::binary) << content;
    }
    void TearDown() override { DeleteFileW(path.c_str()); }

    bool Held(const Minisig& signature, const std::optional<FileVersion>& running = FileVersion{{2, 0, 0, 0}})
    {
        return HoldSignedUpdater(path, signature.Text(), key.PublicLine(), running).has_value();
    }
};

} // namespace

TEST_F(SignedFileFixture, GoodSignaturesOfBothKindsAreAccepted)
{
    for (bool prehashed : {true, false}) {
        EXPECT_TRUE(Held(Minisig::Of(key, content, prehashed, "timestamp:1\tversion:2.0.0.1"))) << prehashed;
        EXPECT_TRUE(Held(Minisig::Of(key, content, prehashed, "version:2.1.0.0 file:MaJLanceur.exe"))) << prehashed;
    }
}

TEST_F(SignedFileFixture, AnythingOffIsRefused)
{
    const Bytes comment = "version:2.0.0.1";
    struct Row {
        const char* name;
        void (*change)(Minisig&, const KeyPair&);
    };
    const Row rows[] = {
        {"non-canonical S, comment signed again",
         [](Minisig& m, const KeyPair& k) {
             MakeNonCanonical(m.signature);
             m.SignComment(k);
         }},
        {"another key id, comment signed again",
         [](Minisig& m, const KeyPair& k) {
             m.keyId[0] ^= 1;
             m.SignComment(k);
         }},
        {"the comment changed after signing", [](Minisig& m, const KeyPair&) { m.trustedComment = "version:9.0.0.0"; }},
        {"the global signature made non-canonical",
         [](Minisig& m, const KeyPair&) { MakeNonCanonical(m.globalSignature); }},
        {"prehashed named, legacy signed", [](Minisig& m, const KeyPair&) { m.algorithm = "ED"; }},
        {"the same version", [](Minisig& m, const KeyPair& k) {
             m.trustedComment = "version:2.0.0.0";
             m.SignComment(k);
         }},
        {"no version", [](Minisig& m, const KeyPair& k) {
             m.trustedComment = "timestamp:1765380000";
             m.SignComment(k);
         }},
    };
    for (const Row& row : rows) {
        Minisig signature = Minisig::Of(key, content, false, comment);
        row.change(signature, key);
        EXPECT_FALSE(Held(signature)) << row.name;
    }
    // Another file under the same signature; no version to compare with.
    const Minisig good = Minisig::Of(key, content + "!", true, comment);
    EXPECT_FALSE(Held(good));
    EXPECT_FALSE(Held(Minisig::Of(key, content, true, comment), std::nullopt));
    EXPECT_FALSE(HoldSignedUpdater(path, Minisig::Of(key, content, true, comment).Text(), KeyPair().PublicLine(),
                                   FileVersion{{2, 0, 0, 0}}))
        << "another key with the same id";
}

TEST_F(SignedFileFixture, HeldFileCanBeReadButNotChanged)
{
    auto held = HoldSignedUpdater(path, Minisig::Of(key, content, true, "version:3.0.0.0").Text(), key.PublicLine(),
                                  FileVersion{{2, 0, 0, 0}});
    ASSERT_TRUE(held);
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    EXPECT_FALSE(MoveFileW(path.c_str(), (path + L".moved").c_str()));
    EXPECT_EQ(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    UniqueFile reader(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(reader) << "what starting a program needs";
    held->reset();
    reader.reset();
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "free once released";
}
