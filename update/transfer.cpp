#include "update/transfer.h"

#include <atomic>
#include <mutex>

#include "update/url.h"

namespace {

class FileSink final : public BodySink {
public:
    explicit FileSink(HANDLE file) : file_(file) {}
    bool Restart() override
    {
        LARGE_INTEGER start{};
        return ::SetFilePointerEx(file_, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(file_);
    }
    bool Write(const char* bytes, std::size_t count) override
    {
        DWORD written = 0;
        return ::WriteFile(file_, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count;
    }

private:
    HANDLE file_;
};

class MemorySink final : public BodySink {
public:
    explicit MemorySink(std::string& bytes) : bytes_(bytes) {}
    bool Restart() override
    {
        bytes_.clear();
        return true;
    }
    bool Write(const char* bytes, std::size_t count) override
    {
        bytes_.append(bytes, count);
        return true;
    }

private:
    std::string& bytes_;
};

} // namespace

struct UpdateTransfer::Shared {
    std::wstring address;
    std::wstring updaterPath;
    bool httpsOnly = false;
    bool withSignature = false;

    DownloadProgress progress;
    std::string signature;
    bool succeeded = false;
    std::exception_ptr error;
    std::atomic<bool> finished{false};

    // The thread writes through the file; a cancel marks it for removal.
    std::mutex fileLock;
    UniqueFile file;
};

UpdateTransfer::UpdateTransfer(const std::wstring& address, const std::wstring& updaterPath, bool httpsOnly,
                               bool withSignature)
    : shared_(std::make_shared<Shared>())
{
    shared_->address = address;
    shared_->updaterPath = updaterPath;
    shared_->httpsOnly = httpsOnly;
    shared_->withSignature = withSignature;
    // Created or emptied; nobody else may open it while it is written.
    // DELETE, so that a cancel can remove it while it is still open.
    shared_->file.reset(::CreateFileW(updaterPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!shared_->file) {
        shared_->finished = true;
        return;
    }
    auto handedOver = std::make_unique<std::shared_ptr<Shared>>(shared_);
    thread_.reset(::CreateThread(nullptr, 0, Run, handedOver.get(), 0, nullptr));
    if (thread_) {
        handedOver.release(); // the thread's own now
    } else {
        shared_->file.reset();
        shared_->finished = true;
    }
}

UpdateTransfer::~UpdateTransfer()
{
    if (thread_ && Finished()) ::WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI UpdateTransfer::Run(void* parameter) noexcept
{
    const std::unique_ptr<std::shared_ptr<Shared>> owned(static_cast<std::shared_ptr<Shared>*>(parameter));
    Shared& shared = **owned;
    try {
        bool succeeded = true;
        if (shared.withSignature) {
            MemorySink sink(shared.signature);
            succeeded = Download(SignatureAddress(shared.address), sink, {shared.httpsOnly, kMaxSignatureBytes},
                                 shared.progress);
        }
        if (succeeded) {
            FileSink sink(shared.file.get());
            succeeded = Download(shared.address, sink, {shared.httpsOnly, kMaxUpdaterBytes}, shared.progress);
        }
        shared.succeeded = succeeded;
    } catch (...) {
        shared.error = std::current_exception();
    }
    {
        const std::lock_guard<std::mutex> lock(shared.fileLock);
        shared.file.reset();
    }
    shared.finished = true;
    return 0;
}

const DownloadProgress& UpdateTransfer::Progress() const
{
    return shared_->progress;
}

bool UpdateTransfer::Finished() const
{
    return shared_->finished;
}

bool UpdateTransfer::Succeeded() const
{
    if (shared_->error) std::rethrow_exception(shared_->error);
    return shared_->succeeded;
}

const std::string& UpdateTransfer::Signature() const
{
    return shared_->signature;
}

void UpdateTransfer::Cancel()
{
    shared_->progress.cancelled = true;
    const std::lock_guard<std::mutex> lock(shared_->fileLock);
    if (shared_->file) {
        FILE_DISPOSITION_INFO remove{TRUE};
        ::SetFileInformationByHandle(shared_->file.get(), FileDispositionInfo, &remove, sizeof remove);
    } else {
        ::DeleteFileW(shared_->updaterPath.c_str());
    }
}
