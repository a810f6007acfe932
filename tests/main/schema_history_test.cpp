// Syncs between databases with a history: constraints the server named, columns dropped under
// keys, changes that cannot work on the rows there are, scripts after a failure. Each scenario is
// proved by running the sync on the simulated server.
#include "schema/constraint_links.h"
#include "support/qt_print.h"
#include "support/script_pair.h"

namespace {

// One schema with every kind of unnamed constraint.
const QByteArray Unnamed =
    "CREATE TABLE dbo.Parent (ID int NOT NULL PRIMARY KEY, Code varchar (10) NOT NULL UNIQUE,\n"
    "  Qty int NOT NULL DEFAULT (0) CHECK (Qty >= 0), Quantity int NULL DEFAULT (1))\nGO\n"
    "CREATE TABLE dbo.Child (ID int NOT NULL PRIMARY KEY, ParentID int NULL REFERENCES dbo.Parent (ID),\n"
    "  Note varchar (20) NULL DEFAULT ('x'), CHECK (ID > 0))\nGO\n";
// Created after other objects, the same schema gets other names.
const QByteArray Shifted = "CREATE TABLE dbo.Other (X int NOT NULL PRIMARY KEY, Y int NULL DEFAULT (3))\nGO\n"
                           "DROP TABLE dbo.Other\nGO\n";

}  // namespace

