#include "sandbox/SandboxPages.h"

#include <httplib.h>

namespace SandboxPage {

QString qs(const std::string &utf8)
{
    return QString::fromStdString(utf8);
}

QString escapeHtml(QStringView text, bool keepApostrophes)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        case u'\'':
            out += keepApostrophes ? QStringLiteral("'") : QStringLiteral("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString highlighted(const QString &text, const QString &query)
{
    if (query.isEmpty())
        return escapeHtml(text);
    QString out;
    qsizetype done = 0;
    for (qsizetype at = text.indexOf(query, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(query, done, Qt::CaseInsensitive)) {
        out += escapeHtml(QStringView(text).mid(done, at - done));
        out += QLatin1String("<span class=\"match\">");
        out += escapeHtml(QStringView(text).mid(at, query.size()));
        out += QLatin1String("</span>");
        done = at + query.size();
    }
    out += escapeHtml(QStringView(text).mid(done));
    return out;
}

QString percentEscapeUtf8(const QString &text)
{
    static const char Hex[] = "0123456789ABCDEF";
    QString out;
    for (const char c : text.toUtf8()) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '-' ||
            b == '_' || b == '.') {
            out += QChar(b);
        } else {
            out += QLatin1Char('%');
            out += QLatin1Char(Hex[b >> 4]);
            out += QLatin1Char(Hex[b & 15]);
        }
    }
    return out;
}

std::map<std::string, std::string> queryOf(const httplib::Request &request)
{
    std::map<std::string, std::string> params;
    const auto mark = request.target.find('?');
    if (mark == std::string::npos)
        return params;
    const std::string query = request.target.substr(mark + 1);
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        const std::string pair = query.substr(start, end - start);
        const auto equals = pair.find('=');
        if (!pair.empty()) {
            const std::string key = SandboxAudio::decodeQueryValue(pair.substr(0, equals));
            params[key] = equals == std::string::npos
                              ? std::string()
                              : SandboxAudio::decodeQueryValue(pair.substr(equals + 1));
        }
        start = end + 1;
    }
    return params;
}

std::string param(const std::map<std::string, std::string> &params, const std::string &key)
{
    const auto it = params.find(key);
    return it == params.end() ? std::string() : it->second;
}

int intParam(const std::map<std::string, std::string> &params, const std::string &key)
{
    try {
        return std::stoi(param(params, key));
    } catch (...) {
        return 0;
    }
}

SandboxRequest seen(const httplib::Request &request)
{
    SandboxRequest result{request.target, {}};
    for (const auto &[name, value] : request.headers) {
        // httplib files the peer's addresses among the header fields; the client never sent those.
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT")
            continue;
        result.headers.emplace_back(name, value);
    }
    return result;
}

Session sessionOf(const httplib::Request &request, const Sandbox::State &state)
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
                return {session->first, session->second};
        }
        start = end + 1;
    }
    return {};
}

std::string baseOf(const httplib::Request &request)
{
    const std::string host = request.get_header_value("Host");
    if (!host.empty())
        return "http://" + host;
    return "http://" + request.local_addr + ":" + std::to_string(request.local_port);
}

} // namespace SandboxPage
