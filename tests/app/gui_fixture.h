#pragma once
// What every window test needs: one QApplication (offscreen), a settings store in a temporary
// folder, and a scripted prompt in place of the message boxes.
#include "app/gui_prompt.h"
#include "support/scripted_prompt.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
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
    // A filter database: a script run on a simulated server whenever it is opened.
    QString FilterDatabaseScript(const QString& extra) {
        const QString path = files.filePath(QStringLiteral("filters.sql"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(extra.toUtf8());
        return path;
    }

    TempSettings settings;
    ScriptedPrompt prompt;
    QTemporaryDir files;
};

inline QString ExamplePath(const char* name) { return QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/") + QLatin1String(name); }
