#include "simulator/condor.h"

std::wstring CondorExecutable(const std::wstring& folder)
{
    return folder + L"\\Condor.exe";
}

std::wstring CondorCommandLine(const std::wstring& folder, const std::wstring& argument)
{
    return CondorExecutable(folder) + L" cndr3:" + argument;
}

std::wstring CondorWindowTitle(const std::wstring& simulatorVersion)
{
    return L"Condor version " + simulatorVersion;
}
