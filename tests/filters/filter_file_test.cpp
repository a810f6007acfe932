#include "filters/filter_file.h"

#include "platform/tovimar_exception.h"
#include "support/golden_text.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Every set below the root with its elements, one line each, in tree order: what a test
// compares to see that two FilterSets hold the same filters.
void DescribeSet(const Tovimar_FilterSet& set, QStringList& out) {
    out << QStringLiteral("set %1 %2 id=%3").arg(set.Key(), set.Checked ? QStringLiteral("on") : QStringLiteral("off"))
               .arg(set.SetID);
    for (const FilterElementPtr& e : set.Elements) {
        QString extra = e->FilterExtra;
        extra.replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n"));
        out << QStringLiteral("  #%1 %2 <%3> <%4> flags=%5 %6 extra=<%7>")
                   .arg(e->ElementID)
                   .arg(FilterOpName(e->FilterOp), e->ObjectName, e->ObjectTypes)
                   .arg(e->FilterFlags)
                   .arg(e->Checked ? QStringLiteral("on") : QStringLiteral("off"), extra);
    }
    for (const FilterSetPtr& sub : set.SubSets) DescribeSet(*sub, out);
}

QStringList Describe(const FilterSets& sets) {
    QStringList out;
    for (const FilterElementPtr& e : sets.Root()->Elements)
        out << QStringLiteral("root #%1 %2").arg(e->ElementID).arg(e->Checked ? QStringLiteral("on") : QStringLiteral("off"));
    for (const FilterSetPtr& sub : sets.Root()->SubSets) DescribeSet(*sub, out);
    return out;
}

// The first ```text block of the format description.
QString DocumentedExample() {
    QFile file(QStringLiteral(TOVIMAR_SOURCE_DIR "/docs/FILTER_FILE.md"));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    const QString doc = QString::fromUtf8(file.readAll());
    const qsizetype start = doc.indexOf(QStringLiteral("```text\n"));
    const qsizetype end = doc.indexOf(QStringLiteral("```"), start + 8);
    return start < 0 || end < 0 ? QString() : doc.mid(start + 8, end - start - 8);
}

// Loads text that must be refused and returns the error.
TovimarException LoadError(const QString& text) {
    FilterSets sets;
    const QStringList before = Describe(sets);
    try {
        LoadFilterText(text, QStringLiteral("f.txt"), sets);
    } catch (const TovimarException& e) {
        EXPECT_EQ(Describe(sets), before) << "a refused file must change nothing";
        return e;
    }
    ADD_FAILURE() << "accepted: " << text.toStdString();
    return TovimarException(0, QString(), QString());
}

}  // namespace

TEST(FilterFileTest, DocumentedExampleLoadsIntoTheRightSets) {
    const QString example = DocumentedExample();
    ASSERT_FALSE(example.isEmpty()) << "docs/FILTER_FILE.md has no example";
    FilterSets sets;
    LoadFilterText(example, QStringLiteral("example"), sets);

    // Sets in tree order with their keys and ids, each element with its operation, pattern,
    // types, flags, state and extra lines.
    ExpectGolden(QStringLiteral("filter_file_example"), Describe(sets).join(u'\n') + u'\n', QStringLiteral("expected.txt"));

    // Every set is registered under its key, every element under its id.
    EXPECT_EQ(sets.GetFilterSet(QString(), QStringLiteral(".Sales.Archive."))->SetName, QStringLiteral("Archive"));
    EXPECT_EQ(sets.GetFilterSet(QString(), QStringLiteral(".Sales.Archive."))->Path, QStringLiteral(".Sales."));
    EXPECT_TRUE(sets.Elements().Contains(QStringLiteral("#10")));

    // And the filters work: Order Details is forced in, the German orders are copied, the
    // collations of tables are compared now.
    long flags = 0;
    QStringList extras;
    EXPECT_TRUE(sets.IsObjectIncluded(QStringLiteral("ta"), QStringLiteral("[dbo].[Order Details]"), 2,
                                      QStringLiteral("dbo"), flags, extras));
    EXPECT_TRUE(sets.IsObjectIncluded(QStringLiteral("ta"), QStringLiteral("[dbo].[Orders]"), 2, QStringLiteral("dbo"),
                                      flags, extras));
    EXPECT_EQ(flags, 4 | 8 | 16);
    ASSERT_EQ(extras.size(), 1);
    EXPECT_TRUE(extras[0].endsWith(QStringLiteral("N'Germany'")));
    EXPECT_FALSE(sets.IsObjectIncluded(QStringLiteral("ta"), QStringLiteral("[dbo].[tmpX]"), 2, QStringLiteral("dbo"),
                                       flags, extras));
    EXPECT_FALSE(sets.IsObjectIncluded(QStringLiteral("vi"), QStringLiteral("[guest].[v]"), 2, QStringLiteral("guest"),
                                       flags, extras));
    EXPECT_FALSE(sets.IsObjectIncluded(QStringLiteral("ca"), QStringLiteral("[Main]"), 1, QString(), flags, extras));
    EXPECT_TRUE(sets.GetCreateSchemaCache());  // the -Cache element's set is off
}

