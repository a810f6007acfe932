#include "app/frm_start.h"

#include "app/frm_errors.h"
#include "app/frm_execute.h"
#include "app/frm_options.h"
#include "app/frm_preferences.h"
#include "app/gui_prompt.h"
#include "app/review_flow.h"
#include "dbutil/documentation_tables.h"
#include "dbutil/recompile.h"
#include "filters/filter_model.h"
#include "main/settings_store.h"
#include "review/script_executor.h"
#include "platform/tovimar_exception.h"
#include "schema/catalog_loader.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

void AddToList(QComboBox* box, const QString& text) {
    if (!text.isEmpty() && box->findText(text, Qt::MatchFixedString) < 0) box->addItem(text);
}

void RemoveFromList(QComboBox* box, const QString& text) {
    const int index = box->findText(text, Qt::MatchFixedString);
    if (index >= 0) {
        const QString typed = box->currentText();
        box->removeItem(index);
        box->setEditText(typed);
    }
}

// Text boxes select their whole text on entering them.
class SelectAllOnFocus : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            if (auto* edit = qobject_cast<QLineEdit*>(watched)) QMetaObject::invokeMethod(edit, &QLineEdit::selectAll, Qt::QueuedConnection);
        }
        return false;
    }
};

}  // namespace

QString MainWindowCaption(const QString& version) {
    const QStringList parts = version.split(QLatin1Char('.'));
    return QStringLiteral("Tovimar - Version ") + parts.value(0, QStringLiteral("0")) + QLatin1Char('.') +
           parts.value(1, QStringLiteral("0")) + QLatin1Char('.') + parts.value(2, QStringLiteral("0"));
}

frmStart::frmStart(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmStart"));
    setWindowTitle(MainWindowCaption(QStringLiteral(TOVIMAR_VERSION)));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    BoxSource = BuildSide(1);
    BoxDest = BuildSide(2);
    BoxSource->setObjectName(QStringLiteral("BoxSource"));
    BoxDest->setObjectName(QStringLiteral("BoxDest"));

    const auto button = [this](const QString& name, const QString& caption) { return NamedButton(this, name, caption); };
    cmdTausch = button(QStringLiteral("cmdTausch"), QStringLiteral("<- &S&wap ->"));
    cmdCopy[1] = button(QStringLiteral("cmdCopy"), QStringLiteral("Copy &1 ->"));
    cmdCopy[2] = button(QStringLiteral("cmdCopy"), QStringLiteral("<- Copy &2"));
    cmdStart = button(QStringLiteral("cmdStart"), QStringLiteral("&Synchronize >>"));
    cmdCreates = button(QStringLiteral("cmdCreates"), QStringLiteral("Save &Create-Scripts to file >>"));
    cmdOptions = button(QStringLiteral("cmdOptions"), QStringLiteral("Edit Default &Options..."));
    cmdPreferences = button(QStringLiteral("cmdPreferences"), QStringLiteral("Edit &Preferences..."));
    cmdRecompile = button(QStringLiteral("cmdRecompile"), QStringLiteral("&Recompile Objects >>"));
    cmdDoku = button(QStringLiteral("cmdDoku"), QStringLiteral("&Update Documentation Tables"));
    btnHelp = button(QStringLiteral("btnHelp"), QStringLiteral("&Help"));
    cmdDoku->setVisible(SettingFlag(QStringLiteral("CreateDocumentation")));
    cmdStart->setDefault(true);

    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(cmdCopy[1]);
    middle->addWidget(cmdTausch);
    middle->addWidget(cmdCopy[2]);
    middle->addStretch();
    auto* sides = new QHBoxLayout;
    sides->addWidget(BoxSource);
    sides->addLayout(middle);
    sides->addWidget(BoxDest);
    auto* actions = new QGridLayout;
    actions->addWidget(cmdOptions, 0, 0);
    actions->addWidget(cmdPreferences, 1, 0);
    actions->addWidget(cmdRecompile, 0, 1);
    actions->addWidget(cmdDoku, 1, 1);
    actions->addWidget(btnHelp, 2, 0);
    actions->addWidget(cmdCreates, 0, 2);
    actions->addWidget(cmdStart, 1, 2);
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(sides);
    layout->addLayout(actions);

    connect(cmdStart, &QPushButton::clicked, this, [this] { StartComparison(false); });
    connect(cmdCreates, &QPushButton::clicked, this, [this] { StartComparison(true); });
    connect(cmdTausch, &QPushButton::clicked, this, &frmStart::Swap);
    connect(cmdCopy[1], &QPushButton::clicked, this, [this] { CopySide(1); });
    connect(cmdCopy[2], &QPushButton::clicked, this, [this] { CopySide(2); });
    connect(cmdRecompile, &QPushButton::clicked, this, &frmStart::RecompileObjects);
    connect(cmdDoku, &QPushButton::clicked, this, &frmStart::UpdateDocumentation);
    connect(btnHelp, &QPushButton::clicked, this, [] { OpenHelp(QStringLiteral("frmStart")); });
    connect(cmdPreferences, &QPushButton::clicked, this, [this] {
        frmPreferences dialog(this);
        dialog.exec();
    });
    connect(cmdOptions, &QPushButton::clicked, this, [this] {
        auto* dialog = new frmOptions(this, false);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->LoadForm();
        dialog->exec();
    });

    ChooseExportFile = [this](const QString& proposed) {
        return QFileDialog::getSaveFileName(this, AppTitle, proposed, QStringLiteral("SQL Scripts (*.sql);;All Files (*)"));
    };

    filling_ = true;
    FillServerNames();
    filling_ = false;
}

