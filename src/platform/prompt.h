#pragma once
// How engine code asks the user a question: a message box with a text, an icon, a set of
// buttons and the button that is preselected, answered with the button pressed. The caption is
// always the application's title. The desktop program shows a QMessageBox, the command-line
// program prints the text and answers from its flags, tests script the answers.
#include <QString>

enum class PromptIcon { None, Information, Question, Exclamation, Critical };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class Prompt {
public:
    virtual ~Prompt() = default;

    // Shows the text and returns the button pressed; a box closed without a choice answers
    // Cancel when the box has that button, otherwise the preselected one.
    virtual PromptAnswer Ask(const QString& text, PromptIcon icon, PromptButtons buttons,
                             PromptAnswer defaultButton) = 0;
    // An information-only box with an OK button.
    void Tell(const QString& text, PromptIcon icon) { Ask(text, icon, PromptButtons::Ok, PromptAnswer::Ok); }
    // Opens a file the program wrote (a script file, an execution log) with the program the
    // system registers for its type. The desktop program opens it; others ignore the request.
    virtual void OpenFile(const QString& path) { (void)path; }
};

// Answers every question with its preselected button and opens nothing.
class DefaultAnswerPrompt : public Prompt {
public:
    PromptAnswer Ask(const QString&, PromptIcon, PromptButtons, PromptAnswer defaultButton) override {
        return defaultButton;
    }
};
