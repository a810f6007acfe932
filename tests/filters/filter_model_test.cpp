#include "filters/filter_model.h"

#include "platform/tovimar_exception.h"
#include "schema/sql_text.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The verdict and what came with it, for one question.
struct Verdict {
    bool Included = false;
    long Flags = 0;
    QStringList Extras;
};

Verdict Ask(FilterSets& sets, const char* code, const QString& fullName, int parts,
            const QString& owner = QStringLiteral("dbo")) {
    Verdict v;
    v.Included = sets.IsObjectIncluded(QString::fromLatin1(code), fullName, parts, owner, v.Flags, v.Extras);
    return v;
}

QString Name(const char* owner, const char* name) { return QuoteName(QString::fromUtf8(owner), QString::fromUtf8(name)); }

class FilterModelTest : public ::testing::Test {
protected:
    // A checked set below parent (the root when none).
    Tovimar_FilterSet* AddSet(const char* name, Tovimar_FilterSet* parent = nullptr, bool checked = true) {
        if (!parent) parent = sets.Root();
        Tovimar_FilterSet* set = sets.GetFilterSet(parent->Key(), QString::fromUtf8(name));
        set->Checked = checked;
        parent->SubSets.Add(sets.Sets().Item(set->Key()));
        return set;
    }
    FilterElementPtr AddElement(Tovimar_FilterSet* set, int op, const char* pattern, const char* types, long flags = 0,
                                const QString& extra = QString(), bool checked = true) {
        FilterElementPtr element = sets.NewFilterElement(++lastId, op, QString::fromUtf8(pattern),
                                                         QString::fromUtf8(types), flags, extra, checked);
        set->Elements.Add(element);
        return element;
    }

    FilterSets sets;
    int lastId = 0;
};

}  // namespace

TEST_F(FilterModelTest, DefaultsIncludeEverythingWithoutCollationsAndFileGroupsOfTables) {
    ASSERT_EQ(sets.Sets().Count(), 1);
    const Verdict table = Ask(sets, "ta", Name("dbo", "Orders"), 2);
    const Verdict view = Ask(sets, "vi", Name("dbo", "Invoices"), 2);
    const Verdict proc = Ask(sets, "pr", Name("dbo", "CustOrderHist"), 2);
    EXPECT_TRUE(table.Included);
    EXPECT_EQ(table.Flags, 5);
    EXPECT_TRUE(view.Included);
    EXPECT_EQ(view.Flags, 1);
    EXPECT_TRUE(proc.Included);
    EXPECT_EQ(proc.Flags, 0);
    EXPECT_TRUE(table.Extras.isEmpty());
    EXPECT_TRUE(sets.GetCreateSchemaCache());

    // Init starts over: added sets and elements are gone, the defaults are back.
    AddElement(AddSet("A"), FilterOpExclude, "%", "Tab");
    EXPECT_FALSE(Ask(sets, "ta", Name("dbo", "Orders"), 2).Included);
    sets.InitFilterSets();
    EXPECT_EQ(sets.Sets().Count(), 1);
    EXPECT_EQ(sets.Elements().Count(), 2);
    EXPECT_TRUE(Ask(sets, "ta", Name("dbo", "Orders"), 2).Included);
}

TEST_F(FilterModelTest, WithinOneSetTheHighestOperationWinsWhateverTheOrder) {
    Tovimar_FilterSet* set = AddSet("A");
    AddElement(set, FilterOpExclude, "dbo.Temp%", "Tab");
    AddElement(set, FilterOpInclude, "dbo.%", "Tab");
    EXPECT_TRUE(Ask(sets, "ta", Name("dbo", "TempX"), 2).Included);

    Tovimar_FilterSet* reversed = AddSet("B", nullptr, false);
    AddElement(reversed, FilterOpInclude, "dbo.%", "Tab");
    AddElement(reversed, FilterOpExclude, "dbo.Temp%", "Tab");
    set->Checked = false;
    reversed->Checked = true;
    EXPECT_TRUE(Ask(sets, "ta", Name("dbo", "TempX"), 2).Included);

    // Force Exclude outranks Include; what it does not match stays included.
    AddElement(reversed, FilterOpForceExclude, "dbo.Temp%", "Tab");
    EXPECT_FALSE(Ask(sets, "ta", Name("dbo", "TempX"), 2).Included);
    EXPECT_EQ(Ask(sets, "ta", Name("dbo", "TempX"), 2).Flags, 0);
    EXPECT_TRUE(Ask(sets, "ta", Name("dbo", "Orders"), 2).Included);

    // Force Include outranks Force Exclude, even when it comes first.
    reversed->Elements.Insert(0, sets.NewFilterElement(99, FilterOpForceInclude, QStringLiteral("dbo.%"),
                                                       QStringLiteral("Tab"), 0, QString(), true));
    EXPECT_TRUE(Ask(sets, "ta", Name("dbo", "TempX"), 2).Included);

    // An element that does not name the object's type has no say.
    EXPECT_TRUE(Ask(sets, "vi", Name("dbo", "TempView"), 2).Included);
}

