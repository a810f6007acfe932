#include "compare/generators.h"

#include "schema/sql_text.h"

bool DefinitionsDiffer(const QString& sourceDefinition, const QString& destDefinition, const QString& keyword,
                       const QString& fullName, const QString& tableName, int number) {
    const QString source =
        ReplaceObjectName(sourceDefinition, QString(), QString(), keyword, fullName, tableName, number);
    return TextDiffers(source, NormalizeLineBreaks(destDefinition));
}
