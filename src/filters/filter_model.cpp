#include "filters/filter_model.h"

#include "schema/sql_text.h"

#include <algorithm>

// ---- Lists and texts -------------------------------------------------------------------------

const QList<std::pair<int, QString>>& GetFilterOps() {
    static const QList<std::pair<int, QString>> ops{
        {FilterOpExclude, QStringLiteral("Exclude")},
        {FilterOpInclude, QStringLiteral("Include")},
        {FilterOpForceExclude, QStringLiteral("Force Exclude")},
        {FilterOpForceInclude, QStringLiteral("Force Include")},
    };
    return ops;
}

const QList<FilterObjectType>& GetObjectTypeNames() {
    static const QList<FilterObjectType> types{
        {QStringLiteral("Table"), QStringLiteral("Tab"), QStringLiteral("ta")},
        {QStringLiteral("View"), QStringLiteral("View"), QStringLiteral("vi")},
        {QStringLiteral("Procedure"), QStringLiteral("Proc"), QStringLiteral("pr")},
        {QStringLiteral("Function"), QStringLiteral("Func"), QStringLiteral("fu")},
        {QStringLiteral("Trigger"), QStringLiteral("Trig"), QStringLiteral("tr")},
        {QStringLiteral("Grantee"), QStringLiteral("Grant"), QStringLiteral("gr")},
        {QStringLiteral("Catalog"), QStringLiteral("Cat"), QStringLiteral("ca")},
    };
    return types;
}

QString FilterOpName(int op) {
    const auto& ops = GetFilterOps();
    return op >= 0 && op < ops.size() ? ops[op].second : QString();
}

QString FilterFlagsText(long flags) {
    static const QList<std::pair<long, QString>> texts{
        {FilterCopyData, QStringLiteral(", Copy Data")},
        {FilterNoCollations, QStringLiteral(", -Collations")},
        {FilterCollations, QStringLiteral(", +Collations")},
        {FilterNoFileGroups, QStringLiteral(", -FileGroups")},
        {FilterFileGroups, QStringLiteral(", +FileGroups")},
        {FilterNoSchemaCache, QStringLiteral(", -Cache")},
    };
    QString out;
    for (const auto& [bit, text] : texts)
        if (flags & bit) out += text;
    return out.mid(2);
}

// ---- LikeMatch -------------------------------------------------------------------------------

namespace {

bool IsAscii(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80) return false;
    return true;
}

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c; }

// Whether text holds piece at position at, letter case aside; both ASCII.
bool AsciiEqualAt(QStringView text, qsizetype at, QStringView piece) {
    for (qsizetype i = 0; i < piece.size(); ++i)
        if (AsciiLower(text[at + i].unicode()) != AsciiLower(piece[i].unicode())) return false;
    return true;
}

// The first position from from where text holds piece, letter case aside, or -1: what
// QStringView::indexOf with Qt::CaseInsensitive gives. Names and patterns are nearly always
// ASCII, where folding a character is lowering a letter; otherwise Qt folds them.
qsizetype IndexOfFolded(QStringView text, QStringView piece, qsizetype from = 0) {
    if (!IsAscii(text) || !IsAscii(piece)) return text.indexOf(piece, from, Qt::CaseInsensitive);
    for (qsizetype at = std::max<qsizetype>(from, 0); at + piece.size() <= text.size(); ++at)
        if (AsciiEqualAt(text, at, piece)) return at;
    return -1;
}

bool EqualFolded(QStringView text, QStringView piece) {
    if (!IsAscii(text) || !IsAscii(piece)) return text.compare(piece, Qt::CaseInsensitive) == 0;
    return text.size() == piece.size() && AsciiEqualAt(text, 0, piece);
}

bool StartsWithFolded(QStringView text, QStringView piece) {
    if (!IsAscii(text) || !IsAscii(piece)) return text.startsWith(piece, Qt::CaseInsensitive);
    return text.size() >= piece.size() && AsciiEqualAt(text, 0, piece);
}

// Whether text matches the pieces of a pattern split at its wildcards (what LikeMatch does
// after splitting).
bool MatchPieces(QStringView text, const QStringList& pieces) {
    const qsizetype last = pieces.size() - 1;
    qsizetype position = 0;  // where the next piece may start
    for (qsizetype i = 0; i <= last; ++i) {
        const QString& piece = pieces[i];
        if (piece.isEmpty()) continue;
        if (i == last) {
            // Nothing may follow the last piece: it must sit at the very end of the text,
            // after everything matched so far (and at the start too when it is also the first).
            const qsizetype start = text.size() - piece.size();
            if (start < position || (i == 0 && start != 0)) return false;
            return EqualFolded(text.mid(start), piece);
        }
        if (i == 0) {
            if (!StartsWithFolded(text, piece)) return false;
            position = piece.size();
            continue;
        }
        // A middle piece: its first occurrence leaves the most room for the pieces after it.
        const qsizetype found = IndexOfFolded(text, piece, position);
        if (found < 0) return false;
        position = found + piece.size();
    }
    return true;
}

