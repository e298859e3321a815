#pragma once
#include <windows.h>

#include <string>

class Application;

enum ModalResult : int { mrCancel = 2, mrYes = 6, mrNo = 7 };

// Information box captioned with the application title, one "OK" button.
void ShowMessage(const Application& app, const std::wstring& text);

// Yes/no question captioned "Confirmer"; mrCancel when dismissed.
ModalResult MessageDlg(const Application& app, const std::wstring& text);

// Throws when a task dialog could not be shown (its result is no answer).
void CheckDialogShown(HRESULT result);