frmStart::~frmStart() = default;

QGroupBox* frmStart::BuildSide(int side) {
    auto* box = new QGroupBox(side == 1 ? QStringLiteral("Source-DB") : QStringLiteral("Destination-DB"), this);
    auto* filter = new SelectAllOnFocus(box);
    const auto named = [](QWidget* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    txtServer[side] = static_cast<QComboBox*>(named(new QComboBox(box), "txtServer"));
    txtDB[side] = static_cast<QComboBox*>(named(new QComboBox(box), "txtDB"));
    for (QComboBox* combo : {txtServer[side], txtDB[side]}) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMinimumWidth(240);
        combo->lineEdit()->installEventFilter(filter);
    }
    auto* frame = new QGroupBox(QStringLiteral("SQL-Server Authentication"), box);
    frame->setObjectName(side == 1 ? QStringLiteral("Frame1") : QStringLiteral("Frame2"));
    optWindowsauthentifizierung[side] =
        static_cast<QRadioButton*>(named(new QRadioButton(QStringLiteral("Windows Authentication"), frame),
                                         "optWindowsauthentifizierung"));
    optUsername_Passwort[side] = static_cast<QRadioButton*>(
        named(new QRadioButton(QStringLiteral("Username, Password"), frame), "optUsername_Passwort"));
    lblUsername[side] = static_cast<QLabel*>(named(new QLabel(QStringLiteral("Username:"), frame), "lblUsername"));
    txtUsername[side] = static_cast<QLineEdit*>(named(new QLineEdit(frame), "txtUsername"));
    lblPasswort[side] = static_cast<QLabel*>(named(new QLabel(QStringLiteral("Password:"), frame), "lblPasswort"));
    txtPasswort[side] = static_cast<QLineEdit*>(named(new QLineEdit(frame), "txtPasswort"));
    txtPasswort[side]->setEchoMode(QLineEdit::Password);
    txtUsername[side]->installEventFilter(filter);
    txtPasswort[side]->installEventFilter(filter);
    auto* auth = new QGridLayout(frame);
    auth->addWidget(optWindowsauthentifizierung[side], 0, 0, 1, 2);
    auth->addWidget(optUsername_Passwort[side], 1, 0, 1, 2);
    auth->addWidget(lblUsername[side], 2, 0);
    auth->addWidget(txtUsername[side], 2, 1);
    auth->addWidget(lblPasswort[side], 3, 0);
    auth->addWidget(txtPasswort[side], 3, 1);
    cmdDelServer[side] = static_cast<QPushButton*>(
        named(new QPushButton(QStringLiteral("Delete Server from list"), box), "cmdDelServer"));
    cmdDelDB[side] = static_cast<QPushButton*>(
        named(new QPushButton(QStringLiteral("Delete Database from list"), box), "cmdDelDB"));

    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("Server:"), box), 0, 0);
    grid->addWidget(txtServer[side], 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Database:"), box), 1, 0);
    grid->addWidget(txtDB[side], 1, 1);
    grid->addWidget(frame, 2, 0, 1, 2);
    auto* deletes = new QHBoxLayout;
    deletes->addWidget(cmdDelServer[side]);
    deletes->addWidget(cmdDelDB[side]);
    grid->addLayout(deletes, 3, 0, 1, 2);

    connect(txtServer[side], &QComboBox::editTextChanged, this, [this, side] { FillDBNames(side); });
    connect(txtDB[side], &QComboBox::editTextChanged, this, [this, side] { FillDBAuth(side); });
    connect(txtDB[side]->lineEdit(), &QLineEdit::returnPressed, this, [this, side] {
        if (txtDB[side]->currentText().trimmed().isEmpty()) txtDB[side]->setEditText(txtDB[3 - side]->currentText());
    });
    connect(optUsername_Passwort[side], &QRadioButton::clicked, this, [this, side] { SelectAuth(side, true, true); });
    connect(optWindowsauthentifizierung[side], &QRadioButton::clicked, this, [this, side] { SelectAuth(side, false, true); });
    connect(cmdDelServer[side], &QPushButton::clicked, this, [this, side] { DeleteServerFromList(side); });
    connect(cmdDelDB[side], &QPushButton::clicked, this, [this, side] { DeleteDatabaseFromList(side); });
    SelectAuth(side, false, false);
    return box;
}

