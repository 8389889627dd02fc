// The friends and communities pages of the signed-in user, and the pictures they name. Answers are what the
// service's page scripts receive: code page 1251, the fields of an AJAX answer separated by "<!>".
//   /al_friends.php?act=load_friends_silent&al=1&gid=0&id=<uid>   an object whose "all" lists the friends;
//   the
//                                                                    lists of friend requests follow it
//   /al_groups.php?act=get_list&al=1&tab=groups&mid=<uid>         the communities after a "<!json>" marker
//   /avatars/<name>.png                                             a small generated picture
#include "sandbox/SandboxFriends.h"

#include <httplib.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>

namespace {

const std::string AnswerHeader = "<!--18035<!>friends.css,friends.js<!>0<!>6546<!>0<!>";
const std::string GroupsHeader = "<!--18035<!>groups.css,groups.js<!>0<!>6546<!>0<!>";
// Status 3 in the last header field: the page needs a signed-in user, and there is no payload.
const std::string SignInNeeded = "<!--18035<!>friends.css,friends.js<!>0<!>6546<!>3<!>";
const char *const HtmlType = "text/html; charset=windows-1251";

// Display text to HTML text, the way the service writes names into pages and script strings.
std::string escapeHtml(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string baseOf(const httplib::Request &request)
{
    const std::string host = request.get_header_value("Host");
    if (!host.empty())
        return "http://" + host;
    return "http://" + request.local_addr + ":" + std::to_string(request.local_port);
}

// The signed-in user of the request's remixsid cookie; empty when the sandbox does not know the session.
std::string userOf(const httplib::Request &request, const Sandbox::State &state)
{
    const std::string cookies = request.get_header_value("Cookie");
    size_t start = 0;
    while (start < cookies.size()) {
        size_t end = cookies.find(';', start);
        if (end == std::string::npos)
            end = cookies.size();
        std::string pair = cookies.substr(start, end - start);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.rfind("remixsid=", 0) == 0) {
            const auto session = state.sessions.find(pair.substr(9));
            if (session != state.sessions.end())
                return session->second;
        }
        start = end + 1;
    }
    return {};
}

SandboxRequest seen(const httplib::Request &request)
{
    SandboxRequest result{request.target, {}};
    for (const auto &[name, value] : request.headers) {
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT")
            continue;
        result.headers.emplace_back(name, value);
    }
    return result;
}

// ---- seed

const char *const FriendNames[] = {
    "Иван Петров",
    "Мария Иванова",
    "Алексей Смирнов",
    "Ольга Кузнецова",
    "Дмитрий Попов",
    "Елена Соколова",
    "Сергей Лебедев",
    "Наталья Козлова",
    "Андрей Новиков",
    "Татьяна Морозова",
    "Павел Волков",
    "Юлия Алексеева",
    "Борис Гребенщиков",
    "Виктор Цой",
    "Григорий Лепс",
    "Жанна Агузарова",
    "Земфира Рамазанова",
    "Юрий Шевчук",
    "Эдуард Артемьев",
    "Яна Дягилева",
    "Anna Schmidt",
    "Bob Dylan",
    "Charlie Brown",
    "David Miller",
    "Emma Stone",
    "Frank Zappa",
    "George Harrison",
    "Helen Parker",
    "Ian Curtis",
    "Julia Roberts",
    "Kate Bush",
    "Leonard Cohen",
    "Mike Oldfield",
    "Nick Cave",
    "Patti Smith",
    "Robert Smith",
    "alex_92",
    "beta tester",
    "ёжик в тумане",
    "zz top fan",
    "Tom & Jerry",
    "Kate O'Brien",
    "Саша \"Шурик\" Петров",
    "<b>Bold</b> Guy",
    "Léa Müller",
    "\xF0\x9F\x98\x80 Smile",
    "  Padded Name  ",
    "",
    "   ",
    "Åsa Larsson",
    "Ümit Yılmaz",
    "50% Discount",
    "Анна Каренина",
    "Аркадий Райкин",
    "Беата Тышкевич",
    "Вера Брежнева",
    "Галина Уланова",
    "Денис Майданов",
    "Евгений Онегин",
    "Alice Cooper",
    "Brian Eno",
    "Chris Rea",
    "Diana Ross",
    "Elton John",
};

const char *const GroupNames[] = {
    "Рок-клуб",
    "Jazz & Blues",
    "Кино и музыка",
    "Metal Heads",
    "Лучшие песни 90-х",
    "Indie \"Underground\"",
    "dubstep daily",
    "Музыка для души",
    "",
    "Классика",
    "Electronic Beats",
    "Радио Рекорд",
    "Rock'n'Roll Forever",
    "<Hip-Hop>",
    "Ёлки-палки",
    "Acoustic",
    "Brit Pop",
    "Шансон",
    "Techno Club",
    "Русский рок",
    "Pop & Dance",
    "Soundtracks",
};

// The lists of friend requests that follow "all" on the friends page. Their names keep a raw double quote,
// as the page script may: read as part of the list, they would spoil the whole object.
const std::string RequestLists =
    ",\"requests\":[[300001,'/images/camera_c.gif','/id300001',1,'Иван \"Ваня\" Сидоров',0]]"
    ",\"all_requests\":[[300001,'/images/camera_c.gif','/id300001',1,'Иван \"Ваня\" Сидоров',0],"
    "[300002,'/images/camera_c.gif','/id300002',2,'Ольга \"Лёля\"',0]]"
    ",\"out_requests\":[]";

// ---- PNG

void appendBigEndian(std::string &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((value >> shift) & 0xFF);
}

void appendChunk(std::string &png, const char *type, const std::string &data)
{
    appendBigEndian(png, uint32_t(data.size()));
    std::string typed = std::string(type, 4) + data;
    png += typed;
    appendBigEndian(png,
                    uint32_t(crc32(0, reinterpret_cast<const Bytef *>(typed.data()), uInt(typed.size()))));
}

uint32_t hashOf(const std::string &text)
{
    uint32_t hash = 2166136261u;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

} // namespace

// ---- SandboxFriends

SandboxFriends SandboxFriends::seeded()
{
    SandboxFriends seed;
    std::vector<SandboxPerson> &friends = seed.friends[Sandbox::defaultAccount().uid];
    int n = 0;
    for (const char *name : FriendNames) {
        const std::string id = std::to_string(100001 + n++ * 7);
        friends.push_back({id, name, "/avatars/u" + id + ".png"});
    }
    std::vector<SandboxPerson> &groups = seed.groups[Sandbox::defaultAccount().uid];
    n = 0;
    for (const char *name : GroupNames) {
        const std::string id = std::to_string(1 + n++ * 3);
        groups.push_back({id, name, "/avatars/g" + id + ".png"});
    }
    return seed;
}

std::string SandboxFriends::friendsAnswer(const std::vector<SandboxPerson> &friends, const std::string &base)
{
    // Keys in double quotes, texts as single-quoted script strings.
    std::string object = "{\"all\":[";
    for (size_t i = 0; i < friends.size(); ++i) {
        const SandboxPerson &p = friends[i];
        if (i > 0)
            object += ',';
        object += "[" + p.id + ",'" + base + p.picture + "','/id" + p.id + "'," +
                  std::to_string(1 + int(i % 2)) + ",'" + escapeHtml(p.name) + "'," +
                  std::to_string(int(i % 3 == 0)) + "]";
    }
    object += "]" + RequestLists + "}";
    return SandboxAudio::encodeWindows1251(AnswerHeader + object + "<!>{\"summary\":\"" +
                                           std::to_string(friends.size()) + " друзей\"}<!>");
}

std::string SandboxFriends::groupsAnswer(const std::vector<SandboxPerson> &groups, const std::string &base)
{
    std::string list = "[";
    for (size_t i = 0; i < groups.size(); ++i) {
        const SandboxPerson &g = groups[i];
        if (i > 0)
            list += ',';
        // Name, short address, number, role, picture.
        list += "[\"" + escapeHtml(g.name) + "\",\"club" + g.id + "\"," + g.id + "," +
                std::to_string(int(i % 4)) + ",\"" + base + g.picture + "\"]";
    }
    list += "]";
    return SandboxAudio::encodeWindows1251(GroupsHeader + "<div class=\"groups_summary\">Сообществ: " +
                                           std::to_string(groups.size()) + "</div><!><!json>" + list);
}

std::string SandboxFriends::avatarPng(const std::string &name)
{
    constexpr int Size = 50;
    const uint32_t hash = hashOf(name);
    // A darker background and a lighter head-and-shoulders figure of the same hue.
    const int r = 60 + int(hash % 120), g = 60 + int((hash >> 8) % 120), b = 60 + int((hash >> 16) % 120);
    std::string raw;
    raw.reserve(size_t(Size * (Size * 3 + 1)));
    for (int y = 0; y < Size; ++y) {
        raw += char(0); // no filter
        for (int x = 0; x < Size; ++x) {
            const int hx = x - 25, hy = y - 19;
            const bool head = hx * hx + hy * hy <= 81;
            const double sx = (x - 25) / 17.0, sy = (y - 50) / 16.0;
            const bool shoulders = sx * sx + sy * sy <= 1.0;
            const bool figure = head || shoulders;
            raw += char(figure ? 255 - (255 - r) / 3 : r);
            raw += char(figure ? 255 - (255 - g) / 3 : g);
            raw += char(figure ? 255 - (255 - b) / 3 : b);
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef *>(raw.data()), uLong(raw.size()), Z_BEST_COMPRESSION);
    packed.resize(packedSize);

    std::string header;
    appendBigEndian(header, Size);
    appendBigEndian(header, Size);
    header += char(8); // bits per sample
    header += char(2); // truecolour
    header += std::string(3, '\0');
    std::string png = "\x89PNG\r\n\x1A\n";
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", std::string());
    return png;
}

std::vector<SandboxPerson> SandboxFriends::friendsOf(Sandbox &sandbox, const std::string &uid)
{
    std::lock_guard lock(sandbox.state().mutex);
    const auto &all = sandbox.state().friends->friends;
    const auto it = all.find(uid);
    return it == all.end() ? std::vector<SandboxPerson>() : it->second;
}

std::vector<SandboxPerson> SandboxFriends::groupsOf(Sandbox &sandbox, const std::string &uid)
{
    std::lock_guard lock(sandbox.state().mutex);
    const auto &all = sandbox.state().friends->groups;
    const auto it = all.find(uid);
    return it == all.end() ? std::vector<SandboxPerson>() : it->second;
}

void SandboxFriends::setFriends(Sandbox &sandbox, const std::string &uid,
                                const std::vector<SandboxPerson> &friends)
{
    std::lock_guard lock(sandbox.state().mutex);
    sandbox.state().friends->friends[uid] = friends;
}

void SandboxFriends::setCannedAnswer(Sandbox &sandbox, const std::string &target, const std::string &bytes)
{
    std::lock_guard lock(sandbox.state().mutex);
    sandbox.state().friends->cannedAnswers[target] = bytes;
}

std::optional<SandboxRequest> SandboxFriends::lastRequest(Sandbox &sandbox, const std::string &kind)
{
    std::lock_guard lock(sandbox.state().mutex);
    const auto &requests = sandbox.state().friends->lastRequests;
    const auto it = requests.find(kind);
    if (it == requests.end())
        return std::nullopt;
    return it->second;
}

// ---- routes

void SandboxRoutes::registerFriends(httplib::Server &server, Sandbox::State &state)
{
    {
        std::lock_guard lock(state.mutex);
        state.friends = std::make_shared<SandboxFriends>(SandboxFriends::seeded());
    }

    // One handler for both pages: the kind decides which list and which form.
    const auto page = [&state](const char *kind, const char *ownerParam) {
        return [&state, kind, ownerParam](const httplib::Request &request, httplib::Response &response) {
            std::lock_guard lock(state.mutex);
            SandboxFriends &social = *state.friends;
            social.lastRequests[kind] = seen(request);
            const auto canned = social.cannedAnswers.find(request.target);
            if (canned != social.cannedAnswers.end()) {
                response.set_content(canned->second, HtmlType);
                return;
            }
            const std::string uid = userOf(request, state);
            if (uid.empty()) {
                response.set_content(SandboxAudio::encodeWindows1251(SignInNeeded), HtmlType);
                return;
            }
            const bool friends = std::strcmp(kind, "friends") == 0;
            const auto &lists = friends ? social.friends : social.groups;
            const auto list = lists.find(request.get_param_value(ownerParam));
            const std::vector<SandboxPerson> none;
            const std::vector<SandboxPerson> &people = list == lists.end() ? none : list->second;
            response.set_content(friends ? SandboxFriends::friendsAnswer(people, baseOf(request))
                                         : SandboxFriends::groupsAnswer(people, baseOf(request)),
                                 HtmlType);
        };
    };
    server.Get("/al_friends.php", page("friends", "id"));
    server.Get("/al_groups.php", page("groups", "mid"));

    server.Get(R"(/avatars/([A-Za-z0-9_]+)\.png)",
               [](const httplib::Request &request, httplib::Response &response) {
                   response.set_header("Cache-Control", "max-age=86400");
                   response.set_content(SandboxFriends::avatarPng(request.matches[1]), "image/png");
               });
}