TEST_F(FilterModelTest, IncludeFlagsAddUpAndAnExcludeOfEqualRankStartsOver) {
    Tovimar_FilterSet* set = AddSet("A");
    AddElement(set, FilterOpInclude, "dbo.%", "Tab", FilterFileGroups);
    AddElement(set, FilterOpInclude, "dbo.Orders", "Tab", FilterNoSchemaCache);
    // root: 1 | 4 from the defaults, the set: 8 | 32
    EXPECT_EQ(Ask(sets, "ta", Name("dbo", "Orders"), 2).Flags, 1 | 4 | 8 | 32);
    EXPECT_EQ(Ask(sets, "ta", Name("dbo", "Shippers"), 2).Flags, 1 | 4 | 8);

    // A later Force Exclude drops the flags gathered before it; a Force Include after it
    // gathers only its own.
    AddElement(set, FilterOpForceExclude, "dbo.Orders", "Tab");
    AddElement(set, FilterOpForceInclude, "dbo.Ord%", "Tab", FilterCollations);
    EXPECT_EQ(Ask(sets, "ta", Name("dbo", "Orders"), 2).Flags, 1 | 4 | 2);
}

TEST_F(FilterModelTest, ActiveSubSetsOverruleTheirParentsElements) {
    Tovimar_FilterSet* parent = AddSet("Parent");
    AddElement(parent, FilterOpForceExclude, "dbo.Orders", "Tab");
    EXPECT_FALSE(Ask(sets, "ta", Name("dbo", "Orders"), 2).Included);

    Tovimar_FilterSet* child = AddSet("Child", parent);
    EXPECT_EQ(child->Key(), QStringLiteral(".Parent.Child."));
    AddElement(child, FilterOpInclude, "dbo.Orders", "Tab");
    const Verdict orders = Ask(sets, "ta", Name("dbo", "Orders"), 2);
    EXPECT_TRUE(orders.Included);
    EXPECT_EQ(orders.Flags, 5);

    // A sub-set's exclusion beats its parent's inclusion and drops the parent's flags; one
    // including sibling is enough to include.
    Tovimar_FilterSet* procs = AddSet("Procs");
    AddElement(procs, FilterOpExclude, "%", "Proc");
    EXPECT_FALSE(Ask(sets, "pr", Name("dbo", "CustOrderHist"), 2).Included);
    EXPECT_FALSE(Ask(sets, "pr", Name("sales", "Anything"), 2, QString()).Included);
    Tovimar_FilterSet* keep = AddSet("Keep");
    AddElement(keep, FilterOpInclude, "dbo.Cust%", "Proc");
    EXPECT_TRUE(Ask(sets, "pr", Name("dbo", "CustOrderHist"), 2).Included);
    EXPECT_FALSE(Ask(sets, "pr", Name("dbo", "SalesByYear"), 2).Included);

    // On the root, the same Exclude leaves tables alone.
    sets.InitFilterSets();
    AddElement(sets.Root(), FilterOpExclude, "%", "Proc");
    EXPECT_FALSE(Ask(sets, "pr", Name("dbo", "CustOrderHist"), 2).Included);
    const Verdict table = Ask(sets, "ta", Name("dbo", "Orders"), 2);
    EXPECT_TRUE(table.Included);
    EXPECT_EQ(table.Flags, 5);
}