void frmStart::SelectAuth(int side, bool sqlLogin, bool byUser) {
    (sqlLogin ? optUsername_Passwort : optWindowsauthentifizierung)[side]->setChecked(true);
    for (QWidget* widget : std::initializer_list<QWidget*>{lblUsername[side], txtUsername[side], lblPasswort[side], txtPasswort[side]})
        widget->setEnabled(sqlLogin);
    if (sqlLogin && byUser) txtUsername[side]->setFocus();
}

ConnectionParams frmStart::Params(int side) const {
    ConnectionParams params;
    params.Server = txtServer[side]->currentText();
    params.Database = txtDB[side]->currentText();
    params.SqlLogin = optUsername_Passwort[side]->isChecked();
    params.User = txtUsername[side]->text();
    params.Password = txtPasswort[side]->text();
    return params;
}

frmExecute* frmStart::ProgressWindow() {
    if (!progress_) progress_ = new frmExecute(this);
    return progress_;
}

void frmStart::ShowAgain() {
    QApplication::restoreOverrideCursor();
    show();
    raise();
}

std::shared_ptr<Tovimar_Database> frmStart::ConnectDatabase(int side) {
    const ConnectionParams params = Params(side);
    const ParamsProblem problem = CheckConnectionParams(side, params);
    if (!problem.Message.isEmpty()) {
        AppPrompt().Tell(problem.Message, PromptIcon::Exclamation);
        switch (problem.Focus) {
            case ParamsFocus::Server: txtServer[side]->setFocus(); break;
            case ParamsFocus::Database: txtDB[side]->setFocus(); break;
            case ParamsFocus::User: txtUsername[side]->setFocus(); break;
            case ParamsFocus::Password: txtPasswort[side]->setFocus(); break;
            case ParamsFocus::None: break;
        }
        return nullptr;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    NullProgress quiet;
    auto db = OpenDatabaseSource(params, quiet, AppPrompt());
    QApplication::restoreOverrideCursor();
    QCoreApplication::processEvents();
    return db;
}

void frmStart::StartComparison(bool exportOnly) {
    auto filters = std::make_shared<FilterSets>();
    filters->InitFilterSets();
    std::shared_ptr<Tovimar_Database> db1 = ConnectDatabase(1);
    if (!db1) return;
    db1->SetOtherObj(nullptr);
    std::shared_ptr<Tovimar_Database> db2 = exportOnly ? std::make_shared<Tovimar_Database>() : ConnectDatabase(2);
    if (!db2) return;
    db2->SetOtherObj(db1.get());
    SaveLastUsed(1);
    SaveLastUsed(2);
    if (options_) options_->close();
    options_ = new frmOptions(this, true);
    options_->setAttribute(Qt::WA_DeleteOnClose);
    connect(options_, &QObject::destroyed, this, [this] { options_ = nullptr; });
    options_->ExportOnly = exportOnly;
    options_->DB1 = db1;
    options_->DB2 = db2;
    options_->Filters = filters;
    options_->SourceDBName = txtDB[1]->currentText().trimmed();
    options_->DestDBName = txtDB[2]->currentText().trimmed();
    options_->LoadForm();
    options_->show();
    hide();
}

void frmStart::ParametersReady(std::shared_ptr<Tovimar_Database> db1, std::shared_ptr<Tovimar_Database> db2,
                               bool exportOnly, QWidget* parentForm, FilterSets& filters, const RunOptions& options) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (parentForm) parentForm->setEnabled(false);
    RunOptions runOptions = options;
    runOptions.ExportOnly = exportOnly;
    const RunResult result = LoadAndGenerate(*db1, *db2, filters, runOptions, *ProgressWindow(), AppPrompt());
    ProgressWindow()->hide();
    if (parentForm) parentForm->setEnabled(true);
    QApplication::restoreOverrideCursor();
    switch (result.Next) {
        case RunNext::MainWindow: ShowAgain(); break;
        case RunNext::Export: {
            ShowAgain();
            QString base = DefaultExportFileName(*db1, nullptr);
            const QString path = ChooseExportFile(GetScriptFileName(base, QStringLiteral(".sql")));
            if (!path.isEmpty()) ExportScripts(*ProgressWindow(), AppPrompt(), result.Scripts, *db1, path);
            ProgressWindow()->hide();
            break;
        }
        case RunNext::ScriptWindow: StartScriptReview(this, db1, db2, result.Scripts, false, runOptions.IgnoreDataLoss); break;
        case RunNext::RenameDialog:
            hide();
            StartScriptReview(this, db1, db2, result.Scripts, true, runOptions.IgnoreDataLoss);
            break;
    }
}

