// Cost of the two video page readers against the least work their answers need.
//  - A full 40-row video search page: the whole reader (one parse, then every row searched as text in its
//    serialised HTML) against one bare libxml2 parse of the same page. Target: at most 1.5 times.
//  - Link resolution on a 300 KB video page whose player variables sit near its end: the whole reader
//    against one bare scan of the page for the variables' marker. Target: at most 3 times.
// Each pair is measured alternately in one loop, so that load from other processes hits both halves alike.

#include "decoding/Text.h"
#include "sandbox/SandboxVideo.h"
#include "service/VideoPage.h"

#include <benchmark/benchmark.h>

#include <libxml/HTMLparser.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <string>

namespace {

constexpr int RowCount = 40;
constexpr double SearchTarget = 1.5;
constexpr double LinkTarget = 3.0;
constexpr qsizetype LinkPageSize = 300 * 1024;
const QString Domain = QStringLiteral("127.0.0.1:8080");

// The sandbox's answer to a search whose hits are highlighted, decoded as the client decodes it.
const QString &searchPage()
{
    static const QString text = [] {
        const SandboxVideo video = SandboxVideo::seeded();
        return Text::decodeWindows1251(QByteArray::fromStdString(
            SandboxVideo::searchAnswer(video, "http://127.0.0.1:8080", "о", 0, 0, 0)));
    }();
    return text;
}

// A video page of 300 KB as the service sends it: the player's page with comments and related videos before
// the script that holds the player variables.
const QString &linkPage()
{
    static const QString text = [] {
        const SandboxVideo video = SandboxVideo::seeded();
        const SandboxVideoItem *item = nullptr;
        for (const SandboxVideoItem &candidate : video.catalogue) {
            if (candidate.hd == 3 && candidate.mp4 && candidate.variables) {
                item = &candidate;
                break;
            }
        }
        QString page = Text::decodeWindows1251(
            QByteArray::fromStdString(SandboxVideo::videoPage("http://127.0.0.1:8080", item)));
        const qsizetype script = page.indexOf(QStringLiteral("<script"));
        QString filler;
        for (int i = 0; filler.size() + page.size() < LinkPageSize; ++i) {
            filler += QStringLiteral(
                          "<div class=\"mv_comment\" id=\"comment%1\">\n\t<a href=\"/id%1\">Пользователь "
                          "%1</a> <span class=\"rel_date\">%2 ноября в 12:%3</span>\n\t<div "
                          "class=\"wall_reply_text\">Отличное видео, спасибо! &laquo;Ещё&raquo; "
                          "бы в 720p.</div>\n</div>\n")
                          .arg(i)
                          .arg(i % 28 + 1)
                          .arg(i % 60, 2, 10, QLatin1Char('0'));
        }
        page.insert(script < 0 ? 0 : script, filler);
        return page;
    }();
    return text;
}

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Totals over every run of an interleaved benchmark (repetitions included), for the closing lines.
struct Totals
{
    double bareWall = 0, bareCpu = 0, fullWall = 0, fullCpu = 0;
};
std::map<std::string, Totals> totals;

void interleave(benchmark::State &state, const std::string &name, const std::function<void()> &bare,
                const std::function<void()> &full)
{
    Totals run;
    for (auto _ : state) {
        const auto wall0 = std::chrono::steady_clock::now();
        const double cpu0 = threadCpuSeconds();
        bare();
        const auto wall1 = std::chrono::steady_clock::now();
        const double cpu1 = threadCpuSeconds();
        full();
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
        state.counters["bare_us"] = run.bareCpu / double(state.iterations()) * 1e6;
        state.counters["reader_us"] = run.fullCpu / double(state.iterations()) * 1e6;
    }
    Totals &all = totals[name];
    all.bareWall += run.bareWall;
    all.bareCpu += run.bareCpu;
    all.fullWall += run.fullWall;
    all.fullCpu += run.fullCpu;
}

void bareParse(const QByteArray &utf8)
{
    htmlDocPtr doc = htmlReadDoc(reinterpret_cast<const xmlChar *>(utf8.constData()), nullptr, "UTF-8",
                                 HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
}

bool readSearch(const QString &text)
{
    const auto records = VideoPage::readSearchPage(text, 0, Domain);
    benchmark::DoNotOptimize(records);
    return records && records->size() == RowCount;
}

bool readLink(const QString &text)
{
    const QString address = VideoPage::readLinkPage(text);
    benchmark::DoNotOptimize(address);
    return address.endsWith(QStringLiteral(".720.mp4"));
}

void BM_VideoSearchPageRatio(benchmark::State &state)
{
    const QString &text = searchPage();
    const QByteArray utf8 = text.toUtf8();
    if (!readSearch(text)) {
        state.SkipWithError("the page did not yield 40 records");
        return;
    }
    state.counters["page_bytes"] = double(utf8.size());
    interleave(
        state, "search", [&] { bareParse(utf8); }, [&] { readSearch(text); });
}
BENCHMARK(BM_VideoSearchPageRatio)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_VideoLinkPageRatio(benchmark::State &state)
{
    const QString &text = linkPage();
    if (!readLink(text)) {
        state.SkipWithError("the page did not resolve to a 720 address");
        return;
    }
    const QString marker = QStringLiteral("var vars = {");
    state.counters["page_chars"] = double(text.size());
    interleave(
        state, "link", [&] { benchmark::DoNotOptimize(text.indexOf(marker)); }, [&] { readLink(text); });
}
BENCHMARK(BM_VideoLinkPageRatio)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    const struct
    {
        const char *name;
        const char *what;
        double target;
    } lines[] = {{"search", "video search page reader / bare parse", SearchTarget},
                 {"link", "video link reader (300 KB page) / bare marker scan", LinkTarget}};
    for (const auto &line : lines) {
        const Totals &t = totals[line.name];
        if (t.bareCpu <= 0 || t.bareWall <= 0)
            continue;
        std::cout << std::fixed << std::setprecision(2) << "ratio (interleaved) " << line.what << ": "
                  << t.fullCpu / t.bareCpu << "x CPU, " << t.fullWall / t.bareWall
                  << "x real (target <= " << line.target << "x)\n";
    }
    benchmark::Shutdown();
    return 0;
}
