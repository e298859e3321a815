#pragma once
#include <string>

bool IsExistingFolder(const std::wstring& path);
bool IsExistingFile(const std::wstring& path); // a file, not a folder