// The "%" pattern an element's parts give for a name of nameParts parts: the first nameParts
// parts (at least one), followed by ".%" when the name has more parts than the element.
QString ElementPattern(const QStringList& parts, int nameParts) {
    const qsizetype used = std::min<qsizetype>(std::max(nameParts, 1), parts.size());
    QString pattern = parts.mid(0, used).join(QLatin1Char('.'));
    if (used < nameParts) pattern += QStringLiteral(".%");
    return pattern;
}

}  // namespace

bool LikeMatch(const QString& text, const QString& pattern, const QString& wildcard) {
    return MatchPieces(text, pattern.split(wildcard.isEmpty() ? QStringLiteral("%") : wildcard));
}

// ---- Filter element --------------------------------------------------------------------------

Tovimar_FilterElement& Tovimar_FilterElement::Init(int id, int op, const QString& objectName,
                                                   const QString& objectTypes, long flags, const QString& extra) {
    ElementID = id;
    FilterOp = op;
    ObjectName = objectName;
    ObjectTypes = objectTypes;
    FilterFlags = flags;
    FilterExtra = extra;
    Checked = false;

    // Bracketed names may hold dots: mask them before splitting at ".".
    QStringList literals;
    const QString masked = MaskBracketedNames(objectName, literals);
    QStringList parts;
    for (const QString& maskedPart : masked.split(QLatin1Char('.'))) {
        const QString part = RestoreMasked(maskedPart, literals).trimmed();
        if (part.startsWith(QLatin1Char('[')) && part.endsWith(QLatin1Char(']')) && part.size() >= 2)
            parts << part;
        else
            parts << QuoteName(part);
    }
    SelectionParts = parts;
    // Objects are matched by the pattern of their name's parts, one to three: its pieces are
    // split once here, not for every object matched.
    compiledParts_ = SelectionParts;
    for (int n = 1; n <= int(compiledPieces_.size()); ++n)
        compiledPieces_[size_t(n - 1)] = ElementPattern(SelectionParts, n).split(QLatin1Char('%'));
    return *this;
}

bool Tovimar_FilterElement::SelectsType(const QString& typeCode) const {
    // typeCode at the start of a word of ObjectTypes (what " " + ObjectTypes containing
    // " " + typeCode means), found without building either text.
    if (typeCode.isEmpty()) return true;
    for (qsizetype at = IndexOfFolded(ObjectTypes, typeCode); at >= 0; at = IndexOfFolded(ObjectTypes, typeCode, at + 1))
        if (at == 0 || ObjectTypes[at - 1] == QLatin1Char(' ')) return true;
    return false;
}

bool Tovimar_FilterElement::Match(const QString& typeCode, const QString& fullName, int nameParts) const {
    if (!Checked || !SelectsType(typeCode)) return false;
    // The pieces split by Init serve while SelectionParts is what they were split from (a copy
    // that still shares its data compares equal at once).
    if (nameParts >= 1 && nameParts <= int(compiledPieces_.size()) && !compiledParts_.isEmpty() &&
        SelectionParts == compiledParts_)
        return MatchPieces(fullName, compiledPieces_[size_t(nameParts - 1)]);
    return LikeMatch(fullName, ElementPattern(SelectionParts, nameParts), QStringLiteral("%"));
}

// ---- Filter set ------------------------------------------------------------------------------

int Tovimar_FilterSet::Match(const QString& typeCode, const QString& fullName, int nameParts, long& flags,
                             QStringList* extras) const {
    if (!Checked) return -1;

    // The set's own decision: the highest operation code among the matching elements wins, the
    // later of equal codes decides, and the flags of deciding includes accumulate.
    int best = -1;
    long ownFlags = 0;
    QStringList ownExtras;
    for (const FilterElementPtr& element : Elements) {
        if (!element->Match(typeCode, fullName, nameParts) || element->FilterOp < best) continue;
        best = element->FilterOp;
        if (best % 2 == 0) {
            ownFlags = 0;
            ownExtras.clear();
            continue;
        }
        ownFlags |= element->FilterFlags;
        // Once Copy Data applies, the extra texts of the deciding includes are data copy
        // definitions. An include that carries neither the Copy Data bit nor a text adds
        // nothing: an empty definition would mean "copy every Source row and keep no old row".
        if ((ownFlags & FilterCopyData) &&
            ((element->FilterFlags & FilterCopyData) || !element->FilterExtra.isEmpty()))
            ownExtras << element->FilterExtra;
    }
    if (ownFlags & FilterNoCollations) ownFlags &= ~long(FilterCollations);
    if (ownFlags & FilterNoFileGroups) ownFlags &= ~long(FilterFileGroups);

    // Sub-sets overrule the set's own elements: any include wins, else any exclude.
    long subFlags = 0;
    QStringList subExtras;
    int subResult = -1;
    for (const FilterSetPtr& subSet : SubSets) {
        const int answer = subSet->Match(typeCode, fullName, nameParts, subFlags, &subExtras);
        if (answer == 1)
            subResult = 1;
        else if (answer == 0 && subResult < 0)
            subResult = 0;
    }

    int answer;
    QStringList resultExtras;
    if (subResult == 0) {
        answer = 0;
        ownFlags = 0;
    } else if (subResult == 1) {
        answer = 1;
        resultExtras = subExtras + ownExtras;
        ownFlags |= subFlags;
        if (subFlags & FilterNoCollations) ownFlags &= ~long(FilterCollations);
        if (subFlags & FilterNoFileGroups) ownFlags &= ~long(FilterFileGroups);
    } else {
        answer = best == FilterOpForceExclude ? 0 : best == FilterOpForceInclude ? 1 : best;
        resultExtras = ownExtras;
    }

    if (extras) *extras += resultExtras;
    flags |= ownFlags;
    return answer;
}

