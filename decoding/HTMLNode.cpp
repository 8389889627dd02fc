#include "decoding/HTMLNode.h"
#include "decoding/HtmlInternals.h"

#include <libxml/HTMLtree.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>

#include <cstring>

namespace {

// Initial capacity of the serialisation buffer; it grows as needed.
constexpr int DumpBufferSize = 1000;

// Pre-order walk below `root` (the root itself is not tested). Iterative, so a deeply nested page cannot
// exhaust the stack. Returns as soon as `onHit` asks to stop.
template <typename OnHit>
void searchBelow(xmlNode *root, const char *attribute, const QString &value, bool allowPartial, OnHit onHit)
{
    if (root == nullptr || attribute == nullptr)
        return;
    // Converted once: libxml2 holds UTF-8, so the comparison is on bytes.
    const QByteArray wanted = value.toUtf8();
    xmlNode *node = root->children;
    while (node != nullptr) {
        const bool isElement = node->type == XML_ELEMENT_NODE;
        if (isElement && HtmlInternals::attributeMatches(node, attribute, wanted.constData(), allowPartial)) {
            if (!onHit(node))
                return;
        }
        // Only elements hold elements; other node kinds (the DTD, entity references) are not entered.
        if (isElement && node->children != nullptr) {
            node = node->children;
            continue;
        }
        while (node != nullptr && node->next == nullptr) {
            node = node->parent;
            if (node == root)
                return;
        }
        if (node != nullptr)
            node = node->next;
    }
}

} // namespace

bool HtmlInternals::attributeMatches(const xmlNode *node, const char *attribute, const char *wanted,
                                     bool allowPartial)
{
    for (const xmlAttr *attr = node->properties; attr != nullptr; attr = attr->next) {
        if (attr->name == nullptr || std::strcmp(reinterpret_cast<const char *>(attr->name), attribute) != 0)
            continue;
        // Only the first attribute of the wanted name counts, whatever its pieces hold.
        for (const xmlNode *piece = attr->children; piece != nullptr; piece = piece->next) {
            if (piece->type != XML_TEXT_NODE || piece->content == nullptr)
                continue;
            const char *content = reinterpret_cast<const char *>(piece->content);
            if (allowPartial ? std::strstr(content, wanted) != nullptr : std::strcmp(content, wanted) == 0)
                return true;
        }
        return false;
    }
    return false;
}

QList<HTMLNode> HTMLNode::findChildrenWithAttribute(const char *attribute, const QString &value,
                                                    bool allowPartial) const
{
    QList<HTMLNode> hits;
    searchBelow(m_node, attribute, value, allowPartial, [&hits](::xmlNode *hit) {
        hits.append(HTMLNode(hit));
        return true;
    });
    return hits;
}

HTMLNode HTMLNode::findChildWithAttribute(const char *attribute, const QString &value,
                                          bool allowPartial) const
{
    HTMLNode first;
    searchBelow(m_node, attribute, value, allowPartial, [&first](::xmlNode *hit) {
        first = HTMLNode(hit);
        return false;
    });
    return first;
}

QString HTMLNode::rawContents() const
{
    if (m_node == nullptr)
        return {};
    xmlBuffer *buffer = xmlBufferCreateSize(DumpBufferSize);
    if (buffer == nullptr)
        return {};
    // No encoder on the output: the bytes land as the tree holds them, which is UTF-8. Non-ASCII text of an
    // HTML document is written out as it is, not as character references.
    xmlOutputBuffer *output = xmlOutputBufferCreateBuffer(buffer, nullptr);
    if (output == nullptr) {
        xmlBufferFree(buffer);
        return {};
    }
    xmlDoc *doc = m_node->doc;
    const char *encoding = doc != nullptr ? reinterpret_cast<const char *>(doc->encoding) : nullptr;
    // Format flag 1, as htmlNodeDumpOutput uses.
    htmlNodeDumpFormatOutput(output, doc, m_node, encoding, 1);
    xmlOutputBufferFlush(output);
    QString text;
    const int length = xmlBufferLength(buffer);
    if (length > 0)
        text = QString::fromUtf8(reinterpret_cast<const char *>(xmlBufferContent(buffer)), length);
    // Closing the output leaves the memory buffer alone; it is freed separately.
    xmlOutputBufferClose(output);
    xmlBufferFree(buffer);
    return text;
}

QList<QByteArray> HTMLNode::rawContentsUtf8(const QList<HTMLNode> &nodes)
{
    QList<QByteArray> dumps;
    dumps.reserve(nodes.size());
    xmlBuffer *buffer = xmlBufferCreateSize(DumpBufferSize);
    xmlOutputBuffer *output = buffer != nullptr ? xmlOutputBufferCreateBuffer(buffer, nullptr) : nullptr;
    if (output == nullptr) {
        if (buffer != nullptr)
            xmlBufferFree(buffer);
        for (const HTMLNode &node : nodes)
            dumps.append(node.rawContents().toUtf8());
        return dumps;
    }
    for (const HTMLNode &node : nodes) {
        if (node.m_node == nullptr) {
            dumps.append(QByteArray());
            continue;
        }
        // Each node's bytes follow the previous node's in the one buffer.
        const int start = xmlBufferLength(buffer);
        xmlDoc *doc = node.m_node->doc;
        const char *encoding = doc != nullptr ? reinterpret_cast<const char *>(doc->encoding) : nullptr;
        htmlNodeDumpFormatOutput(output, doc, node.m_node, encoding, 1);
        xmlOutputBufferFlush(output);
        dumps.append(QByteArray(reinterpret_cast<const char *>(xmlBufferContent(buffer)) + start,
                                xmlBufferLength(buffer) - start));
    }
    xmlOutputBufferClose(output);
    xmlBufferFree(buffer);
    return dumps;
}
