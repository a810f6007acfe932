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

