// Script tree benchmark: the tree of the script window for N scripts, built and ticked as the
// window does it. Two shapes: N/10 tables with a CHANGE script each and nine column scripts
// (deep, many small groups), and N views in one group (one node with N children). Times the
// Show filter, building the tree (node paths, tags, the stable sort, the keyed inserts), ticking
// and unticking the root, a single leaf, and excluding one change kind on the widest group.
// With app_review built, also the widget part: the script window's tree items for the same
// scripts (offscreen), which is what the window adds on top of the logic before Qt draws.
//
//   bench_script_tree [N]      (default 100000)
#include "compare/generators.h"
#include "review/script_tree.h"
#include "schema/model.h"

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

#ifdef TOVIMAR_BENCH_WINDOW
#include "app/frm_scripts.h"
#include "platform/prompt.h"
#include <QApplication>
#include <QTreeWidget>
#endif

namespace {

// The processor time of the work in milliseconds: the machine the numbers come from is shared,
// so wall-clock time would mostly measure the other processes.
double Millis(const std::function<void()>& work) {
    auto now = [] { return static_cast<double>(std::clock()) * 1e3 / CLOCKS_PER_SEC; };
    const double start = now();
    work();
    return now() - start;
}

struct Fixture {
    std::unique_ptr<Tovimar_Database> db = std::make_unique<Tovimar_Database>();
    ScriptList scripts;

    void Add(const QString& typ, const QString& action, Tovimar_Object& object) {
        ScriptPtr script = NewScript(true, typ, action, object);
        script->AddSQL(QStringLiteral("-- ") + object.FullName(true));
        script->Index = static_cast<long>(scripts.size()) + 1;
        scripts.push_back(script);
    }
};

std::unique_ptr<Fixture> Tables(int n) {
    auto f = std::make_unique<Fixture>();
    f->db->Name = QStringLiteral("Bench");
    for (int t = 0; t < n / 10; ++t) {
        auto table = std::make_shared<Tovimar_Table>();
        table->Owner = QStringLiteral("dbo");
        table->Name = QStringLiteral("Table%1").arg(t);
        table->SetDatabase(f->db.get());
        f->db->Tables.Add(table, table->FullName());
        f->Add(QStringLiteral("Table"), QStringLiteral("CHANGE"), *table);
        for (int c = 0; c < 9; ++c) {
            auto field = std::make_shared<Tovimar_Field>();
            field->Name = QStringLiteral("Column%1").arg(c);
            field->ColID = c + 1;
            table->AddField(field);
            f->Add(QStringLiteral("Column"), c % 3 ? QStringLiteral("CHANGE") : QStringLiteral("CREATE"), *field);
        }
    }
    return f;
}

std::unique_ptr<Fixture> Views(int n) {
    auto f = std::make_unique<Fixture>();
    f->db->Name = QStringLiteral("Bench");
    for (int v = 0; v < n; ++v) {
        auto view = std::make_shared<Tovimar_View>();
        view->Owner = QStringLiteral("dbo");
        view->Name = QStringLiteral("View%1").arg(v);
        view->SetDatabase(f->db.get());
        f->db->Views.Add(view, view->FullName());
        f->Add(QStringLiteral("View"), v % 2 ? QStringLiteral("CHANGE") : QStringLiteral("CREATE"), *view);
    }
    return f;
}

void Run(const char* shape, Fixture& f) {
    ScriptTree tree;
    const double filter = Millis([&] { ApplyShowFilter(f.scripts, ShowBoxes{}); });
    const double build = Millis([&] { tree.Build(f.scripts, f.db->Name); });
    const double untickRoot = Millis([&] { tree.SetChecked(tree.Root(), false); });
    const double tickRoot = Millis([&] { tree.SetChecked(tree.Root(), true); });
    const int leaf = tree.Count() - 1;
    const double leafOff = Millis([&] {
        tree.SetChecked(tree.Root(), false);
        tree.SetChecked(leaf, true);
    });
    const int group = tree.At(tree.Root()).Children.front();
    const double exclude = Millis([&] { tree.SetActionChecked(group, QStringLiteral("CHANGE"), false); });
    std::printf("%-8s scripts %7zu nodes %7d | filter %7.1f ms | build %7.1f ms | untick root %6.1f ms | tick root %6.1f ms"
                " | root off + leaf on %6.1f ms | exclude CHANGE on a group %6.1f ms\n",
                shape, f.scripts.size(), tree.Count(), filter, build, untickRoot, tickRoot, leafOff, exclude);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef TOVIMAR_BENCH_WINDOW
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#endif
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    for (int pass = 0; pass < 2; ++pass) {
        auto tables = Tables(n);
        Run("tables", *tables);
        auto views = Views(n);
        Run("views", *views);
#ifdef TOVIMAR_BENCH_WINDOW
        for (Fixture* f : {tables.get(), views.get()}) {
            DefaultAnswerPrompt prompt;
            NullProgress progress;
            auto session = std::make_shared<ComparisonSession>();
            auto* window = new frmScripts(session, f->scripts, progress, prompt);
            const double load = Millis([&] { window->Load(); });
            const double tick = Millis([&] {
                window->Item(window->Tree().Root())->setCheckState(0, Qt::Unchecked);
                window->Item(window->Tree().Root())->setCheckState(0, Qt::Checked);
            });
            std::printf("window   scripts %7zu | Load (logic + tree items) %7.1f ms | untick + tick root with items %7.1f ms\n",
                        f->scripts.size(), load, tick);
            delete window;
        }
#endif
    }
    return 0;
}
