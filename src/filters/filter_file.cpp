#include "filters/filter_file.h"

#include "platform/tovimar_exception.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

const QString Source = QStringLiteral("LoadFilterFile");

// What one line says, before anything is added to the registries: the whole file is read and
// checked first, so that a malformed file leaves the sets as they were.
struct ParsedElement {
    int Line = 0;
    int Op = FilterOpInclude;
    QString ObjectName;
    QString ObjectTypes;
    long Flags = 0;
    QStringList ExtraLines;
    bool Checked = true;
};

struct ParsedSet {
    int Line = 0;
    QString Name;
    bool Checked = true;
    std::vector<ParsedElement> Elements;
    std::vector<std::unique_ptr<ParsedSet>> SubSets;
};

struct DefaultState {
    int Line = 0;
    int ElementID = 0;
    bool Checked = true;
};

struct Token {
    QString Text;
    bool Quoted = false;
};

class Parser {
public:
    Parser(QString fileName) : fileName_(std::move(fileName)) {}

    [[noreturn]] void Fail(int line, const QString& what) const {
        throw TovimarException(FilterFileSyntaxError, Source,
                               QStringLiteral("%1, line %2: %3").arg(fileName_).arg(line).arg(what));
    }

    // Splits a line into tokens: runs of characters between blanks or tabs, "quoted texts" (a
    // doubled quote stands for one), and [bracketed names] that may hold blanks; a token that
    // starts with # begins a comment that runs to the end of the line.
    QList<Token> Tokenize(const QString& text, int line) const {
        QList<Token> tokens;
        qsizetype i = 0;
        const qsizetype n = text.size();
        auto isBlank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
        while (true) {
            while (i < n && isBlank(text[i])) ++i;
            if (i >= n || text[i] == QLatin1Char('#')) break;
            Token token;
            if (text[i] == QLatin1Char('"')) {
                token.Quoted = true;
                ++i;
                bool closed = false;
                while (i < n) {
                    if (text[i] == QLatin1Char('"')) {
                        if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                            token.Text += QLatin1Char('"');
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    token.Text += text[i++];
                }
                if (!closed) Fail(line, QStringLiteral("a quoted text is not closed"));
                if (i < n && !isBlank(text[i]))
                    Fail(line, QStringLiteral("a quoted text must be followed by a blank"));
            } else {
                while (i < n && !isBlank(text[i])) {
                    if (text[i] == QLatin1Char('[')) {
                        const qsizetype start = i++;
                        bool closed = false;
                        while (i < n) {
                            if (text[i] == QLatin1Char(']')) {
                                if (i + 1 < n && text[i + 1] == QLatin1Char(']')) {
                                    i += 2;
                                    continue;
                                }
                                ++i;
                                closed = true;
                                break;
                            }
                            ++i;
                        }
                        if (!closed)
                            Fail(line, QStringLiteral("the bracketed name %1 is not closed").arg(text.mid(start)));
                        token.Text += text.mid(start, i - start);
                        continue;
                    }
                    token.Text += text[i++];
                }
            }
            tokens << token;
        }
        return tokens;
    }

    // Object types given as abbreviations or names separated by commas or blanks ("*" for all),
    // stored as the editor stores them: abbreviations in list order, separated by one blank.
    QString ParseTypes(const QString& text, int line) const {
        const auto& known = GetObjectTypeNames();
        std::vector<bool> chosen(static_cast<size_t>(known.size()), false);
        QString separated = text;
        separated.replace(QLatin1Char(','), QLatin1Char(' ')).replace(QLatin1Char('\t'), QLatin1Char(' '));
        const QStringList words = separated.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty()) Fail(line, QStringLiteral("no object type given"));
        for (const QString& word : words) {
            if (word == QLatin1String("*")) {
                std::fill(chosen.begin(), chosen.end(), true);
                continue;
            }
            qsizetype found = -1;
            for (qsizetype t = 0; t < known.size(); ++t)
                if (word.compare(known[t].Abbreviation, Qt::CaseInsensitive) == 0 ||
                    word.compare(known[t].Name, Qt::CaseInsensitive) == 0)
                    found = t;
            if (found < 0)
                Fail(line, QStringLiteral("unknown object type \"%1\" (expected Tab, View, Proc, Func, Trig, Grant, "
                                          "Cat or *)")
                               .arg(word));
            chosen[static_cast<size_t>(found)] = true;
        }
        QStringList out;
        for (qsizetype t = 0; t < known.size(); ++t)
            if (chosen[static_cast<size_t>(t)]) out << known[t].Abbreviation;
        return out.join(QLatin1Char(' '));
    }

