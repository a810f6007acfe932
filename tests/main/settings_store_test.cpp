#include "main/connection_history.h"
#include "main/settings_store.h"
#include "support/qt_print.h"
#include "support/temp_settings.h"
#include "support/test_files.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(RegKey, KeysAndValuesKeepTheRegistryLayoutWithoutRegardToCase) {
    TempSettings temp;
    RegKeyPtr settings = RegKey::Key(QStringLiteral("HKEY_CURRENT_USER\\Software\\Pellow\\Tovimar"), true);
    ASSERT_TRUE(settings);
    settings->SetValue(QStringLiteral("DifferenceViewer"), QStringLiteral("meld \"%d\" \"%s\""));
    settings->SetValue(QStringLiteral("CreateDocumentation"), 1);
    EXPECT_EQ(settings->GetValue(QStringLiteral("differenceviewer")).toString(), QStringLiteral("meld \"%d\" \"%s\""));
    EXPECT_EQ(settings->GetValue(QStringLiteral("CREATEDOCUMENTATION")).toInt(), 1);
    EXPECT_TRUE(settings->GetValue(QStringLiteral("Missing")).isNull());
    // Names with the store's separators and escapes survive as one key part.
    settings->SetValueAt(QStringLiteral("Servers\\a/b%2F@c\\Name"), QStringLiteral("x"));
    EXPECT_EQ(settings->Value(QStringLiteral("servers\\A/B%2F@C\\name")).toString(), QStringLiteral("x"));
    EXPECT_EQ(settings->OpenKey(QStringLiteral("Servers"), false)->SubKeys(), QStringList{QStringLiteral("a/b%2F@c")});
    // An empty key exists once created; deleting without sub keys keeps a key that has some.
    ASSERT_TRUE(settings->OpenKey(QStringLiteral("Empty\\Child"), true));
    EXPECT_TRUE(settings->OpenKey(QStringLiteral("Empty"), false));
    EXPECT_FALSE(settings->DeleteKey(QStringLiteral("Empty"), false));
    EXPECT_TRUE(settings->DeleteKey(QStringLiteral("EMPTY"), true));
    EXPECT_FALSE(settings->OpenKey(QStringLiteral("Empty"), false));
    settings->SetValue(QStringLiteral("CreateDocumentation"), QVariant());
    EXPECT_TRUE(settings->GetValue(QStringLiteral("CreateDocumentation")).isNull());
    // Only the settings key is kept.
    EXPECT_FALSE(RegKey::Key(QStringLiteral("HKLM\\Software\\Pellow\\Tovimar"), true));
    EXPECT_EQ(RegKey::GetRootHandle(QStringLiteral("hkcu")), QStringLiteral("HKEY_CURRENT_USER"));
    settings.reset();  // written when the last key is released
    EXPECT_TRUE(QFile::exists(temp.Folder() + QStringLiteral("/Pellow/Tovimar.ini")));
}

TEST(ConnectionHistory, RemembersServersDatabasesAndUserNamesPasswordsOnlyInMemory) {
    TempSettings temp;
    SaveLastUsed(1, {QStringLiteral(" SRV\\INST "), QStringLiteral("Sales"), true, QStringLiteral("sa"), QStringLiteral("pw;1")});
    SaveLastUsed(2, {QStringLiteral("Other"), QStringLiteral("Archive"), false, {}, {}});
    EXPECT_EQ(StoredServerNames(), (QStringList{QStringLiteral("Other"), QStringLiteral("SRV\\INST")}));
    EXPECT_EQ(GetServerKey(false)->SubKeys(), (QStringList{QStringLiteral("Other"), QStringLiteral("SRV;INST")}));
    EXPECT_EQ(LastUsedServer(1), QStringLiteral("SRV\\INST"));
    EXPECT_EQ(LastUsedServer(2), QStringLiteral("Other"));
    EXPECT_EQ(StoredDatabaseNames(QStringLiteral("srv\\inst")), QStringList{QStringLiteral("Sales")});
    // A database used only on the other side is proposed.
    EXPECT_EQ(LastUsedDatabaseOf(QStringLiteral("SRV\\INST"), 2), QStringLiteral("Sales"));
    EXPECT_EQ(StoredUserName(QStringLiteral("SRV\\INST"), QStringLiteral("Sales")), QStringLiteral("sa"));
    EXPECT_EQ(LookupPassword(QStringLiteral("SRV\\INST"), QStringLiteral("Sales"), QStringLiteral("sa")), QStringLiteral("pw;1"));
    QFile ini(temp.Folder() + QStringLiteral("/Pellow/Tovimar.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_FALSE(ini.readAll().contains("pw;1"));

    // Integrated login afterwards removes the stored user name.
    SaveLastUsed(1, {QStringLiteral("SRV\\INST"), QStringLiteral("Sales"), false, QStringLiteral("sa"), {}});
    EXPECT_EQ(StoredUserName(QStringLiteral("SRV\\INST"), QStringLiteral("Sales")), QString());

    DeleteStoredDatabase(QStringLiteral("SRV\\INST"), QStringLiteral("sales"));
    EXPECT_EQ(StoredDatabaseNames(QStringLiteral("SRV\\INST")), QStringList());
    EXPECT_EQ(LastUsedDatabaseOf(QStringLiteral("SRV\\INST"), 1), QString());
    DeleteStoredServer(QStringLiteral("srv\\inst"));
    EXPECT_EQ(StoredServerNames(), QStringList{QStringLiteral("Other")});
    EXPECT_EQ(LastUsedServer(1), QString());
    EXPECT_EQ(LastUsedServer(2), QStringLiteral("Other"));
}

TEST(Preferences, DifferenceViewerDefaultsToAViewerOnPathAndKeepsAnEmptyValue) {
    TempSettings temp;
    QTemporaryDir bin;
    EXPECT_EQ(DefaultDifferenceViewer(bin.path()), QString());
    QFile::setPermissions(WriteFile(bin, QStringLiteral("kompare"), QByteArray()), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(DefaultDifferenceViewer(bin.path()), QStringLiteral("kompare \"%d\" \"%s\""));
    SetSetting(QStringLiteral("DifferenceViewer"), QString());
    EXPECT_EQ(GetDifferenceViewer(false), QString());
}
