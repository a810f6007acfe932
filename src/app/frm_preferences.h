#pragma once
// frmPreferences: the difference viewer command line and the ODBC driver and TDS version used
// for live servers.
#include <QDialog>

class QLineEdit;
class QPushButton;

class frmPreferences : public QDialog {
    Q_OBJECT
public:
    explicit frmPreferences(QWidget* parent = nullptr);

    QLineEdit* DiffCommand = nullptr;
    QLineEdit* OdbcDriver = nullptr;
    QLineEdit* TdsVersion = nullptr;
    QPushButton* cmdDiffReset = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* btnHelp = nullptr;

    void Reset();
    void Save();
};
