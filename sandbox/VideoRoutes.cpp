// The video pages: search (through the shared search page), the silent list loader, recommendations, the
// video page; the preview pictures of the web host; and the MP4 files of the storage host, one short clip per
// quality, answered with Range like every storage file.
#include "sandbox/SandboxPages.h"
#include "sandbox/SandboxStorage.h"
#include "sandbox/SandboxVideo.h"

#include <httplib.h>

#include <QFile>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace SandboxPage;

namespace {

const char *const HtmlType = "text/html; charset=windows-1251";
// Status 3 in the last header field: the page needs a signed-in user, and there is no payload.
const std::string SignInNeeded = "<!--18035<!>video.css,video.js<!>0<!>6546<!>3<!>";

bool serveCanned(const SandboxVideo &video, const httplib::Request &request, httplib::Response &response)
{
    const auto canned = video.cannedAnswers.find(request.target);
    if (canned == video.cannedAnswers.end())
        return false;
    response.set_content(canned->second, HtmlType);
    return true;
}

// ---- pictures: a small RGB PNG written by hand (zlib does the compression)

void appendBigEndian(std::string &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((value >> shift) & 0xFF);
}

void appendChunk(std::string &png, const char *type, const std::string &data)
{
    appendBigEndian(png, uint32_t(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    appendBigEndian(png, uint32_t(crc32(0, reinterpret_cast<const Bytef *>(body.data()), uInt(body.size()))));
}

std::string encodePng(int width, int height, const std::vector<unsigned char> &rgb)
{
    std::string raw;
    raw.reserve(size_t(height) * (size_t(width) * 3 + 1));
    for (int y = 0; y < height; ++y) {
        raw += char(0); // no filter
        raw.append(reinterpret_cast<const char *>(rgb.data()) + size_t(y) * size_t(width) * 3,
                   size_t(width) * 3);
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef *>(raw.data()), uLong(raw.size()), 9);
    packed.resize(packedSize);

    std::string header;
    appendBigEndian(header, uint32_t(width));
    appendBigEndian(header, uint32_t(height));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, no filter method, no interlace
    std::string png = "\x89PNG\r\n\x1a\n";
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", std::string());
    return png;
}

std::array<int, 3> hueColour(double hue, double light)
{
    // A plain HSV-to-RGB with full saturation scaled by `light`.
    const double h = hue * 6.0;
    const int sector = int(h) % 6;
    const double f = h - double(int(h));
    const double q = 1.0 - f;
    double r = 0, g = 0, b = 0;
    switch (sector) {
    case 0:
        r = 1, g = f, b = 0;
        break;
    case 1:
        r = q, g = 1, b = 0;
        break;
    case 2:
        r = 0, g = 1, b = f;
        break;
    case 3:
        r = 0, g = q, b = 1;
        break;
    case 4:
        r = f, g = 0, b = 1;
        break;
    default:
        r = 1, g = 0, b = q;
        break;
    }
    return {int(r * 255 * light), int(g * 255 * light), int(b * 255 * light)};
}

} // namespace

// ---- SandboxVideo: media and test access

std::string SandboxVideo::previewPng(const std::string &key)
{
    constexpr int Width = 160;
    constexpr int Height = 90;
    std::vector<unsigned char> rgb(size_t(Width) * Height * 3);
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : key) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    const double hue = double(hash % 360) / 360.0;
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            std::array<int, 3> colour;
            if (key.empty()) {
                const int grey = 170 + y / 6;
                colour = {grey, grey, grey};
            } else {
                // A diagonal gradient in the key's own hue.
                colour = hueColour(hue, 0.35 + 0.5 * double(x + y) / double(Width + Height));
            }
            // A white play sign in the middle.
            const int dx = x - (Width / 2 - 12);
            const int dy = y - Height / 2;
            if (dx >= 0 && dx < 26 && 2 * std::abs(dy) <= 26 - dx)
                colour = {245, 245, 245};
            unsigned char *pixel = &rgb[(size_t(y) * Width + size_t(x)) * 3];
            for (int c = 0; c < 3; ++c)
                pixel[c] = static_cast<unsigned char>(std::clamp(colour[size_t(c)], 0, 255));
        }
    }
    return encodePng(Width, Height, rgb);
}

