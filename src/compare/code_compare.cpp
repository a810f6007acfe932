#include "compare/generators.h"

#include "platform/tovimar_exception.h"
#include "schema/sql_text.h"

QString RewriteDefinition(const QString& definition, const QString& find, const QString& replace,
                          const QString& keyword, const QString& fullName, const QString& tableName, int number) {
    try {
        return ReplaceObjectName(definition, find, replace, keyword, fullName, tableName, number);
    } catch (const TovimarException& e) {
        // A definition that cannot be scanned stops the run: say which object it belongs to.
        const QString object = tableName.isEmpty() ? fullName : tableName + QLatin1Char('.') + fullName;
        throw TovimarException(e.Number, e.Source, e.Description + QStringLiteral(" in the definition of ") + object);
    }
}

bool DefinitionsDiffer(const QString& sourceDefinition, const QString& destDefinition, const QString& keyword,
                       const QString& fullName, const QString& tableName, int number) {
    // Both texts are rewritten with the same canonical name: the stored text of an object often
    // names it another way (dbo.Sales, Sales, [dbo].[Sales]), and a database compared with itself
    // must show no difference. A rename is scripted on its own, not as a definition change.
    const QString source =
        RewriteDefinition(sourceDefinition, QString(), QString(), keyword, fullName, tableName, number);
    // The same text rewrites to the same text (most pairs are unchanged): the rewrite of the
    // Source's text, which would have failed first, is the one made.
    if (sourceDefinition == destDefinition) return false;
    const QString dest = RewriteDefinition(destDefinition, QString(), QString(), keyword, fullName, tableName, number);
    return TextDiffers(source, dest);
}