TEST(FilterFileTest, WrittenFiltersReadBackTheSame) {
    FilterSets sets;
    LoadFilterText(DocumentedExample(), QStringLiteral("example"), sets);
    // Values the writer must quote or carry as they stand.
    Tovimar_FilterSet* odd = sets.GetFilterSet(sets.Root()->Key(), QStringLiteral("Odd \"quoted\" # set"));
    odd->SetID = 4;
    odd->Checked = true;
    sets.Root()->SubSets.Add(sets.Sets().Item(odd->Key()));
    odd->Elements.Add(sets.NewFilterElement(11, FilterOpForceInclude, QStringLiteral("#temp%"), QStringLiteral("Tab"),
                                            FilterCopyData, QStringLiteral("|a|\r\n\r\n  # not a comment  \r\n"), true));
    odd->Elements.Add(sets.NewFilterElement(12, FilterOpExclude, QStringLiteral("[dbo].[a b].[\"c\"]"),
                                            QStringLiteral("Trig"), FilterNoSchemaCache, QString(), false));
    odd->Elements.Add(sets.NewFilterElement(13, FilterOpInclude, QStringLiteral("DOMAIN\\user.%"),
                                            QStringLiteral("Tab View Proc Func Trig Grant Cat"),
                                            FilterCollations | FilterFileGroups, QString(), true));

    const QString text = FilterFileText(sets);
    FilterSets again;
    LoadFilterText(text, QStringLiteral("written"), again);
    EXPECT_EQ(Describe(again), Describe(sets)) << text.toStdString();
}

TEST(FilterFileTest, MalformedLinesAreRefusedWithTheirLineNumber) {
    struct Case {
        const char* Text;
        int Line;
        const char* What;
    };
    const Case cases[] = {
        {"set A\n  Includ dbo.% Tab\nend\n", 2, "unknown operation \"Includ\""},
        {"set A\n  Include dbo.%\nend\n", 2, "Include needs an object name and object types"},
        {"set A\n\n  Exclude dbo.% Tabel\nend\n", 3, "unknown object type \"Tabel\""},
        {"set A\n  Include dbo.% Tab -Collation\nend\n", 2, "unknown option \"-Collation\""},
        {"set A\n  Exclude dbo.% Tab -Collations\nend\n", 2, "Exclude takes no -Collations"},
        {"set A\n  Force Exclude dbo.% Tab CopyData\nend\n", 2, "Force Exclude takes no"},
        {"set A\n  Include dbo.% Tab -Collations +Collations\nend\n", 2, "exclude each other"},
        {"set A\n  Include dbo.% Tab +FileGroups -FileGroups\nend\n", 2, "exclude each other"},
        {"set A\n  Include dbo.% Tab,View CopyData\nend\n", 2, "CopyData applies to tables only"},
        {"set A\n  Include dbo.[Order Tab\nend\n", 2, "is not closed"},
        {"set A\n  Include \"dbo.[Order\" Tab\nend\n", 2, "object name dbo.[Order: Nesting Error"},
        {"set A\n  Include \"dbo.Order Tab\nend\n", 2, "a quoted text is not closed"},
        {"set A\n  Include \"\" Tab\nend\n", 2, "the object name is empty"},
        {"set A\n  Include dbo.% Tab\n\n  | cond\nend\n", 4, "must follow an element"},
        {"| cond\n", 1, "must follow an element"},
        {"set A\nend\nend\n", 3, "\"end\" without a set"},
        {"# top\nset A\n  set B\n  end\n", 2, "the set \"A\" is not closed"},
        {"set A.B\nend\n", 1, "contains a \".\""},
        {"set\n", 1, "set needs a name"},
        {"set A maybe\nend\n", 1, "unexpected \"maybe\""},
        {"set A\nend\nset a\nend\n", 3, "already defined at line 1"},
        {"Include dbo.% Tab\n", 1, "an element must stand inside a set"},
        {"set A\n  default -Collations off\nend\n", 2, "default belongs to the top level"},
        {"default -Cache off\n", 1, "unknown default \"-Cache\""},
        {"default -Collations\n", 1, "expected default -Collations on|off"},
        {"set A\nend x\n", 2, "unexpected \"x\" after end"},
    };
    for (const Case& c : cases) {
        const TovimarException e = LoadError(QString::fromUtf8(c.Text));
        const QString prefix = QStringLiteral("f.txt, line %1: ").arg(c.Line);
        EXPECT_EQ(e.Number, FilterFileSyntaxError) << c.Text;
        EXPECT_EQ(e.Source, QStringLiteral("LoadFilterFile")) << c.Text;
        EXPECT_TRUE(e.Description.startsWith(prefix) && e.Description.contains(QString::fromUtf8(c.What)))
            << "got: " << e.Description.toStdString() << "\nwanted line " << c.Line << ": " << c.What;
    }
}