TEST(SchemaHistory, GeneratedNamesAreRecognisedAsTheServerFormsThem) {
    const struct {
        const char* Name;
        const char* Prefix;
        bool Generated;
    } cases[] = {
        {"PK__Cta_Cte_Hou_Exp___540C7B00", "PK", true},  // 16 characters of the table
        {"DF__dtpropert__versi__182C9B23", "DF", true},   // 9 of the table, 5 of the column
        {"FK__roysched__title___15502E78", "FK", true},   // 8 and 6
        {"CK__authors__75D8BBAE", "CK", true},
        {"PK__T__75d8bbae", "PK", false},                  // the server writes upper-case hex
        {"PK__Cta_Cte_Hou_Exp_Mar__540C7B00", "PK", false}, // longer than the server makes it
        {"DF__Orders__540C7B00", "DF", false},              // a default names its column
        {"PK_Orders", "PK", false},
        {"UQ__Orders__540C7B00", "PK", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsGeneratedConstraintName(QString::fromLatin1(c.Name), QString::fromLatin1(c.Prefix)), c.Generated)
            << c.Name;
}

TEST(SchemaHistory, TheSameSchemaWithOtherGeneratedNamesHasNoDifferences) {
    const VerifiedPair same = VerifyScripts(Unnamed, Shifted + Unnamed);
    EXPECT_EQ(same.Scripts, QStringList());
    EXPECT_TRUE(same.Report.Converged());

    // A changed default and a new check are scripted against the Destination's names.
    QByteArray changed = Unnamed;
    changed.replace("DEFAULT (1)", "DEFAULT (2)").replace("CHECK (ID > 0)", "CHECK (ID > 1)");
    const VerifiedPair other = VerifyScripts(changed, Shifted + Unnamed);
    EXPECT_EQ(other.Scripts.size(), 3) << other.Scripts.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(other.Scripts.filter(QStringLiteral("CHANGE\tDefault\t[dbo].[Parent].[DF__Parent__Quant")).size() == 1)
        << other.Scripts.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(other.Report.Converged()) << other.Report.Remaining.join(QLatin1Char('\n')).toStdString();
}

TEST(SchemaHistory, AColumnIsDroppedAfterTheKeysThatUsedIt) {
    const VerifiedPair result = VerifyScripts(
        "CREATE TABLE dbo.P (ID int NOT NULL, CONSTRAINT PK_P PRIMARY KEY (ID))\nGO\n"
        "CREATE TABLE dbo.T (ID int NOT NULL, A int NOT NULL, CONSTRAINT PK_T PRIMARY KEY (ID),\n"
        "  CONSTRAINT FK_T FOREIGN KEY (A) REFERENCES dbo.P (ID), CONSTRAINT CK_T CHECK (A > 0))\nGO\n"
        "CREATE INDEX IX_T ON dbo.T (A)\nGO\n",
        "CREATE TABLE dbo.P (ID int NOT NULL, CONSTRAINT PK_P PRIMARY KEY (ID))\nGO\n"
        "CREATE TABLE dbo.T (ID int NOT NULL, A int NOT NULL, B int NOT NULL, CONSTRAINT PK_T PRIMARY KEY (ID, B),\n"
        "  CONSTRAINT FK_T FOREIGN KEY (B) REFERENCES dbo.P (ID), CONSTRAINT CK_T CHECK (A > B))\nGO\n"
        "CREATE INDEX IX_T ON dbo.T (A, B)\nGO\n"
        "INSERT INTO dbo.P VALUES (2)\nINSERT INTO dbo.P VALUES (3)\nINSERT INTO dbo.T VALUES (1, 3, 2)\nGO\n");
    EXPECT_TRUE(result.Report.Converged()) << result.Scripts.join(QLatin1Char('\n')).toStdString();
    const qsizetype dropB = result.Scripts.indexOf(QStringLiteral("DELETE\tColumn\t[dbo].[T].[B]"));
    ASSERT_GE(dropB, 0) << result.Scripts.join(QLatin1Char('\n')).toStdString();
    EXPECT_GT(dropB, result.Scripts.indexOf(QStringLiteral("CHANGE\tIndex\t[dbo].[T].[PK_T]")));
    EXPECT_GT(dropB, result.Scripts.indexOf(QStringLiteral("CHANGE\tRelation\t[dbo].[T].[FK_T]")));
}

TEST(SchemaHistory, ChangesThatCannotWorkOnTheRowsStopTheRun) {
    const QByteArray dest = "CREATE TABLE dbo.T (ID int NOT NULL PRIMARY KEY, Name varchar (40) NULL, N int NULL)\nGO\n"
                            "INSERT INTO dbo.T VALUES (1, 'a name longer than ten', 300)\nGO\n";
    const VerifiedPair stopped = VerifyScripts("CREATE TABLE dbo.T (ID int NOT NULL PRIMARY KEY, Name varchar (10) NULL,\n"
                                    "  N tinyint NOT NULL, Code int NOT NULL)\nGO\n",
                                    dest);
    QStringList named;
    for (const ImpossibleChange& change : stopped.Report.Impossible) named << change.Column;
    EXPECT_EQ(named, (QStringList{QStringLiteral("[dbo].[T].[Code]"), QStringLiteral("[dbo].[T].[Name]"),
                                  QStringLiteral("[dbo].[T].[N]")}));
    EXPECT_TRUE(stopped.Report.LogFile.isEmpty() || !QFile::exists(stopped.Report.LogFile));
    EXPECT_FALSE(stopped.Report.Converged());

    // Converting the columns cuts the long name: a way out for narrowing only.
    ComparisonOptions convert;
    convert.IgnoreDataLoss = true;
    const VerifiedPair converted =
        VerifyScripts("CREATE TABLE dbo.T (ID int NOT NULL PRIMARY KEY, Name varchar (10) NULL, N int NULL)\nGO\n", dest, convert);
    EXPECT_TRUE(converted.Report.Impossible.empty());
    EXPECT_TRUE(converted.Report.Converged()) << converted.Report.Remaining.join(QLatin1Char('\n')).toStdString();
}

TEST(SchemaHistory, ScriptsOfATableWhoseRebuildFailedAreSkipped) {
    // No check foresees the text that does not convert to a number: the rebuild fails.
    const VerifiedPair result = VerifyScripts(
        "CREATE TABLE dbo.T (ID int NOT NULL, V int NULL, CONSTRAINT PK_T PRIMARY KEY (ID))\nGO\n"
        "CREATE INDEX IX_T ON dbo.T (V)\nGO\n",
        "CREATE TABLE dbo.T (ID int NOT NULL, V varchar (10) NULL, CONSTRAINT PK_T PRIMARY KEY (ID))\nGO\n"
        "CREATE INDEX IX_T ON dbo.T (V)\nGO\nINSERT INTO dbo.T VALUES (1, 'abc')\nGO\n");
    ASSERT_EQ(result.Report.Errors.size(), 1u);
    EXPECT_EQ(result.Report.Errors[0]->Script->Typ, QStringLiteral("Table"));
    QStringList skipped;
    for (const auto& entry : result.Report.Skipped) skipped << entry.Script->GetTitle();
    EXPECT_EQ(skipped, (QStringList{QStringLiteral("SCRIPT RECREATE for Index [dbo].[T].[IX_T]"),
                                    QStringLiteral("SCRIPT RECREATE for Index [dbo].[T].[PK_T]")}));
}