bool Tovimar_FilterSet::CreateSchemaCache() const {
    // An inactive set takes no part in the run, neither in matching nor here.
    if (!Checked) return true;
    for (const FilterElementPtr& element : Elements)
        if (element->Checked && (element->FilterFlags & FilterNoSchemaCache)) return false;
    for (const FilterSetPtr& subSet : SubSets)
        if (!subSet->CreateSchemaCache()) return false;
    return true;
}

// ---- Registries ------------------------------------------------------------------------------

FilterSets::FilterSets() { InitFilterSets(); }

Tovimar_FilterSet* FilterSets::InitFilterSets() {
    sets_.Clear();
    elements_.Clear();
    Tovimar_FilterSet* root = GetFilterSet(QString(), QString());
    root->Elements.Add(NewFilterElement(-1, FilterOpInclude, QStringLiteral("%"), QStringLiteral("Tab View"),
                                        FilterNoCollations, QString(), true));
    root->Elements.Add(NewFilterElement(-2, FilterOpInclude, QStringLiteral("%"), QStringLiteral("Tab"),
                                        FilterNoFileGroups, QString(), true));
    root->SetID = -1;
    root->Checked = true;
    return root;
}

Tovimar_FilterSet* FilterSets::Root() const { return sets_.IsEmpty() ? nullptr : sets_[0].get(); }

Tovimar_FilterSet* FilterSets::GetFilterSet(const QString& path, const QString& setName) {
    if (path.isEmpty() != setName.isEmpty()) return sets_.Item(path + setName).get();
    const QString key = path + setName + QLatin1Char('.');
    if (const FilterSetPtr* found = sets_.Find(key)) return found->get();
    auto set = std::make_shared<Tovimar_FilterSet>();
    set->Path = path;
    set->SetName = setName;
    sets_.Add(set, key);
    return set.get();
}

FilterElementPtr FilterSets::NewFilterElement(int id, int op, const QString& objectName, const QString& objectTypes,
                                              long flags, const QString& extra, bool checked) {
    auto element = std::make_shared<Tovimar_FilterElement>();
    element->Init(id, op, objectName, objectTypes, flags, extra);
    element->Checked = checked;
    elements_.Add(element, QStringLiteral("#") + QString::number(id));
    return element;
}

bool FilterSets::MatchFilter(const QString& typeCode, const QString& fullName, int nameParts, long& flags,
                             QStringList* extras) const {
    flags = 0;
    const Tovimar_FilterSet* root = Root();
    if (!root) return true;
    return root->Match(typeCode, fullName, nameParts, flags, extras) != 0;
}

bool FilterSets::IsObjectIncluded(const QString& typeCode, const QString& fullName, int nameParts,
                                  const QString& owner, long& flags, QStringList& extras) {
    flags = 0;
    extras.clear();
    if (!owner.isEmpty() && owner.compare(QStringLiteral("dbo"), Qt::CaseInsensitive) != 0) {
        long ownerFlags = 0;
        QStringList ownerExtras;
        if (!IsObjectIncluded(QStringLiteral("gr"), QuoteName(owner), 1, QString(), ownerFlags, ownerExtras))
            return false;
    }
    return MatchFilter(typeCode, fullName, nameParts, flags, &extras);
}

bool FilterSets::GetCreateSchemaCache() const {
    const Tovimar_FilterSet* root = Root();
    return !root || root->CreateSchemaCache();
}

int FilterSets::MaxElementID() const {
    int maxId = 0;
    for (const FilterElementPtr& element : elements_) maxId = std::max(maxId, element->ElementID);
    return maxId;
}

int FilterSets::MaxSetID() const {
    int maxId = 0;
    for (const FilterSetPtr& set : sets_) maxId = std::max(maxId, set->SetID);
    return maxId;
}
