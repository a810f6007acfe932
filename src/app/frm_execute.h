#pragma once
// frmExecute: the progress window (a caption, one line of text and Cancel) that loading,
// generation and script execution report to. It is the desktop program's Progress: every text
// yields to the event loop so that the window repaints and Cancel can be pressed; Cancel sets
// the flag that the engine tests at those points. For execution the window is passed as the
// Progress of ExecuteScripts (review/script_executor.h).
#include "platform/progress.h"

#include <QDialog>

class QLabel;
class QPushButton;

class frmExecute : public QDialog, public Progress {
    Q_OBJECT
public:
    explicit frmExecute(QWidget* parentForm = nullptr);

    void ShowCaption(const QString& caption) override;
    void ShowStatus(const QString& caption, const QString& message) override;
    bool ShowMessage(const QString& text) override;
    bool Yield() override;
    bool Cancelled() const override { return cancelled_; }
    void Close() override;

    QLabel* Text = nullptr;
    QPushButton* cmdCancel = nullptr;

private:
    bool cancelled_ = false;
};
