#pragma once
#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The text formats of minisign signatures, read without any cryptography:
// the checks themselves are libsodium's (update/signature_check.cpp).

using MinisignKeyId = std::array<std::uint8_t, 8>;

// "RWQ4viXhZ3g/X1Q3e6AGRsEN9RGMASOgt6107mHiruz8JGcE504VqPWy" (the base64
// line of minisign.pub): "Ed", the key id, the Ed25519 public key.
struct MinisignPublicKey {
    MinisignKeyId keyId{};
    std::array<std::uint8_t, 32> key{};
};
std::optional<MinisignPublicKey> ParseMinisignPublicKey(std::string_view text);

// A .minisig file, four lines:
//   untrusted comment: signature from minisign secret key
//   RUQ4viXhZ3g/X/5SeBzFPLQmAhhCAkJgePqYjYQdIMb0QBtBrNRffkvKz4l14d/sW+t/w2/7v6RoRwlgCr63IMJCWDpZdeWXkgQ=
//   trusted comment: timestamp:1765380000	file:MaJLanceur.exe	version:2.0.0.1
//   vI2uW96V0QSk0IiKyrd7PAyRaz0XoqrxIb9QxB2tdr+KCjDD5a/GFqOnIRoo2WQ+McWNBqAy27Kku2wsZw2JDw==
// "Ed" signs the file itself (legacy), "ED" its BLAKE2b-512 hash; the global
// signature covers the signature followed by the trusted comment.
struct MinisignSignature {
    bool prehashed = false;
    MinisignKeyId keyId{};
    std::array<std::uint8_t, 64> signature{};
    std::string trustedComment; // after "trusted comment: ", without the line end
    std::array<std::uint8_t, 64> globalSignature{};
};
std::optional<MinisignSignature> ParseMinisignSignature(std::string_view text);

// A file version, as Windows' version record holds it: A.B.C.D, each
// part 0 to 65535.
struct FileVersion {
    std::array<std::uint16_t, 4> parts{};
    auto operator<=>(const FileVersion&) const = default;
};

// The version a trusted comment vouches for: its one field "version:A.B.C.D"
// among fields separated by tabs or blanks. None when absent, malformed or
// given twice.
std::optional<FileVersion> TrustedVersion(std::string_view trustedComment);

// Strict base64 (RFC 4648, padded, no blanks): none for anything else,
// including non-zero bits left over in the last character.
std::optional<std::string> DecodeBase64(std::string_view text);
