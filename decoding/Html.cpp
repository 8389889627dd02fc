#include "decoding/Html.h"
#include "decoding/HtmlInternals.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>

#include <cstring>
#include <vector>

namespace {

// HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING: bad markup must never stop a page from
// being read, and libxml2 must not print its complaints to stderr.
constexpr int ParseOptions = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING;
static_assert(ParseOptions == 97);

void reportEmpty(HTMLParserError *error)
{
    if (error != nullptr) {
        error->domain = QStringLiteral("HTMLParserdomain");
        error->code = 1;
    }
}

// Marks kept in xmlNode::_private, which libxml2 leaves to applications.
char RowMark;      // a selected row
char HoldsRowMark; // an element with a selected row below it

// A selective parse in progress, reached from libxml2's tree-building callbacks, which it wraps. Elements are
// only ever appended to the element being read (or, once every element is closed, to the document's first
// child) and never move, so the rows come in document order, which is the pre-order of the finished tree.
// Serialising a row reads its own subtree, the kind of its next sibling and its parent's name.
struct Selection
{
    const char *attribute = nullptr;
    QByteArray wanted;
    qsizetype limit = -1;
    startElementSAXFunc start = nullptr;
    endElementSAXFunc end = nullptr;
    std::vector<xmlNode *> rows;
    size_t firstUnfinished = 0; // rows before it are finished
    int openRows = 0;
    bool stopped = false;

    static Selection &of(void *context)
    {
        return *static_cast<Selection *>(static_cast<xmlParserCtxt *>(context)->_private);
    }

    bool wantsMore() const { return limit < 0 || qsizetype(rows.size()) < limit; }

    void take(xmlNode *node)
    {
        node->_private = &RowMark;
        ++openRows;
        rows.push_back(node);
        for (xmlNode *up = node->parent;
             up != nullptr && up->type == XML_ELEMENT_NODE && up->_private == nullptr; up = up->parent)
            up->_private = &HoldsRowMark;
    }

    // An element that has just closed and whose contents no row's serialisation reaches: nothing inside it is
    // a row and no row holds it. An open row would hold it; a closed one can too, when it is the document's
    // first element, to which libxml2 appends new elements once every element is closed.
    bool unneeded(const xmlNode *node) const
    {
        if (node->_private != nullptr || openRows > 0)
            return false;
        for (const xmlNode *up = node->parent; up != nullptr; up = up->parent) {
            if (up->_private == &RowMark)
                return false;
        }
        return true;
    }

    // Whether nothing will change in what serialising `row` reads: its next sibling exists, nothing inside it
    // is open, and it is not the document's first child, to which libxml2 appends new elements whenever
    // every element is closed.
    static bool finished(const xmlNode *row, const xmlNode *open)
    {
        if (row->next == nullptr || (row->doc != nullptr && row->doc->children == row))
            return false;
        for (const xmlNode *up = open; up != nullptr; up = up->parent) {
            if (up == row)
                return false;
        }
        return true;
    }

    void stopWhenComplete(xmlParserCtxt *context)
    {
        if (wantsMore())
            return;
        while (firstUnfinished < rows.size() && finished(rows[firstUnfinished], context->node))
            ++firstUnfinished;
        if (firstUnfinished == rows.size()) {
            stopped = true;
            xmlStopParser(context); // also frees the parser's copies of the text
        }
    }
};

void onStartElement(void *context, const xmlChar *name, const xmlChar **attributes)
{
    auto *parser = static_cast<xmlParserCtxt *>(context);
    Selection &selection = Selection::of(context);
    const int depth = parser->nodeNr;
    selection.start(context, name, attributes);
    // Not pushed: too deep (libxml2 then halts) or out of memory.
    if (selection.stopped || parser->nodeNr != depth + 1 || parser->node == nullptr)
        return;
    if (selection.attribute != nullptr && selection.wantsMore() &&
        HtmlInternals::attributeMatches(parser->node, selection.attribute, selection.wanted.constData(),
                                        true))
        selection.take(parser->node);
    selection.stopWhenComplete(parser);
}

void onEndElement(void *context, const xmlChar *name)
{
    auto *parser = static_cast<xmlParserCtxt *>(context);
    Selection &selection = Selection::of(context);
    xmlNode *closing = parser->node;
    selection.end(context, name);
    if (selection.stopped || closing == nullptr || closing->type != XML_ELEMENT_NODE)
        return;
    if (closing->_private == &RowMark) {
        --selection.openRows;
    } else if (selection.unneeded(closing)) {
        // Emptied rather than unlinked: libxml2 goes on appending text to the parent as if this element were
        // still its last child, and so it is.
        xmlFreeNodeList(closing->children);
        closing->children = nullptr;
        closing->last = nullptr;
        xmlFreePropList(closing->properties);
        closing->properties = nullptr;
    }
    selection.stopWhenComplete(parser);
}

} // namespace

HTMLParser::HTMLParser(const QString &text, HTMLParserError *error) : HTMLParser(text.toUtf8(), error) {}

HTMLParser::HTMLParser(const QByteArray &utf8, HTMLParserError *error)
{
    // libxml2 reads up to the first NUL, so text that starts with one is as empty as no text at all.
    if (utf8.isEmpty() || utf8.at(0) == '\0') {
        reportEmpty(error);
        return;
    }
    m_doc = htmlReadDoc(reinterpret_cast<const xmlChar *>(utf8.constData()), nullptr, "UTF-8", ParseOptions);
}

HTMLParser::HTMLParser(QByteArray &&utf8, const HTMLRowSelection &rows, HTMLParserError *error)
{
    QByteArray text = std::move(utf8);
    // Up to the first NUL, as htmlReadDoc reads.
    const qsizetype length = qstrnlen(text.constData(), size_t(text.size()));
    if (length == 0) {
        reportEmpty(error);
        return;
    }
    // From here on what htmlReadDoc does, with the tree-building callbacks wrapped.
    xmlInitParser();
    htmlParserCtxtPtr context = htmlCreateMemoryParserCtxt(text.constData(), int(length));
    text = QByteArray(); // the parser has its own copy
    if (context == nullptr)
        return;
    Selection selection;
    selection.attribute = rows.attribute;
    selection.wanted = rows.value.toUtf8();
    selection.limit = rows.limit;
    selection.start = context->sax->startElement;
    selection.end = context->sax->endElement;
    if (selection.start != nullptr && selection.end != nullptr) {
        context->_private = &selection;
        context->sax->startElement = onStartElement;
        context->sax->endElement = onEndElement;
    }

    htmlCtxtUseOptions(context, ParseOptions);
    context->html = 1;
    if (xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler("UTF-8")) {
        xmlSwitchToEncoding(context, handler);
        if (context->input->encoding != nullptr)
            xmlFree(const_cast<xmlChar *>(context->input->encoding));
        context->input->encoding = xmlStrdup(BAD_CAST "UTF-8");
    }
    htmlParseDocument(context);
    m_rows.reserve(qsizetype(selection.rows.size()));
    for (xmlNode *row : selection.rows)
        m_rows.append(HTMLNode(row));
    m_doc = context->myDoc;
    context->myDoc = nullptr;
    if (context->dictNames && m_doc != nullptr && m_doc->dict == context->dict)
        context->dict = nullptr;
    xmlFreeParserCtxt(context);
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
