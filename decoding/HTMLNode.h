#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct _xmlNode;

// A non-owning view of one node of an HTMLParser's document; valid only while that parser lives.
class HTMLNode
{
public:
    HTMLNode() = default;
    explicit HTMLNode(_xmlNode *node) : m_node(node) {}

    bool isNull() const { return m_node == nullptr; }
    _xmlNode *xmlNode() const { return m_node; }

    // Descendants (the node itself is not tested) in pre-order whose first attribute named `attribute` has a
    // text piece equal to `value`, or containing it when `allowPartial` is set.
    QList<HTMLNode> findChildrenWithAttribute(const char *attribute, const QString &value,
                                              bool allowPartial) const;
    // The first such descendant, or a null node.
    HTMLNode findChildWithAttribute(const char *attribute, const QString &value, bool allowPartial) const;

    // The node serialised by libxml2's HTML dump (own tag included); a null QString when the dump is empty.
    QString rawContents() const;
    // rawContents of every node, in order, as the UTF-8 bytes of the dump (an empty array for an empty one).
    // One output buffer serves them all, so a page's rows are serialised without a buffer of their own each.
    static QList<QByteArray> rawContentsUtf8(const QList<HTMLNode> &nodes);

private:
    _xmlNode *m_node = nullptr;
};
