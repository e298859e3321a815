#pragma once
#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "base/unique.h"
#include "update/download.h"

// An update fetched on a thread of its own, so that the window's thread
// keeps answering: the detached signature first (when one is asked for),
// into memory, then the updater into its file.
class UpdateTransfer {
public:
    inline static constexpr std::uint64_t kMaxUpdaterBytes = 128ull << 20;
    inline static constexpr std::uint64_t kMaxSignatureBytes = 64 << 10;

    // Creates (or empties) the updater file, then starts the thread; when
    // the file cannot be created, nothing starts and Finished() is true at
    // once, without success.
    UpdateTransfer(const std::wstring& address, const std::wstring& updaterPath, bool httpsOnly, bool withSignature);
    // Waits for a thread that has finished; one still blocked in a read is
    // left to the end of the process, with what it shares.
    ~UpdateTransfer();
    UpdateTransfer(const UpdateTransfer&) = delete;
    UpdateTransfer& operator=(const UpdateTransfer&) = delete;

    const DownloadProgress& Progress() const;
    bool Finished() const;
    HANDLE Done() const { return thread_.get(); } // signalled once finished, when started
    // Once finished: true when both downloads succeeded and the updater file
    // is closed. Rethrows what the thread threw.
    bool Succeeded() const;
    const std::string& Signature() const; // once finished

    // Stops at the next request or read, and removes the updater file as
    // soon as the thread lets go of it (at the latest, when the process ends).
    void Cancel();

private:
    struct Shared;
    static DWORD WINAPI Run(void* shared) noexcept;

    std::shared_ptr<Shared> shared_;
    UniqueHandle thread_;
};
