// Answers that let tests look at the HTTP layer itself: header order, gzip, code page 1251, statuses, cookies
// set along a redirect chain.
#include "sandbox/Sandbox.h"

#include <httplib.h>
#include <zlib.h>

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
    // "Привет, мир" in code page 1251.
    server.Get("/test/cp1251", [](const httplib::Request &, httplib::Response &response) {
        response.set_content(std::string("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0"),
                             "text/plain; charset=windows-1251");
    });
    server.Get(R"(/test/status/(\d+))", [](const httplib::Request &request, httplib::Response &response) {
        response.status = std::stoi(request.matches[1]);
        response.set_content("status body", "text/plain");
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
