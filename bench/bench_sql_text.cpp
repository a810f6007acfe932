// Times the SQL text scanners on a large generated procedure: a CREATE PROCEDURE whose body
// holds many string literals (and no comments), at growing sizes, to show that the cost grows
// linearly with the length of the text. Prints one line per operation and size.
#include "schema/sql_text.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// A procedure of about literalCount * 42 characters with literalCount string literals, some
// with doubled quotes, and a bracketed name on every line.
QString MakeProcedure(int literalCount) {
    QString text = QStringLiteral("CREATE PROCEDURE [dbo].[BigLoader] AS\r\nSET NOCOUNT ON\r\n");
    text.reserve(literalCount * 44 + 64);
    for (int i = 0; i < literalCount; ++i) {
        if (i % 10 == 0)
            text += QStringLiteral("INSERT [Log] VALUES ('it''s row %1')\r\n").arg(i, 6, 10, QLatin1Char('0'));
        else
            text += QStringLiteral("INSERT [Log] VALUES ('message %1')\r\n").arg(i, 8, 10, QLatin1Char('0'));
    }
    text += QStringLiteral("RETURN\r\n");
    return text;
}

// The same size of procedure, with a line comment on every line and a block comment on every
// tenth: each line comment ends at a line break or at the end of the text, so the scan must not
// look for the end of the text again for every comment.
QString MakeCommentedProcedure(int commentCount) {
    QString text = QStringLiteral("CREATE PROCEDURE [dbo].[BigLoader] AS\r\n");
    text.reserve(commentCount * 44 + 64);
    for (int i = 0; i < commentCount; ++i) {
        if (i % 10 == 0) text += QStringLiteral("/* block %1 */ ").arg(i);
        text += QStringLiteral("SET @n = @n + 1 -- step %1\r\n").arg(i, 8, 10, QLatin1Char('0'));
    }
    return text;
}

// Best of three runs, in milliseconds.
double TimeMs(const std::function<void()>& run) {
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

void Report(const char* what, const QString& text, int literals, double ms) {
    std::printf("%-25s %6.2f M chars %7d literals %9.2f ms\n", what, text.size() / (1024.0 * 1024.0), literals, ms);
}

}  // namespace

int main() {
    for (const int literalCount : {12500, 25000, 50000, 100000}) {
        const QString text = MakeProcedure(literalCount);
        QString masked;
        QStringList literals;

        Report("MaskComments", text, literalCount, TimeMs([&] {
                   literals.clear();
                   masked = MaskComments(text, literals);
               }));
        Report("StringLiteralExtract", text, literalCount, TimeMs([&] {
                   literals.clear();
                   masked = StringLiteralExtract(text, literals);
               }));
        Report("RestoreMasked", text, literalCount, TimeMs([&] { (void)RestoreMasked(masked, literals); }));
        Report("MaskBracketedNames", text, literalCount, TimeMs([&] {
                   literals.clear();
                   (void)MaskBracketedNames(text, literals);
               }));
        Report("ReplaceObjectName", text, literalCount, TimeMs([&] {
                   (void)ReplaceObjectName(text, QStringLiteral("CREATE"), QStringLiteral("ALTER"),
                                           QStringLiteral("PROC"), QStringLiteral("[dbo].[BigLoader]"), QString(), 0);
               }));
        Report("NormalizeLineBreaks", text, literalCount, TimeMs([&] { (void)NormalizeLineBreaks(text); }));
        const QString commented = MakeCommentedProcedure(literalCount);
        Report("MaskComments (comments)", commented, literalCount * 11 / 10, TimeMs([&] {
                   literals.clear();
                   masked = MaskComments(commented, literals);
               }));
        Report("RestoreMasked (comments)", commented, literalCount * 11 / 10,
               TimeMs([&] { (void)RestoreMasked(masked, literals); }));
        std::printf("\n");
    }
    return 0;
}
