#pragma once
#include <string>

// A folder of the test's own, made new for it and removed at the end (what
// runs from it must have ended by then): under the temporary folder unless
// another parent is given. Under Wine a test program gets the same process
// id at every run, so the name carries a random part and the folder is
// never one that an earlier run left behind.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& tag, const std::wstring& parent = L"");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};