    // Reads an element line: operation, object name, object types, then flags and on/off.
    ParsedElement ParseElement(const QList<Token>& tokens, int line) const {
        ParsedElement element;
        element.Line = line;
        qsizetype pos = 0;
        const QString first = tokens[0].Text;
        auto is = [](const QString& a, const char* b) { return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0; };
        if (is(first, "Include")) {
            element.Op = FilterOpInclude;
            pos = 1;
        } else if (is(first, "Exclude")) {
            element.Op = FilterOpExclude;
            pos = 1;
        } else if (is(first, "Force Include")) {
            element.Op = FilterOpForceInclude;
            pos = 1;
        } else if (is(first, "Force Exclude")) {
            element.Op = FilterOpForceExclude;
            pos = 1;
        } else if (is(first, "Force") && tokens.size() > 1 && is(tokens[1].Text, "Include")) {
            element.Op = FilterOpForceInclude;
            pos = 2;
        } else if (is(first, "Force") && tokens.size() > 1 && is(tokens[1].Text, "Exclude")) {
            element.Op = FilterOpForceExclude;
            pos = 2;
        } else {
            Fail(line, QStringLiteral("unknown operation \"%1\" (expected set, end, default, Include, Exclude, "
                                      "Force Include or Force Exclude)")
                           .arg(first));
        }
        if (tokens.size() < pos + 2)
            Fail(line, QStringLiteral("%1 needs an object name and object types").arg(FilterOpName(element.Op)));

        element.ObjectName = tokens[pos].Text.trimmed();
        if (element.ObjectName.isEmpty()) Fail(line, QStringLiteral("the object name is empty"));
        try {
            Tovimar_FilterElement probe;
            probe.Init(0, element.Op, element.ObjectName, QString(), 0, QString());
        } catch (const TovimarException& e) {
            Fail(line, QStringLiteral("object name %1: %2").arg(element.ObjectName, e.Description));
        }
        element.ObjectTypes = ParseTypes(tokens[pos + 1].Text, line);

        for (qsizetype i = pos + 2; i < tokens.size(); ++i) {
            QString word = tokens[i].Text;
            if (!tokens[i].Quoted && word.endsWith(QLatin1Char(',')) && word.size() > 1) word.chop(1);
            if (is(word, "off")) {
                element.Checked = false;
            } else if (is(word, "on")) {
                element.Checked = true;
            } else if (is(word, "-Collations")) {
                element.Flags |= FilterNoCollations;
            } else if (is(word, "+Collations")) {
                element.Flags |= FilterCollations;
            } else if (is(word, "-FileGroups")) {
                element.Flags |= FilterNoFileGroups;
            } else if (is(word, "+FileGroups")) {
                element.Flags |= FilterFileGroups;
            } else if (is(word, "CopyData") || is(word, "Copy Data")) {
                element.Flags |= FilterCopyData;
            } else if (is(word, "Copy") && i + 1 < tokens.size() &&
                       (is(tokens[i + 1].Text, "Data") || is(tokens[i + 1].Text, "Data,"))) {
                element.Flags |= FilterCopyData;
                ++i;
            } else if (is(word, "-Cache")) {
                element.Flags |= FilterNoSchemaCache;
            } else if (word == QLatin1String(",")) {
                continue;
            } else {
                Fail(line, QStringLiteral("unknown option \"%1\" (expected -Collations, +Collations, -FileGroups, "
                                          "+FileGroups, CopyData, -Cache, on or off)")
                               .arg(tokens[i].Text));
            }
        }

        const long optionBits = FilterNoCollations | FilterCollations | FilterNoFileGroups | FilterFileGroups |
                                FilterCopyData;
        if ((element.Flags & optionBits) && element.Op % 2 == 0)
            Fail(line, QStringLiteral("%1 takes no -Collations, +Collations, -FileGroups, +FileGroups or CopyData "
                                      "(only Include and Force Include do)")
                           .arg(FilterOpName(element.Op)));
        if ((element.Flags & FilterNoCollations) && (element.Flags & FilterCollations))
            Fail(line, QStringLiteral("-Collations and +Collations exclude each other"));
        if ((element.Flags & FilterNoFileGroups) && (element.Flags & FilterFileGroups))
            Fail(line, QStringLiteral("-FileGroups and +FileGroups exclude each other"));
        if ((element.Flags & FilterCopyData) && element.ObjectTypes != QLatin1String("Tab"))
            Fail(line, QStringLiteral("CopyData applies to tables only: the object types must be Tab"));
        return element;
    }

