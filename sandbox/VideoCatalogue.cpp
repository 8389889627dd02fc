// The video side's seeded data and the answers built from it: the search page, the silent list loader, the
// recommendations section and the video page with its player variables. Answers are what the service's own
// page scripts receive: code page 1251, the fields of an AJAX answer separated by "<!>".
#include "sandbox/SandboxPages.h"
#include "sandbox/SandboxVideo.h"

#include <QList>

#include <algorithm>
#include <cstdio>

using namespace SandboxPage;

namespace {

const std::string VideoHeader = "<!--18035<!>video.css,video.js<!>0<!>6546<!>0<!>";
const std::string SearchHeader = "<!--18035<!>search.css,video.css,video.js<!>0<!>6546<!>0<!>";
const std::string PageHeader = "<!--18035<!>video.css,video.js,videoview.js<!>0<!>6546<!>0<!>";

constexpr int RowsPerPage = 40;
constexpr int CatalogueSize = 420;
constexpr int RecommendationCount = 75;

uint64_t fnv1a(const std::string &text)
{
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// Play time as the service prints it: m:ss, or h:mm:ss from an hour on.
std::string duration(int seconds)
{
    char text[24];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
    return text;
}

std::string thumbnailOf(const std::string &base, const SandboxVideoItem &item)
{
    return item.thumbnail ? base + "/images/video/" + item.key() + ".png" : std::string();
}

int viewsOf(const SandboxVideoItem &item)
{
    return int(fnv1a(item.key()) % 250000);
}

const char *const Subjects[] = {
    "Кино",      "Концерт",     "Обзор",      "Трейлер",    "Интервью",  "Клип",
    "Репортаж",  "Лекция",      "Мультфильм", "Новости",    "Live",      "Trailer",
    "Interview", "Documentary", "Tutorial",   "Highlights", "Making of", "Review",
};
const char *const Topics[] = {
    "Москва",     "Санкт-Петербург", "космос",      "Байкал",        "Ёлка",       "кошки и собаки",
    "Metallica",  "Queen",           "Tom & Jerry", "\"Live\" 2010", "<Official>", "Café del Mar",
    "100% drive", "Rock'n'Roll",     "Formula 1",   "ДДТ",           "Земфира",    "Pink Floyd",
    "Daft Punk",  "Nature 4K",       "a+b",         "Хоккей",        "Футбол",     "Лето",
};
constexpr int SubjectCount = int(std::size(Subjects));
constexpr int TopicCount = int(std::size(Topics));

SandboxVideoItem seedItem(int i)
{
    SandboxVideoItem item;
    item.oid = i % 6 == 0 ? "-" + std::to_string(20 + i % 9) : std::to_string(1000100 + i % 41);
    item.vid = std::to_string(456239017 + i * 3);
    item.title =
        std::string(Subjects[i % SubjectCount]) + " — " + Topics[(i * 7 + i / SubjectCount) % TopicCount];
    if (i % 10 == 9)
        item.title += " (часть " + std::to_string(i / 10 % 5 + 1) + ")";
    item.seconds = i % 23 == 4 ? 3600 + (i * 131) % 3000 : 15 + (i * 97) % 1500;
    item.hd = i % 4;
    item.thumbnail = i % 17 != 5;
    item.storageUid = std::to_string(60000 + i % 29);
    char tag[24];
    std::snprintf(tag, sizeof tag, "%010llx",
                  static_cast<unsigned long long>(fnv1a(item.key()) & 0xffffffffffULL));
    item.vtag = tag;
    return item;
}

std::vector<SandboxVideoItem> ownList(const std::string &owner, int count, int vidBase, int stride)
{
    std::vector<SandboxVideoItem> list;
    for (int k = 0; k < count; ++k) {
        SandboxVideoItem item = seedItem((k * stride + 1) % CatalogueSize);
        item.oid = owner;
        item.vid = std::to_string(vidBase + k);
        item.mp4 = true;
        item.variables = true;
        item.hd = k % 4;
        char tag[24];
        std::snprintf(tag, sizeof tag, "%010llx",
                      static_cast<unsigned long long>(fnv1a(item.key()) & 0xffffffffffULL));
        item.vtag = tag;
        list.push_back(item);
    }
    return list;
}

// A title inside a single-quoted script text of the list loader: HTML-escaped, a space written as "+", a plus
// sign as its character reference, an apostrophe escaped for the script.
QString listTitle(const std::string &utf8)
{
    QString text = escapeHtml(qs(utf8), true);
    text.replace(QLatin1Char('+'), QLatin1String("&#43;"));
    text.replace(QLatin1Char(' '), QLatin1Char('+'));
    text.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return text;
}

// A JSON text for the player variables; "/" escaped as the service's encoder does.
std::string jsonText(const std::string &utf8)
{
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

} // namespace

SandboxVideo SandboxVideo::seeded()
{
    SandboxVideo video;
    for (int i = 0; i < CatalogueSize; ++i)
        video.catalogue.push_back(seedItem(i));
    video.catalogue[7].title = "   "; // a title of blanks only
    video.catalogue[11].mp4 = false;  // only the old FLV form
    video.catalogue[11].title = "Старое видео (только FLV)";
    video.catalogue[13].variables = false; // the page has no player
    video.catalogue[13].title = "Видео с другого сайта";
    video.owners[Sandbox::defaultAccount().uid] = ownList(Sandbox::defaultAccount().uid, 12, 1001, 13);
    video.owners["1000002"] = ownList("1000002", 150, 5001, 7);
    video.owners["-42"] = ownList("-42", 30, 9001, 11);
    video.owners["-7"] = {};
    return video;
}

const SandboxVideoItem *SandboxVideo::find(const std::string &key) const
{
    for (const SandboxVideoItem &item : catalogue) {
        if (item.key() == key)
            return &item;
    }
    for (const auto &[owner, items] : owners) {
        for (const SandboxVideoItem &item : items) {
            if (item.key() == key)
                return &item;
        }
    }
    return nullptr;
}

const SandboxVideoItem *SandboxVideo::findFile(const std::string &storageUid, const std::string &vtag) const
{
    const auto matches = [&](const SandboxVideoItem &item) {
        return item.storageUid == storageUid && item.vtag == vtag;
    };
    for (const SandboxVideoItem &item : catalogue) {
        if (matches(item))
            return &item;
    }
    for (const auto &[owner, items] : owners) {
        for (const SandboxVideoItem &item : items) {
            if (matches(item))
                return &item;
        }
    }
    return nullptr;
}

std::vector<SandboxVideoItem> SandboxVideo::recommendationsFor(const SandboxVideo &video,
                                                               const std::string &uid, bool known)
{
    std::vector<SandboxVideoItem> picked;
    if (!known || video.catalogue.empty())
        return picked;
    const size_t seed = size_t(fnv1a(uid));
    for (size_t k = 0; k < RecommendationCount; ++k) {
        // Videos that play: the picks are meant to be watched.
        size_t at = (seed + k * 13) % video.catalogue.size();
        while (!video.catalogue[at].mp4 || !video.catalogue[at].variables)
            at = (at + 1) % video.catalogue.size();
        picked.push_back(video.catalogue[at]);
    }
    return picked;
}

std::string SandboxVideo::searchAnswer(const SandboxVideo &video, const std::string &base,
                                       const std::string &query, int minHd, int offset, int sort)
{
    const QString wanted = qs(query).trimmed();
    std::vector<const SandboxVideoItem *> hits;
    for (const SandboxVideoItem &item : video.catalogue) {
        if (item.hd >= minHd && (wanted.isEmpty() || qs(item.title).contains(wanted, Qt::CaseInsensitive)))
            hits.push_back(&item);
    }
    if (sort == 1)
        std::stable_sort(hits.begin(), hits.end(), [](const SandboxVideoItem *a, const SandboxVideoItem *b) {
            return a->seconds > b->seconds;
        });
    else if (sort == 2)
        std::stable_sort(hits.begin(), hits.end(), [](const SandboxVideoItem *a, const SandboxVideoItem *b) {
            return std::stoll(a->vid) > std::stoll(b->vid);
        });

    QString rows;
    const size_t first = offset < 0 ? 0 : size_t(offset);
    for (size_t i = first; i < hits.size() && i < first + RowsPerPage; ++i) {
        const SandboxVideoItem &v = *hits[i];
        const QString key = qs(v.key());
        const QString show =
            QStringLiteral("return showVideo('%1', '', {autoplay: 1, module: 'search', list: ''}, event);")
                .arg(key);
        rows += QStringLiteral(
                    "<div class=\"video_row videos_row clear_fix\" id=\"video_row%1\" data-id=\"%1\">\n"
                    "  <div class=\"video_thumb_wrap fl_l\"><a class=\"video_thumb\" href=\"/video%1\" "
                    "onclick=\"%2\"><img src=\"%3\" class=\"video_thumb_img\" alt=\"\" width=\"160\" "
                    "height=\"90\" />\n"
                    "    <div class=\"video_thumb_label\">%4<span class=\"duration\">%5</span></div>"
                    "</a></div>\n")
                    .arg(key, show, qs(thumbnailOf(base, v)),
                         v.hd >= 2 ? QStringLiteral("<span class=\"video_hd_label\">HD</span>") : QString(),
                         qs(duration(v.seconds)));
        rows += QStringLiteral(
                    "  <div class=\"video_info\"><div class=\"video_title\"><a class=\"video_title_link\" "
                    "href=\"/video%1\" onclick=\"%2\">")
                    .arg(key, show) +
                highlighted(qs(v.title), wanted) +
                QStringLiteral(
                    "</a></div>\n    <div class=\"video_desc\"><a href=\"/id%1\" class=\"video_owner\">"
                    "id%1</a> &middot; %2 просмотров</div></div>\n</div>\n")
                    .arg(qs(v.oid))
                    .arg(viewsOf(v));
    }
    if (rows.isEmpty())
        rows = QStringLiteral("<div class=\"search_noresults\">Ничего не найдено</div>");
    const size_t next = std::min(hits.size(), first + RowsPerPage);
    // An HTML reader takes the header's "<!--" for the start of a comment; the payload opens with one of its
    // own so that the comment ends before the results.
    const QString payload =
        QStringLiteral("<!-- video search --><div id=\"search_summary\" class=\"summary\">Найдено %1 "
                       "видеозаписей</div><div id=\"results\" class=\"video_results\">\n")
            .arg(hits.size()) +
        rows + QStringLiteral("</div><div id=\"show_more\" class=\"show_more\">Показать ещё</div><!>") +
        QStringLiteral("{\"has_more\":%1,\"offset\":%2,\"count\":%3}<!>")
            .arg(next < hits.size() ? QStringLiteral("true") : QStringLiteral("false"))
            .arg(next)
            .arg(hits.size());
    return SandboxAudio::encodeWindows1251(SearchHeader + payload.toStdString());
}

std::string SandboxVideo::listAnswer(const std::string &base, const std::vector<SandboxVideoItem> *items)
{
    // An unknown owner: the loader's fields without a list.
    if (items == nullptr)
        return SandboxAudio::encodeWindows1251(VideoHeader + "0<!><!>");
    QString entries;
    for (size_t k = 0; k < items->size(); ++k) {
        const SandboxVideoItem &v = (*items)[k];
        // Numbers come bare or quoted, as the service's encoder happens to write them.
        const QString vid = k % 2 == 0 ? qs(v.vid) : QStringLiteral("'%1'").arg(qs(v.vid));
        if (k > 0)
            entries += QLatin1Char(',');
        entries += QStringLiteral("[%1,%2,'%3','").arg(qs(v.oid), vid, qs(thumbnailOf(base, v))) +
                   listTitle(v.title) +
                   QStringLiteral("','',%1,%2,0,'','%3','%4',0]")
                       .arg(1300000000 + int(k) * 3600)
                       .arg(viewsOf(v))
                       .arg(qs(duration(v.seconds)))
                       .arg(v.hd);
    }
    const QString answer =
        QStringLiteral("%1<!>{'all':[").arg(items->size()) + entries +
        QStringLiteral("],'summary':'%1 видеозаписей','has_more':false}<!><!>").arg(items->size());
    return SandboxAudio::encodeWindows1251(VideoHeader + answer.toStdString());
}

std::string SandboxVideo::recommendationsAnswer(const std::string &base,
                                                const std::vector<SandboxVideoItem> &items)
{
    QString rows;
    for (const SandboxVideoItem &v : items) {
        const QString key = qs(v.key());
        rows +=
            QStringLiteral(
                "<div class=\"video_row_cont video_row_recom\" id=\"video_row_recom%1\">"
                "<a class=\"video_row_thumb\" href=\"/video%1\"><img src=\"%2\" class=\"video_row_img\" "
                "alt=\"\" /></a><div class=\"video_row_info\"><a class=\"video_row_play\" "
                "href=\"/video%1\" onclick=\"return Video.show('%1', {autoplay: 1, module: "
                "'video_recom'}, event);\"><span class=\"video_row_icon\"></span></a>")
                .arg(key, qs(thumbnailOf(base, v))) +
            escapeHtml(qs(v.title)) +
            QStringLiteral("<div class=\"video_row_meta\"><span class=\"video_duration\">%1</span> &middot; "
                           "%2 просмотров</div></div></div>\n")
                .arg(qs(duration(v.seconds)))
                .arg(viewsOf(v));
    }
    // The payload closes the comment that an HTML reader sees opening in the header.
    const QString answer = QStringLiteral("<!-- recommendations --><div class=\"video_section_recom\" "
                                          "id=\"video_recom\">\n") +
                           rows +
                           QStringLiteral("</div><!>{\"has_more\":true,\"offset\":%1}<!>").arg(items.size());
    return SandboxAudio::encodeWindows1251(VideoHeader + answer.toStdString());
}

std::string SandboxVideo::videoPage(const std::string &base, const SandboxVideoItem *item)
{
    if (item == nullptr)
        return SandboxAudio::encodeWindows1251(
            PageHeader + "<div class=\"mv_error\">Видеозапись не найдена или удалена.</div><!><!>");
    const QString title = escapeHtml(qs(item->title));
    std::string page = PageHeader + "<div id=\"mv_container\"><div class=\"mv_title\" id=\"mv_title\">" +
                       title.toStdString() + "</div><div class=\"mv_info\"><span class=\"mv_views\">" +
                       std::to_string(viewsOf(*item)) +
                       " просмотров</span></div><div id=\"mv_player_box\"></div></div><!>";
    if (!item->variables)
        return SandboxAudio::encodeWindows1251(
            page +
            "<div class=\"mv_external\">Видео размещено на другом сайте: <a href=\"http://video.example/" +
            item->vid + "\">смотреть</a></div><!>");

    const std::string hostPort = base.substr(std::string("http://").size());
    const long long number = std::stoll(item->vid);
    // The storage host comes with and without its scheme, numbers as numbers or texts.
    const std::string host =
        number % 2 == 0 ? jsonText("http://" + hostPort + "/") : jsonText(hostPort + "/");
    const bool quoted = number % 3 == 0;
    const auto value = [quoted](int n) {
        return quoted ? "\"" + std::to_string(n) + "\"" : std::to_string(n);
    };
    const std::string vars =
        "{\"uid\":\"" + item->storageUid + "\",\"vid\":" + item->vid + ",\"oid\":" + item->oid +
        ",\"host\":" + host + ",\"vtag\":\"" + item->vtag + "\",\"ltag\":\"" + item->vtag.substr(0, 6) +
        "\",\"vkid\":" + item->storageUid + ",\"md_title\":" + jsonText(qs(item->title).toStdString()) +
        ",\"md_author\":\"id" + item->oid + "\",\"hd\":" + value(item->hd) +
        ",\"no_flv\":" + value(item->mp4 ? 1 : 0) +
        ",\"hd_def\":-1,\"duration\":" + std::to_string(item->seconds) +
        ",\"thumb\":" + jsonText(thumbnailOf(base, *item)) + ",\"is_vk\":1,\"can_embed\":1}";
    page += "<script type=\"text/javascript\">\nvar mvcur = mvcur || {};\nvar vars = " + vars +
            ";\nvar fv_params = {'autoplay': 0, 'lang': 'ru'};\nvideoview.initPlayer(vars, "
            "fv_params);\n</script><!>";
    return SandboxAudio::encodeWindows1251(page);
}
