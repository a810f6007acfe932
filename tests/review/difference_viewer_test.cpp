// The difference viewer's two texts and its command line.
#include "review/difference_viewer.h"
#include "compare/generators.h"
#include "support/model_builder.h"

#include <gtest/gtest.h>

namespace {

TEST(DifferenceViewer, CommandLineIsSplitBeforeTheFileNamesGoIn) {
    struct Case {
        QString Command;
        QStringList Expected;
    };
    const QString src = QStringLiteral("/tmp/a b/src \"x\"; rm -rf ~.sql");
    const QString dst = QStringLiteral("/tmp/$(id)/dst'.sql");
    const Case cases[] = {
        {QStringLiteral("windiff \"%d\" \"%s\""), {"windiff", dst, src}},
        {QStringLiteral("  meld %S --label=\"Dest %D\"  "), {"meld", src, "--label=Dest " + dst}},
        {QStringLiteral("\"/opt/my diff/bin\" %s %d 100%"), {"/opt/my diff/bin", src, dst, "100%"}},
        {QString(), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DifferenceViewerArguments(c.Command, src, dst), c.Expected) << c.Command.toStdString();
}

TEST(DifferenceViewer, EachSideCreatesItselfAndTheLinksSurvive) {
    TestDb src(QStringLiteral("SRV"), QStringLiteral("Src"));
    TestDb dst(QStringLiteral("SRV"), QStringLiteral("Dest"));
    auto t = src.Table("dbo", "T");
    t.Col("ID", "int");
    t.Col("NewName", "int");
    auto d = dst.Table("dbo", "T");
    d.Col("ID", "int");
    d.Col("OldName", "bigint");
    src.View("dbo", "V", "CREATE VIEW V AS SELECT 1 AS A");
    dst.View("dbo", "V", "CREATE VIEW V AS SELECT 2 AS A");
    LinkPair(src, dst);
    Tovimar_Database::SetLink(t->Fields.Item("[NewName]").get(), d->Fields.Item("[OldName]").get());
    GenerationContext ctx;
    ctx.DB1 = &*src;
    ctx.DB2 = &*dst;

    ScriptPtr table = NewScript(true, "Table", "CHANGE", *t);
    const DifferenceTexts texts = DifferenceViewTexts(*table, *src, ctx);
    EXPECT_TRUE(texts.Source.contains("[NewName]")) << texts.Source.toStdString();
    EXPECT_TRUE(texts.Destination.contains("[OldName]")) << texts.Destination.toStdString();
    EXPECT_TRUE(texts.Source.endsWith("\r\nGO\r\n"));
    EXPECT_EQ(t->OtherObj(), &*d);
    EXPECT_EQ(t->Fields.Item("[NewName]")->OtherObj(), d->Fields.Item("[OldName]").get());
    EXPECT_FALSE(ctx.DiffViewMode);

    // A script made from the Destination side finds the Source side through the link.
    ScriptPtr view = NewScript(true, "View", "CHANGE", *dst->Views.Item("[dbo].[V]"));
    const DifferenceTexts views = DifferenceViewTexts(*view, *src, ctx);
    EXPECT_TRUE(views.Source.contains("SELECT 1")) << views.Source.toStdString();
    EXPECT_TRUE(views.Destination.contains("SELECT 2")) << views.Destination.toStdString();
    EXPECT_EQ(src->Views.Item("[dbo].[V]")->OtherObj(), dst->Views.Item("[dbo].[V]").get());
}

}  // namespace
