// The audio pages: search, the users' and communities' lists, recommendations, the add and delete tokens and
// requests, and the rights-holder file. Answers are what the service's own page scripts receive: code page
// 1251, the fields of an AJAX answer separated by "<!>".
#include "sandbox/SandboxAudio.h"
#include "sandbox/SandboxPages.h"
#include "sandbox/SandboxVideo.h"

#include <httplib.h>

#include <QHash>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

using namespace SandboxPage;

// The fields the service puts before every AJAX payload: version, style and script files, status codes.
const std::string AnswerHeader = "<!--18035<!>audio.css,audio.js<!>0<!>6546<!>0<!>";
const std::string SearchHeader = "<!--18035<!>search.css,audio.css,audio.js<!>0<!>6546<!>0<!>";
// Status 3 in the last header field: the page needs a signed-in user, and there is no payload.
const std::string SignInNeeded = "<!--18035<!>audio.css,audio.js<!>0<!>6546<!>3<!>";
const char *const HtmlType = "text/html; charset=windows-1251";

constexpr int RowsPerPage = 100;
const std::string TokenPageOwner = "9999999999";

// ---- text helpers

// The byte of `cp` in code page 1251, from Qt's table read backwards; -1 when the code page has none (0x98,
// which the code page leaves undefined, included).
int cp1251Byte(char32_t cp)
{
    static const QHash<char32_t, int> bytes = [] {
        QByteArray high;
        for (int b = 0x80; b <= 0xFF; ++b)
            high.append(char(b));
        const QString text = QStringDecoder("windows-1251").decode(high);
        QHash<char32_t, int> table;
        for (int i = 0; i < text.size(); ++i) {
            if (0x80 + i != 0x98)
                table.insert(text.at(i).unicode(), 0x80 + i);
        }
        return table;
    }();
    if (cp < 0x80)
        return int(cp);
    return bytes.value(cp, -1);
}

std::string duration(int seconds)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
    return text;
}

std::string streamUrl(const std::string &base, const SandboxTrack &track)
{
    return base + "/storage/mp3/" + std::to_string(track.seconds) + "/" + track.oid + "_" + track.aid +
           ".mp3";
}

std::string newToken()
{
    static std::mt19937_64 generator{std::random_device{}()};
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 18; ++i)
        token += digits[generator() % 16];
    return token;
}

bool serveCanned(const SandboxAudio &audio, const httplib::Request &request, httplib::Response &response,
                 const char *type = HtmlType)
{
    const auto canned = audio.cannedAnswers.find(request.target);
    if (canned == audio.cannedAnswers.end())
        return false;
    response.set_content(canned->second, type);
    return true;
}

// ---- answers

// An entry of a list object: single-quoted script texts, titles escaped for HTML.
std::string listEntry(const std::string &base, const SandboxTrack &track)
{
    const auto text = [&track](const std::string &utf8) {
        return escapeHtml(qs(utf8), track.rawQuotes).toStdString();
    };
    return "['" + track.oid + "','" + track.aid + "','" + streamUrl(base, track) + "','','" +
           duration(track.seconds) + "','" + text(track.artist) + "','" + text(track.title) + "']";
}

std::string listObject(const std::string &opening, const std::string &base,
                       const std::vector<SandboxTrack> &tracks)
{
    std::string object = opening;
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (i > 0)
            object += ',';
        object += listEntry(base, tracks[i]);
    }
    return object + "]}";
}

std::string listAnswer(const std::string &base, const std::vector<SandboxTrack> *tracks)
{
    if (tracks == nullptr)
        return SandboxAudio::encodeWindows1251(AnswerHeader + "{}<!><!>");
    const std::string summary = std::to_string(tracks->size()) + " аудиозаписей";
    return SandboxAudio::encodeWindows1251(AnswerHeader + listObject("{'all':[", base, *tracks) +
                                           "<!>{'summary':'" + summary + "','has_more':false}<!>");
}

std::vector<SandboxTrack> recommendationsFor(const SandboxAudio &audio, const std::string &uid)
{
    std::vector<SandboxTrack> picked;
    if (audio.catalogue.empty())
        return picked;
    const size_t seed = std::hash<std::string>{}(uid);
    for (size_t k = 0; k < 30; ++k)
        picked.push_back(audio.catalogue[(seed + k * 11) % audio.catalogue.size()]);
    return picked;
}

