#include "cli/terminal_progress.h"

#include "platform/local_text.h"

#include <csignal>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL);  // the next Ctrl-C ends the program
}

int TerminalWidth() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}
}  // namespace

TerminalProgress::TerminalProgress() : showing_(isatty(STDERR_FILENO) != 0) {
    interrupted = 0;
    std::signal(SIGINT, OnInterrupt);
}

TerminalProgress::~TerminalProgress() {
    Close();
    std::signal(SIGINT, SIG_DFL);
}

void TerminalProgress::ShowCaption(const QString& caption) {
    caption_ = caption;
    Draw(QString(), true);
}

bool TerminalProgress::ShowMessage(const QString& text) {
    Draw(text, false);
    return Cancelled();
}

bool TerminalProgress::ShowObjectLoad(const QString& kindText, const QString& fullName) {
    if (!DrawsNow(false)) return Cancelled();
    return Progress::ShowObjectLoad(kindText, fullName);
}

bool TerminalProgress::Cancelled() const { return interrupted != 0; }

void TerminalProgress::Close() {
    if (!visible_) return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    visible_ = false;
}

bool TerminalProgress::DrawsNow(bool force) const {
    return showing_ && (force || !sinceDraw_.isValid() || sinceDraw_.elapsed() >= 50);
}

void TerminalProgress::Draw(const QString& text, bool force) {
    if (!DrawsNow(force)) return;
    sinceDraw_.start();
    QString line = caption_;
    if (!text.isEmpty()) line += (line.isEmpty() ? QString() : QStringLiteral(": ")) + text;
    // Control characters of object names would move the cursor; show them as blanks.
    for (QChar& c : line)
        if (c.unicode() < 32 || c.unicode() == 127) c = QLatin1Char(' ');
    const int width = TerminalWidth() - 1;
    if (line.size() > width) line = line.left(width);
    QByteArray bytes;
    try {
        bytes = EncodeLocalText(line);
    } catch (...) {
        bytes = line.toUtf8();
    }
    std::fputs("\r\x1b[K", stderr);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
    visible_ = true;
}
