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

// The elements a page reader takes from a page: those whose first attribute named `attribute` has a piece
// containing `value` (as findChildrenWithAttribute with allowPartial finds them), the first `limit` of them
// in document order, or all of them when `limit` is negative.
struct HTMLRowSelection
{
    const char *attribute = "class";
    QString value;
    qsizetype limit = -1;
};

// Owns one document parsed by libxml2's htmlReadDoc (options RECOVER | NOERROR | NOWARNING, encoding UTF-8).
class HTMLParser
{
public:
    explicit HTMLParser(const QString &text, HTMLParserError *error = nullptr);
    // The same text given as UTF-8, for a reader that has its bytes already.
    explicit HTMLParser(const QByteArray &utf8, HTMLParserError *error = nullptr);
    // The same parse of `utf8`, keeping no more of a long page than the rows `rows` selects need: the text is
    // released as soon as libxml2 holds its own copy, elements that close holding no row and outside every
    // row are emptied at once, and reading ends as soon as the first `rows.limit` rows are closed and
    // followed by a node. Searching the document for the rows then finds the same first `rows.limit`
    // elements, serialising to the same text, as searching a whole parse; the rest of the page is not all
    // there.
    HTMLParser(QByteArray &&utf8, const HTMLRowSelection &rows, HTMLParserError *error = nullptr);
    ~HTMLParser();
    HTMLParser(const HTMLParser &) = delete;
    HTMLParser &operator=(const HTMLParser &) = delete;

    // The document node; a null node when parsing produced no document.
    HTMLNode doc() const;
    // After a selective parse, the rows it selected, in document order: what searching the document for them
    // finds, up to the limit, without searching again. Empty after a whole parse.
    const QList<HTMLNode> &selectedRows() const { return m_rows; }

private:
    _xmlDoc *m_doc = nullptr;
    QList<HTMLNode> m_rows;
};
