#include "base/errors.h"

#include <cwchar>

__attribute__((noinline)) LauncherError::LauncherError(std::wstring message)
    : message_(std::move(message)), address_(__builtin_return_address(0))
{
}

namespace {

std::wstring Widen(const char* text)
{
    std::wstring wide;
    for (const char* p = text; *p; ++p) wide.push_back(static_cast<unsigned char>(*p));
    return wide;
}

void Collect(const std::exception_ptr& error, std::vector<std::wstring>& chain)
{
    try {
        std::rethrow_exception(error);
    } catch (const LauncherError& e) {
        chain.push_back(e.Message());
        if (auto* nested = dynamic_cast<const std::nested_exception*>(&e); nested && nested->nested_ptr())
            Collect(nested->nested_ptr(), chain);
    } catch (const std::exception& e) {
        chain.push_back(Widen(e.what()));
        if (auto* nested = dynamic_cast<const std::nested_exception*>(&e); nested && nested->nested_ptr())
            Collect(nested->nested_ptr(), chain);
    } catch (...) {
        chain.push_back(L"Erreur inconnue");
    }
}

} // namespace

std::vector<std::wstring> MessageChain(const std::exception_ptr& error)
{
    std::vector<std::wstring> chain;
    if (error) Collect(error, chain);
    return chain;
}

std::wstring ChooseMessage(const std::vector<std::wstring>& chain)
{
    if (chain.empty()) return {};
    if (!chain.back().empty()) return chain.back();
    std::wstring joined;
    bool started = false;
    for (const auto& message : chain) {
        if (!started && message.empty()) continue;
        if (started) joined += L"\r\n";
        joined += message;
        started = true;
    }
    return joined;
}

std::wstring WithFullStop(std::wstring message)
{
    if (!message.empty() && message.back() > L'.') message += L'.';
    return message;
}

std::wstring StartupFailureText(std::wstring_view kind, std::wstring_view module,
                                unsigned long long address, std::wstring_view message)
{
    wchar_t hex[17];
    std::swprintf(hex, 17, L"%016llX", address);
    std::wstring text = L"Exception ";
    text.append(kind).append(L" dans le module ").append(module).append(L" en ").append(hex);
    text.append(L".\r\n").append(WithFullStop(std::wstring(message)));
    return text;
}