void frmStart::Swap() {
    swapping_ = true;
    const bool sqlLogin1 = optUsername_Passwort[1]->isChecked();
    const bool sqlLogin2 = optUsername_Passwort[2]->isChecked();
    const ConnectionParams one = Params(1);
    const ConnectionParams two = Params(2);
    txtServer[1]->setEditText(two.Server);
    txtServer[2]->setEditText(one.Server);
    txtDB[1]->setEditText(two.Database);
    txtDB[2]->setEditText(one.Database);
    txtUsername[1]->setText(two.User);
    txtUsername[2]->setText(one.User);
    txtPasswort[1]->setText(two.Password);
    txtPasswort[2]->setText(one.Password);
    swapping_ = false;
    SelectAuth(1, sqlLogin2, false);
    SelectAuth(2, sqlLogin1, false);
}

std::shared_ptr<Tovimar_Database> frmStart::LoadSourceForUtility(const QString& question, bool definitionObjectsOnly) {
    std::shared_ptr<Tovimar_Database> db = ConnectDatabase(1);
    if (!db) return nullptr;
    db->SetOtherObj(nullptr);
    if (AppPrompt().Ask(question, PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No) != PromptAnswer::Yes)
        return nullptr;
    SaveLastUsed(1);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    // Every object takes part: the built-in default filter, whatever a comparison chose.
    utilityFilters_ = std::make_shared<FilterSets>();
    utilityFilters_->InitFilterSets();
    db->Filter = utilityFilters_.get();
    bool loaded = false;
    try {
        loaded = LoadDBObjects(*db, *ProgressWindow(), definitionObjectsOnly);
    } catch (const TovimarException& e) {
        ProgressWindow()->hide();
        QApplication::restoreOverrideCursor();
        AppPrompt().Tell(FormatErrorLines(e), PromptIcon::Critical);
        ShowAgain();
        return nullptr;
    }
    ProgressWindow()->hide();
    QApplication::restoreOverrideCursor();
    if (!loaded) {
        ShowAgain();
        return nullptr;
    }
    return db;
}

void frmStart::RecompileObjects() {
    const auto db = LoadSourceForUtility(
        QStringLiteral("All Views, Procedures, Functions and Triggers in the Source-DB will be recompiled. Continue?"), true);
    if (!db) return;
    bool endApplication = false;
    try {
        const RecompileOutcome outcome =
            ::RecompileObjects(*db, *ProgressWindow(), AppPrompt(), false, QString(),
                               [this](Tovimar_Database& target, const ErrorCollection& errors) {
                                   frmErrors window(target, errors, this);
                                   window.exec();
                                   return window.IsContinue;
                               });
        endApplication = outcome.ErrorsShown;
    } catch (const TovimarException& e) {
        AppPrompt().Tell(FormatErrorLines(e), PromptIcon::Critical);
    }
    ProgressWindow()->hide();
    // After errors were shown the program ends there, as after a comparison's execution.
    if (endApplication) close();
    else ShowAgain();
}

