#include "update/url.h"

#include <algorithm>
#include <vector>

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

std::wstring Lower(std::wstring_view text)
{
    std::wstring lower(text);
    for (wchar_t& c : lower)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return lower;
}

// The scheme of an absolute address ("HTTPS:" -> "https"), or empty.
std::wstring SchemeOf(std::wstring_view address)
{
    const size_t colon = address.find(L':');
    if (colon == std::wstring_view::npos || colon == 0) return {};
    for (size_t i = 0; i < colon; ++i) {
        const wchar_t c = address[i];
        const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
        if (!letter && !(i > 0 && ((c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.'))) return {};
    }
    return Lower(address.substr(0, colon));
}

// "/a/b/../c/./d" -> "/a/c/d"
std::wstring RemoveDotSegments(std::wstring_view path)
{
    std::vector<std::wstring> kept;
    size_t start = 1;
    while (start <= path.size()) {
        const size_t end = std::min(path.find(L'/', start), path.size());
        const std::wstring segment(path.substr(start, end - start));
        if (segment == L"..") {
            if (!kept.empty()) kept.pop_back();
            if (end == path.size()) kept.emplace_back();
        } else if (segment == L".") {
            if (end == path.size()) kept.emplace_back();
        } else {
            kept.push_back(segment);
        }
        start = end + 1;
    }
    std::wstring result;
    for (const auto& segment : kept) result += L"/" + segment;
    return result.empty() ? L"/" : result;
}

// "/Lanceur Tarvik/x.exe" -> "/Lanceur%20Tarvik/x.exe", as a browser sends it.
std::wstring EncodeBlanks(std::wstring_view text)
{
    std::wstring encoded;
    for (const wchar_t c : text) {
        if (IsBlank(c)) {
            static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
            encoded += {L'%', kHex[c >> 4], kHex[c & 0xF]};
        } else {
            encoded += c;
        }
    }
    return encoded;
}

} // namespace

std::wstring TrimAddress(std::wstring_view address)
{
    while (!address.empty() && IsBlank(address.front())) address.remove_prefix(1);
    while (!address.empty() && IsBlank(address.back())) address.remove_suffix(1);
    return std::wstring(address);
}

std::optional<HttpAddress> ParseHttpAddress(std::wstring_view text)
{
    const std::wstring trimmed = TrimAddress(text);
    std::wstring_view address = trimmed;
    HttpAddress parsed;
    const std::wstring scheme = SchemeOf(address);
    if (scheme == L"https") {
        parsed.secure = true;
    } else if (scheme != L"http") {
        return std::nullopt;
    }
    address.remove_prefix(scheme.size() + 1);
    if (!address.starts_with(L"//")) return std::nullopt;
    address.remove_prefix(2);

    const size_t authorityEnd = std::min(address.find_first_of(L"/?#"), address.size());
    std::wstring_view authority = address.substr(0, authorityEnd);
    // A host cannot hold a blank; a path or a query can, sent encoded.
    if (authority.find_first_of(L" \t\r\n") != std::wstring_view::npos) return std::nullopt;
    std::wstring_view rest = address.substr(authorityEnd);
    rest = rest.substr(0, rest.find(L'#'));
    parsed.pathAndQuery = EncodeBlanks(rest.empty() || rest.front() == L'?' ? L"/" + std::wstring(rest)
                                                                             : std::wstring(rest));

    if (const size_t at = authority.rfind(L'@'); at != std::wstring_view::npos) {
        const std::wstring_view credentials = authority.substr(0, at);
        const size_t colon = credentials.find(L':');
        parsed.userName = credentials.substr(0, colon);
        if (colon != std::wstring_view::npos) parsed.password = credentials.substr(colon + 1);
        authority.remove_prefix(at + 1);
    }
    parsed.port = parsed.secure ? 443u : 80u;
    const size_t bracket = authority.rfind(L']');
    const size_t colon = authority.rfind(L':');
    if (colon != std::wstring_view::npos && (bracket == std::wstring_view::npos || colon > bracket)) {
        const std::wstring_view digits = authority.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 ||
            !std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
            return std::nullopt;
        parsed.port = static_cast<unsigned>(std::stoul(std::wstring(digits)));
        if (parsed.port == 0 || parsed.port > 65535) return std::nullopt;
        authority = authority.substr(0, colon);
    }
    if (authority.empty()) return std::nullopt;
    parsed.host = authority;
    return parsed;
}

std::optional<std::wstring> ResolveRedirect(std::wstring_view current, std::wstring_view locationText)
{
    const std::wstring location = TrimAddress(locationText);
    const std::wstring base = TrimAddress(current);
    if (location.empty()) return std::nullopt;
    std::wstring resolved;
    const std::wstring baseScheme = SchemeOf(base);
    const size_t authorityStart = baseScheme.size() + 3; // "scheme://"
    const size_t pathStart = std::min(base.find_first_of(L"/?#", authorityStart), base.size());

    if (!SchemeOf(location).empty()) {
        resolved = location;
    } else if (location.starts_with(L"//")) {
        resolved = baseScheme + L":" + location;
    } else {
        const std::wstring origin = base.substr(0, pathStart);
        std::wstring basePath = base.substr(pathStart);
        basePath = basePath.substr(0, basePath.find_first_of(L"?#"));
        if (basePath.empty()) basePath = L"/";
        if (location.front() == L'/') {
            const size_t query = std::min(location.find_first_of(L"?#"), location.size());
            resolved = origin + RemoveDotSegments(location.substr(0, query)) + location.substr(query);
        } else if (location.front() == L'?') {
            resolved = origin + basePath + location;
        } else if (location.front() == L'#') {
            resolved = base.substr(0, base.find(L'#'));
        } else {
            const std::wstring directory = basePath.substr(0, basePath.rfind(L'/') + 1);
            const size_t query = std::min(location.find_first_of(L"?#"), location.size());
            resolved = origin + RemoveDotSegments(directory + location.substr(0, query)) + location.substr(query);
        }
    }
    if (!ParseHttpAddress(resolved)) return std::nullopt;
    return resolved;
}

std::wstring SignatureAddress(std::wstring_view text)
{
    std::wstring address = TrimAddress(text);
    const size_t authority = address.find(L"//");
    const size_t authorityStart = authority == std::wstring::npos ? 0 : authority + 2;
    const size_t pathStart = std::min(address.find_first_of(L"/?#", authorityStart), address.size());
    const size_t pathEnd = std::min(address.find_first_of(L"?#", pathStart), address.size());
    address.insert(pathEnd, pathStart == pathEnd ? L"/.minisig" : L".minisig");
    return address;
}

bool IsRedirectStatus(unsigned long status)
{
    return status == 300 || status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool IsSuccessStatus(unsigned long status)
{
    return status >= 200 && status <= 299;
}

std::wstring UpdaterPath(std::wstring_view modulePath)
{
    return std::wstring(modulePath.substr(0, modulePath.find_last_of(L'\\') + 1)) + L"\\MaJLanceur.exe";
}
