#pragma once
// The message boxes of the engine on a command line.
#include "platform/prompt.h"

// Asks on the terminal: the text on stderr, the answer read from stdin ("y"/"yes", "n"/"no";
// an empty line or the end of input picks the preselected button). With assumeYes every Yes/No
// question is answered Yes without reading. A box with OK only is printed and answered OK.
class CliPrompt : public Prompt {
public:
    explicit CliPrompt(bool assumeYes) : assumeYes_(assumeYes) {}
    // True when questions can be asked: stdin and stderr are terminals.
    static bool HasTerminal();
    // Asks for a secret on the terminal: the prompt on stderr, the answer read from stdin with
    // its echo turned off. False (nothing asked) when stdin is no terminal or the input ended.
    static bool ReadSecret(const QString& prompt, QString& secret);
    PromptAnswer Ask(const QString& text, PromptIcon icon, PromptButtons buttons, PromptAnswer defaultButton) override;

private:
    bool assumeYes_;
};

// For the executor's closing messages: prints the message without its last paragraph when that
// is a question (the offer to open the file: a command prints the file's path instead) and
// answers No to every question, OK to a notice.
class ReportPrompt : public Prompt {
public:
    PromptAnswer Ask(const QString& text, PromptIcon icon, PromptButtons buttons, PromptAnswer defaultButton) override;
};

// Text of a message box for a terminal: CR LF and lone CRs become line feeds.
QString TerminalText(const QString& text);
