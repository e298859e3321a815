#pragma once
#include <exception>
#include <string>
#include <string_view>
#include <vector>

// An error of the launcher, shown to the pilot by the top-level reporter.
// It remembers where it was thrown, for the start-up failure box.
class Erreur : public std::exception {
public:
    explicit Erreur(std::wstring message);
    const std::wstring& Message() const noexcept { return message_; }
    const void* Address() const noexcept { return address_; }
    // The error's kind as the start-up failure box names it.
    virtual const wchar_t* Kind() const noexcept { return L"Erreur"; }
    const char* what() const noexcept override { return "Erreur"; }

private:
    std::wstring message_;
    const void* address_;
};

// The messages of an error and of the errors it wraps, outermost first.
std::vector<std::wstring> MessageChain(const std::exception_ptr& error);

// The innermost message; when that one is empty, the whole chain one per
// line from the first non-empty message.
std::wstring ChooseMessage(const std::vector<std::wstring>& chain);

// A message ending in a character above '.' gets a full stop.
std::wstring WithFullStop(std::wstring message);

// "Exception <kind> dans le module <module> en <address>.\r\n<message>"
std::wstring StartupFailureText(std::wstring_view kind, std::wstring_view module,
                                unsigned long long address, std::wstring_view message);