void frmStart::UpdateDocumentation() {
    const auto db = LoadSourceForUtility(QStringLiteral("Database Documentation Tables will be updated. Continue?"), false);
    if (!db) return;
    try {
        DocumentationTables tables(*db, *ProgressWindow());
        if (tables.Update() == DocumentationTables::Outcome::Aborted)
            AppPrompt().Tell(QStringLiteral("Update of Documentation Tables aborted!"), PromptIcon::Exclamation);
        else
            AppPrompt().Tell(QStringLiteral("Documentation Tables successfully updated!"), PromptIcon::Information);
    } catch (const TovimarException& e) {
        AppPrompt().Tell(FormatErrorLines(e), PromptIcon::Critical);
    }
    ProgressWindow()->hide();
    ShowAgain();
}

void frmStart::CopySide(int from) {
    const int to = 3 - from;
    const ConnectionParams params = Params(from);
    txtServer[to]->setEditText(params.Server);
    txtDB[to]->setEditText(params.Database);
    txtUsername[to]->setText(params.User);
    txtPasswort[to]->setText(params.Password);
    SelectAuth(to, params.SqlLogin, false);
}

void frmStart::FillServerNames() {
    for (const QString& server : StoredServerNames()) {
        AddToList(txtServer[1], server);
        AddToList(txtServer[2], server);
    }
    txtServer[1]->setEditText(LastUsedServer(1));
    FillDBNames(1);
    txtServer[2]->setEditText(LastUsedServer(2));
    FillDBNames(2);
}

void frmStart::FillDBNames(int side) {
    if (swapping_) return;
    const QString server = txtServer[side]->currentText().trimmed();
    const QString typed = txtDB[side]->currentText();
    const QSignalBlocker block(txtDB[side]);
    txtDB[side]->clear();
    if (server.isEmpty()) {
        txtDB[side]->setEditText(typed);
        return;
    }
    for (const QString& database : StoredDatabaseNames(server)) AddToList(txtDB[side], database);
    const QString last = LastUsedDatabaseOf(server, side);
    txtDB[side]->setEditText(last.isEmpty() ? typed : last);
    FillDBAuth(side);
}

void frmStart::FillDBAuth(int side) {
    if (swapping_) return;
    const QString server = txtServer[side]->currentText().trimmed();
    const QString database = txtDB[side]->currentText().trimmed();
    const QString user = StoredUserName(server, database);
    if (!user.isEmpty()) {
        txtUsername[side]->setText(user);
        txtPasswort[side]->setText(LookupPassword(server, database, user));
        SelectAuth(side, true, false);
    } else {
        txtUsername[side]->clear();
        txtPasswort[side]->clear();
        SelectAuth(side, false, false);
    }
}

void frmStart::SaveLastUsed(int side) {
    if (side == 0) {
        SaveLastUsed(1);
        SaveLastUsed(2);
        return;
    }
    const ConnectionParams params = Params(side);
    if (params.Server.trimmed().isEmpty()) return;
    const QSignalBlocker blockServer(txtServer[side]);
    const QSignalBlocker blockDB(txtDB[side]);
    AddToList(txtServer[side], params.Server.trimmed());
    if (!params.Database.trimmed().isEmpty()) AddToList(txtDB[side], params.Database.trimmed());
    ::SaveLastUsed(side, params);
}

void frmStart::DeleteServerFromList(int side) {
    const QString server = txtServer[side]->currentText().trimmed();
    DeleteStoredServer(server);
    RemoveFromList(txtServer[1], server);
    RemoveFromList(txtServer[2], server);
}

void frmStart::DeleteDatabaseFromList(int side) {
    const QString server = txtServer[side]->currentText().trimmed();
    const QString database = txtDB[side]->currentText().trimmed();
    DeleteStoredDatabase(server, database);
    RemoveFromList(txtDB[1], database);
    RemoveFromList(txtDB[2], database);
}

void frmStart::FillDemo(const QString& sourceScript, const QString& destinationScript) {
    txtServer[1]->setEditText(sourceScript);
    txtDB[1]->setEditText(QStringLiteral("BookshopDev"));
    SelectAuth(1, false, false);
    txtServer[2]->setEditText(destinationScript);
    txtDB[2]->setEditText(QStringLiteral("Bookshop"));
    SelectAuth(2, false, false);
}
