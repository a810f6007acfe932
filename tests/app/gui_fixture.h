#pragma once
// What every window test needs: one QApplication (offscreen), a settings store in a temporary
// folder, and a scripted prompt in place of the message boxes.
#include "app/gui_prompt.h"
#include "support/scripted_prompt.h"
#include "support/temp_settings.h"
#include "support/test_files.h"

#include <QApplication>
#include <memory>

class GuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!QApplication::instance()) {
            static int argc = 1;
            static char name[] = "test_app";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }
    void SetUp() override { SetAppPrompt(&prompt); }
    void TearDown() override { SetAppPrompt(nullptr); }

    QStringList Texts() const {
        QStringList texts;
        for (const auto& question : prompt.Questions) texts << question.Text;
        return texts;
    }
    // A filter database: its two tables and the given rows, a script run on a simulated server
    // whenever it is opened.
    QString FilterDatabaseScript(const QString& rows) {
        return WriteFile(files, QStringLiteral("filters.sql"), QByteArrayLiteral(R"(
CREATE TABLE _TovimarFilterSet (FilterSetID int IDENTITY (1, 1) NOT NULL PRIMARY KEY,
  FilterSet_Path varchar (500) NOT NULL, FilterSet_Name varchar (50) NOT NULL)
CREATE TABLE _TovimarFilterElement (FilterElementID int IDENTITY (1, 1) NOT NULL PRIMARY KEY,
  FilterElement_SetREF int NOT NULL REFERENCES _TovimarFilterSet (FilterSetID), FilterElement_Op tinyint NOT NULL,
  FilterElement_ObjectTypes varchar (100) NOT NULL, FilterElement_ObjectName nvarchar (200) NOT NULL,
  FilterElement_Flags int NOT NULL, FilterElement_Extra ntext NULL)
GO
)") + rows.toUtf8());
    }

    TempSettings settings;
    ScriptedPrompt prompt;
    QTemporaryDir files;
};

inline QString ExamplePath(const char* name) { return QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/") + QLatin1String(name); }
