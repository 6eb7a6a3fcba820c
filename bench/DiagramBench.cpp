// The diagram on large documents: a whole pass (Redraw) over about 100,000 items, and
// repaints of a 1280 by 800 view, with real widgets on the offscreen platform. Before
// the benchmarks, a one-shot pass reports the memory of a diagram whose widest row holds
// 10,098 items (a million pixels wide). Run by hand (see docs/benchmarks.md).

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ECXMLParser.h"
#include "PaintBox.h"
#include "XMLVisualizer.h"

namespace {

constexpr int ViewWidth = 1280;
constexpr int ViewHeight = 800;

TXMLItem* AddChild(TXMLItem* parent, std::string name, std::string value = {})
{
    TXMLItem* child = parent->New();
    child->SetName(std::move(name));
    if (!value.empty())
        child->SetValue(std::move(value));
    return child;
}

void AddColorSet(TXMLItem* root, const char* name, const char* border, const char* background, const char* font)
{
    TXMLItem* set = AddChild(root, name);
    AddChild(set, "BorderColor", border);
    AddChild(set, "BackgroundColor", background);
    AddChild(set, "FontColor", font);
}

// Three colour sets, then `groups` groups of 50 lines of 40 items; every tenth item names
// the set "Warn" through a ColorCode child. 45 groups give 101,307 items.
void BuildPlant(TECXMLParser& document, int groups)
{
    TXMLItem* root = document.Root();
    root->Clear();
    root->SetName("Plant");
    AddColorSet(root, "Background", "FFFFFF", "FFFFFF", "000000");
    AddColorSet(root, "ConnectionLine", "808080", "FFFFFF", "000000");
    AddColorSet(root, "Warn", "FF0000", "FFFF00", "000000");
    for (int g = 0; g < groups; ++g) {
        TXMLItem* group = AddChild(root, "Group" + std::to_string(g));
        for (int l = 0; l < 50; ++l) {
            TXMLItem* line = AddChild(group, "Line" + std::to_string(l));
            for (int i = 0; i < 40; ++i) {
                TXMLItem* item = AddChild(line, "Sensor" + std::to_string(i));
                if (i % 10 == 0)
                    AddChild(item, "ColorCode", "Warn");
            }
        }
    }
}

// Two halves of 51 groups of 99 items: 10,098 items on the last row.
void BuildWideRow(TECXMLParser& document)
{
    TXMLItem* root = document.Root();
    root->Clear();
    root->SetName("Wide");
    for (int h = 0; h < 2; ++h) {
        TXMLItem* half = AddChild(root, "Half" + std::to_string(h));
        for (int g = 0; g < 51; ++g) {
            TXMLItem* group = AddChild(half, "Group" + std::to_string(g));
            for (int i = 0; i < 99; ++i)
                AddChild(group, "Item" + std::to_string(i));
        }
    }
}

// 40 groups of 50 chains of 50 items each, one inside the other: 100,041 items on 52
// rows, so that a screen of the diagram is full of boxes.
void BuildChains(TECXMLParser& document)
{
    TXMLItem* root = document.Root();
    root->Clear();
    root->SetName("Chains");
    for (int g = 0; g < 40; ++g) {
        TXMLItem* group = AddChild(root, "Group" + std::to_string(g));
        for (int c = 0; c < 50; ++c) {
            TXMLItem* item = group;
            for (int d = 0; d < 50; ++d)
                item = AddChild(item, "Link" + std::to_string(d));
        }
    }
}

int CountItems(const TXMLItem* root)
{
    int count = 0;
    std::vector<const TXMLItem*> pending{root};
    while (!pending.empty()) {
        const TXMLItem* item = pending.back();
        pending.pop_back();
        ++count;
        for (int i = 0; i < item->Count(); ++i)
            pending.push_back(item->Items(i));
    }
    return count;
}

// The main window's viewer: sbXML holding pbXML, shown at the given size.
struct TViewer {
    TECXMLParser XML;
    QScrollArea ScrollBox;
    TPaintBox* PaintBox = new TPaintBox;
    TXMLVisualizer Vis;
    // Repaints of pbXML, counted by its own paint handler, which runs after the diagram's.
    int Paints = 0;
    QRect Painted;

    TViewer()
    {
        PaintBox->OnPaint = [this](QObject*) {
            ++Paints;
            Painted = PaintBox->PaintRect();
        };
        ScrollBox.setObjectName(QStringLiteral("sbXML"));
        PaintBox->setObjectName(QStringLiteral("pbXML"));
        ScrollBox.setWidget(PaintBox);
        Vis.setObjectName(QStringLiteral("Vis"));
        Vis.SetXMLParser(&XML);
        Vis.SetXMLColors(&XML);
        Vis.SetPaintBox(PaintBox);
        Vis.SetDefaultColorName("BorderColor");
        Vis.SetDefaultBorder(clBlack);
        Vis.SetDefaultBackground(clAqua);
        Vis.SetBorderColorName("BorderColor");
        Vis.SetBackgroundColorName("BackgroundColor");
        Vis.SetFontColorName("FontColor");
        Vis.SetSelectedColorSet("BorderColor");
    }

    void Show()
    {
        ScrollBox.show();
        ScrollBox.resize(ViewWidth + 2 * ScrollBox.frameWidth() + ScrollBox.verticalScrollBar()->sizeHint().width(),
                         ViewHeight + 2 * ScrollBox.frameWidth() + ScrollBox.horizontalScrollBar()->sizeHint().height());
        while (!ScrollBox.windowHandle() || !ScrollBox.windowHandle()->isExposed())
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        QApplication::processEvents();
    }

