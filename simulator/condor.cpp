#include "simulator/condor.h"

std::wstring CondorExecutable(const std::wstring& chemin)
{
    return chemin + L"\\Condor.exe";
}

std::wstring CondorCommandLine(const std::wstring& chemin, const std::wstring& argument)
{
    return CondorExecutable(chemin) + L" cndr3:" + argument;
}

std::wstring CondorWindowTitle(const std::wstring& versionCondor)
{
    return L"Condor version " + versionCondor;
}
