// Cost of reading one audio search page (100 rows): the whole reader — parse, row search, row serialisation,
// the two further parses of every row and the cuts — against one bare libxml2 parse of the same page, both
// measured alternately in one loop so that load from other processes hits them alike. Target: at most 3
// times.

#include "decoding/Text.h"
#include "sandbox/SandboxAudio.h"
#include "service/AudioSearchPage.h"

#include <benchmark/benchmark.h>

#include <libxml/HTMLparser.h>

#include <chrono>
#include <ctime>
#include <iomanip>
#include <iostream>

namespace {

constexpr int RowCount = 100;
constexpr double Target = 3.0;

// The sandbox's answer to a search with highlighted hits, decoded as the client decodes it.
const QString &page()
{
    static const QString text = [] {
        const SandboxAudio audio = SandboxAudio::seeded();
        return Text::decodeWindows1251(
            QByteArray::fromStdString(SandboxAudio::searchAnswer(audio, "http://127.0.0.1:8080", "e", 0, 0)));
    }();
    return text;
}

void bareParse(const QByteArray &utf8)
{
    htmlDocPtr doc = htmlReadDoc(reinterpret_cast<const xmlChar *>(utf8.constData()), nullptr, "UTF-8",
                                 HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
}

bool readPage(const QString &text)
{
    const auto records = parseAudioSearchPage(text);
    benchmark::DoNotOptimize(records);
    return records && records->size() == RowCount;
}

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Totals over every run of the interleaved benchmark (repetitions included), for the closing line.
struct Totals
{
    double bareWall = 0, bareCpu = 0, fullWall = 0, fullCpu = 0;
} totals;

void BM_SearchPageRatio(benchmark::State &state)
{
    const QString &text = page();
    const QByteArray utf8 = text.toUtf8();
    if (!readPage(text)) {
        state.SkipWithError("the page did not yield 100 records");
        return;
    }
    Totals run;
    for (auto _ : state) {
        const auto wall0 = std::chrono::steady_clock::now();
        const double cpu0 = threadCpuSeconds();
        bareParse(utf8);
        const auto wall1 = std::chrono::steady_clock::now();
        const double cpu1 = threadCpuSeconds();
        readPage(text);
        const auto wall2 = std::chrono::steady_clock::now();
        const double cpu2 = threadCpuSeconds();
        run.bareWall += std::chrono::duration<double>(wall1 - wall0).count();
        run.fullWall += std::chrono::duration<double>(wall2 - wall1).count();
        run.bareCpu += cpu1 - cpu0;
        run.fullCpu += cpu2 - cpu1;
    }
    if (run.bareWall > 0 && run.bareCpu > 0) {
        state.counters["ratio_cpu"] = run.fullCpu / run.bareCpu;
        state.counters["ratio_real"] = run.fullWall / run.bareWall;
        state.counters["bare_ms"] = run.bareCpu / double(state.iterations()) * 1e3;
        state.counters["reader_ms"] = run.fullCpu / double(state.iterations()) * 1e3;
    }
    state.counters["page_bytes"] = double(utf8.size());
    totals.bareWall += run.bareWall;
    totals.bareCpu += run.bareCpu;
    totals.fullWall += run.fullWall;
    totals.fullCpu += run.fullCpu;
}
BENCHMARK(BM_SearchPageRatio)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The two halves on their own, for the table.
void BM_BareParse(benchmark::State &state)
{
    const QByteArray utf8 = page().toUtf8();
    for (auto _ : state)
        bareParse(utf8);
}
BENCHMARK(BM_BareParse)->Unit(benchmark::kMillisecond);

void BM_ReadSearchPage(benchmark::State &state)
{
    const QString &text = page();
    for (auto _ : state) {
        if (!readPage(text)) {
            state.SkipWithError("the page did not yield 100 records");
            break;
        }
    }
}
BENCHMARK(BM_ReadSearchPage)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (totals.bareCpu > 0 && totals.bareWall > 0) {
        std::cout << std::fixed << std::setprecision(2)
                  << "ratio (interleaved) search page reader / bare parse: "
                  << totals.fullCpu / totals.bareCpu << "x CPU, " << totals.fullWall / totals.bareWall
                  << "x real (target <= " << Target << "x)\n";
    }
    benchmark::Shutdown();
    return 0;
}