    // Scrolls to the middle of the picture.
    void ScrollToMiddle()
    {
        ScrollBox.horizontalScrollBar()->setValue(ScrollBox.horizontalScrollBar()->maximum() / 2);
        ScrollBox.verticalScrollBar()->setValue(ScrollBox.verticalScrollBar()->maximum() / 2);
        QApplication::processEvents();
    }
};

TViewer& Plant()
{
    static TViewer* viewer = [] {
        auto* v = new TViewer;
        BuildPlant(v->XML, 45);
        v->Show();
        QElapsedTimer timer;
        timer.start();
        v->Vis.Redraw();
        std::fprintf(stderr, "plant: %d items, picture %d x %d, first Redraw (making the records) %.1f ms\n", CountItems(v->XML.Root()),
                     v->Vis.PictureWidth(), v->Vis.PictureHeight(), static_cast<double>(timer.nsecsElapsed()) / 1e6);
        v->ScrollToMiddle();
        return v;
    }();
    return *viewer;
}

TViewer& Chains()
{
    static TViewer* viewer = [] {
        auto* v = new TViewer;
        BuildChains(v->XML);
        v->Show();
        v->Vis.Redraw();
        std::fprintf(stderr, "chains: %d items, picture %d x %d\n", CountItems(v->XML.Root()), v->Vis.PictureWidth(), v->Vis.PictureHeight());
        v->ScrollToMiddle();
        return v;
    }();
    return *viewer;
}

void Redraw(benchmark::State& state)
{
    TViewer& viewer = Plant();
    for (auto _ : state)
        viewer.Vis.Redraw();
    QApplication::processEvents();
    state.counters["items"] = CountItems(viewer.XML.Root());
}
BENCHMARK(Redraw)->Unit(benchmark::kMillisecond);

// pbXML painted again at once; Qt limits the paint to its part visible in the viewport.
// Argument 0: the left end, boxes close together; 1: the middle of the picture, where
// 45,000 long lines from the rows of lines to their sensors cross the view.
void RepaintView(benchmark::State& state)
{
    TViewer& viewer = Plant();
    QScrollBar* bar = viewer.ScrollBox.horizontalScrollBar();
    bar->setValue(state.range(0) == 0 ? 0 : bar->maximum() / 2);
    QApplication::processEvents();
    const int paints = viewer.Paints;
    for (auto _ : state)
        viewer.PaintBox->repaint();
    state.counters["paints"] = benchmark::Counter(viewer.Paints - paints, benchmark::Counter::kAvgIterations);
    state.counters["painted_w"] = viewer.Painted.width();
    state.counters["painted_h"] = viewer.Painted.height();
}
BENCHMARK(RepaintView)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A whole screen of boxes and lines: the middle of the chains document.
void RepaintFullView(benchmark::State& state)
{
    TViewer& viewer = Chains();
    const int paints = viewer.Paints;
    for (auto _ : state)
        viewer.PaintBox->repaint();
    state.counters["paints"] = benchmark::Counter(viewer.Paints - paints, benchmark::Counter::kAvgIterations);
    state.counters["painted_w"] = viewer.Painted.width();
    state.counters["painted_h"] = viewer.Painted.height();
}
BENCHMARK(RepaintFullView)->Unit(benchmark::kMillisecond);

// The middle part painted into an image: the diagram's own share of a repaint.
void PaintViewImage(benchmark::State& state)
{
    TViewer& viewer = Plant();
    viewer.ScrollToMiddle();
    const QRect view(viewer.PaintBox->mapFrom(viewer.ScrollBox.viewport(), QPoint(0, 0)), QSize(ViewWidth, ViewHeight));
    for (auto _ : state)
        benchmark::DoNotOptimize(viewer.Vis.PictureImage(view));
}
BENCHMARK(PaintViewImage)->Unit(benchmark::kMillisecond);

double MiB(double bytes)
{
    return bytes / (1024.0 * 1024.0);
}

double PeakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double HeapMiB()
{
    const struct mallinfo2 info = mallinfo2();
    return MiB(static_cast<double>(info.uordblks + info.hblkhd));
}

// Peak memory of the process with the wide diagram laid out and a screen of it painted.
void ReportWideRowMemory()
{
    const double rssBefore = PeakRssMiB();
    const double heapBefore = HeapMiB();
    {
        TViewer viewer;
        BuildWideRow(viewer.XML);
        viewer.Show();
        const double heapDocument = HeapMiB();
        QElapsedTimer timer;
        timer.start();
        viewer.Vis.Redraw();
        const double redrawMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        viewer.ScrollToMiddle();
        viewer.PaintBox->repaint();
        viewer.ScrollBox.horizontalScrollBar()->setValue(viewer.ScrollBox.horizontalScrollBar()->maximum());
        QApplication::processEvents();
        viewer.PaintBox->repaint();
        const double heapDiagram = HeapMiB();
        std::fprintf(stderr,
                     "wide row: %d items, picture %d x %d (%.0f MiB as a whole 32-bit picture), Redraw %.1f ms\n"
                     "wide row: heap %.1f MiB for the document, %.1f MiB more with the diagram drawn and shown; "
                     "peak RSS %.1f MiB (%.1f MiB before the document)\n",
                     CountItems(viewer.XML.Root()), viewer.Vis.PictureWidth(), viewer.Vis.PictureHeight(),
                     MiB(4.0 * viewer.Vis.PictureWidth() * viewer.Vis.PictureHeight()), redrawMs, heapDocument - heapBefore,
                     heapDiagram - heapDocument, PeakRssMiB(), rssBefore);
    }
    malloc_trim(0);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ReportWideRowMemory();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fprintf(stderr, "after the benchmarks on the plant: peak RSS %.1f MiB\n", PeakRssMiB());
    return 0;
}
