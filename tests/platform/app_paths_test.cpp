#include "platform/app_paths.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// Sets an environment variable for one test and puts the previous state back.
class EnvVar {
public:
    EnvVar(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvVar() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
private:
    const char* name_;
    bool had_;
    QByteArray old_;
};
}  // namespace

TEST(AppPathsTest, FoldersLiveBesideAWritableProgramFolder) {
    QTemporaryDir program;
    EXPECT_EQ(ChooseAppDataFolder(program.path(), QStringLiteral("Schemas")), program.filePath(QStringLiteral("Schemas")));
    // A folder that does not exist yet counts when it can be created.
    const QString deeper = program.filePath(QStringLiteral("bin"));
    EXPECT_EQ(ChooseAppDataFolder(deeper, QStringLiteral("Scripts")), deeper + QStringLiteral("/Scripts"));
    // The test program's own folder is a build folder, hence writable.
    EXPECT_EQ(AppDataFolder(QStringLiteral("Scripts")), QDir(ProgramFolder()).filePath(QStringLiteral("Scripts")));
    EXPECT_FALSE(ProgramFolder().isEmpty());
}

TEST(AppPathsTest, WithoutAProgramFolderFilesGoUnderTheUserDataFolder) {
    {
        EnvVar xdg("XDG_DATA_HOME", "/srv/data");
        EXPECT_EQ(ChooseAppDataFolder(QString(), QStringLiteral("Schemas")), QStringLiteral("/srv/data/Pellow/Tovimar/Schemas"));
    }
    for (const QByteArray& unusable : {QByteArray(), QByteArray("relative/data")}) {
        EnvVar xdg("XDG_DATA_HOME", unusable);
        EXPECT_EQ(ChooseAppDataFolder(QString(), QStringLiteral("Scripts")),
                  QDir::homePath() + QStringLiteral("/.local/share/Pellow/Tovimar/Scripts"));
    }
}
