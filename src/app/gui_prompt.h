#pragma once
// The desktop program's Prompt: message boxes with the application's title, and the desktop's
// "open" action for files. Windows ask through AppPrompt(), which tests replace with a scripted
// prompt so that no box is ever shown modally under test.
#include "platform/prompt.h"

#include <QString>

class QPushButton;
class QWidget;

inline const QString AppTitle = QStringLiteral("Tovimar");

class GuiPrompt : public Prompt {
public:
    PromptAnswer Ask(const QString& text, PromptIcon icon, PromptButtons buttons, PromptAnswer defaultButton) override;
    void OpenFile(const QString& path) override;
};

// The prompt the windows use; SetAppPrompt(nullptr) restores the message boxes.
Prompt& AppPrompt();
void SetAppPrompt(Prompt* prompt);

// Opens html/<formName>.html, next to the program (or in the source tree's html folder when
// run from a build folder), with the desktop's "open" action. Returns the page's path, empty
// when there is none.
QString OpenHelp(const QString& formName);
QString HelpPagePath(const QString& formName);

// A push button with its caption and its documented name as object name.
QPushButton* NamedButton(QWidget* parent, const QString& name, const QString& caption);