const SandboxTrack *findTrack(const SandboxAudio &audio, const std::string &oid, const std::string &aid)
{
    const auto match = [&](const SandboxTrack &t) { return t.oid == oid && t.aid == aid; };
    const auto in = [&](const std::vector<SandboxTrack> &list) -> const SandboxTrack * {
        const auto it = std::find_if(list.begin(), list.end(), match);
        return it == list.end() ? nullptr : &*it;
    };
    if (const SandboxTrack *t = in(audio.catalogue))
        return t;
    for (const auto &[owner, list] : audio.users) {
        if (const SandboxTrack *t = in(list))
            return t;
    }
    for (const auto &[owner, list] : audio.communities) {
        if (const SandboxTrack *t = in(list))
            return t;
    }
    return nullptr;
}

// ---- seed

const char *const SeedArtists[] = {
    "Кино",
    "Ария",
    "ДДТ",
    "Сплин",
    "Земфира",
    "Ленинград",
    "Мумий Тролль",
    "Би-2",
    "Наутилус Помпилиус",
    "Агата Кристи",
    "Пикник",
    "Аквариум",
    "Чайф",
    "Машина времени",
    "Король и Шут",
    "Metallica",
    "Muse",
    "Queen",
    "Simon & Garfunkel",
    "Guns N' Roses",
    "AC/DC",
    "Beyoncé",
    "Daft Punk",
    "Nirvana",
    "Radiohead",
    "The Beatles",
    "Rammstein",
    "Depeche Mode",
    "Pink Floyd",
    "Scorpions",
};
const char *const SeedTitles[] = {
    "Группа крови",
    "Звезда по имени Солнце",
    "Кукушка",
    "Беспечный ангел",
    "Что такое осень",
    "Выхода нет",
    "Хочешь?",
    "Лесник",
    "Утекай",
    "Полковнику никто не пишет",
    "Nothing Else Matters",
    "Uprising",
    "Bohemian Rhapsody",
    "The Sound of Silence",
    "Sweet Child O' Mine",
    "Highway to Hell",
    "Halo",
    "Get Lucky",
    "Smells Like Teen Spirit",
    "Creep",
    "Yesterday",
    "Du hast",
    "Enjoy the Silence",
    "Wish You Were Here",
    "Wind of Change",
    "Rock'n'Roll",
    "50% & Half",
    "Скидки 100%",
    "Love & Peace",
    "<Untitled>",
    "Ещё раз",
    "Café del Mar",
    "Don't Stop",
    "Mix %D0%B0",
    "Танцы",
    "Осень",
    "Ночь",
    "Зима",
    "Summer \"Live\"",
    "Rain",
};
constexpr int SeedArtistCount = int(std::size(SeedArtists));
constexpr int SeedTitleCount = int(std::size(SeedTitles));

SandboxTrack seedTrack(int i)
{
    SandboxTrack track;
    track.oid = std::to_string(2000000 + i % 47);
    track.aid = std::to_string(456000 + i);
    track.artist = SeedArtists[i % SeedArtistCount];
    track.title = SeedTitles[(i * 7 + i / SeedArtistCount) % SeedTitleCount];
    track.seconds = 95 + (i * 37) % 400;
    track.lyrics = i % 7 == 3;
    return track;
}

std::vector<SandboxTrack> ownList(const std::string &owner, int count, int aidBase, int stride)
{
    std::vector<SandboxTrack> list;
    for (int k = 0; k < count; ++k) {
        SandboxTrack track = seedTrack((k * stride) % 330);
        track.oid = owner;
        track.aid = std::to_string(aidBase + k);
        list.push_back(track);
    }
    return list;
}

} // namespace

// ---- SandboxAudio

SandboxAudio SandboxAudio::seeded()
{
    SandboxAudio audio;
    for (int i = 0; i < 330; ++i)
        audio.catalogue.push_back(seedTrack(i));
    audio.users[Sandbox::defaultAccount().uid] = ownList(Sandbox::defaultAccount().uid, 25, 1, 13);
    audio.users["1000002"] = ownList("1000002", 500, 10000, 7);
    audio.communities["1"] = ownList("-1", 40, 5000, 17);
    std::vector<SandboxTrack> second = ownList("-2", 5, 6000, 29);
    second[2].title = "Rock'n'Roll Star";
    second[2].rawQuotes = true;
    audio.communities["2"] = second;
    audio.riaaFile = encodeWindows1251("Ленинград\nRammstein\r\nМумий Тролль\nBritney Spears\n");
    return audio;
}

std::string SandboxAudio::encodeWindows1251(const std::string &utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (const char32_t cp : qs(utf8).toUcs4()) {
        const int byte = cp1251Byte(cp);
        if (byte >= 0)
            out += char(byte);
        else
            out += "&#" + std::to_string(unsigned(cp)) + ";";
    }
    return out;
}

