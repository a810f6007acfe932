#pragma once
// Progress for tovimar-cli: the current step on one line of stderr (only when stderr is a
// terminal, so that redirected output stays clean) and Ctrl-C as Cancel. A second Ctrl-C ends
// the program at once, for work that does not reach a progress point.
#include "platform/progress.h"

#include <QElapsedTimer>

class TerminalProgress : public Progress {
public:
    TerminalProgress();
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // Unlike the progress window, a caption does not clear the cancelled flag: a Ctrl-C is never
    // forgotten between two steps of one command.
    void ShowCaption(const QString& caption) override;
    bool ShowMessage(const QString& text) override;
    // Objects are loaded by the thousand: their line is put together only when it is drawn.
    bool ShowObjectLoad(const QString& kindText, const QString& fullName) override;
    bool Cancelled() const override;
    // Removes the progress line.
    void Close() override;

private:
    void Draw(const QString& text, bool force);
    bool DrawsNow(bool force) const;
    bool showing_ = false;
    QElapsedTimer sinceDraw_;  // messages come faster than a terminal shows them
    bool visible_ = false;
    QString caption_;
};
