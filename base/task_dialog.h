#pragma once
#include <windows.h>

// Throws when a task dialog could not be shown: its result is no answer.
void CheckDialogShown(HRESULT result);
