#pragma once
// A Prompt for tests: records every question and answers from a script (the preselected button
// when the script is used up); files to open are recorded, never opened.
#include "platform/prompt.h"

#include <QList>
#include <QStringList>

class ScriptedPrompt : public Prompt {
public:
    struct Question {
        QString Text;
        PromptIcon Icon;
        PromptButtons Buttons;
        PromptAnswer Default;
    };
    PromptAnswer Ask(const QString& text, PromptIcon icon, PromptButtons buttons, PromptAnswer defaultButton) override {
        Questions.append(Question{text, icon, buttons, defaultButton});
        return Answers.isEmpty() ? defaultButton : Answers.takeFirst();
    }
    void OpenFile(const QString& path) override { Opened << path; }

    QList<PromptAnswer> Answers;  // taken in order; the preselected button when none is left
    QList<Question> Questions;
    QStringList Opened;
};
