#pragma once
// A Progress for tests: records what the engine shows and presses Cancel at the N-th message
// (cancelAt, 0: never) or whenever PressCancelWhen says so. ShowCaption clears the cancelled flag,
// as the progress window does.
#include "platform/progress.h"

#include <QStringList>
#include <functional>

class RecordingProgress : public Progress {
public:
    explicit RecordingProgress(int cancelAt = 0) : cancelAt_(cancelAt) {}

    QStringList Calls;     // "CAPTION " + each caption and every message, in order
    QStringList Captions;
    QStringList Messages;
    int Count = 0;         // messages shown
    int Closed = 0;        // times the window was closed
    // Asked at every message and yield; returning true presses Cancel.
    std::function<bool()> PressCancelWhen;

    void ShowCaption(const QString& caption) override {
        Calls << QStringLiteral("CAPTION ") + caption;
        Captions << caption;
        cancelled_ = false;
    }
    bool ShowMessage(const QString& text) override {
        Calls << text;
        Messages << text;
        if (++Count == cancelAt_) cancelled_ = true;
        return Poll();
    }
    bool Yield() override { return Poll(); }
    bool Cancelled() const override { return cancelled_; }
    void Close() override { ++Closed; }

private:
    bool Poll() {
        if (PressCancelWhen && PressCancelWhen()) cancelled_ = true;
        return cancelled_;
    }
    int cancelAt_;
    bool cancelled_ = false;
};
