#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "update/download.h"

enum class ProgressEnd { Finished, Cancelled, TimedOut };

// A task dialog with the download's progress (bytes of the announced
// length, or a marquee when none is announced) and one button "Annuler",
// open until finished() is true, the pilot presses "Annuler" or closes it,
// or the deadline passes. Its message loop keeps the owner's thread
// answering. Throws when the dialog cannot be shown.
ProgressEnd ShowDownloadProgress(HWND owner, HINSTANCE instance, const std::wstring& caption,
                                 const DownloadProgress& progress, const std::function<bool()>& finished,
                                 std::chrono::milliseconds deadline);
