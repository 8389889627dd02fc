#include "decoding/Html.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/xmlIO.h>

#include <cstring>

namespace {

// HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING: bad markup must never stop a page from
// being read, and libxml2 must not print its complaints to stderr.
constexpr int ParseOptions = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING;
static_assert(ParseOptions == 97);

} // namespace

HTMLParser::HTMLParser(const QString &text, HTMLParserError *error) : HTMLParser(text.toUtf8(), error) {}

HTMLParser::HTMLParser(const QByteArray &utf8, HTMLParserError *error)
{
    // libxml2 reads up to the first NUL, so text that starts with one is as empty as no text at all.
    if (utf8.isEmpty() || utf8.at(0) == '\0') {
        if (error != nullptr) {
            error->domain = QStringLiteral("HTMLParserdomain");
            error->code = 1;
        }
        return;
    }
    m_doc = htmlReadDoc(reinterpret_cast<const xmlChar *>(utf8.constData()), nullptr, "UTF-8", ParseOptions);
}

HTMLParser::~HTMLParser()
{
    if (m_doc != nullptr)
        xmlFreeDoc(m_doc);
}

HTMLNode HTMLParser::doc() const
{
    return HTMLNode(reinterpret_cast<xmlNode *>(m_doc));
}