const QByteArray &SandboxVideo::clip(int lines)
{
    // Made at build time and compiled into the sandbox (sandbox/CMakeLists.txt).
    static const auto load = [](int n) {
        QFile file(QStringLiteral(":/sandbox/clips/clip%1.mp4").arg(n));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    static const QByteArray clips[] = {load(240), load(360), load(480), load(720)};
    static const QByteArray none;
    switch (lines) {
    case 240:
        return clips[0];
    case 360:
        return clips[1];
    case 480:
        return clips[2];
    case 720:
        return clips[3];
    default:
        return none;
    }
}

std::vector<SandboxVideoItem> SandboxVideo::catalogueOf(Sandbox &sandbox)
{
    std::lock_guard lock(sandbox.state().mutex);
    return sandbox.state().video->catalogue;
}

std::vector<SandboxVideoItem> SandboxVideo::listOf(Sandbox &sandbox, const std::string &owner)
{
    std::lock_guard lock(sandbox.state().mutex);
    const auto it = sandbox.state().video->owners.find(owner);
    return it == sandbox.state().video->owners.end() ? std::vector<SandboxVideoItem>() : it->second;
}

void SandboxVideo::setCannedAnswer(Sandbox &sandbox, const std::string &target, const std::string &bytes)
{
    std::lock_guard lock(sandbox.state().mutex);
    sandbox.state().video->cannedAnswers[target] = bytes;
}

std::optional<SandboxRequest> SandboxVideo::lastRequest(Sandbox &sandbox, const std::string &kind)
{
    std::lock_guard lock(sandbox.state().mutex);
    const auto it = sandbox.state().video->lastRequests.find(kind);
    if (it == sandbox.state().video->lastRequests.end())
        return std::nullopt;
    return it->second;
}

std::string SandboxVideo::lastSearchText(Sandbox &sandbox)
{
    std::lock_guard lock(sandbox.state().mutex);
    return sandbox.state().video->lastQuery;
}

void SandboxVideo::answerSearch(Sandbox::State &state, const httplib::Request &request,
                                httplib::Response &response)
{
    std::lock_guard lock(state.mutex);
    SandboxVideo &video = *state.video;
    const auto params = queryOf(request);
    video.lastRequests["search"] = seen(request);
    video.lastQuery = param(params, "c[q]");
    if (serveCanned(video, request, response))
        return;
    if (sessionOf(request, state).uid.empty()) {
        response.set_content(searchAnswer(SandboxVideo(), baseOf(request), video.lastQuery, 0, 0, 0),
                             HtmlType);
        return;
    }
    // c[hd]=1 asks for 360 lines and more; c[quality] 1 and 2 raise that to 480 and 720.
    int minHd = 0;
    if (param(params, "c[hd]") == "1") {
        minHd = 1;
        const int quality = intParam(params, "c[quality]");
        if (quality == 1 || quality == 2)
            minHd = 1 + quality;
    }
    response.set_content(searchAnswer(video, baseOf(request), video.lastQuery, minHd,
                                      intParam(params, "offset"), intParam(params, "c[sort]")),
                         HtmlType);
}

// ---- routes

void SandboxRoutes::registerVideo(httplib::Server &server, Sandbox::State &state)
{
    {
        std::lock_guard lock(state.mutex);
        state.video = std::make_shared<SandboxVideo>(SandboxVideo::seeded());
    }

    server.Get("/al_video.php", [&state](const httplib::Request &request, httplib::Response &response) {
        std::lock_guard lock(state.mutex);
        SandboxVideo &video = *state.video;
        const auto params = queryOf(request);
        const std::string act = param(params, "act");
        const std::string kind = act == "load_videos_silent"             ? "list"
                                 : act == "load_section_recommendations" ? "recommendations"
                                                                         : act;
        video.lastRequests[kind] = seen(request);
        if (serveCanned(video, request, response))
            return;
        const Session session = sessionOf(request, state);
        if (session.uid.empty()) {
            response.set_content(SandboxAudio::encodeWindows1251(SignInNeeded), HtmlType);
            return;
        }
        const std::string base = baseOf(request);
        if (kind == "list") {
            const auto owner = video.owners.find(param(params, "oid"));
            response.set_content(
                SandboxVideo::listAnswer(base, owner == video.owners.end() ? nullptr : &owner->second),
                HtmlType);
        } else if (kind == "recommendations") {
            const std::string uid = param(params, "oid");
            bool known = video.owners.count(uid) > 0;
            for (const Sandbox::Account &account : state.accounts)
                known = known || account.uid == uid;
            response.set_content(SandboxVideo::recommendationsAnswer(
                                     base, SandboxVideo::recommendationsFor(video, uid, known)),
                                 HtmlType);
        } else if (kind == "show") {
            response.set_content(SandboxVideo::videoPage(base, video.find(param(params, "video"))), HtmlType);
        } else {
            response.status = 404;
            response.set_content(SandboxAudio::encodeWindows1251(SignInNeeded), HtmlType);
        }
    });

    // Preview pictures and the service's stand-in picture; they never change, so caches may keep them.
    server.Get(R"(/images/video/(-?\d+_\d+)\.png)",
               [](const httplib::Request &request, httplib::Response &response) {
                   response.set_header("Cache-Control", "max-age=86400");
                   response.set_content(SandboxVideo::previewPng(request.matches[1].str()), "image/png");
               });
    server.Get("/images/video_s.png", [](const httplib::Request &, httplib::Response &response) {
        response.set_header("Cache-Control", "max-age=86400");
        response.set_content(SandboxVideo::previewPng(std::string()), "image/png");
    });

    // The storage host: a video's file exists in every quality up to its best one.
    server.Get(R"(/u(\d+)/video/([0-9a-z]+)\.(\d+)\.mp4)", [&state](const httplib::Request &request,
                                                                    httplib::Response &response) {
        const int lines = std::atoi(request.matches[3].str().c_str());
        int best = -1;
        {
            std::lock_guard lock(state.mutex);
            state.video->lastRequests["clip"] = seen(request);
            const SandboxVideoItem *item =
                state.video->findFile(request.matches[1].str(), request.matches[2].str());
            if (item != nullptr && item->mp4 && item->variables)
                best = item->hd;
        }
        const int wanted = lines == 240 ? 0 : lines == 360 ? 1 : lines == 480 ? 2 : lines == 720 ? 3 : 9;
        const QByteArray &data = SandboxVideo::clip(lines);
        if (wanted > best || data.isEmpty()) {
            response.status = 404;
            response.set_content("no such file\n", "text/plain");
            return;
        }
        SandboxStorage::serveFile(
            request, response, state.storage, uint64_t(data.size()), "video/mp4",
            [&data](uint64_t offset, char *out, size_t length) {
                std::memcpy(out, data.constData() + offset, length);
            },
            "clip" + request.matches[3].str());
    });
}
