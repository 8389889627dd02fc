#pragma once

#include "sandbox/SandboxAudio.h"

#include <QString>
#include <QStringView>

#include <map>
#include <string>

// What every page module of the sandbox needs: reading a request's query and session, and writing texts into
// pages the way the service does.
namespace SandboxPage {

QString qs(const std::string &utf8);

// Display text to HTML text, the way the service writes it into pages and script strings.
QString escapeHtml(QStringView text, bool keepApostrophes = false);
// The hits of `query` in `text` wrapped in the service's highlighting.
QString highlighted(const QString &text, const QString &query);
// Every byte but ASCII letters, digits, "-", "_" and "." as "%XX" of the UTF-8 text.
QString percentEscapeUtf8(const QString &text);

// The decoded query of a request, by key.
std::map<std::string, std::string> queryOf(const httplib::Request &request);
std::string param(const std::map<std::string, std::string> &params, const std::string &key);
int intParam(const std::map<std::string, std::string> &params, const std::string &key);
// What a route saw of the request: its target and the client's header fields.
SandboxRequest seen(const httplib::Request &request);

struct Session
{
    std::string sid;
    std::string uid; // empty: not signed in
};
// The request's remixsid session, if the sandbox knows it (the caller holds the state's lock).
Session sessionOf(const httplib::Request &request, const Sandbox::State &state);
// "http://host:port" as the client addressed us.
std::string baseOf(const httplib::Request &request);

} // namespace SandboxPage
