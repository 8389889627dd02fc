// Answers that let tests look at the HTTP layer itself: header order, gzip, code page 1251, statuses, cookies
// set along a redirect chain.
#include "sandbox/Sandbox.h"

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

std::string gzip(const std::string &plain)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, uLong(plain.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(plain.data()));
    stream.avail_in = uInt(plain.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

} // namespace

void SandboxRoutes::registerDiagnostics(httplib::Server &server, Sandbox::State &)
{
    // The request's header fields, one "name: value" per line.
    server.Get("/test/headers", [](const httplib::Request &request, httplib::Response &response) {
        std::string body;
        for (const auto &[name, value] : request.headers)
            body += name + ": " + value + "\n";
        response.set_content(body, "text/plain");
    });
    server.Get("/test/gzip", [](const httplib::Request &request, httplib::Response &response) {
        const std::string text = request.has_param("text") ? request.get_param_value("text") : "сжатый ответ";
        // A type the server does not compress by itself, so the body is gzipped exactly once.
        response.set_header("Content-Encoding", "gzip");
        response.set_content(gzip(text), "application/octet-stream");
    });
    // Bodies past the client's limit: /test/large/<MB> sends that many megabytes plainly (its length
    // announced or not), of "x" or of the byte ?fill=<hex> names; /test/bomb/<MB> sends that many megabytes
    // of zeros gzipped into a few hundred kilobytes.
    server.Get(R"(/test/large/(\d+))", [](const httplib::Request &request, httplib::Response &response) {
        const size_t bytes = std::min<size_t>(std::stoul(request.matches[1]), 256) << 20;
        const bool chunked = request.has_param("chunked");
        const char fill =
            request.has_param("fill") ? char(std::stoul(request.get_param_value("fill"), nullptr, 16)) : 'x';
        const auto block = std::make_shared<const std::string>(64 * 1024, fill);
        auto provider = [bytes, block](size_t offset, size_t, httplib::DataSink &sink) {
            const size_t count = std::min(block->size(), bytes - offset);
            return sink.write(block->data(), count);
        };
        if (chunked) {
            auto sent = std::make_shared<size_t>(0);
            response.set_chunked_content_provider(
                "application/octet-stream", [bytes, sent, block](size_t, httplib::DataSink &sink) {
                    if (*sent >= bytes) {
                        sink.done();
                        return true;
                    }
                    const size_t count = std::min(block->size(), bytes - *sent);
                    *sent += count;
                    return sink.write(block->data(), count);
                });
        } else {
            response.set_content_provider(bytes, "application/octet-stream", provider);
        }
    });
    server.Get(R"(/test/bomb/(\d+))", [](const httplib::Request &request, httplib::Response &response) {
        const size_t megabytes = std::min<size_t>(std::stoul(request.matches[1]), 1024);
        z_stream stream{};
        deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
        const std::string zeros(1 << 20, '\0');
        std::string out;
        std::string chunk(64 * 1024, '\0');
        for (size_t i = 0; i < megabytes; ++i) {
            stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.data()));
            stream.avail_in = uInt(zeros.size());
            const int flush = i + 1 == megabytes ? Z_FINISH : Z_NO_FLUSH;
            do {
                stream.next_out = reinterpret_cast<Bytef *>(chunk.data());
                stream.avail_out = uInt(chunk.size());
                deflate(&stream, flush);
                out.append(chunk.data(), chunk.size() - stream.avail_out);
            } while (stream.avail_out == 0);
        }
        deflateEnd(&stream);
        response.set_header("Content-Encoding", "gzip");
        response.set_content(out, "application/octet-stream");
    });
    // "Привет, мир" in code page 1251.
    server.Get("/test/cp1251", [](const httplib::Request &, httplib::Response &response) {
        response.set_content(std::string("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0"),
                             "text/plain; charset=windows-1251");
    });
    server.Get(R"(/test/status/(\d+))", [](const httplib::Request &request, httplib::Response &response) {
        response.status = std::stoi(request.matches[1]);
        response.set_content("status body", "text/plain");
    });
    // A redirect to any address given as "to" (another host, another scheme).
    server.Get("/test/redirect", [](const httplib::Request &request, httplib::Response &response) {
        response.set_redirect(request.get_param_value("to"));
    });
    // Three hops, each setting one cookie; the last answer sets none.
    server.Get("/test/cookies/1", [](const httplib::Request &, httplib::Response &response) {
        response.set_header("Set-Cookie", "first=1; path=/");
        response.set_redirect("/test/cookies/2");
    });
    server.Get("/test/cookies/2", [](const httplib::Request &, httplib::Response &response) {
        response.set_header("Set-Cookie", "second=2; path=/");
        response.set_redirect("/test/cookies/3");
    });
    server.Get("/test/cookies/3", [](const httplib::Request &request, httplib::Response &response) {
        response.set_header("Set-Cookie", "third=3; path=/");
        response.set_content(request.get_header_value("Cookie"), "text/plain");
    });
}
