#pragma once
// How long-running engine work (loading, generating, executing) reports progress and learns
// that the user wants to stop. The desktop program shows a progress window, the command-line
// program a line on stderr with Ctrl-C as Cancel, tests record the calls and can cancel at the
// N-th one. Every Show* that returns bool returns the cancelled flag.
#include <QString>

class Progress {
public:
    virtual ~Progress() = default;

    // Shows the window with a caption and clears the cancelled flag.
    virtual void ShowCaption(const QString& caption) = 0;
    // ShowCaption, hides the Cancel button, then ShowMessage.
    virtual void ShowStatus(const QString& caption, const QString& message) {
        ShowCaption(caption);
        ShowMessage(message);
    }
    // One line of text; yields and returns the cancelled flag.
    virtual bool ShowMessage(const QString& text) = 0;
    // "LOAD " + kindText + " " + fullName; yields and returns the cancelled flag.
    virtual bool ShowObjectLoad(const QString& kindText, const QString& fullName) {
        return ShowMessage(QStringLiteral("LOAD ") + kindText + QLatin1Char(' ') + fullName);
    }
    // Lets the user interface breathe while a statement runs; returns the cancelled flag.
    virtual bool Yield() { return Cancelled(); }
    virtual bool Cancelled() const = 0;
    // The window is done (the desktop program hides it).
    virtual void Close() {}
};

// Progress that shows nothing and is never cancelled.
class NullProgress : public Progress {
public:
    void ShowCaption(const QString&) override {}
    bool ShowMessage(const QString&) override { return false; }
    bool Cancelled() const override { return false; }
};
