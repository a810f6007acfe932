// tovimar: the desktop program. "tovimar --demo" opens the main window with the two bundled
// example databases filled in as Source and Destination.
#include "app/frm_start.h"
#include "main/settings_store.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>

namespace {
// The bundled examples: installed under share/tovimar/examples, or in the source tree.
QString ExampleFile(const QString& name) {
    const QString programFolder = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {programFolder + QStringLiteral("/../share/tovimar/examples/") + name,
                                     programFolder + QStringLiteral("/examples/") + name,
                                     QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/") + name})
        if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
    return name;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovimar"));
    QApplication::setOrganizationName(QStringLiteral("Pellow"));
    QApplication::setApplicationVersion(QStringLiteral(TOVIMAR_VERSION));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tovimar")));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Compares two SQL Server databases and brings the second in line."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Fill in the bundled example databases."));
    parser.addOption(demo);
    parser.process(app);

    ApplyStoredOdbcSettings();
    frmStart window;
    if (parser.isSet(demo))
        window.FillDemo(ExampleFile(QStringLiteral("source.sql")), ExampleFile(QStringLiteral("destination.sql")));
    window.show();
    return app.exec();
}
