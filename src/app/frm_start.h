#pragma once
// frmStart: the main window. Two parameter boxes (Source and Destination) with server,
// database and authentication, the start buttons of a comparison or export run, swap, the
// parameter copy buttons, and the way to the options, preferences and help. The remembered
// connections come from main/connection_history.h; the run's logic from main/comparison_flow.h.
#include "main/comparison_flow.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class FilterSets;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class frmExecute;
class frmOptions;

class frmStart : public QMainWindow {
    Q_OBJECT
public:
    explicit frmStart(QWidget* parent = nullptr);
    ~frmStart() override;

    // Controls; index 1 is the Source, 2 the Destination (index 0 unused).
    QGroupBox* BoxSource = nullptr;
    QGroupBox* BoxDest = nullptr;
    QComboBox* txtServer[3] = {};
    QComboBox* txtDB[3] = {};
    QRadioButton* optWindowsauthentifizierung[3] = {};
    QRadioButton* optUsername_Passwort[3] = {};
    QLabel* lblUsername[3] = {};
    QLineEdit* txtUsername[3] = {};
    QLabel* lblPasswort[3] = {};
    QLineEdit* txtPasswort[3] = {};
    QPushButton* cmdDelServer[3] = {};
    QPushButton* cmdDelDB[3] = {};
    QPushButton* cmdCopy[3] = {};
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdCreates = nullptr;
    QPushButton* cmdTausch = nullptr;
    QPushButton* cmdOptions = nullptr;
    QPushButton* cmdPreferences = nullptr;
    QPushButton* cmdRecompile = nullptr;
    QPushButton* cmdDoku = nullptr;
    QPushButton* btnHelp = nullptr;

    // The parameters a side's boxes hold.
    ConnectionParams Params(int side) const;

    // First stage: validate, connect both sides, remember them, open the options window.
    void StartComparison(bool exportOnly);
    // Validates one side and connects it; none after telling the user why.
    std::shared_ptr<Tovimar_Database> ConnectDatabase(int side);
    // Second stage, called by the options window's Next.
    void ParametersReady(std::shared_ptr<Tovimar_Database> db1, std::shared_ptr<Tovimar_Database> db2,
                         bool exportOnly, QWidget* parentForm, FilterSets& filters, const RunOptions& options);

    void Swap();
    void CopySide(int from);
    // The database utilities on the Source side: recompile its code objects in place, and build
    // or update its documentation tables.
    void RecompileObjects();
    void UpdateDocumentation();
    void FillServerNames();
    void FillDBNames(int side);
    void FillDBAuth(int side);
    void SaveLastUsed(int side);
    void DeleteServerFromList(int side);
    void DeleteDatabaseFromList(int side);
    // Puts the two bundled example databases in as Source and Destination.
    void FillDemo(const QString& sourceScript, const QString& destinationScript);

    // Asks where an export goes (the file dialog; empty: cancelled). Tests answer it themselves.
    std::function<QString(const QString& proposed)> ChooseExportFile;

    // The options window of the running first stage (none when none is open).
    frmOptions* OptionsWindow() const { return options_; }
    // The progress window loading reports to.
    frmExecute* ProgressWindow();
    // Shown again after a run or a review window.
    void ShowAgain();

private:
    QGroupBox* BuildSide(int side);
    // Connects the Source side for a utility, asks question, and loads the schema with every
    // object included; none when the user said no or loading failed (the user was told).
    std::shared_ptr<Tovimar_Database> LoadSourceForUtility(const QString& question, bool definitionObjectsOnly);
    void SelectAuth(int side, bool sqlLogin, bool byUser);

    bool swapping_ = false;
    bool filling_ = false;
    frmOptions* options_ = nullptr;
    frmExecute* progress_ = nullptr;
    std::shared_ptr<FilterSets> utilityFilters_;  // the default filter of the last utility run
};

// "Tovimar - Version " + major.minor.revision.
QString MainWindowCaption(const QString& version);
