#include "compare/generators.h"

#include "schema/sql_text.h"

bool DefinitionsDiffer(const QString& sourceDefinition, const QString& destDefinition, const QString& keyword,
                       const QString& fullName, const QString& tableName, int number) {
    // Both texts are rewritten with the same canonical name: the stored text of an object often
    // names it another way (dbo.Sales, Sales, [dbo].[Sales]), and a database compared with itself
    // must show no difference. A rename is scripted on its own, not as a definition change.
    const QString source =
        ReplaceObjectName(sourceDefinition, QString(), QString(), keyword, fullName, tableName, number);
    const QString dest = ReplaceObjectName(destDefinition, QString(), QString(), keyword, fullName, tableName, number);
    return TextDiffers(source, dest);
}
