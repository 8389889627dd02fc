// Appending a further page of results to a list a view is showing: the cost should follow the page, not the
// list. A QML ListView draws the model offscreen, as the window's table does; each iteration appends one page
// and lets the view lay itself out. Compare "page 2" (100 rows shown, 100 more) with "page 20" (1,900 shown,
// 100 more): the ratio should stay near 1 (at most 2).
#include "core/Stores.h"
#include "screens/AudioRecordModel.h"
#include "screens/VideoRecordModel.h"

#include "InlineView.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>

#include <optional>

#include <benchmark/benchmark.h>

namespace {

constexpr int pageRows = 100;

QList<AudioRecord> audioPage(int first)
{
    QList<AudioRecord> page;
    for (int i = first; i < first + pageRows; ++i)
        page.append(AudioRecord{QStringLiteral("3:2%1").arg(i % 10), QStringLiteral("http://h/%1.mp3").arg(i),
                                QStringLiteral("Title %1").arg(i), QStringLiteral("Artist %1").arg(i),
                                QString::number(i), QString::number(i), QStringLiteral("1")});
    return page;
}

QList<VideoRecord> videoPage(int first)
{
    QList<VideoRecord> page;
    for (int i = first; i < first + pageRows; ++i)
        page.append(VideoRecord{QStringLiteral("Clip %1").arg(i), QStringLiteral("1_%1").arg(i),
                                QStringLiteral("720"), QString::number(i), QStringLiteral("-1"),
                                QStringLiteral("1:00"), QString()});
    return page;
}

// A table as the result screens draw it: a list view over the model, in a window of the usual height.
struct Table : InlineView
{
    explicit Table(QAbstractItemModel *model)
        : InlineView(QStringLiteral("import QtQuick\n"
                                    "ListView { width: 800; height: 700; model: rows; cacheBuffer: 0\n"
                                    "  delegate: Text { width: 800; height: 48; text: model.title } }"),
                     QSize(800, 700), [model](QQmlContext *context) {
                         context->setContextProperty(QStringLiteral("rows"), model);
                     })
    {}
};

template <class Store, class Model, class Page>
void appendPage(benchmark::State &state, Store &store, Page makePage)
{
    const int shown = int(state.range(0));
    Model model(&store);
    std::optional<Table> table;
    if (state.range(1) != 0)
        table.emplace(&model);
    const auto settle = [&] {
        if (table)
            table->settle();
    };
    for (auto _ : state) {
        state.PauseTiming();
        store.clear();
        for (int first = 0; first < shown; first += pageRows)
            store.append(makePage(first));
        settle();
        const auto page = makePage(shown);
        state.ResumeTiming();
        store.append(page);
        settle();
    }
    state.counters["rows_shown"] = shown;
}

void BM_AudioAppendPage(benchmark::State &state)
{
    appendPage<AudioRecordStore, AudioRecordModel>(state, Stores::audioFound(), audioPage);
}
void BM_VideoAppendPage(benchmark::State &state)
{
    appendPage<VideoRecordStore, VideoRecordModel>(state, Stores::videoFound(), videoPage);
}

} // namespace

// Arguments: rows shown before the page; 1 with the list view drawing the model, 0 for the model alone.
BENCHMARK(BM_AudioAppendPage)->ArgsProduct({{100, 1900}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VideoAppendPage)->ArgsProduct({{100, 1900}, {0, 1}})->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
