#pragma once
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// An error of the launcher, shown to the pilot by the top-level reporter.
// It remembers where it was thrown, for the start-up failure box.
class LauncherError : public std::exception {
public:
    explicit LauncherError(std::wstring message);
    const std::wstring& Message() const noexcept { return message_; }
    const void* Address() const noexcept { return address_; }
    // The error's kind as the start-up failure box names it.
    virtual const wchar_t* Kind() const noexcept { return L"Erreur"; }
    const char* what() const noexcept override { return "Erreur"; }

private:
    std::wstring message_;
    const void* address_;
};

// A failed system call: the pilot's text, and for a maintainer reading a log
// or a debugger the call that failed and the code it gave.
class SystemError : public LauncherError {
public:
    SystemError(std::wstring message, const char* call, unsigned long code)
        : LauncherError(std::move(message)), call_(call), code_(code)
    {
    }
    const char* Call() const noexcept { return call_; }
    unsigned long Code() const noexcept { return code_; }

private:
    const char* call_;
    unsigned long code_;
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
