#include "update/signature_check.h"

#include <algorithm>

#include <windows.h>

// No sodium_init(): it only picks faster variants of every primitive and
// readies the random generator, and linking it brings all of them in (about
// 100 KB). Verifying needs neither: the reference code runs without it.
#include <sodium.h>

#include <vector>

namespace {

// The bytes of the file from its start, given to consume in pieces.
template <class Consume>
bool ReadAll(HANDLE file, Consume consume)
{
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
        if (read == 0) return true;
        consume(buffer.data(), read);
    }
}

// "ED": Ed25519 over the file's BLAKE2b-512; "Ed" (legacy): over the file itself.
bool FileSignatureHolds(HANDLE file, const MinisignSignature& signature, const MinisignPublicKey& key)
{
    if (signature.prehashed) {
        crypto_generichash_state state;
        crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES_MAX);
        if (!ReadAll(file, [&](const unsigned char* bytes, DWORD count) {
                crypto_generichash_update(&state, bytes, count);
            }))
            return false;
        unsigned char hash[crypto_generichash_BYTES_MAX];
        crypto_generichash_final(&state, hash, sizeof hash);
        return crypto_sign_verify_detached(signature.signature.data(), hash, sizeof hash, key.key.data()) == 0;
    }
    std::vector<unsigned char> whole;
    if (!ReadAll(file, [&](const unsigned char* bytes, DWORD count) { whole.insert(whole.end(), bytes, bytes + count); }))
        return false;
    return crypto_sign_verify_detached(signature.signature.data(), whole.data(), whole.size(), key.key.data()) == 0;
}

// The global signature covers the file's signature and the trusted comment.
bool TrustedCommentHolds(const MinisignSignature& signature, const MinisignPublicKey& key)
{
    std::vector<unsigned char> signedBytes(signature.signature.size() + signature.trustedComment.size());
    const auto commentStart = std::copy(signature.signature.begin(), signature.signature.end(), signedBytes.begin());
    std::copy(signature.trustedComment.begin(), signature.trustedComment.end(), commentStart);
    return crypto_sign_verify_detached(signature.globalSignature.data(), signedBytes.data(), signedBytes.size(),
                                       key.key.data()) == 0;
}

} // namespace

std::optional<FileVersion> RunningFileVersion()
{
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
    const auto* record = loaded ? static_cast<const unsigned char*>(::LockResource(loaded)) : nullptr;
    // VS_VERSIONINFO: three WORDs, L"VS_VERSION_INFO" with its end, padded
    // to 4 bytes, then the fixed part.
    constexpr size_t kFixedOffset = 40;
    if (!record || ::SizeofResource(nullptr, found) < kFixedOffset + sizeof(VS_FIXEDFILEINFO)) return std::nullopt;
    VS_FIXEDFILEINFO fixed;
    ::memcpy(&fixed, record + kFixedOffset, sizeof fixed);
    if (fixed.dwSignature != 0xFEEF04BD) return std::nullopt;
    return FileVersion{{HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS), HIWORD(fixed.dwFileVersionLS),
                        LOWORD(fixed.dwFileVersionLS)}};
}

std::optional<UniqueFile> HoldSignedUpdater(const std::wstring& path, std::string_view signatureText,
                                            std::string_view publicKey, const std::optional<FileVersion>& running)
{
    // Read only, shared for reading only: the program can still be started
    // from it, but not written, renamed or deleted.
    UniqueFile held(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    const std::optional<MinisignPublicKey> key = ParseMinisignPublicKey(publicKey);
    const std::optional<MinisignSignature> signature = ParseMinisignSignature(signatureText);
    if (!held || !key || !signature || !running || signature->keyId != key->keyId)
        return std::nullopt;
    const std::optional<FileVersion> offered = TrustedVersion(signature->trustedComment);
    if (!TrustedCommentHolds(*signature, *key) || !offered || *offered <= *running ||
        !FileSignatureHolds(held.get(), *signature, *key))
        return std::nullopt;
    return held;
}
