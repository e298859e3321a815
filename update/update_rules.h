#pragma once

enum class Answer;

// After the update question: "&Non" ends the launcher without updating;
// "&Oui" and a dismissed box download the update.
enum class UpdateStep { Quit, Download };
UpdateStep AfterUpdateQuestion(Answer answer);
