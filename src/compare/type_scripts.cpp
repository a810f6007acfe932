// Scripts for user-defined data types: sp_addtype creates a type before the tables that use it,
// sp_droptype drops one after them, and a changed type is dropped and added again.
#include "compare/generators.h"

#include "schema/sql_text.h"

namespace {

QString Literal(const QString& text) { return QuoteUnicodeString(text); }

QString AddTypeSQL(const Tovimar_Type& type) {
    return QStringLiteral("EXEC sp_addtype ") + Literal(type.Name) + QStringLiteral(", ") + Literal(type.BaseTypeText()) +
           (type.AllowNulls ? QStringLiteral(", 'NULL'") : QStringLiteral(", 'NOT NULL'"));
}

QString DropTypeSQL(const Tovimar_Type& type) { return QStringLiteral("EXEC sp_droptype ") + Literal(type.Name); }

bool TypeDiffers(const Tovimar_Type& type, const Tovimar_Type& other) {
    return TextDiffers(type.BaseType, other.BaseType) || type.DataSize != other.DataSize ||
           type.DataPrecision != other.DataPrecision || type.DataDecimals != other.DataDecimals ||
           type.AllowNulls != other.AllowNulls;
}

}  // namespace

int GenerateScript(Tovimar_Type& type, bool fromSource, ScriptList& scripts, GenerationContext&) {
    if (!type.ObjectIncluded) return 0;
    const QString typ = QStringLiteral("Type");
    const Tovimar_Type* other = type.OtherObj();
    ScriptPtr script;
    if (!other) {
        script = NewScript(fromSource, typ, fromSource ? QStringLiteral("CREATE") : QStringLiteral("DELETE"), type);
        script->AddSQL(fromSource ? AddTypeSQL(type) : DropTypeSQL(type));
    } else if (fromSource && TypeDiffers(type, *other)) {
        script = NewScript(true, typ, QStringLiteral("CHANGE"), type);
        script->AddSQL(DropTypeSQL(*other));
        script->AddSQL(AddTypeSQL(type));
    } else {
        return 0;
    }
    scripts.push_back(script);
    return 1;
}
