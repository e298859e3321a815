#pragma once
#include <optional>
#include <string>
#include <string_view>

// Where the updater comes from, and where its redirects lead.

// The address as the pilot's server gave it, without the blanks, tabs and
// line breaks at either end.
std::wstring TrimAddress(std::wstring_view address);

// "http" or "https" address: scheme, host, port, path and query.
struct HttpAddress {
    bool secure = false;
    std::wstring host;
    unsigned port = 0;
    std::wstring pathAndQuery; // at least "/"
    std::wstring userName;
    std::wstring password;
};
std::optional<HttpAddress> ParseHttpAddress(std::wstring_view address);

// The address a "Location" header leads to, resolved against the current
// one: absolute, scheme-relative, absolute path, relative path or query.
// None when it does not lead to an http or https address.
std::optional<std::wstring> ResolveRedirect(std::wstring_view current, std::wstring_view location);

// Where an updater's detached signature is: ".minisig" after the path, the
// query unchanged ("https://h/MaJ.exe?v=2" -> "https://h/MaJ.exe.minisig?v=2").
std::wstring SignatureAddress(std::wstring_view address);

inline constexpr int kMaxRedirects = 5;
bool IsRedirectStatus(unsigned long status); // 300, 301, 302, 303, 307, 308
bool IsSuccessStatus(unsigned long status);  // 2xx

// "C:\Jeux\Lanceur_Tarvik.exe" -> "C:\Jeux\\MaJLanceur.exe": the directory
// keeps its separator and the name brings its own; the platform takes the
// two as one.
std::wstring UpdaterPath(std::wstring_view modulePath);
