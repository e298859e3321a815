#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Finding and driving windows from outside, as a pilot would.
namespace ui {

using namespace std::chrono_literals;
using Duration = std::chrono::milliseconds;

// Polls until the predicate holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, Duration timeout, Duration step = 20ms);

// The visible top-level windows of a process, optionally of one class.
std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className = nullptr);
HWND WaitForWindow(DWORD processId, const wchar_t* className, Duration timeout);

// Waits up to `timeout` for the window's thread to answer.
std::wstring Text(HWND window, Duration timeout = Duration(2000));
std::wstring ClassName(HWND window);
std::vector<HWND> Children(HWND window);
// The text of every child, joined by "|", to find a message in a box.
std::wstring ChildTexts(HWND window);
RECT ClientRectOnScreen(HWND window);
RECT RectInParentClient(HWND child);

void Click(HWND button);
// The buttons of the launcher's boxes, by what the pilot presses: a task
// dialog's buttons carry their result as their id.
enum class Button : int { Ok = IDOK, Cancel = IDCANCEL, Oui = IDYES, Non = IDNO };
void Press(HWND box, Button button);
// Enter on whatever has the keyboard focus in the window's thread.
void PressEnter(HWND window);

} // namespace ui
