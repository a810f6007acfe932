#pragma once
// Tovimar_Script: one generated script — the schema object it is for, its object type (Typ) and
// change kind (Action), and its SQL steps. A step is one statement text plus optional statements
// to run before (Pre) and after (Post) it; code objects use them for their SET options.
#include "schema/model.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// Between the statements of one step, and between steps, in the text of a script.
inline const QString StatementSeparator = QStringLiteral("\r\nGO\r\n");
inline const QString StepSeparator = QStringLiteral("\r\nGO\r\n\r\n");

class Tovimar_Script {
public:
    struct Step {
        QString SQL;
        QStringList Pre;
        QStringList Post;
    };

    QString Typ;     // "Table", "Column", "Index", "Default", "Check", "Relation", "FTI", "Trigger", ...
    QString Action;  // "CREATE", "DELETE", "CHANGE", "RENAME", "RECREATE" or "REDELETE"
    bool Repeatable = false;
    bool Checked = true;
    bool ShowIt = false;
    long Index = 0;                          // 1-based position in the sorted list
    Tovimar_Object* ScriptedObj = nullptr;  // not owned; the models outlive their scripts

    // The stored text when set; otherwise the FullName of the scripted object's table (a table
    // is its own table); empty for objects without a table.
    QString TableFullName() const;
    void SetTableFullName(const QString& fullName) { tableFullName_ = fullName; }

    void AddSQL(const QString& sql, const QStringList& pre = {}, const QStringList& post = {});
    int GetSQLCount() const { return static_cast<int>(steps_.size()); }
    // Pre statements, the SQL, the Post statements of step stepNo (1-based); empty when out of range.
    QStringList GetSQLSteps(int stepNo) const;
    // stepNo 0: every step (with Pre/Post) joined by StepSeparator; stepNo > 0: that step, with
    // its Pre/Post joined by StatementSeparator or its SQL alone.
    QString GetSQL(int stepNo, bool withPrePost = true) const;
    // "SCRIPT " + Action + " for " + Typ + " " + the scripted object's FullName with its table.
    QString GetTitle() const;
    void ClearSQL() { steps_.clear(); }
    const std::vector<Step>& Steps() const { return steps_; }

private:
    std::vector<Step> steps_;
    QString tableFullName_;
};

using ScriptPtr = std::shared_ptr<Tovimar_Script>;
// The script list: ordered, without keys.
using ScriptList = std::vector<ScriptPtr>;

// The table an object lives on: a table itself, a column's table, the table of an index,
// relation, default, check or trigger; none otherwise.
Tovimar_Table* ObjectTable(const Tovimar_Object* object);
