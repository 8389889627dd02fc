// Parsing speed of the JSON reader against nlohmann::json and RapidJSON on music-list shaped documents.

#include "decoding/Json.h"

#include <QByteArray>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

// A list of tracks as the service sends it: every entry an object or an array of seven short texts, some
// Cyrillic, some with escapes.
QByteArray makeDocument(int entries)
{
    static const char *const artists[] = {
        "Кино",     "Queen",          "ДДТ",     "Radiohead",          "Сплин", "Daft Punk",
        "Аквариум", "Massive Attack", "Земфира", "The \\\"Beatles\\\""};
    static const char *const titles[] = {"Группа крови",  "Bohemian Rhapsody", "Что такое осень",
                                         "Karma Police",  "Выхода нет",        "One More Time",
                                         "Город золотой", "Teardrop",          "Хочешь?",
                                         "Let It Be",     "Rock \\u0026 Roll", "Звезда по имени Солнце"};
    std::mt19937 random(42);
    QByteArray out;
    out.reserve(entries * 260);
    out += '[';
    for (int i = 0; i < entries; ++i) {
        if (i)
            out += ',';
        const QByteArray id = QByteArray::number(100000000 + int(random() % 900000000));
        const QByteArray owner = QByteArray::number(-int(random() % 90000000));
        const QByteArray artist = artists[random() % std::size(artists)];
        const QByteArray title = titles[random() % std::size(titles)];
        const QByteArray duration = QByteArray::number(int(random() % 600));
        const QByteArray url = "https:\\/\\/cs" + QByteArray::number(int(random() % 9000)) +
                               ".userapi.com\\/p" + QByteArray::number(int(random() % 99999)) + "\\/u" + id +
                               "\\/audios\\/" + QByteArray::number(quint64(random()) * 7919u, 16) +
                               ".mp3?extra=" + QByteArray::number(quint64(random()) * random(), 36) + "_" +
                               QByteArray::number(quint64(random()) * random(), 36);
        const QByteArray hash = QByteArray::number(quint64(random()) * 2654435761u, 16) +
                                QByteArray::number(quint64(random()) * 2654435761u, 16);
        if (i % 2 == 0) {
            out += "{\"id\":\"" + id + "\",\"owner\":\"" + owner + "\",\"artist\":\"" + artist +
                   "\",\"title\":\"" + title + "\",\"duration\":\"" + duration + "\",\"url\":\"" + url +
                   "\",\"hash\":\"" + hash + "\"}";
        } else {
            out += "[\"" + id + "\",\"" + owner + "\",\"" + artist + "\",\"" + title + "\",\"" + duration +
                   "\",\"" + url + "\",\"" + hash + "\"]";
        }
    }
    out += ']';
    return out;
}

const QByteArray &document(int entries)
{
    static const QByteArray large = makeDocument(20000);
    static const QByteArray small = makeDocument(200);
    const QByteArray &doc = entries == 20000 ? large : small;
    // A benchmark of a reader that fails would measure nothing.
    static bool checked = false;
    if (!checked) {
        checked = true;
        for (const QByteArray *d : {&large, &small}) {
            Json::Parser parser;
            const auto v = parser.objectWithData(d);
            if (!v || v->size() != (d == &large ? 20000u : 200u)) {
                std::fprintf(stderr, "document does not parse: %s\n", qPrintable(parser.error()));
                std::abort();
            }
        }
    }
    return doc;
}

void BM_Melodrop(benchmark::State &state)
{
    const QByteArray &doc = document(int(state.range(0)));
    for (auto _ : state) {
        Json::Parser parser;
        std::optional<Json::Value> v = parser.objectWithData(&doc);
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * doc.size());
    state.counters["doc_bytes"] = double(doc.size());
}

void BM_Nlohmann(benchmark::State &state)
{
    const QByteArray &doc = document(int(state.range(0)));
    for (auto _ : state) {
        nlohmann::json v = nlohmann::json::parse(doc.constData(), doc.constData() + doc.size());
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * doc.size());
    state.counters["doc_bytes"] = double(doc.size());
}

void BM_RapidJSON(benchmark::State &state)
{
    const QByteArray &doc = document(int(state.range(0)));
    for (auto _ : state) {
        rapidjson::Document v;
        v.Parse(doc.constData(), std::size_t(doc.size()));
        benchmark::DoNotOptimize(v.HasParseError());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * doc.size());
    state.counters["doc_bytes"] = double(doc.size());
}

// Argument: number of entries; 20000 makes about 5 MB, 200 about 50 KB.
BENCHMARK(BM_Melodrop)->Arg(20000)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Nlohmann)->Arg(20000)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RapidJSON)->Arg(20000)->Arg(200)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
