#pragma once
#include <string>

class Application;

enum class Answer;

// Information box captioned with the application title, one "OK" button.
// Throws when the box cannot be shown.
void ShowInformation(const Application& app, const std::wstring& text);

// "&Oui"/"&Non" question captioned "Confirmer"; Dismissed when closed
// otherwise. Throws when the box cannot be shown.
Answer AskYesNo(const Application& app, const std::wstring& text);