TEST_F(FilterModelTest, UncheckedSetsAndElementsAreIgnoredWithEverythingBelowThem) {
    Tovimar_FilterSet* off = AddSet("Off", nullptr, false);
    Tovimar_FilterSet* below = AddSet("Below", off);
    AddElement(below, FilterOpForceExclude, "%", "Tab View");
    AddElement(off, FilterOpForceExclude, "%", "Tab View");
    EXPECT_TRUE(Ask(sets, "ta", Name("dbo", "Orders"), 2).Included);
    EXPECT_EQ(Ask(sets, "ta", Name("dbo", "Orders"), 2).Flags, 5);

    Tovimar_FilterSet* on = AddSet("On");
    AddElement(on, FilterOpForceExclude, "%", "View", 0, QString(), false);
    EXPECT_TRUE(Ask(sets, "vi", Name("dbo", "Invoices"), 2).Included);

    // Clearing the root switches every filter off: everything is included, without flags.
    sets.Root()->Checked = false;
    AddElement(on, FilterOpExclude, "%", "Tab");
    const Verdict table = Ask(sets, "ta", Name("dbo", "Orders"), 2);
    EXPECT_TRUE(table.Included);
    EXPECT_EQ(table.Flags, 0);
}

TEST_F(FilterModelTest, CollationAndFileGroupOptOutsWinOverOptIns) {
    // Within one set -Collations clears +Collations; -FileGroups clears +FileGroups.
    Tovimar_FilterSet* set = AddSet("A");
    AddElement(set, FilterOpInclude, "%", "View", FilterCollations);
    AddElement(set, FilterOpInclude, "%", "View", FilterNoCollations);
    EXPECT_EQ(Ask(sets, "vi", Name("dbo", "V"), 2).Flags, 1);
    AddElement(set, FilterOpInclude, "%", "Proc", FilterFileGroups);
    AddElement(set, FilterOpInclude, "%", "Proc", FilterNoFileGroups);
    EXPECT_EQ(Ask(sets, "pr", Name("dbo", "P"), 2).Flags, 4);

    // The same among the root's own elements, where no parent set clears them afterwards.
    sets.InitFilterSets();
    AddElement(sets.Root(), FilterOpInclude, "%", "Tab", FilterCollations | FilterFileGroups);
    EXPECT_EQ(Ask(sets, "ta", Name("dbo", "T"), 2).Flags, 1 | 4);

    // +Collations below cannot undo the root's -Collations: bit 1 stays, so collations are
    // not compared.
    sets.InitFilterSets();
    Tovimar_FilterSet* parent = AddSet("Parent");
    AddElement(parent, FilterOpInclude, "%", "Tab", FilterCollations | FilterFileGroups);
    EXPECT_EQ(Ask(sets, "ta", Name("dbo", "T"), 2).Flags, 1 | 2 | 4 | 8);

    // -Collations in a sub-set removes its parent's +Collations (and the same for file groups).
    Tovimar_FilterSet* child = AddSet("Child", parent);
    AddElement(child, FilterOpInclude, "%", "Tab", FilterNoCollations | FilterNoFileGroups);
    EXPECT_EQ(Ask(sets, "ta", Name("dbo", "T"), 2).Flags, 1 | 4);
}

TEST_F(FilterModelTest, CopyDataCollectsTheDefinitionsOfTheDecidingIncludes) {
    Tovimar_FilterSet* set = AddSet("A");
    AddElement(set, FilterOpInclude, "dbo.Orders", "Tab", FilterCopyData, QStringLiteral("Notes\r\nShipVia = 1"));
    AddElement(set, FilterOpInclude, "dbo.Ord%", "Tab", 0, QStringLiteral("\r\nShipVia = 2"));
    // An include with neither Copy Data nor a text adds no empty definition (which would copy
    // every row and keep none).
    AddElement(set, FilterOpInclude, "dbo.%", "Tab", FilterFileGroups);
    const Verdict orders = Ask(sets, "ta", Name("dbo", "Orders"), 2);
    EXPECT_EQ(orders.Flags, 1 | 4 | 8 | 16);
    EXPECT_EQ(orders.Extras, (QStringList{QStringLiteral("Notes\r\nShipVia = 1"), QStringLiteral("\r\nShipVia = 2")}));

    // A text before Copy Data applies is not a definition.
    const Verdict details = Ask(sets, "ta", Name("dbo", "Order Details"), 2);
    EXPECT_EQ(details.Flags, 1 | 4 | 8);
    EXPECT_TRUE(details.Extras.isEmpty());

    // A sub-set's definitions come first, then the parent's own.
    Tovimar_FilterSet* child = AddSet("Child", set);
    AddElement(child, FilterOpInclude, "dbo.Orders", "Tab", FilterCopyData, QString());
    EXPECT_EQ(Ask(sets, "ta", Name("dbo", "Orders"), 2).Extras,
              (QStringList{QString(), QStringLiteral("Notes\r\nShipVia = 1"), QStringLiteral("\r\nShipVia = 2")}));

    // An exclusion of higher rank empties what was collected.
    AddElement(child, FilterOpForceExclude, "dbo.Orders", "Tab");
    const Verdict excluded = Ask(sets, "ta", Name("dbo", "Orders"), 2);
    EXPECT_FALSE(excluded.Included);
    EXPECT_EQ(excluded.Flags, 0);
    EXPECT_TRUE(excluded.Extras.isEmpty());
}