    // Reads the whole text into the top-level sets and the default states.
    void Parse(const QString& text) {
        QStringList lines = text.split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines[0].startsWith(QChar(0xFEFF))) lines[0].remove(0, 1);
        std::vector<ParsedSet*> open;  // the sets whose "end" is still to come
        ParsedElement* lastElement = nullptr;
        for (qsizetype index = 0; index < lines.size(); ++index) {
            const int line = static_cast<int>(index + 1);
            QString raw = lines[index];
            if (raw.endsWith(QLatin1Char('\r'))) raw.chop(1);

            const QString body = raw.trimmed();
            if (body.startsWith(QLatin1Char('|'))) {
                if (!lastElement) Fail(line, QStringLiteral("a \"|\" line must follow an element or another \"|\" line"));
                // Everything after the bar (less one blank) is the line of the extra text.
                const qsizetype bar = raw.indexOf(QLatin1Char('|'));
                QString content = raw.mid(bar + 1);
                if (content.startsWith(QLatin1Char(' '))) content.remove(0, 1);
                lastElement->ExtraLines << content;
                continue;
            }
            lastElement = nullptr;

            const QList<Token> tokens = Tokenize(raw, line);
            if (tokens.isEmpty()) continue;
            const QString& keyword = tokens[0].Text;
            const bool plain = !tokens[0].Quoted;
            if (plain && keyword.compare(QLatin1String("set"), Qt::CaseInsensitive) == 0) {
                if (tokens.size() < 2) Fail(line, QStringLiteral("set needs a name"));
                auto set = std::make_unique<ParsedSet>();
                set->Line = line;
                set->Name = tokens[1].Text.trimmed();
                if (set->Name.isEmpty()) Fail(line, QStringLiteral("the set name is empty"));
                if (set->Name.contains(QLatin1Char('.')))
                    Fail(line, QStringLiteral("the set name \"%1\" contains a \".\"").arg(set->Name));
                for (qsizetype i = 2; i < tokens.size(); ++i) {
                    if (tokens[i].Text.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
                        set->Checked = false;
                    else if (tokens[i].Text.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
                        set->Checked = true;
                    else
                        Fail(line, QStringLiteral("unexpected \"%1\" after the set name (expected on or off)")
                                       .arg(tokens[i].Text));
                }
                auto& siblings = open.empty() ? top_ : open.back()->SubSets;
                for (const auto& sibling : siblings)
                    if (sibling->Name.compare(set->Name, Qt::CaseInsensitive) == 0)
                        Fail(line, QStringLiteral("the set \"%1\" is already defined at line %2")
                                       .arg(set->Name)
                                       .arg(sibling->Line));
                siblings.push_back(std::move(set));
                open.push_back(siblings.back().get());
            } else if (plain && keyword.compare(QLatin1String("end"), Qt::CaseInsensitive) == 0) {
                if (open.empty()) Fail(line, QStringLiteral("\"end\" without a set to close"));
                if (tokens.size() > 1) Fail(line, QStringLiteral("unexpected \"%1\" after end").arg(tokens[1].Text));
                open.pop_back();
            } else if (plain && keyword.compare(QLatin1String("default"), Qt::CaseInsensitive) == 0) {
                if (!open.empty()) Fail(line, QStringLiteral("default belongs to the top level, outside every set"));
                if (tokens.size() != 3)
                    Fail(line, QStringLiteral("expected default -Collations on|off or default -FileGroups on|off"));
                DefaultState state;
                state.Line = line;
                if (tokens[1].Text.compare(QLatin1String("-Collations"), Qt::CaseInsensitive) == 0)
                    state.ElementID = -1;
                else if (tokens[1].Text.compare(QLatin1String("-FileGroups"), Qt::CaseInsensitive) == 0)
                    state.ElementID = -2;
                else
                    Fail(line, QStringLiteral("unknown default \"%1\" (expected -Collations or -FileGroups)")
                                   .arg(tokens[1].Text));
                if (tokens[2].Text.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
                    state.Checked = false;
                else if (tokens[2].Text.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
                    state.Checked = true;
                else
                    Fail(line, QStringLiteral("expected on or off after default %1").arg(tokens[1].Text));
                defaults_.push_back(state);
            } else {
                ParsedElement element = ParseElement(tokens, line);
                if (open.empty()) Fail(line, QStringLiteral("an element must stand inside a set"));
                open.back()->Elements.push_back(std::move(element));
                lastElement = &open.back()->Elements.back();
            }
        }
        if (!open.empty())
            Fail(open.back()->Line, QStringLiteral("the set \"%1\" is not closed by \"end\"").arg(open.back()->Name));
    }

    // Adds what was read below the root. Only called once the whole text is known to be sound.
    void Apply(FilterSets& sets) {
        Tovimar_FilterSet* root = sets.Root();
        if (!root) root = sets.InitFilterSets();
        for (const DefaultState& state : defaults_) {
            FilterElementPtr element = sets.Elements().Item(QStringLiteral("#") + QString::number(state.ElementID));
            if (!element) Fail(state.Line, QStringLiteral("the root has no such default element"));
        }
        for (const auto& set : top_)
            if (sets.Sets().Contains(root->Key() + set->Name + QLatin1Char('.')))
                Fail(set->Line, QStringLiteral("the set \"%1\" exists already").arg(set->Name));

        for (const DefaultState& state : defaults_)
            sets.Elements().Item(QStringLiteral("#") + QString::number(state.ElementID))->Checked = state.Checked;
        nextElementID_ = std::max(sets.MaxElementID(), 0) + 1;
        nextSetID_ = std::max(sets.MaxSetID(), 0) + 1;
        for (const auto& set : top_) AddSet(sets, *root, *set);
    }

private:
    void AddSet(FilterSets& sets, Tovimar_FilterSet& parent, const ParsedSet& parsed) {
        Tovimar_FilterSet* set = sets.GetFilterSet(parent.Key(), parsed.Name);
        set->SetID = nextSetID_++;
        set->Checked = parsed.Checked;
        parent.SubSets.Add(sets.Sets().Item(set->Key()));
        for (const ParsedElement& element : parsed.Elements) {
            const QString extra = element.ExtraLines.join(QStringLiteral("\r\n"));
            set->Elements.Add(sets.NewFilterElement(nextElementID_++, element.Op, element.ObjectName,
                                                    element.ObjectTypes, element.Flags, extra, element.Checked));
        }
        for (const auto& sub : parsed.SubSets) AddSet(sets, *set, *sub);
    }

    QString fileName_;
    std::vector<std::unique_ptr<ParsedSet>> top_;
    std::vector<DefaultState> defaults_;
    int nextElementID_ = 1;
    int nextSetID_ = 1;
};

// A token as the tokenizer will read it back: quoted when it holds a blank, a quote, a comment
// sign at its start, or nothing.
QString WriteToken(const QString& text) {
    const bool plain = !text.isEmpty() && !text.contains(QLatin1Char(' ')) && !text.contains(QLatin1Char('\t')) &&
                       !text.contains(QLatin1Char('"')) && !text.startsWith(QLatin1Char('#')) &&
                       !text.startsWith(QLatin1Char('|')) && !text.contains(QLatin1Char('['));
    if (plain) return text;
    QString doubled = text;
    doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

// CR LF, and a lone CR or LF, which the file can only hold as a line break too.
const QRegularExpression& LineBreak() {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return lineBreak;
}

void WriteSet(const Tovimar_FilterSet& set, int depth, QString& out) {
    const QString indent(depth * 2, QLatin1Char(' '));
    out += indent + QStringLiteral("set ") + WriteToken(set.SetName) + (set.Checked ? QString() : QStringLiteral(" off")) +
           QLatin1Char('\n');
    for (const FilterElementPtr& element : set.Elements) {
        QString line = indent + QStringLiteral("  ") + FilterOpName(element->FilterOp) + QLatin1Char(' ') +
                       WriteToken(element->ObjectName) + QLatin1Char(' ') +
                       WriteToken(element->ObjectTypes.split(QLatin1Char(' '), Qt::SkipEmptyParts).join(QLatin1Char(',')));
        static const QList<std::pair<long, const char*>> flagWords{
            {FilterNoCollations, "-Collations"}, {FilterCollations, "+Collations"}, {FilterNoFileGroups, "-FileGroups"},
            {FilterFileGroups, "+FileGroups"},   {FilterCopyData, "CopyData"},      {FilterNoSchemaCache, "-Cache"},
        };
        for (const auto& [bit, word] : flagWords)
            if (element->FilterFlags & bit) line += QLatin1Char(' ') + QLatin1String(word);
        if (!element->Checked) line += QStringLiteral(" off");
        out += line + QLatin1Char('\n');
        if (!element->FilterExtra.isEmpty())
            for (const QString& extraLine : element->FilterExtra.split(LineBreak()))
                out += indent + QStringLiteral("    |") + (extraLine.isEmpty() ? QString() : QLatin1Char(' ') + extraLine) +
                       QLatin1Char('\n');
    }
    for (const FilterSetPtr& sub : set.SubSets) WriteSet(*sub, depth + 1, out);
    out += indent + QStringLiteral("end\n");
}

}  // namespace

void LoadFilterText(const QString& text, const QString& fileName, FilterSets& sets) {
    Parser parser(fileName);
    parser.Parse(text);
    parser.Apply(sets);
}

void LoadFilterFile(const QString& path, FilterSets& sets) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TovimarException(FilterFileOpenError, Source,
                               QStringLiteral("Cannot open the filter file %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    file.close();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        throw TovimarException(FilterFileSyntaxError, Source,
                               QStringLiteral("%1: the file is not UTF-8 text").arg(path));
    LoadFilterText(text, path, sets);
}

QString FilterFileText(const FilterSets& sets) {
    QString out;
    const Tovimar_FilterSet* root = sets.Root();
    if (!root) return out;
    for (const auto& [id, word] : {std::pair<int, const char*>{-1, "-Collations"}, {-2, "-FileGroups"}}) {
        const FilterElementPtr element = sets.Elements().Item(QStringLiteral("#") + QString::number(id));
        if (element && !element->Checked) out += QStringLiteral("default %1 off\n").arg(QLatin1String(word));
    }
    for (const FilterSetPtr& set : root->SubSets) WriteSet(*set, 0, out);
    return out;
}