std::string SandboxAudio::decodeQueryValue(const std::string &raw)
{
    std::string out;
    out.reserve(raw.size());
    const auto hex = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '+') {
            out += ' ';
        } else if (raw[i] == '%' && i + 2 < raw.size() && hex(raw[i + 1]) >= 0 && hex(raw[i + 2]) >= 0) {
            out += char(hex(raw[i + 1]) * 16 + hex(raw[i + 2]));
            i += 2;
        } else {
            out += raw[i];
        }
    }
    return out;
}

std::string SandboxAudio::searchAnswer(const SandboxAudio &audio, const std::string &base,
                                       const std::string &query, int offset, int sort)
{
    const QString wanted = qs(query).trimmed();
    std::vector<const SandboxTrack *> hits;
    for (const SandboxTrack &track : audio.catalogue) {
        // "artist - title" finds the track too, as the album screen asks for it.
        if (qs(track.artist).contains(wanted, Qt::CaseInsensitive) ||
            qs(track.title).contains(wanted, Qt::CaseInsensitive) ||
            qs(track.artist + " - " + track.title).contains(wanted, Qt::CaseInsensitive))
            hits.push_back(&track);
    }
    // 1: shortest first; every other code keeps the service's own order.
    if (sort == 1)
        std::stable_sort(hits.begin(), hits.end(), [](const SandboxTrack *a, const SandboxTrack *b) {
            return a->seconds < b->seconds;
        });

    QString rows;
    const size_t first = offset < 0 ? 0 : size_t(offset);
    for (size_t i = first; i < hits.size() && i < first + RowsPerPage; ++i) {
        const SandboxTrack &t = *hits[i];
        const QString id = qs(t.oid) + QLatin1Char('_') + qs(t.aid);
        const QString title = highlighted(qs(t.title), wanted);
        rows +=
            QStringLiteral(
                "<div class=\"audio audios_row clear_fix\" id=\"audio%1\" onmouseover=\"addClass(this, "
                "'over');\" onmouseout=\"removeClass(this, 'over');\">\n"
                "  <div class=\"area clear_fix\" onclick=\"if (cur.cancelClick) return (cur.cancelClick = "
                "false); playAudioNew('%1')\">\n"
                "    <table cellspacing=\"0\" cellpadding=\"0\" width=\"100%\"><tr>\n"
                "      <td><div class=\"play_btn fl_l\"><div class=\"play_btn_wrap\"><div class=\"play_new\" "
                "id=\"play%1\"></div></div>\n"
                "        <input type=\"hidden\" id=\"audio_info%1\" value=\"%2,%3\" /></div></td>\n")
                .arg(id, qs(streamUrl(base, t)), QString::number(t.seconds));
        rows +=
            QStringLiteral(
                "      <td class=\"info\"><div class=\"title_wrap audio_title_wrap fl_l\" "
                "onmouseover=\"setTitle(this);\"><b><a href=\"/search?c[section]=audio&amp;c[q]=") +
            percentEscapeUtf8(qs(t.artist)) +
            QStringLiteral("&amp;c[performer]=1\" onclick=\"return nav.go(this, event, {search: 1});\">") +
            highlighted(qs(t.artist), wanted) +
            QStringLiteral("</a></b> &ndash; <span class=\"title\" id=\"title") + id + QStringLiteral("\">");
        if (t.lyrics)
            rows += QStringLiteral("<a href=\"#\" onclick=\"Audio.showLyrics('%1', %2); return false;\">")
                        .arg(id, qs(t.aid).right(4)) +
                    title + QStringLiteral("</a>");
        else
            rows += title;
        rows +=
            QStringLiteral(
                " </span><span class=\"user\" onclick=\"Audio.filterByUser('%1')\"></span></div>\n"
                "        <div class=\"actions\"><div class=\"audio_add_wrap fl_r\" id=\"audio_add%2\" "
                "onmouseover=\"Audio.rowActive(this, 'Добавить в мои аудиозаписи', [9, 5, 0]);\" "
                "onmouseout=\"Audio.rowInactive(this);\" onclick=\"Audio.addShareAudio(this, {aid:%3, oid:"
                "%1, hash: '0d1f2e3c4b5a69788796', top: 0}); return cancelEvent(event);\">"
                "<div class=\"audio_add\"></div></div></div>\n"
                "        <div class=\"duration fl_r\">%4</div></td>\n"
                "    </tr></table>\n"
                "  </div>\n"
                "  <div id=\"lyrics%2\" class=\"lyrics\" nosorthandle=\"1\"></div>\n"
                "</div>\n")
                .arg(qs(t.oid), id, qs(t.aid), qs(duration(t.seconds)));
    }
    if (rows.isEmpty())
        rows = QStringLiteral("<div class=\"search_noresults\">Ничего не найдено</div>");

    const size_t next = std::min(hits.size(), first + RowsPerPage);
    // An HTML reader takes the header's "<!--" for the start of a comment; the payload opens with one of its
    // own so that the comment ends before the results.
    const QString payload =
        QStringLiteral("<!-- audio search --><div id=\"search_summary\" class=\"summary\">Найдено %1 "
                       "аудиозаписей</div><div id=\"results\" class=\"audio_results\">\n")
            .arg(hits.size()) +
        rows + QStringLiteral("</div><div id=\"show_more\" class=\"show_more\">Показать ещё</div><!>") +
        QStringLiteral("{\"has_more\":%1,\"offset\":%2,\"count\":%3}<!>")
            .arg(next < hits.size() ? QStringLiteral("true") : QStringLiteral("false"))
            .arg(next)
            .arg(hits.size());
    return encodeWindows1251(SearchHeader + payload.toStdString());
}