TEST(FilterFileTest, SpellingVariantsAndASecondFileBelowTheFirst) {
    FilterSets sets;
    LoadFilterText(QStringLiteral("SET A ON\n"
                                  "  \"Force Include\" [dbo].[x y] table,VIEW, # a comment\n"
                                  "  force exclude dbo.z *\n"
                                  "  include dbo.w Tab Copy Data, -FileGroups, -Cache\n"
                                  "END\n"),
                   QStringLiteral("a"), sets);
    QStringList expected{
        QStringLiteral("root #-1 on"),
        QStringLiteral("root #-2 on"),
        QStringLiteral("set .A. on id=1"),
        QStringLiteral("  #1 Force Include <[dbo].[x y]> <Tab View> flags=0 on extra=<>"),
        QStringLiteral("  #2 Force Exclude <dbo.z> <Tab View Proc Func Trig Grant Cat> flags=0 on extra=<>"),
        QStringLiteral("  #3 Include <dbo.w> <Tab> flags=52 on extra=<>"),
    };
    EXPECT_EQ(Describe(sets), expected);

    // A second file adds after the first, with fresh ids; a set the first made is refused.
    LoadFilterText(QStringLiteral("set B\n  Exclude % Proc\nend\n"), QStringLiteral("b"), sets);
    EXPECT_EQ(Describe(sets).last(), QStringLiteral("  #4 Exclude <%> <Proc> flags=0 on extra=<>"));
    EXPECT_EQ(sets.GetFilterSet(QString(), QStringLiteral(".B."))->SetID, 2);
    try {
        LoadFilterText(QStringLiteral("\n\nset a\nend\n"), QStringLiteral("c"), sets);
        ADD_FAILURE() << "a set that exists already must be refused";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Description, QStringLiteral("c, line 3: the set \"a\" exists already"));
    }
}

TEST(FilterFileTest, FilesAreReadAsUtf8WithAnyLineEnds) {
    QTemporaryDir dir;
    FilterSets sets;
    LoadFilterFile(WriteFile(dir, QStringLiteral("filters.txt"),
                             "\xEF\xBB\xBFset Stra\xC3\x9F" "e\r\n  Include dbo.Orders Tab CopyData\r\n  | \r\n  | a = 1\r\nend\r\n"),
                   sets);
    const QStringList expected{
        QStringLiteral("root #-1 on"),
        QStringLiteral("root #-2 on"),
        QStringLiteral("set .Straße. on id=1"),
        QStringLiteral("  #1 Include <dbo.Orders> <Tab> flags=16 on extra=<\\r\\na = 1>"),
    };
    EXPECT_EQ(Describe(sets), expected);

    try {
        LoadFilterFile(dir.filePath(QStringLiteral("missing.txt")), sets);
        ADD_FAILURE() << "a missing file must be refused";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, FilterFileOpenError);
        EXPECT_TRUE(e.Description.contains(QStringLiteral("missing.txt"))) << e.Description.toStdString();
    }

    EXPECT_THROW(LoadFilterFile(WriteFile(dir, QStringLiteral("bad.txt"), "set \xFF\xFE\nend\n"), sets), TovimarException);
}
