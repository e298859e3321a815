#pragma once
#include <string>

// Downloads URL into FileName with the platform's HTTP client: redirects
// followed by hand (5 at most), the user's proxy settings, the platform's
// certificate checks, 60 s for every wait. True when the final response is a
// success and its whole body is in the file. Blocks until then. With
// httpsOnly, only "https" addresses are asked.
bool DownloadFile(const std::wstring& URL, const std::wstring& FileName, bool httpsOnly);
