#pragma once
#include <windows.h>

#include <chrono>
#include <string>

#include "update/download.h"

enum class ProgressEnd { Finished, Cancelled, TimedOut };

// Waits for a download done on another thread until `done` is signalled,
// the pilot presses "Annuler" (or closes the dialog) or the deadline
// passes, while the thread's windows keep answering and take no input.
// After the first second, a task dialog shows the progress: bytes of the
// announced length, or a marquee when none is announced. Throws when the
// dialog cannot be shown.
ProgressEnd WaitWithProgress(HWND owner, HINSTANCE instance, const std::wstring& caption,
                             const DownloadProgress& progress, HANDLE done, std::chrono::milliseconds deadline);
