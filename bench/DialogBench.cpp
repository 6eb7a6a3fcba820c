// The dialog on large documents: from start to the shown tree (grouped in large or small
// groups, a million levels deep, a million siblings) next to the engine's own load of
// the same file, one rebuild after an item change, refilling the list with 10,000
// parameters, one play-mode tick, and the first window of the process on the bundled
// example. Real widgets on the offscreen platform, or the one QT_QPA_PLATFORM names; run
// by hand (see docs/benchmarks.md).

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "DlgSelvane.h"
#include "ProgramSetup.h"
#include "SelvaneApplication.h"

namespace {

// When main began, before the application object.
std::chrono::steady_clock::time_point MainStart;
bool WindowOpened = false;

std::filesystem::path Folder()
{
    static const std::filesystem::path folder = [] {
        std::filesystem::path path = std::filesystem::temp_directory_path() / "selvane-dialog-bench";
        std::filesystem::create_directories(path / "hive");
        ::setenv("SELVANE_HIVE_DIR", (path / "hive").c_str(), 1);
        TProgramSetup("Software\\Velmarco").WriteBool("fadeinout", false);
        return path;
    }();
    return folder;
}

// The document `name` in the benchmark folder, written by `write` the first time.
std::string Document(const std::string& name, const std::function<void(std::ofstream&)>& write)
{
    const std::filesystem::path file = Folder() / name;
    if (!std::filesystem::exists(file)) {
        std::ofstream out(file, std::ios::binary);
        write(out);
    }
    return file.string();
}

// A root with groups of `perGroup` items each, every item with two parameters.
std::string GroupedDocument(int items, int perGroup)
{
    return Document("grouped-" + std::to_string(items) + "-" + std::to_string(perGroup) + ".xml", [&](std::ofstream& out) {
        out << "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n<plant>\r\n";
        for (int group = 0; group * perGroup < items; ++group) {
            out << "  <group" << group << " kind=\"line\">\r\n";
            for (int i = 0; i < perGroup && group * perGroup + i < items; ++i)
                out << "    <item" << i << " setpoint=\"" << i << "\" unit=\"kN\"/>\r\n";
            out << "  </group" << group << ">\r\n";
        }
        out << "</plant>\r\n";
    });
}

// A chain `levels` deep, one tag a line, ending in the item "bottom".
std::string DeepDocument(int levels)
{
    return Document("deep-" + std::to_string(levels) + ".xml", [&](std::ofstream& out) {
        for (int i = 1; i < levels; ++i)
            out << "<level>\n";
        out << "<bottom/>\n";
        for (int i = 1; i < levels; ++i)
            out << "</level>\n";
    });
}

// A root with `count` children, the last one "last".
std::string SiblingDocument(int count)
{
    return Document("siblings-" + std::to_string(count) + ".xml", [&](std::ofstream& out) {
        out << "<plant>\n";
        for (int i = 1; i < count; ++i)
            out << "  <item/>\n";
        out << "  <last/>\n</plant>\n";
    });
}

std::string WideItemDocument(int parameters)
{
    return Document("wide-" + std::to_string(parameters) + ".xml", [&](std::ofstream& out) {
        out << "<plant>\r\n  <wide";
        for (int i = 0; i < parameters; ++i)
            out << (i % 50 == 0 ? "\r\n    " : " ") << "p" << i << "=\"" << i * 7 << "\"";
        out << "/>\r\n</plant>\r\n";
    });
}

// Opens the dialog on a file and returns once its tree is shown.
std::unique_ptr<TfrmXMLDialog> OpenShown(const std::string& file)
{
    WindowOpened = true;
    auto window = std::make_unique<TfrmXMLDialog>(QStringList{QString::fromStdString(file)});
    window->show();
    auto* tree = window->findChild<QTreeView*>(QStringLiteral("tvXML"));
    while (tree->model()->rowCount() == 0 || !window->windowTitle().startsWith(QStringLiteral("XML Dialog")))
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    QApplication::processEvents();
    return window;
}

// Items in groups of range(1): with small groups, a tree of many parents. As in
// EngineLoad, one untimed open comes first, so that neither pays for the process's first
// use of the memory such a tree takes; docs/benchmarks.md times both in new processes too.
void StartToShownTree(benchmark::State& state)
{
    const std::string file = GroupedDocument(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    auto warmUp = OpenShown(file);
    warmUp->close();
    warmUp.reset();
    for (auto _ : state) {
        auto window = OpenShown(file);
        state.PauseTiming();
        window->close();
        window.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The engine alone reading the file of StartToShownTree.
void EngineLoad(benchmark::State& state)
{
    const std::string file = GroupedDocument(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    TECXMLParser().LoadFromFile(file);
    for (auto _ : state) {
        auto document = std::make_unique<TECXMLParser>();
        document->LoadFromFile(file);
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The first window of the process on the bundled example, from the start of main (the
// application object, styles, fonts and icons included) to its shown tree. Only the
// first window of a process pays for all that: run it alone.
void StartUpToShownExample(benchmark::State& state)
{
    if (WindowOpened) {
        state.SkipWithError("run alone: --benchmark_filter=StartUpToShownExample");
        return;
    }
    for (auto _ : state) {
        auto window = OpenShown(SELVANE_EXAMPLE_FILE);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - MainStart).count());
        state.PauseTiming();
        window->close();
        window.reset();
        state.ResumeTiming();
    }
}

// From start to the shown tree of a deep or a wide document, and the selection of its
// last item in document order, which must come into view.
void StartToShownAndLastItem(benchmark::State& state, const std::string& file)
{
    for (auto _ : state) {
        auto window = OpenShown(file);
        TXMLItem* last = window->XML.Root();
        while (last->Count() > 0)
            last = last->Items(last->Count() - 1);
        window->SelectNode(window->FindItemNode(last));
        QApplication::processEvents();
        auto* tree = window->findChild<QTreeView*>(QStringLiteral("tvXML"));
        const QString name = QString::fromStdString(last->Name());
        const QString current = tree->currentIndex().data().toString();
        const QRect row = tree->visualRect(tree->currentIndex());
        const bool shown = current == name && row.bottom() >= 0 && row.top() < tree->viewport()->height() && row.left() < tree->viewport()->width();
        state.PauseTiming();
        window->close();
        window.reset();
        state.ResumeTiming();
        if (!shown) {
            state.SkipWithError(("the last item is not shown, the current node is \"" + current.toStdString() + "\"").c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void StartToShownDeepTree(benchmark::State& state) { StartToShownAndLastItem(state, DeepDocument(static_cast<int>(state.range(0)))); }

void StartToShownSiblings(benchmark::State& state) { StartToShownAndLastItem(state, SiblingDocument(static_cast<int>(state.range(0)))); }

void RebuildAfterItemChange(benchmark::State& state)
{
    auto window = OpenShown(GroupedDocument(static_cast<int>(state.range(0)), 1000));
    TXMLItem* group = window->XML.Root()->Items(0);
    int round = 0;
    for (auto _ : state) {
        group->SetName("group" + std::to_string(round++ % 2));
        QApplication::processEvents();
    }
    // Destroyed without a close request: the renames would raise the save question.
    window.reset();
}

void FillParamListWide(benchmark::State& state)
{
    auto window = OpenShown(WideItemDocument(static_cast<int>(state.range(0))));
    auto* tree = window->findChild<QTreeView*>(QStringLiteral("tvXML"));
    tree->setCurrentIndex(tree->model()->index(0, 0, tree->model()->index(0, 0)));
    for (auto _ : state) {
        window->FillParamList();
        QApplication::processEvents();
    }
    window->close();
}

// One play-mode tick's work (reload, rebuild, reselect by path, refill) on a document of
// about 10 MB in groups of range(1) items, with an item in the middle selected.
void PlayModeTick(benchmark::State& state)
{
    const int items = static_cast<int>(state.range(0));
    const int perGroup = static_cast<int>(state.range(1));
    const std::string file = GroupedDocument(items, perGroup);
    auto window = OpenShown(file);
    auto* tree = window->findChild<QTreeView*>(QStringLiteral("tvXML"));
    const QModelIndex group = tree->model()->index(items / perGroup / 2, 0, tree->model()->index(0, 0));
    const QString selected = QStringLiteral("item%1").arg(perGroup / 2);
    tree->setCurrentIndex(tree->model()->index(perGroup / 2, 0, group));
    QApplication::processEvents();
    QAction* refresh = window->findChild<QAction*>(QStringLiteral("aRefresh"));
    for (auto _ : state) {
        refresh->trigger();
        QApplication::processEvents();
    }
    if (!tree->currentIndex().isValid() || tree->currentIndex().data().toString() != selected)
        state.SkipWithError("the selection did not survive the reload");
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(file)));
    window->close();
}

} // namespace

BENCHMARK(PlayModeTick)->Args({240000, 1000})->Args({240000, 36})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StartUpToShownExample)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(StartToShownTree)
    ->Args({100000, 1000})
    ->Args({1000000, 1000})
    ->Args({1000000, 10})
    ->Args({4650000, 1000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(EngineLoad)->Args({1000000, 1000})->Args({4650000, 1000})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(StartToShownDeepTree)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(StartToShownSiblings)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(RebuildAfterItemChange)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FillParamListWide)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    MainStart = std::chrono::steady_clock::now();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Folder();
    TSelvaneApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
