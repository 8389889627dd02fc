// The storage host: files are generated on the fly from their address, so any size costs no memory.
//   /storage/mp3/<seconds>/<name>.mp3   an MP3 (MPEG-1 Layer III, 128 kbit/s, 48 kHz, mono) of that length
//   /storage/bytes/<size>/<name>.bin    <size> pseudo-random bytes
// The content depends only on the name and the number, so a test can fetch the same file again to compare.
// Another file version (StorageFaults::fileVersion) gives other bytes and a slightly larger file.
#include "sandbox/Sandbox.h"
#include "sandbox/SandboxStorage.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

using SandboxStorage::Filler;

constexpr size_t chunkSize = 256 * 1024;

uint64_t fnv1a(const std::string &text)
{
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

uint64_t splitmix64(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// Byte i of the file is byte i % 8 (little end first) of splitmix64(seed + i / 8).
void fillBytes(uint64_t seed, uint64_t offset, char *out, size_t length)
{
    while (length > 0 && offset % 8 != 0) {
        *out++ = char(splitmix64(seed + offset / 8) >> (8 * (offset % 8)));
        ++offset;
        --length;
    }
    while (length >= 8) {
        uint64_t word = splitmix64(seed + offset / 8);
        unsigned char bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<unsigned char>(word >> (8 * i));
        std::memcpy(out, bytes, 8);
        out += 8;
        offset += 8;
        length -= 8;
    }
    while (length > 0) {
        *out++ = char(splitmix64(seed + offset / 8) >> (8 * (offset % 8)));
        ++offset;
        --length;
    }
}

// An MP3 of fixed-size frames: 128 kbit/s at 48 kHz needs no padding, so every frame is 384 bytes and any
// byte offset maps straight to a frame. Each frame holds one steady spectral line (a quiet tone whose pitch
// depends on the name); the rest of the frame is ancillary data, also from the name, which decoders skip.
class Mp3
{
public:
    static constexpr uint64_t frameBytes = 384;
    static constexpr uint64_t samplesPerFrame = 1152;
    static constexpr uint64_t sampleRate = 48000;

    Mp3(const std::string &name, uint64_t seconds, uint64_t extraFrames = 0)
        : m_seed(fnv1a(name)),
          m_frames((seconds * sampleRate + samplesPerFrame - 1) / samplesPerFrame + extraFrames),
          m_line(6 + int(m_seed % 12))
    {
        // A steady sine at the centre of line k advances (k + ½)·π per granule, so its coefficient repeats
        // every four granules with these signs; two frames hold four granules.
        const bool even = m_line % 2 == 0;
        const bool negative[4] = {false, even, true, !even};
        for (int variant = 0; variant < 2; ++variant)
            m_templates[variant] = frameTemplate(negative[2 * variant], negative[2 * variant + 1]);
    }

    uint64_t size() const { return m_frames * frameBytes; }

    void fill(uint64_t offset, char *out, size_t length) const
    {
        while (length > 0) {
            const uint64_t frame = offset / frameBytes;
            const size_t at = size_t(offset % frameBytes);
            const size_t count = std::min(length, size_t(frameBytes) - at);
            const std::vector<unsigned char> &tmpl = m_templates[frame % 2];
            for (size_t i = 0; i < count; ++i) {
                const size_t position = at + i;
                if (position < m_headerAndDataBytes) {
                    out[i] = char(tmpl[position]);
                } else {
                    // Ancillary bytes never hold 0xFF, so nothing in them looks like a frame sync.
                    const uint64_t word = splitmix64(m_seed ^ (frame * frameBytes + position / 8));
                    const unsigned char byte = static_cast<unsigned char>(word >> (8 * (position % 8)));
                    out[i] = char(byte == 0xFF ? 0x7F : byte);
                }
            }
            out += count;
            offset += count;
            length -= count;
        }
    }

private:
    class Bits
    {
    public:
        explicit Bits(std::vector<unsigned char> &out) : m_out(out) {}
        void put(uint32_t value, int count)
        {
            for (int i = count - 1; i >= 0; --i) {
                if (m_bit % 8 == 0)
                    m_out.push_back(0);
                if ((value >> i) & 1U)
                    m_out.back() |= static_cast<unsigned char>(0x80U >> (m_bit % 8));
                ++m_bit;
            }
        }
        int count() const { return m_bit; }

    private:
        std::vector<unsigned char> &m_out;
        int m_bit = 0;
    };

    // Huffman bits of one granule with table 1: zero pairs up to the line's pair, then the line with its
    // sign.
    void granuleData(Bits &bits, bool negative) const
    {
        const int pair = m_line / 2;
        for (int i = 0; i < pair; ++i)
            bits.put(1, 1); // (0,0)
        if (m_line % 2 == 0)
            bits.put(0b01, 2); // (1,0)
        else
            bits.put(0b001, 3); // (0,1)
        bits.put(negative ? 1 : 0, 1);
    }

    int granuleBits() const { return m_line / 2 + (m_line % 2 == 0 ? 3 : 4); }

    std::vector<unsigned char> frameTemplate(bool firstNegative, bool secondNegative)
    {
        std::vector<unsigned char> frame;
        Bits bits(frame);
        // Header: sync, MPEG-1, Layer III, no CRC, 128 kbit/s, 48 kHz, no padding, mono, original.
        bits.put(0xFFFB, 16);
        bits.put(0x94, 8);
        bits.put(0xC4, 8);
        // Side information (17 bytes for mono).
        bits.put(0, 9); // main_data_begin: no bit reservoir
        bits.put(0, 5); // private bits
        bits.put(0, 4); // scfsi
        for (int granule = 0; granule < 2; ++granule) {
            bits.put(uint32_t(granuleBits()), 12); // part2_3_length (no scale factors)
            bits.put(uint32_t(m_line / 2 + 1), 9); // big_values: pairs up to the tone's line
            bits.put(202, 8);                      // global_gain: 2^-2, a quiet tone
            bits.put(0, 4);                        // scalefac_compress
            bits.put(0, 1);                        // window_switching_flag: long blocks
            bits.put(1, 5);                        // table_select, three regions, all table 1
            bits.put(1, 5);
            bits.put(1, 5);
            bits.put(0, 4); // region0_count
            bits.put(0, 3); // region1_count
            bits.put(0, 1); // preflag
            bits.put(0, 1); // scalefac_scale
            bits.put(0, 1); // count1table_select
        }
        granuleData(bits, firstNegative);
        granuleData(bits, secondNegative);
        m_headerAndDataBytes = frame.size();
        frame.resize(frameBytes, 0);
        return frame;
    }

    uint64_t m_seed;
    uint64_t m_frames;
    int m_line;
    size_t m_headerAndDataBytes = 0;
    std::vector<unsigned char> m_templates[2];
};

struct ByteRange
{
    uint64_t first = 0;
    uint64_t last = 0; // inclusive
};

enum class RangeKind { None, Satisfiable, Unsatisfiable };

// One "bytes=" range; anything else (several ranges, bad syntax) is answered with the whole file.
RangeKind parseRange(const std::string &header, uint64_t size, ByteRange &range)
{
    static const std::regex pattern(R"(^\s*bytes\s*=\s*(\d*)\s*-\s*(\d*)\s*$)");
    std::smatch match;
    if (header.empty() || !std::regex_match(header, match, pattern))
        return RangeKind::None;
    const std::string first = match[1].str();
    const std::string last = match[2].str();
    if (first.empty() && last.empty())
        return RangeKind::None;
    if (first.empty()) { // the last N bytes
        const uint64_t suffix = std::stoull(last);
        if (suffix == 0 || size == 0)
            return RangeKind::Unsatisfiable;
        range.first = size - std::min(suffix, size);
        range.last = size - 1;
        return RangeKind::Satisfiable;
    }
    range.first = std::stoull(first);
    range.last = last.empty() ? size - 1 : std::min<uint64_t>(std::stoull(last), size - 1);
    if (range.first >= size)
        return RangeKind::Unsatisfiable;
    if (!last.empty() && std::stoull(last) < range.first)
        return RangeKind::None;
    return RangeKind::Satisfiable;
}

// The name a file's bytes are made from: a new version of the file is another name behind the same address.
std::string versioned(const std::string &name, const Sandbox::StorageFaults &faults)
{
    const int version = faults.fileVersion.load();
    return version == 0 ? name : name + "~" + std::to_string(version);
}

} // namespace

void SandboxStorage::serveFile(const httplib::Request &request, httplib::Response &response,
                               Sandbox::StorageFaults &faults, uint64_t size, const std::string &contentType,
                               Filler fill, const std::string &name)
{
    if (faults.silent.load()) {
        // The connection stays open and nothing comes back, for as long as the switch holds.
        faults.silentRequests.fetch_add(1);
        while (faults.silent.load() && !faults.stopping.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (const int status = faults.errorStatus.load(); status != 0) {
        response.status = status;
        response.set_content("storage error\n", "text/plain");
        return;
    }
    // We answer Range ourselves (the fault switches need it), so httplib must not cut the body a second time.
    const_cast<httplib::Request &>(request).ranges.clear();

    ByteRange range{0, size == 0 ? 0 : size - 1};
    RangeKind kind = RangeKind::None;
    bool rangeAllowed = !faults.ignoreRange.load();
    if (faults.validators.load()) {
        char etag[32];
        std::snprintf(etag, sizeof etag, "\"%016llx\"", (unsigned long long)fnv1a(versioned(name, faults)));
        const std::string modified =
            "Mon, " + std::to_string(1 + faults.fileVersion.load() % 28) + " Jan 2024 10:00:00 GMT";
        response.set_header("ETag", etag);
        response.set_header("Last-Modified", modified);
        // If-Range: the rest only of the same file; another file is sent whole.
        if (request.has_header("If-Range")) {
            const std::string condition = request.get_header_value("If-Range");
            rangeAllowed = rangeAllowed && (condition == etag || condition == modified);
        }
    }
    if (rangeAllowed)
        kind = parseRange(request.get_header_value("Range"), size, range);
    response.set_header("Accept-Ranges", "bytes");
    if (const long long part = faults.partialAnswerBytes.load();
        part >= 0 && size > 0 && kind != RangeKind::Unsatisfiable) {
        // A part of what was asked, whether or not a range was asked for.
        if (kind == RangeKind::None)
            range = {0, size - 1};
        kind = RangeKind::Satisfiable;
        range.last = std::min(range.last, range.first + uint64_t(std::max(1LL, part)) - 1);
    }
    if (kind == RangeKind::Unsatisfiable) {
        response.status = 416;
        response.set_header("Content-Range", "bytes */" + std::to_string(size));
        response.set_content("", "text/plain");
        return;
    }
    if (kind == RangeKind::Satisfiable) {
        response.status = 206;
        response.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                 std::to_string(range.last) + "/" + std::to_string(size));
    } else {
        response.status = 200;
    }
    const uint64_t length = size == 0 ? 0 : range.last - range.first + 1;
    if (length == 0) {
        response.set_content("", contentType);
        return;
    }

    struct Progress
    {
        uint64_t sent = 0; // body bytes of this answer
        std::vector<char> buffer;
    };
    auto progress = std::make_shared<Progress>();
    const uint64_t start = range.first;
    response.set_content_provider(
        size_t(length), contentType,
        [&faults, progress, start, length, fill](size_t offset, size_t, httplib::DataSink &sink) {
            const long long throttle = faults.throttleBytesPerSecond.load();
            size_t count = size_t(std::min<uint64_t>(chunkSize, length - offset));
            if (throttle > 0)
                count = std::min<size_t>(count, size_t(std::max<long long>(1, throttle / 20)));
            const long long dropAfter = faults.dropAfterBytes.load();
            bool drop = false;
            if (dropAfter >= 0 && progress->sent + count >= uint64_t(dropAfter)) {
                count = size_t(uint64_t(dropAfter) - std::min<uint64_t>(progress->sent, uint64_t(dropAfter)));
                drop = true;
            }
            if (count > 0) {
                progress->buffer.resize(count);
                fill(start + offset, progress->buffer.data(), count);
                // Counted before the write, so a client that has the bytes never sees an older count.
                faults.bytesServed.fetch_add((long long)count);
                if (!sink.write(progress->buffer.data(), count)) {
                    faults.bytesServed.fetch_sub((long long)count);
                    return false;
                }
                progress->sent += count;
            }
            if (drop)
                return false; // httplib closes the connection mid-body
            if (throttle > 0)
                std::this_thread::sleep_for(
                    std::chrono::microseconds(count * 1000000ULL / uint64_t(throttle)));
            return true;
        });
}

namespace {

bool parseCount(const std::string &text, uint64_t limit, uint64_t &value)
{
    if (text.empty() || text.size() > 19)
        return false;
    value = std::stoull(text);
    return value <= limit;
}

} // namespace

void SandboxRoutes::registerStorage(httplib::Server &server, Sandbox::State &state)
{
    Sandbox::StorageFaults &faults = state.storage;

    // Up to a day of audio; httplib answers HEAD through the GET handlers without calling the provider.
    server.Get(R"(/storage/mp3/(\d+)/([^/]+)\.mp3)", [&faults](const httplib::Request &request,
                                                               httplib::Response &response) {
        uint64_t seconds = 0;
        if (!parseCount(request.matches[1].str(), 24 * 3600, seconds)) {
            response.status = 404;
            return;
        }
        const std::string name = request.matches[2].str();
        auto mp3 = std::make_shared<const Mp3>(versioned(name, faults), seconds,
                                               uint64_t(std::max(0, faults.fileVersion.load())));
        SandboxStorage::serveFile(
            request, response, faults, mp3->size(), "audio/mpeg",
            [mp3](uint64_t offset, char *out, size_t length) { mp3->fill(offset, out, length); }, name);
    });

    // Up to 64 GiB of bytes.
    server.Get(R"(/storage/bytes/(\d+)/([^/]+)\.bin)", [&faults](const httplib::Request &request,
                                                                 httplib::Response &response) {
        uint64_t size = 0;
        if (!parseCount(request.matches[1].str(), 64ULL << 30, size)) {
            response.status = 404;
            return;
        }
        size += 1000 * uint64_t(std::max(0, faults.fileVersion.load()));
        const std::string name = request.matches[2].str();
        const uint64_t seed = fnv1a(versioned(name, faults));
        SandboxStorage::serveFile(
            request, response, faults, size, "application/octet-stream",
            [seed](uint64_t offset, char *out, size_t length) { fillBytes(seed, offset, out, length); },
            name);
    });
}
