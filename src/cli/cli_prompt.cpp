#include "cli/cli_prompt.h"

#include "cli/cli_command.h"

#include <QByteArray>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

bool HasYesNo(PromptButtons buttons) { return buttons == PromptButtons::YesNo || buttons == PromptButtons::YesNoCancel; }

// One line of stdin without its line end; false at the end of input.
bool ReadLine(QString& line) {
    QByteArray bytes;
    for (int c = std::getchar(); c != '\n'; c = std::getchar()) {
        if (c == EOF) {
            if (bytes.isEmpty()) return false;
            break;
        }
        bytes += static_cast<char>(c);
    }
    line = QString::fromLocal8Bit(bytes).trimmed();
    return true;
}

}  // namespace

QString TerminalText(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

bool CliPrompt::HasTerminal() { return isatty(STDIN_FILENO) != 0 && isatty(STDERR_FILENO) != 0; }

bool CliPrompt::ReadSecret(const QString& prompt, QString& secret) {
    if (isatty(STDIN_FILENO) == 0) return false;
    termios saved{};
    const bool canHide = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (canHide) {
        termios hidden = saved;
        hidden.c_lflag &= static_cast<tcflag_t>(~ECHO);
        hidden.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
    }
    PrintErr(prompt);
    QByteArray bytes;
    bool got = false;
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        got = true;
        if (c == '\n') break;
        bytes += static_cast<char>(c);
    }
    if (canHide) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (bytes.endsWith('\r')) bytes.chop(1);
    secret = QString::fromLocal8Bit(bytes);  // as typed: blanks may belong to a password
    bytes.fill('\0');
    return got;
}

PromptAnswer CliPrompt::Ask(const QString& text, PromptIcon, PromptButtons buttons, PromptAnswer defaultButton) {
    const QString message = TerminalText(text);
    if (!HasYesNo(buttons)) {
        PrintErr(message + QLatin1Char('\n'));
        return defaultButton;
    }
    const bool yesFirst = defaultButton == PromptAnswer::Yes;
    const QString choices = yesFirst ? QStringLiteral(" [Y/n] ") : QStringLiteral(" [y/N] ");
    if (assumeYes_) {
        PrintErr(message + choices + QStringLiteral("yes\n"));
        return PromptAnswer::Yes;
    }
    for (int tries = 0; tries < 5; ++tries) {
        PrintErr(message + choices);
        QString line;
        if (!ReadLine(line)) {
            PrintErr(QStringLiteral("\n"));
            return defaultButton;
        }
        if (line.isEmpty()) return defaultButton;
        if (line.compare(QLatin1String("y"), Qt::CaseInsensitive) == 0 ||
            line.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
            return PromptAnswer::Yes;
        if (line.compare(QLatin1String("n"), Qt::CaseInsensitive) == 0 ||
            line.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0)
            return PromptAnswer::No;
        PrintErr(QStringLiteral("Please answer yes or no.\n"));
    }
    return defaultButton;
}

PromptAnswer ReportPrompt::Ask(const QString& text, PromptIcon, PromptButtons buttons, PromptAnswer) {
    QString message = TerminalText(text);
    const qsizetype lastParagraph = message.lastIndexOf(QStringLiteral("\n\n"));
    if (HasYesNo(buttons) && lastParagraph >= 0 && message.trimmed().endsWith(QLatin1Char('?')))
        message = message.left(lastParagraph);
    PrintErr(message + QLatin1Char('\n'));
    return HasYesNo(buttons) ? PromptAnswer::No : PromptAnswer::Ok;
}
