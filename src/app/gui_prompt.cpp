#include "app/gui_prompt.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace {
Prompt* replacedPrompt = nullptr;

QMessageBox::StandardButton ToButton(PromptAnswer answer) {
    switch (answer) {
        case PromptAnswer::Ok: return QMessageBox::Ok;
        case PromptAnswer::Cancel: return QMessageBox::Cancel;
        case PromptAnswer::Yes: return QMessageBox::Yes;
        case PromptAnswer::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}
}  // namespace

PromptAnswer GuiPrompt::Ask(const QString& text, PromptIcon icon, PromptButtons buttons, PromptAnswer defaultButton) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(AppTitle);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (icon) {
        case PromptIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        case PromptIcon::Information: box.setIcon(QMessageBox::Information); break;
        case PromptIcon::Question: box.setIcon(QMessageBox::Question); break;
        case PromptIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case PromptIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
        case PromptButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case PromptButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case PromptButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case PromptButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    box.setDefaultButton(ToButton(defaultButton));
    switch (box.exec()) {
        case QMessageBox::Ok: return PromptAnswer::Ok;
        case QMessageBox::Yes: return PromptAnswer::Yes;
        case QMessageBox::No: return PromptAnswer::No;
        case QMessageBox::Cancel: return PromptAnswer::Cancel;
        default:
            return buttons == PromptButtons::OkCancel || buttons == PromptButtons::YesNoCancel ? PromptAnswer::Cancel
                                                                                               : defaultButton;
    }
}

void GuiPrompt::OpenFile(const QString& path) {
    if (QFileInfo::exists(path)) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

Prompt& AppPrompt() {
    static GuiPrompt boxes;
    return replacedPrompt ? *replacedPrompt : boxes;
}

void SetAppPrompt(Prompt* prompt) { replacedPrompt = prompt; }

QString HelpPagePath(const QString& formName) {
    const QString page = QStringLiteral("html/") + formName + QStringLiteral(".html");
    const QString programFolder = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {QStringLiteral("%1/%2").arg(programFolder, page),
          QStringLiteral("%1/../share/tovimar/%2").arg(programFolder, page),
          QStringLiteral(TOVIMAR_SOURCE_DIR "/%1").arg(page), page})
        if (QFileInfo::exists(candidate)) return QFileInfo(candidate).absoluteFilePath();
    return QString();
}

QString OpenHelp(const QString& formName) {
    const QString path = HelpPagePath(formName);
    if (!path.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    return path;
}

QPushButton* NamedButton(QWidget* parent, const QString& name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}
