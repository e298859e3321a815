#pragma once
#include <windows.h>

#include <fstream>
#include <memory>
#include <string>

#include "tests/e2e/launcher.h"

// A simulator directory holding the stand-in as "Condor.exe"; it writes the
// command line it was started with to "standin.log" beside itself.
class SimulatorInstall {
public:
    // In a scratch folder of its own.
    SimulatorInstall() : scratch_(std::make_unique<ScratchFolder>(L"condor")), path_(scratch_->Path()) { Copy(); }
    // At a given path, removed afterwards.
    explicit SimulatorInstall(std::wstring path) : path_(std::move(path))
    {
        Remove(); // what a run that was cut short left there
        CreateDirectoryW(path_.c_str(), nullptr);
        Copy();
    }
    // The simulator started from it ends first, so that the folder can go.
    ~SimulatorInstall()
    {
        CloseStandins();
        if (!scratch_) Remove();
    }
    SimulatorInstall(const SimulatorInstall&) = delete;
    SimulatorInstall& operator=(const SimulatorInstall&) = delete;

    const std::wstring& Path() const { return path_; }
    // "<program's path>\t<its command line>", or empty when it never started.
    std::string Started() const
    {
        std::ifstream log((path_ + L"\\standin.log").c_str());
        std::string line;
        std::getline(log, line);
        return line;
    }

private:
    void Remove() const
    {
        DeleteFileW((path_ + L"\\Condor.exe").c_str());
        DeleteFileW((path_ + L"\\standin.log").c_str());
        RemoveDirectoryW(path_.c_str());
    }
    void Copy() const
    {
        CopyFileW(FromBuildPath(TARVIK_STANDIN_PATH).c_str(), (path_ + L"\\Condor.exe").c_str(), FALSE);
    }

    std::unique_ptr<ScratchFolder> scratch_;
    std::wstring path_;
};