TEST_F(FilterModelTest, ObjectsOfOtherOwnersNeedTheirOwnerIncluded) {
    Tovimar_FilterSet* set = AddSet("Owners");
    AddElement(set, FilterOpExclude, "guest", "Grant");
    const Verdict guest = Ask(sets, "ta", Name("guest", "Orders"), 2, QStringLiteral("guest"));
    EXPECT_FALSE(guest.Included);
    EXPECT_EQ(guest.Flags, 0);
    EXPECT_TRUE(Ask(sets, "ta", Name("sales", "Orders"), 2, QStringLiteral("sales")).Included);

    // dbo is never asked about, whatever its spelling.
    AddElement(set, FilterOpExclude, "dbo", "Grant");
    EXPECT_TRUE(Ask(sets, "ta", Name("dbo", "Orders"), 2, QStringLiteral("DBO")).Included);
    // The owner is asked about as [owner], so a bracketed pattern works as well.
    AddElement(set, FilterOpExclude, "[sales]", "Grant");
    EXPECT_FALSE(Ask(sets, "ta", Name("sales", "Orders"), 2, QStringLiteral("sales")).Included);
}

// Pieces anchor at the ends unless a wildcard stands there; the last piece is anchored at the end
// of the text, not found at its first occurrence, and the first and the last may not overlap.
TEST(LikeMatchTest, PiecesAnchorAtTheEndsUnlessTheWildcardStandsThere) {
    const struct {
        const char *text, *pattern, *wildcard;  // "" wildcard: the default %
        bool match;
    } cases[] = {
        {"[dbo].[Orders]", "[dbo].[Order%]", "", true}, {"[dbo].[Orders]", "[%].%", "", true},
        {"[dbo].[Orders]", "[dbo].[Order]", "", false}, {"x[dbo].[Orders]", "[dbo].%", "", false},
        {"ORDERS", "orders", "", true}, {"ORDERS2", "orders", "", false}, {"xab", "%ab", "", true},
        {"abab", "%ab", "", true}, {"a", "a%a", "", false}, {"aa", "a%a", "", true}, {"abcbd", "a%b%d", "", true},
        {"abcd", "a%c%b%", "", false}, {"", "%", "", true}, {"anything", "%", "", true}, {"anything", "%%", "", true},
        {"a%b", "a*", "*", true}, {"ab", "a%", "*", false}, {"[dbo].[ÄRGER]", "[dbo].[ärger]", "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LikeMatch(QString::fromUtf8(c.text), QString::fromUtf8(c.pattern), QString::fromUtf8(c.wildcard)), c.match)
            << c.text << " LIKE " << c.pattern;
}

// Names are matched letter case aside by lowering ASCII letters when both texts are ASCII; the
// answer must be Qt's case folding either way, also for characters outside ASCII that fold onto
// ASCII letters (the Kelvin sign onto k, the long s onto s).
TEST(LikeMatchTest, AgreesWithQtFoldingInsideAndOutsideAscii) {
    const QStringList texts = {QStringLiteral("[dbo].[Key]"), QStringLiteral("[DBO].[KEY]"),
                               QStringLiteral("[dbo].[\u212Aey]"), QStringLiteral("[dbo].[Ma\u017Fk]"),
                               QStringLiteral("[dbo].[ÄRGER]"), QStringLiteral("[dbo].[Ke]")};
    const QStringList pieces = {QStringLiteral("[dbo].[key]"), QStringLiteral("key"), QStringLiteral("[dbo].[mask]"),
                                QStringLiteral("ärger"), QStringLiteral("].[k")};
    for (const QString& text : texts) {
        for (const QString& piece : pieces) {
            const QString context = text + QLatin1Char(' ') + piece;
            EXPECT_EQ(LikeMatch(text, piece), text.compare(piece, Qt::CaseInsensitive) == 0) << context.toStdString();
            EXPECT_EQ(LikeMatch(text, QLatin1Char('%') + piece + QLatin1Char('%')), text.contains(piece, Qt::CaseInsensitive))
                << context.toStdString();
            EXPECT_EQ(LikeMatch(text, piece + QLatin1Char('%')), text.startsWith(piece, Qt::CaseInsensitive))
                << context.toStdString();
            EXPECT_EQ(LikeMatch(text, QLatin1Char('%') + piece), text.endsWith(piece, Qt::CaseInsensitive))
                << context.toStdString();
        }
    }
}

TEST(FilterElementTest, InitSplitsTheNameIntoQuotedParts) {
    Tovimar_FilterElement element;
    element.Checked = true;
    element.Init(7, FilterOpInclude, QStringLiteral("dbo.Order%"), QStringLiteral("Tab"), 2, QStringLiteral("x"));
    EXPECT_EQ(element.SelectionParts, (QStringList{QStringLiteral("[dbo]"), QStringLiteral("[Order%]")}));
    EXPECT_FALSE(element.Checked);

    element.Init(1, 1, QStringLiteral("[dbo].[a.b]"), QString(), 0, QString());
    EXPECT_EQ(element.SelectionParts, (QStringList{QStringLiteral("[dbo]"), QStringLiteral("[a.b]")}));
    element.Init(1, 1, QString(), QString(), 0, QString());
    EXPECT_EQ(element.SelectionParts, QStringList{QStringLiteral("[]")});
    element.Init(1, 1, QStringLiteral(" dbo . [Order Details] .tr%"), QString(), 0, QString());
    EXPECT_EQ(element.SelectionParts,
              (QStringList{QStringLiteral("[dbo]"), QStringLiteral("[Order Details]"), QStringLiteral("[tr%]")}));
    element.Init(1, 1, QStringLiteral("[a]]b].x]y"), QString(), 0, QString());
    EXPECT_EQ(element.SelectionParts, (QStringList{QStringLiteral("[a]]b]"), QStringLiteral("[x]]y]")}));

    try {
        element.Init(1, 1, QStringLiteral("dbo.[Order"), QString(), 0, QString());
        FAIL() << "an unclosed bracket must be refused";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, 500);
        EXPECT_EQ(e.Description, QStringLiteral("Nesting Error"));
    }
}

TEST(FilterElementTest, MatchCompletesOrCutsThePatternToTheNameParts) {
    Tovimar_FilterElement element;
    element.Init(1, 1, QStringLiteral("dbo.Order%"), QStringLiteral("Tab Trig"), 0, QString());
    EXPECT_FALSE(element.Match(QStringLiteral("ta"), QStringLiteral("[dbo].[Orders]"), 2));  // not checked
    element.Checked = true;
    EXPECT_TRUE(element.Match(QStringLiteral("ta"), QStringLiteral("[dbo].[Orders]"), 2));
    EXPECT_TRUE(element.Match(QStringLiteral("TA"), QStringLiteral("[DBO].[orders]"), 2));
    EXPECT_FALSE(element.Match(QStringLiteral("vi"), QStringLiteral("[dbo].[Orders]"), 2));
    // Two parts asked with three: [dbo].[Order%].%
    EXPECT_TRUE(element.Match(QStringLiteral("tr"), QStringLiteral("[dbo].[Orders].[trX]"), 3));
    // Asked with one part only the first part counts.
    EXPECT_TRUE(element.Match(QStringLiteral("ta"), QStringLiteral("[dbo]"), 1));

    element.Init(1, 1, QStringLiteral("%"), QStringLiteral("Grant"), 0, QString());
    element.Checked = true;
    EXPECT_TRUE(element.Match(QStringLiteral("gr"), QStringLiteral("[guest]"), 1));
    EXPECT_FALSE(element.Match(QStringLiteral("ta"), QStringLiteral("[dbo].[x]"), 2));
    element.ObjectTypes = QStringLiteral("Tab");
    EXPECT_TRUE(element.Match(QStringLiteral("ta"), QStringLiteral("[dbo].[x]"), 2));  // [%].%

    // The empty pattern [] matches no real name.
    element.Init(1, 1, QString(), QStringLiteral("Tab"), 0, QString());
    element.Checked = true;
    EXPECT_FALSE(element.Match(QStringLiteral("ta"), QStringLiteral("[dbo].[x]"), 2));
}

// Init splits each element's patterns once; Match must give what matching the pattern built from
// SelectionParts gives, and follow SelectionParts when they are changed without Init.
TEST(FilterElementTest, MatchAgreesWithThePatternBuiltFromTheParts) {
    const QStringList names = {QStringLiteral("[dbo]"), QStringLiteral("[dbo].[Orders]"), QStringLiteral("[DBO].[x%y]"),
                               QStringLiteral("[dbo].[Orders].[trAudit]"), QStringLiteral("[sales].[Order]"),
                               QStringLiteral("[a.b].[c]")};
    const char* patterns[] = {"%", "dbo.Order%", "[a.b].%", "%.%.tr%", "dbo", "x%y", "%.[x%]"};
    for (const char* text : patterns) {
        Tovimar_FilterElement element;
        element.Init(1, FilterOpInclude, QString::fromUtf8(text), QStringLiteral("Tab Trig"), 0, QString());
        element.Checked = true;
        for (int round = 0; round < 2; ++round) {
            for (const QString& name : names)
                for (int parts = 0; parts <= 4; ++parts) {
                    const qsizetype used = std::min<qsizetype>(std::max(parts, 1), element.SelectionParts.size());
                    QString pattern = element.SelectionParts.mid(0, used).join(QLatin1Char('.'));
                    if (used < parts) pattern += QStringLiteral(".%");
                    EXPECT_EQ(element.Match(QStringLiteral("ta"), name, parts), LikeMatch(name, pattern))
                        << text << " round " << round << ' ' << name.toStdString() << ' ' << parts;
                }
            element.SelectionParts.last() = QStringLiteral("[O%]");  // changed without Init
        }
    }
}

TEST_F(FilterModelTest, CreateSchemaCacheIsOffWhenAnActiveElementSaysSo) {
    Tovimar_FilterSet* a = AddSet("A");
    Tovimar_FilterSet* deep = AddSet("Deep", AddSet("Mid", a));
    FilterElementPtr noCache = AddElement(deep, FilterOpExclude, "%", "Proc", FilterNoSchemaCache, QString(), false);
    EXPECT_TRUE(sets.GetCreateSchemaCache());
    noCache->Checked = true;
    EXPECT_FALSE(sets.GetCreateSchemaCache());
    EXPECT_FALSE(a->CreateSchemaCache());
    // A set that is switched off takes no part, together with what is below it.
    a->Checked = false;
    EXPECT_TRUE(sets.GetCreateSchemaCache());
}

TEST_F(FilterModelTest, RegistriesLookUpCreateAndRefuseDuplicates) {
    Tovimar_FilterSet* a = sets.GetFilterSet(QStringLiteral("."), QStringLiteral("A"));
    EXPECT_EQ(a->Key(), QStringLiteral(".A."));
    EXPECT_EQ(sets.GetFilterSet(QStringLiteral("."), QStringLiteral("a")), a);
    // The look-up form finds a child's parent by the child's path, and creates nothing.
    EXPECT_EQ(sets.GetFilterSet(QString(), QStringLiteral(".A.")), a);
    EXPECT_EQ(sets.GetFilterSet(QString(), QStringLiteral(".B.")), nullptr);
    EXPECT_EQ(sets.GetFilterSet(QString(), QString()), sets.Root());
    EXPECT_EQ(sets.Sets().Count(), 2);
    EXPECT_EQ(sets.Sets().KeyAt(0), QStringLiteral("."));

    sets.NewFilterElement(5, 1, QStringLiteral("%"), QStringLiteral("Tab"), 0, QString(), true);
    EXPECT_THROW(sets.NewFilterElement(5, 1, QStringLiteral("%"), QStringLiteral("Tab"), 0, QString(), true),
                 TovimarException);
    EXPECT_EQ(sets.MaxElementID(), 5);
}

TEST(FilterListsTest, FlagTexts) {
    EXPECT_EQ(FilterFlagsText(1 | 16 | 32), QStringLiteral("Copy Data, -Collations, -Cache"));
    EXPECT_EQ(FilterFlagsText(0), QString());
}
