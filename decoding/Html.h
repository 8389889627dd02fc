#pragma once

#include "decoding/HTMLNode.h"

#include <QByteArray>
#include <QString>

struct _xmlDoc;

struct HTMLParserError
{
    QString domain; // "HTMLParserdomain"
    int code = 0;   // 1: empty input
};

// Owns one document parsed by libxml2's htmlReadDoc (options RECOVER | NOERROR | NOWARNING, encoding UTF-8).
class HTMLParser
{
public:
    explicit HTMLParser(const QString &text, HTMLParserError *error = nullptr);
    // The same text given as UTF-8, for a reader that has its bytes already.
    explicit HTMLParser(const QByteArray &utf8, HTMLParserError *error = nullptr);
    ~HTMLParser();
    HTMLParser(const HTMLParser &) = delete;
    HTMLParser &operator=(const HTMLParser &) = delete;

    // The document node; a null node when parsing produced no document.
    HTMLNode doc() const;

private:
    _xmlDoc *m_doc = nullptr;
};
