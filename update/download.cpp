#include "update/download.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "base/unique.h"
#include "version.h"
#include "update/url.h"

namespace {

constexpr int kTimeoutMs = 60000;
constexpr wchar_t kUserAgent[] = L"Lanceur_Tarvik/" TARVIK_SHORT_VERSION_W;

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = Unique<InternetTraits>;

struct GlobalStringTraits {
    using Handle = LPWSTR;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::GlobalFree(h); }
};
using UniqueGlobalString = Unique<GlobalStringTraits>;

// The current user's proxy settings, in the order the platform gives them
// precedence: a configuration script, then detection, then a fixed proxy.
struct ProxySettings {
    bool autoDetect = false;
    UniqueGlobalString autoConfigUrl;
    UniqueGlobalString proxy;
    UniqueGlobalString bypass;

    ProxySettings()
    {
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
        if (!::WinHttpGetIEProxyConfigForCurrentUser(&config)) {
            autoDetect = true; // settings unreadable: try detection
            return;
        }
        autoDetect = config.fAutoDetect != FALSE;
        autoConfigUrl.reset(config.lpszAutoConfigUrl);
        proxy.reset(config.lpszProxy);
        bypass.reset(config.lpszProxyBypass);
    }
};

// Sets the proxy of one request; direct when nothing yields one.
void ApplyProxy(HINTERNET session, HINTERNET request, const ProxySettings& settings, const std::wstring& url)
{
    if (settings.autoConfigUrl || settings.autoDetect) {
        WINHTTP_AUTOPROXY_OPTIONS options{};
        if (settings.autoConfigUrl) {
            options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = settings.autoConfigUrl.get();
        } else {
            options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        }
        options.fAutoLogonIfChallenged = TRUE;
        WINHTTP_PROXY_INFO found{};
        if (::WinHttpGetProxyForUrl(session, url.c_str(), &options, &found)) {
            UniqueGlobalString proxy(found.lpszProxy);
            UniqueGlobalString bypass(found.lpszProxyBypass);
            ::WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &found, sizeof found);
        }
        return;
    }
    if (settings.proxy) {
        WINHTTP_PROXY_INFO fixed{};
        fixed.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        fixed.lpszProxy = settings.proxy.get();
        fixed.lpszProxyBypass = settings.bypass.get();
        ::WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &fixed, sizeof fixed);
    }
}

DWORD StatusOf(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                               &status, &size, WINHTTP_NO_HEADER_INDEX))
        return 0;
    return status;
}

std::wstring LocationOf(HINTERNET request)
{
    DWORD size = 0;
    ::WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                          WINHTTP_NO_HEADER_INDEX);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
    std::wstring location(size / sizeof(wchar_t), L'\0');
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, location.data(), &size,
                               WINHTTP_NO_HEADER_INDEX))
        return {};
    location.resize(size / sizeof(wchar_t));
    return location;
}

// Sends the request again without a client certificate when the server
// asks for one; none is ever offered.
bool Send(HINTERNET request)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
            ::WinHttpReceiveResponse(request, nullptr))
            return true;
        if (::GetLastError() != ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED) return false;
        ::WinHttpSetOption(request, WINHTTP_OPTION_CLIENT_CERT_CONTEXT, WINHTTP_NO_CLIENT_CERT_CONTEXT, 0);
    }
    return false;
}

// A 401 answered with the user name and password of the address, in the
// strongest scheme that the server offers.
bool AnswerChallenge(HINTERNET request, const HttpAddress& address)
{
    if (address.userName.empty()) return false;
    DWORD schemes = 0, first = 0, target = 0;
    if (!::WinHttpQueryAuthSchemes(request, &schemes, &first, &target)) return false;
    for (DWORD scheme : {WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM, WINHTTP_AUTH_SCHEME_DIGEST,
                         WINHTTP_AUTH_SCHEME_BASIC}) {
        if (schemes & scheme)
            return ::WinHttpSetCredentials(request, target, scheme, address.userName.c_str(), address.password.c_str(),
                                           nullptr) != FALSE;
    }
    return false;
}

// The announced length, or none (a chunked or closed-ended body).
std::optional<std::uint64_t> ContentLengthOf(HINTERNET request)
{
    wchar_t text[32];
    DWORD size = sizeof text;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                               WINHTTP_NO_HEADER_INDEX))
        return std::nullopt;
    std::uint64_t length = 0;
    const std::wstring_view digits(text, size / sizeof(wchar_t));
    if (digits.empty() || digits.size() > 19) return std::nullopt;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return std::nullopt;
        length = length * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    return length;
}

// The body, within the cap, whole when its length was announced.
bool SaveBody(HINTERNET request, BodySink& sink, std::uint64_t maxBytes, DownloadProgress& progress)
{
    const std::optional<std::uint64_t> announced = ContentLengthOf(request);
    if (announced && *announced > maxBytes) return false; // refused before a byte is read
    progress.announced = announced.value_or(0);
    std::vector<char> buffer(64 * 1024);
    std::uint64_t received = 0;
    for (;;) {
        if (progress.cancelled) return false;
        // What has come, so that a slow body shows its progress piece by piece.
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(request, &available)) return false;
        if (available == 0) return !announced || received == *announced;
        DWORD read = 0;
        const DWORD wanted = std::min(available, static_cast<DWORD>(buffer.size()));
        if (!::WinHttpReadData(request, buffer.data(), wanted, &read)) return false;
        if (read == 0) return !announced || received == *announced;
        if (received + read > maxBytes || !sink.Write(buffer.data(), read)) return false;
        received += read;
        progress.received = received;
    }
}

} // namespace

bool Download(const std::wstring& URL, BodySink& sink, const DownloadRules& rules, DownloadProgress& progress)
{
    UniqueInternet session(::WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return false;
    ::WinHttpSetTimeouts(session.get(), kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs);

    const ProxySettings proxy;
    std::wstring current = TrimAddress(URL);
    for (int redirects = 0;; ++redirects) {
        const std::optional<HttpAddress> address = ParseHttpAddress(current);
        if (!address || (rules.httpsOnly && !address->secure) || progress.cancelled) return false;

        UniqueInternet connection(::WinHttpConnect(session.get(), address->host.c_str(),
                                                   static_cast<INTERNET_PORT>(address->port), 0));
        if (!connection) return false;
        UniqueInternet request(::WinHttpOpenRequest(connection.get(), L"GET", address->pathAndQuery.c_str(), nullptr,
                                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                    address->secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request) return false;
        // Redirects are followed here, so that their limit and the https-only
        // rule are ours: a request that would follow them on its own is not sent.
        DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        if (!::WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never)) return false;
        ApplyProxy(session.get(), request.get(), proxy, current);

        progress.announced = 0;
        progress.received = 0;
        if (!sink.Restart() || !Send(request.get())) return false;
        DWORD status = StatusOf(request.get());
        if (status == HTTP_STATUS_DENIED && AnswerChallenge(request.get(), *address)) {
            if (!Send(request.get())) return false;
            status = StatusOf(request.get());
        }

        if (IsRedirectStatus(status)) {
            const std::wstring location = LocationOf(request.get());
            if (!location.empty()) {
                if (redirects == kMaxRedirects) return false;
                const std::optional<std::wstring> next = ResolveRedirect(current, location);
                if (!next) return false;
                current = *next;
                continue;
            }
        }
        // Anything but a success is a failed download, whatever its body:
        // an error page saved as the updater would only fail to start.
        return IsSuccessStatus(status) && SaveBody(request.get(), sink, rules.maxBytes, progress);
    }
}