std::vector<SandboxTrack> SandboxAudio::userAudio(Sandbox &sandbox, const std::string &uid)
{
    std::lock_guard lock(sandbox.state().mutex);
    const auto it = sandbox.state().audio->users.find(uid);
    return it == sandbox.state().audio->users.end() ? std::vector<SandboxTrack>() : it->second;
}

std::vector<SandboxTrack> SandboxAudio::catalogueOf(Sandbox &sandbox)
{
    std::lock_guard lock(sandbox.state().mutex);
    return sandbox.state().audio->catalogue;
}

void SandboxAudio::setRiaaText(Sandbox &sandbox, const std::string &utf8)
{
    std::lock_guard lock(sandbox.state().mutex);
    sandbox.state().audio->riaaFile = encodeWindows1251(utf8);
}

void SandboxAudio::setCannedAnswer(Sandbox &sandbox, const std::string &target, const std::string &bytes)
{
    std::lock_guard lock(sandbox.state().mutex);
    sandbox.state().audio->cannedAnswers[target] = bytes;
}

int SandboxAudio::tokenPageFetches(Sandbox &sandbox)
{
    std::lock_guard lock(sandbox.state().mutex);
    return sandbox.state().audio->tokenPagesServed;
}

std::pair<std::string, std::string> SandboxAudio::tokensOf(Sandbox &sandbox, const std::string &sid)
{
    std::lock_guard lock(sandbox.state().mutex);
    const auto it = sandbox.state().audio->tokens.find(sid);
    return it == sandbox.state().audio->tokens.end() ? std::pair<std::string, std::string>() : it->second;
}

std::optional<SandboxRequest> SandboxAudio::lastRequest(Sandbox &sandbox, const std::string &kind)
{
    std::lock_guard lock(sandbox.state().mutex);
    const auto it = sandbox.state().audio->lastRequests.find(kind);
    if (it == sandbox.state().audio->lastRequests.end())
        return std::nullopt;
    return it->second;
}

std::string SandboxAudio::lastSearchText(Sandbox &sandbox)
{
    std::lock_guard lock(sandbox.state().mutex);
    return sandbox.state().audio->lastQuery;
}

// ---- routes

