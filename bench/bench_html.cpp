// Cost of reading one search page: the HTML layer (parse, row search, row serialisation) against a bare
// libxml2 parse of the same page. The layer should stay within 1.5 times the bare parse.

#include "decoding/Html.h"
#include "decoding/Text.h"

#include <benchmark/benchmark.h>

#include <libxml/HTMLparser.h>

#include <QString>
#include <QStringList>

#include <chrono>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <map>
#include <string>

#include <unistd.h>

namespace {

constexpr int RowCount = 100;

const char *const Artists[] = {"Ария", "Кино", "Сплин", "Земфира", "Metallica", "Ляпис Трубецкой",
                               "ДДТ",  "Muse"};
const char *const Titles[] = {"Беспечный ангел",      "Группа крови", "Выхода нет",      "Хочешь?",
                              "Nothing Else Matters", "Капитал",      "Что такое осень", "Uprising"};

QString fillerBlock(int n)
{
    QString s;
    s += QStringLiteral("<div class=\"module clear_fix\" id=\"module%1\"><div class=\"module_header\">"
                        "<a href=\"/friends?section=online\" onclick=\"return nav.go(this, event);\">"
                        "<div class=\"header_top clear_fix\">Друзья онлайн <span class=\"right_link fl_r\">%1"
                        "</span></div></a></div><div class=\"module_body clear_fix\">")
             .arg(n);
    for (int i = 0; i < 6; ++i) {
        s += QStringLiteral(
                 "<div class=\"people_cell fl_l\"><a href=\"/id%1\" onclick=\"return nav.go(this, "
                 "event);\"><img class=\"people_cell_img\" src=\"http://cs1.example/u%1/e_%2.jpg\" "
                 "alt=\"Пользователь %1\" /></a><div class=\"people_cell_name\"><a href=\"/id%1\">Имя "
                 "Фамилия&nbsp;%1</a></div></div>")
                 .arg(n * 10 + i)
                 .arg(n * 7 + i, 6, 16, QLatin1Char('0'));
    }
    s += QStringLiteral("</div></div><!-- module %1 -->\n").arg(n);
    return s;
}

QString row(int i)
{
    const QString artist = QString::fromUtf8(Artists[i % 8]);
    const QString title = QString::fromUtf8(Titles[(i * 3) % 8]);
    const int oid = 456 + i;
    const int aid = 123000 + i;
    const int seconds = 120 + (i * 37) % 300;
    QString s =
        QStringLiteral(
            "<div class=\"audio audios_row clear_fix\" id=\"audio%1_%2\" onmouseover=\"addClass(this, "
            "'over');\" onmouseout=\"removeClass(this, 'over');\">\n"
            "  <div class=\"area clear_fix\" onclick=\"if (cur.cancelClick) return (cur.cancelClick = "
            "false); playAudioNew('%1_%2')\">\n"
            "    <table cellspacing=\"0\" cellpadding=\"0\" width=\"100%\"><tr>\n"
            "      <td><div class=\"play_btn fl_l\"><div class=\"play_btn_wrap\"><div class=\"play_new\" "
            "id=\"play%1_%2\"></div></div>\n"
            "        <input type=\"hidden\" id=\"audio_info%1_%2\" "
            "value=\"http://cs1.example/u1/audio/abc%2.mp3,%3\" /></div></td>\n"
            "      <td class=\"info\"><div class=\"title_wrap audio_title_wrap fl_l\" "
            "onmouseover=\"setTitle(this);\"><b><a href=\"/search?c[section]=audio&amp;c[q]=%4"
            "&amp;c[performer]=1\" onclick=\"return nav.go(this, event, {search: 1});\">")
            .arg(oid)
            .arg(aid)
            .arg(seconds)
            .arg(Text::escapeQuery(artist));
    s += artist;
    s += QStringLiteral("</a></b> &ndash; <span class=\"title\" id=\"title%1_%2\">").arg(oid).arg(aid);
    if (i % 5 == 0) {
        s += QStringLiteral("<a href=\"\" onclick=\"Audio.showLyrics('%1_%2', %3); return false;\">")
                 .arg(oid)
                 .arg(aid)
                 .arg(9000 + i);
        s += title + QStringLiteral("</a>");
    } else {
        s += QStringLiteral("<span class=\"match\">") + title + QStringLiteral("</span>");
    }
    s += QStringLiteral(
             " </span><span class=\"user\" onclick=\"Audio.filterByUser(%1)\"></span></div>\n"
             "        <div class=\"actions\"><div class=\"audio_add_wrap fl_r\" id=\"audio_add%1_%2\" "
             "onmouseover=\"Audio.rowActive(this, 'Добавить в мои аудиозаписи', [9, 5, 0]);\" "
             "onmouseout=\"Audio.rowInactive(this);\" onclick=\"Audio.addShareAudio(this, {aid: %2, oid: "
             "%1, hash: '0d1f2e3c4b5a69788796a5b4c3d2e1f0', top: 0}); return cancelEvent(event);\">"
             "<div class=\"audio_add\"></div></div>"
             "<div class=\"audio_edit_wrap fl_r\" onclick=\"Audio.editAudio(this, %2, %1)\">"
             "<div class=\"audio_edit\"></div></div></div>\n"
             "        <div class=\"duration fl_r\">%3:%4</div></td>\n"
             "    </tr></table>\n"
             "  </div>\n"
             "  <div id=\"lyrics%1_%2\" class=\"lyrics\" nosorthandle=\"1\"></div>\n"
             "</div>\n")
             .arg(oid)
             .arg(aid)
             .arg(seconds / 60)
             .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return s;
}

// A search page as the service sends it, already decoded: head, menus and side modules around the result
// rows.
const QString &page()
{
    static const QString text = [] {
        QString s =
            QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                           "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n<html><head>"
                           "<meta http-equiv=\"content-type\" content=\"text/html; charset=windows-1251\" />"
                           "<title>Поиск аудиозаписей</title>"
                           "<link rel=\"stylesheet\" type=\"text/css\" href=\"/css/al/common.css?1\" />\n"
                           "<script type=\"text/javascript\">var vk = {id: 1, lang: 0, host: 'example'};\n");
        for (int i = 0; i < 120; ++i)
            s += QStringLiteral("function f%1(a, b) { if (a < b && b > 0) { return a + b; } return '%1'; }\n")
                     .arg(i);
        s += QStringLiteral("</script></head><body onresize=\"onBodyResize()\" class=\"is_rtl font_default\">"
                            "<div id=\"page_layout\"><div id=\"side_bar\" class=\"fl_l\"><ol id=\"nav\">");
        const char *const menu[] = {"Моя Страница",    "Мои Друзья",      "Мои Фотографии",
                                    "Мои Видеозаписи", "Мои Аудиозаписи", "Мои Сообщения",
                                    "Мои Группы",      "Мои Новости",     "Мои Настройки"};
        for (const char *item : menu)
            s += QStringLiteral("<li><a href=\"/menu\" class=\"left_row\" onclick=\"return nav.go(this, "
                                "event);\"><span class=\"left_label inl_bl\">%1</span></a></li>")
                     .arg(QString::fromUtf8(item));
        s += QStringLiteral("</ol></div><div id=\"page_body\" class=\"fl_r\">");
        for (int i = 0; i < 28; ++i)
            s += fillerBlock(i);
        s += QStringLiteral("<div id=\"search_table\" class=\"search_table\"><div id=\"results\">\n");
        for (int i = 0; i < RowCount; ++i)
            s += row(i);
        s += QStringLiteral("</div><div id=\"show_more\" class=\"show_more\">Показать ещё</div></div>");
        for (int i = 28; i < 56; ++i)
            s += fillerBlock(i);
        s += QStringLiteral(
            "</div></div><div id=\"footer\">&copy; 2013 &middot; <a href=\"/about\">О сайте</a>"
            "</div></body></html>\n");
        return s;
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

// Everything the search reader does with the page before it cuts fields from the row texts, including the
// conversion of the page text to UTF-8 inside HTMLParser. Returns the number of rows, or -1 when one
// serialises to nothing.
qsizetype parseSearchSerialise(const QString &text, qsizetype *rowChars)
{
    HTMLParser parser(text);
    const QList<HTMLNode> rows =
        parser.doc().findChildrenWithAttribute("class", "audios_row clear_fix", true);
    *rowChars = 0;
    for (const HTMLNode &node : rows) {
        const QString raw = node.rawContents();
        if (raw.isEmpty())
            return -1;
        *rowChars += raw.size();
        benchmark::DoNotOptimize(raw.constData());
    }
    return rows.size();
}

void BM_BareParse(benchmark::State &state)
{
    const QByteArray utf8 = page().toUtf8();
    for (auto _ : state)
        bareParse(utf8);
    state.SetBytesProcessed(state.iterations() * utf8.size());
    state.counters["page_bytes"] = double(utf8.size());
}
BENCHMARK(BM_BareParse)->Unit(benchmark::kMillisecond);

void BM_ParseSearchSerialise(benchmark::State &state)
{
    const QString &text = page();
    qsizetype rowChars = 0;
    for (auto _ : state) {
        if (parseSearchSerialise(text, &rowChars) != RowCount) {
            state.SkipWithError("the page did not yield its rows");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
    state.counters["row_chars"] = double(rowChars);
}
BENCHMARK(BM_ParseSearchSerialise)->Unit(benchmark::kMillisecond);

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Both workloads alternately in one loop, so that load from other processes hits them alike; the ratio of the
// accumulated times is the figure to compare with the 1.5 target.
void BM_RatioInterleaved(benchmark::State &state)
{
    const QString &text = page();
    const QByteArray utf8 = text.toUtf8();
    double bareWall = 0, bareCpu = 0, fullWall = 0, fullCpu = 0;
    qsizetype rowChars = 0;
    for (auto _ : state) {
        auto wall0 = std::chrono::steady_clock::now();
        double cpu0 = threadCpuSeconds();
        bareParse(utf8);
        auto wall1 = std::chrono::steady_clock::now();
        double cpu1 = threadCpuSeconds();
        if (parseSearchSerialise(text, &rowChars) != RowCount) {
            state.SkipWithError("the page did not yield its rows");
            break;
        }
        auto wall2 = std::chrono::steady_clock::now();
        double cpu2 = threadCpuSeconds();
        bareWall += std::chrono::duration<double>(wall1 - wall0).count();
        fullWall += std::chrono::duration<double>(wall2 - wall1).count();
        bareCpu += cpu1 - cpu0;
        fullCpu += cpu2 - cpu1;
    }
    if (bareWall > 0 && bareCpu > 0) {
        state.counters["ratio_real"] = fullWall / bareWall;
        state.counters["ratio_cpu"] = fullCpu / bareCpu;
    }
}
BENCHMARK(BM_RatioInterleaved)->Unit(benchmark::kMillisecond);

// The page arrives as Windows-1251 bytes and is decoded and stripped of control characters before parsing.
void BM_DecodePage1251(benchmark::State &state)
{
    const QString &text = page();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        // Only ASCII and the Cyrillic letters А..я (plus a few punctuation marks mapped to '?') occur in the
        // page.
        bytes[i] = c < 0x80 ? char(c) : (c >= 0x410 && c <= 0x44F) ? char(0xC0 + (c - 0x410)) : '?';
    }
    for (auto _ : state) {
        const QString decoded = Text::removeControlCharacters(Text::decodeWindows1251(bytes));
        benchmark::DoNotOptimize(decoded.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_DecodePage1251)->Unit(benchmark::kMicrosecond);

// Prints the usual table, then the ratios: from the interleaved run and from the two separate runs.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    explicit RatioReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            Mean &mean = m_means[run.run_name.str()];
            const bool isMean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
            if (isMean) {
                // With repetitions the library's own mean replaces the single runs.
                mean = Mean();
                mean.aggregate = true;
            }
            if (isMean || (run.run_type == Run::RT_Iteration && !mean.aggregate)) {
                mean.values["real"] += run.GetAdjustedRealTime();
                mean.values["cpu"] += run.GetAdjustedCPUTime();
                for (const auto &[name, counter] : run.counters)
                    mean.values[name] += counter.value;
                ++mean.count;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double value(const std::string &benchmark, const std::string &name) const
    {
        const auto it = m_means.find(benchmark);
        if (it == m_means.end() || it->second.count == 0)
            return 0.0;
        const auto value = it->second.values.find(name);
        return value == it->second.values.end() ? 0.0 : value->second / it->second.count;
    }

private:
    struct Mean
    {
        std::map<std::string, double> values;
        int count = 0;
        bool aggregate = false;
    };
    std::map<std::string, Mean> m_means;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                 : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::cout << std::fixed << std::setprecision(2);
    const double interleavedCpu = reporter.value("BM_RatioInterleaved", "ratio_cpu");
    const double interleavedReal = reporter.value("BM_RatioInterleaved", "ratio_real");
    if (interleavedCpu > 0)
        std::cout << "ratio (interleaved) parse+search+serialise / bare parse: " << interleavedCpu
                  << "x CPU, " << interleavedReal << "x real (target <= 1.50x)\n";
    const double bareCpu = reporter.value("BM_BareParse", "cpu");
    const double fullCpu = reporter.value("BM_ParseSearchSerialise", "cpu");
    const double bareReal = reporter.value("BM_BareParse", "real");
    const double fullReal = reporter.value("BM_ParseSearchSerialise", "real");
    if (bareCpu > 0 && fullCpu > 0 && bareReal > 0)
        std::cout << "ratio (separate runs) parse+search+serialise / bare parse: " << fullCpu / bareCpu
                  << "x CPU, " << fullReal / bareReal << "x real\n";
    std::cout.flush();
    benchmark::Shutdown();
    return 0;
}
