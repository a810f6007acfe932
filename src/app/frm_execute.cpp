#include "app/frm_execute.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmExecute::frmExecute(QWidget* parentForm) : QDialog(parentForm) {
    setObjectName(QStringLiteral("frmExecute"));
    setModal(false);
    Text = new QLabel(this);
    Text->setObjectName(QStringLiteral("Text"));
    Text->setMinimumWidth(520);
    Text->setTextFormat(Qt::PlainText);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text);
    layout->addLayout(buttons);
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        cancelled_ = true;
        cmdCancel->setEnabled(false);
    });
}

void frmExecute::ShowCaption(const QString& caption) {
    setWindowTitle(caption);
    cancelled_ = false;
    cmdCancel->setVisible(true);
    cmdCancel->setEnabled(true);
    show();
    raise();
    QCoreApplication::processEvents();
}

void frmExecute::ShowStatus(const QString& caption, const QString& message) {
    ShowCaption(caption);
    cmdCancel->setVisible(false);
    ShowMessage(message);
}

bool frmExecute::ShowMessage(const QString& text) {
    if (Text->text() != text) Text->setText(text);
    return Yield();
}

bool frmExecute::Yield() {
    QCoreApplication::processEvents();
    return cancelled_;
}

void frmExecute::Close() { hide(); }