void SandboxRoutes::registerAudio(httplib::Server &server, Sandbox::State &state)
{
    {
        std::lock_guard lock(state.mutex);
        state.audio = std::make_shared<SandboxAudio>(SandboxAudio::seeded());
    }

    server.Get("/al_search.php", [&state](const httplib::Request &request, httplib::Response &response) {
        const auto params = queryOf(request);
        // One search page serves every section; the video section has a module of its own.
        if (param(params, "c[section]") == "video") {
            SandboxVideo::answerSearch(state, request, response);
            return;
        }
        std::lock_guard lock(state.mutex);
        SandboxAudio &audio = *state.audio;
        audio.lastRequests["search"] = seen(request);
        audio.lastQuery = param(params, "c[q]");
        if (serveCanned(audio, request, response))
            return;
        if (sessionOf(request, state).uid.empty() || param(params, "c[section]") != "audio") {
            response.set_content(
                SandboxAudio::encodeWindows1251(
                    SearchHeader + "<!-- --><div class=\"search_noresults\">Ничего не найдено</div><!>"),
                HtmlType);
            return;
        }
        response.set_content(SandboxAudio::searchAnswer(audio, baseOf(request), audio.lastQuery,
                                                        intParam(params, "offset"),
                                                        intParam(params, "c[sort]")),
                             HtmlType);
    });

    server.Get("/audio", [&state](const httplib::Request &request, httplib::Response &response) {
        std::lock_guard lock(state.mutex);
        SandboxAudio &audio = *state.audio;
        const auto params = queryOf(request);
        const std::string act = param(params, "act");
        const std::string id = param(params, "id");
        const std::string kind = act == "load_audios_silent"    ? (id == TokenPageOwner ? "tokens" : "list")
                                 : act == "get_recommendations" ? "recommendations"
                                 : act == "delete_audio"        ? "delete"
                                                                : act;
        audio.lastRequests[kind] = seen(request);
        if (kind == "tokens")
            ++audio.tokenPagesServed;
        if (serveCanned(audio, request, response))
            return;

        const auto [sid, uid] = sessionOf(request, state);
        if (uid.empty()) {
            response.set_content(SandboxAudio::encodeWindows1251(SignInNeeded), HtmlType);
            return;
        }
        const std::string base = baseOf(request);

        if (kind == "tokens") {
            auto &tokens = audio.tokens[sid];
            if (tokens.first.empty())
                tokens = {newToken(), newToken()};
            response.set_content(SandboxAudio::encodeWindows1251(AnswerHeader + "{'all':[],\"add_hash\":\"" +
                                                                 tokens.first + "\",\"delete_hash\":\"" +
                                                                 tokens.second + "\",\"reorder_hash\":\"" +
                                                                 newToken() + "\"}<!><!>"),
                                 HtmlType);
        } else if (kind == "list") {
            const std::string gid = param(params, "gid");
            const bool community = !gid.empty() && gid != "0";
            const auto &lists = community ? audio.communities : audio.users;
            const auto list = lists.find(community ? gid : id);
            response.set_content(listAnswer(base, list == lists.end() ? nullptr : &list->second), HtmlType);
        } else if (kind == "recommendations") {
            bool known = audio.users.count(id) > 0;
            for (const Sandbox::Account &account : state.accounts)
                known = known || account.uid == id;
            // The paging state comes first; the list follows as a field of its own.
            std::string answer = AnswerHeader + "{\"offset\":30,\"has_more\":true}";
            if (known)
                answer += "<!>" + listObject("{\"all\":[", base, recommendationsFor(audio, id));
            response.set_content(
                SandboxAudio::encodeWindows1251(answer + "<!>{\"summary\":\"Рекомендации\"}<!>"), HtmlType);
        } else if (kind == "add" || kind == "delete") {
            const auto tokens = audio.tokens.find(sid);
            const std::string &expected = tokens == audio.tokens.end() ? std::string()
                                          : kind == "add"              ? tokens->second.first
                                                                       : tokens->second.second;
            const std::string hash = param(params, "hash");
            const std::string aid = param(params, "aid");
            const std::string oid = param(params, "oid");
            bool done = false;
            if (!expected.empty() && hash == expected) {
                std::vector<SandboxTrack> &own = audio.users[uid];
                if (kind == "add") {
                    if (const SandboxTrack *found = findTrack(audio, oid, aid)) {
                        SandboxTrack copy = *found;
                        copy.oid = uid;
                        copy.aid = std::to_string(audio.nextAid++);
                        copy.rawQuotes = false;
                        own.insert(own.begin(), copy);
                        done = true;
                    }
                } else if (oid == uid) {
                    const auto before = own.size();
                    own.erase(std::remove_if(own.begin(), own.end(),
                                             [&aid](const SandboxTrack &t) { return t.aid == aid; }),
                              own.end());
                    done = own.size() != before;
                }
            }
            response.set_content(
                SandboxAudio::encodeWindows1251(AnswerHeader + (done ? "1<!>" : "<!>8<!>Ошибка доступа<!>")),
                HtmlType);
        } else {
            response.status = 404;
            response.set_content(SandboxAudio::encodeWindows1251(AnswerHeader + "<!>8<!>"), HtmlType);
        }
    });

    server.Get("/RIAA.txt", [&state](const httplib::Request &request, httplib::Response &response) {
        std::lock_guard lock(state.mutex);
        SandboxAudio &audio = *state.audio;
        audio.lastRequests["riaa"] = seen(request);
        if (serveCanned(audio, request, response, "text/plain; charset=windows-1251"))
            return;
        response.set_content(audio.riaaFile, "text/plain; charset=windows-1251");
    });
}
