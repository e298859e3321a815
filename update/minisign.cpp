#include "update/minisign.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr std::string_view kVersionField = "version:";

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

template <size_t N>
bool DecodeInto(std::string_view text, std::array<std::uint8_t, N>& out)
{
    const std::optional<std::string> bytes = DecodeBase64(text);
    if (!bytes || bytes->size() != N) return false;
    std::copy(bytes->begin(), bytes->end(), out.begin());
    return true;
}

// Lines ended by "\n" or "\r\n"; the last may lack its end.
std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// "2.0.0.1" -> {2, 0, 0, 1}: four decimal parts of 0 to 65535.
std::optional<FileVersion> ParseVersion(std::string_view text)
{
    FileVersion version;
    for (size_t i = 0; i < version.parts.size(); ++i) {
        const size_t end = i + 1 < version.parts.size() ? text.find('.') : text.size();
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view digits = text.substr(0, end);
        if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), [](char c) {
                return c >= '0' && c <= '9';
            }))
            return std::nullopt;
        unsigned value = 0;
        for (char c : digits) value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 65535) return std::nullopt;
        version.parts[i] = static_cast<std::uint16_t>(value);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return version;
}

} // namespace

std::optional<std::string> DecodeBase64(std::string_view text)
{
    if (text.size() % 4 != 0) return std::nullopt;
    size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    std::uint32_t bits = 0;
    int count = 0;
    for (size_t i = 0; i < text.size() - padding; ++i) {
        const int value = Base64Value(text[i]);
        if (value < 0) return std::nullopt;
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            bytes.push_back(static_cast<char>(bits >> 16));
            bytes.push_back(static_cast<char>(bits >> 8));
            bytes.push_back(static_cast<char>(bits));
            bits = 0;
            count = 0;
        }
    }
    // One '=' leaves 18 bits (2 bytes and 2 spare), two leave 12 (1 byte and 4 spare).
    if (padding == 1) {
        if (bits & 0x3) return std::nullopt;
        bytes.push_back(static_cast<char>(bits >> 10));
        bytes.push_back(static_cast<char>(bits >> 2));
    } else if (padding == 2) {
        if (bits & 0xF) return std::nullopt;
        bytes.push_back(static_cast<char>(bits >> 4));
    }
    return bytes;
}

std::optional<MinisignPublicKey> ParseMinisignPublicKey(std::string_view text)
{
    const std::optional<std::string> bytes = DecodeBase64(text);
    if (!bytes || bytes->size() != 2 + 8 + 32 || !bytes->starts_with("Ed")) return std::nullopt;
    MinisignPublicKey key;
    std::copy_n(bytes->begin() + 2, 8, key.keyId.begin());
    std::copy_n(bytes->begin() + 10, 32, key.key.begin());
    return key;
}

std::optional<MinisignSignature> ParseMinisignSignature(std::string_view text)
{
    std::vector<std::string_view> lines = SplitLines(text);
    if (lines.size() != 4 || !lines[0].starts_with(kUntrustedPrefix) || !lines[2].starts_with(kTrustedPrefix))
        return std::nullopt;

    MinisignSignature parsed;
    const std::optional<std::string> signature = DecodeBase64(lines[1]);
    if (!signature || signature->size() != 2 + 8 + 64) return std::nullopt;
    if (signature->starts_with("ED")) {
        parsed.prehashed = true;
    } else if (!signature->starts_with("Ed")) {
        return std::nullopt;
    }
    std::copy_n(signature->begin() + 2, 8, parsed.keyId.begin());
    std::copy_n(signature->begin() + 10, 64, parsed.signature.begin());

    parsed.trustedComment = lines[2].substr(kTrustedPrefix.size());
    if (!DecodeInto(lines[3], parsed.globalSignature)) return std::nullopt;
    return parsed;
}

std::optional<FileVersion> TrustedVersion(std::string_view comment)
{
    std::optional<FileVersion> found;
    while (!comment.empty()) {
        const size_t end = std::min(comment.find_first_of(" \t"), comment.size());
        const std::string_view field = comment.substr(0, end);
        if (field.starts_with(kVersionField)) {
            if (found) return std::nullopt; // two versions: which one is meant?
            found = ParseVersion(field.substr(kVersionField.size()));
            if (!found) return std::nullopt;
        }
        comment.remove_prefix(std::min(end + 1, comment.size()));
    }
    return found;
}
