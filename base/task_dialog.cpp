#include "base/task_dialog.h"

#include <string>

#include "base/errors.h"

void CheckDialogShown(HRESULT result)
{
    if (!FAILED(result)) return;
    wchar_t code[11];
    ::wsprintfW(code, L"0x%08X", static_cast<unsigned>(result));
    throw SystemError(std::wstring(L"Impossible d'afficher la boîte de dialogue (") + code + L")", "TaskDialogIndirect",
                      static_cast<unsigned long>(result));
}
