#include "app/frm_preferences.h"

#include "app/gui_prompt.h"
#include "main/settings_store.h"
#include "platform/db/odbc_connection.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmPreferences::frmPreferences(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPreferences"));
    setWindowTitle(QStringLiteral("Tovimar - Preferences"));
    auto* frame = new QGroupBox(QStringLiteral("Difference Viewer Commandline"), this);
    DiffCommand = new QLineEdit(frame);
    DiffCommand->setObjectName(QStringLiteral("DiffCommand"));
    DiffCommand->setMinimumWidth(420);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(new QLabel(QStringLiteral("Use %s and %d as placeholders for source and destination filenames:"), frame));
    frameLayout->addWidget(DiffCommand);

    auto* odbc = new QGroupBox(QStringLiteral("ODBC Connection"), this);
    OdbcDriver = new QLineEdit(odbc);
    OdbcDriver->setObjectName(QStringLiteral("OdbcDriver"));
    TdsVersion = new QLineEdit(odbc);
    TdsVersion->setObjectName(QStringLiteral("TdsVersion"));
    auto* odbcLayout = new QFormLayout(odbc);
    odbcLayout->addRow(QStringLiteral("ODBC Driver:"), OdbcDriver);
    odbcLayout->addRow(QStringLiteral("TDS Version:"), TdsVersion);

    const auto button = [this](const QString& name, const QString& caption) { return NamedButton(this, name, caption); };
    cmdDiffReset = button(QStringLiteral("cmdDiffReset"), QStringLiteral("&Reset"));
    cmdOK = button(QStringLiteral("cmdOK"), QStringLiteral("&Save"));
    cmdCancel = button(QStringLiteral("cmdCancel"), QStringLiteral("Cancel"));
    btnHelp = button(QStringLiteral("btnHelp"), QStringLiteral("&Help"));
    cmdOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnHelp);
    buttons->addWidget(cmdDiffReset);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(odbc);
    layout->addLayout(buttons);

    const OdbcSettings defaults;
    DiffCommand->setText(GetDifferenceViewer(false));
    OdbcDriver->setText(SettingText(QStringLiteral("OdbcDriver"), defaults.Driver));
    TdsVersion->setText(SettingText(QStringLiteral("TdsVersion"), defaults.TdsVersion));

    connect(cmdDiffReset, &QPushButton::clicked, this, &frmPreferences::Reset);
    connect(cmdOK, &QPushButton::clicked, this, [this] {
        Save();
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, [] { OpenHelp(QStringLiteral("frmPreferences")); });
}

void frmPreferences::Reset() {
    const OdbcSettings defaults;
    DiffCommand->setText(GetDifferenceViewer(true));
    OdbcDriver->setText(defaults.Driver);
    TdsVersion->setText(defaults.TdsVersion);
}

void frmPreferences::Save() {
    SetSetting(QStringLiteral("DifferenceViewer"), DiffCommand->text().trimmed());
    SetSetting(QStringLiteral("OdbcDriver"), OdbcDriver->text().trimmed());
    SetSetting(QStringLiteral("TdsVersion"), TdsVersion->text().trimmed());
    ApplyStoredOdbcSettings();
}
