#include "decoding/Html.h"

#include <gtest/gtest.h>

#include <libxml/tree.h>

#include <QString>
#include <QStringList>

#include <string>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QString idOf(const HTMLNode &node)
{
    xmlChar *id = xmlGetProp(node.xmlNode(), BAD_CAST "id");
    const QString text = id != nullptr ? QString::fromUtf8(reinterpret_cast<const char *>(id)) : QString();
    xmlFree(id);
    return text;
}

QStringList idsOf(const QList<HTMLNode> &nodes)
{
    QStringList ids;
    for (const HTMLNode &node : nodes)
        ids << idOf(node);
    return ids;
}

// What a search from `node` finds: the ids of every hit, then the id of the first one ("-" for none).
std::string found(const HTMLNode &node, const char *attribute, const char *value, bool partial)
{
    const QString first = idOf(node.findChildWithAttribute(attribute, u(value), partial));
    return (idsOf(node.findChildrenWithAttribute(attribute, u(value), partial)).join(' ') + " | " +
            (first.isEmpty() ? u("-") : first))
        .toStdString();
}

const char *const RowClass = "audios_row clear_fix";

} // namespace

// ---- parsing

// The document of an empty text is a null node: it finds nothing and dumps as nothing.
TEST(HtmlParser, EmptyInputGivesNoDocumentAndAnError)
{
    HTMLParserError error;
    HTMLParser parser(QString(), &error);
    EXPECT_TRUE(parser.doc().isNull());
    EXPECT_EQ(error.domain, u("HTMLParserdomain"));
    EXPECT_EQ(error.code, 1);
    EXPECT_EQ(found(parser.doc(), "class", RowClass, true), " | -");
    EXPECT_TRUE(parser.doc().rawContents().isNull());

    // Without an error slot the result is the same, just unreported.
    HTMLParser quiet(u(""));
    EXPECT_TRUE(quiet.doc().isNull());

    // A text that starts with NUL is empty to libxml2 as well.
    HTMLParserError nulError;
    HTMLParser nul(QString(QChar(0)) + u("<div class=\"x\"></div>"), &nulError);
    EXPECT_TRUE(nul.doc().isNull());
    EXPECT_EQ(nulError.code, 1);
}

TEST(HtmlParser, NonEmptyInputLeavesTheErrorAlone)
{
    HTMLParserError error;
    HTMLParser parser(u("<div class=\"a\">x</div>"), &error);
    ASSERT_FALSE(parser.doc().isNull());
    EXPECT_TRUE(error.domain.isEmpty());
    EXPECT_EQ(error.code, 0);

    HTMLParser blank(u("   "), &error);
    EXPECT_FALSE(blank.doc().isNull());
    EXPECT_EQ(error.code, 0);
    EXPECT_EQ(found(blank.doc(), "class", "a", true), " | -");
    EXPECT_EQ(found(parser.doc(), nullptr, "a", true), " | -") << "no attribute name finds nothing";
}

TEST(HtmlParser, MalformedMarkupRecovers)
{
    const struct
    {
        const char *html;
        QStringList rows;
    } cases[] = {
        {"<div class=\"audios_row clear_fix\" id=\"r1\"><span>unclosed <b>bold<div class=\"audios_row "
         "clear_fix\" "
         "id=\"r2\">",
         {"r1", "r2"}},
        {"</p></div></table><div class=\"audios_row clear_fix\" id=\"r1\">x</i></div><div class=audios_row "
         "id=\"r2\">",
         {"r1"}},
        {"<div class=\"audios_row clear_fix\" id=\"r1\"<<<>>><div id=\"r2\" class='audios_row clear_fix",
         {"r1", "r2"}},
        {"<div class=\"audios_row clear_fix\" id=\"r1\">\xD1\x8F</div><script>if (a < b) {</div>", {"r1"}},
        {"<<<<&&&&;;;;\"\"\"'''<!--", {}},
        // XML entity declarations mean nothing to the HTML parser; they must not smuggle markup in.
        {"<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e \"<div class='audios_row clear_fix'>\">]>&e;", {}},
    };
    for (const auto &c : cases) {
        HTMLParser parser(u(c.html));
        ASSERT_FALSE(parser.doc().isNull()) << c.html;
        const QList<HTMLNode> rows = parser.doc().findChildrenWithAttribute("class", u(RowClass), true);
        EXPECT_EQ(idsOf(rows), c.rows) << c.html;
        for (const HTMLNode &row : rows)
            EXPECT_TRUE(row.rawContents().startsWith(u("<div"))) << c.html;
        EXPECT_FALSE(parser.doc().rawContents().isNull()) << c.html;
    }
}

// ---- attribute search

TEST(HtmlSearch, PreOrderNestedHitsParentFirst)
{
    HTMLParser parser(u("<div id=\"outer\">"
                        "<div class=\"row\" id=\"a\"><p><span class=\"row\" id=\"a1\"></span></p>"
                        "<i class=\"row\" id=\"a2\"><b class=\"row\" id=\"a2x\"></b></i></div>"
                        "<div class=\"other\" id=\"skip\"><em class=\"row\" id=\"b1\"></em></div>"
                        "<div class=\"row\" id=\"c\"></div>"
                        "</div>"
                        "<p class=\"row\" id=\"d\"></p>"));
    const HTMLNode doc = parser.doc();
    EXPECT_EQ(found(doc, "class", "row", false), "a a1 a2 a2x b1 c d | a");
    // Searching from a hit: the hit itself is not tested, its descendants are.
    const HTMLNode a = doc.findChildWithAttribute("id", u("a"), false);
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(found(a, "class", "row", false), "a1 a2 a2x | a1");
    EXPECT_EQ(found(doc.findChildWithAttribute("id", u("c"), false), "class", "row", false), " | -");
    EXPECT_EQ(found(doc, "class", "absent", true), " | -");
}

TEST(HtmlSearch, PartialAndExactMatch)
{
    HTMLParser parser(u("<div class=\"audios_row clear_fix\" id=\"exact\"></div>"
                        "<div class=\"audio audios_row clear_fix\" id=\"prefixed\"></div>"
                        "<div class=\"audios_row clear_fix selected\" id=\"extra\"></div>"
                        "<div class=\"audios_row\" id=\"half\"></div>"
                        "<div class=\"AUDIOS_ROW CLEAR_FIX\" id=\"upper\"></div>"
                        "<div data-class=\"audios_row clear_fix\" id=\"othername\"></div>"
                        "<div title=\"audios_row clear_fix\" id=\"othername2\"></div>"));
    const HTMLNode doc = parser.doc();
    EXPECT_EQ(found(doc, "class", RowClass, true), "exact prefixed extra | exact");
    EXPECT_EQ(found(doc, "class", RowClass, false), "exact | exact");
    EXPECT_EQ(found(doc, "class", "clear_fix selected", true), "extra | extra");
    EXPECT_EQ(found(doc, "class", "clear_fix selected", false), " | -");
    // Attribute names are compared exactly.
    EXPECT_EQ(found(doc, "CLASS", RowClass, true), " | -");
    EXPECT_EQ(found(doc, "title", RowClass, false), "othername2 | othername2");
}

TEST(HtmlSearch, NonAsciiValuesCompareAsUtf8)
{
    HTMLParser parser(u("<div title=\"Кино — Группа крови\" id=\"k\"></div>"
                        "<div title=\"Ария &amp; Кипелов\" id=\"a\"></div>"));
    const HTMLNode doc = parser.doc();
    EXPECT_EQ(found(doc, "title", "Группа", true), "k | k");
    EXPECT_EQ(found(doc, "title", "Кино — Группа крови", false), "k | k");
    // The parser decodes references in attribute values; the search sees the decoded text.
    EXPECT_EQ(found(doc, "title", "Ария & Кипелов", false), "a | a");
    EXPECT_EQ(found(doc, "title", "группа", true), " | -");
}

TEST(HtmlSearch, OnlyTheFirstAttributeOfTheNameCounts)
{
    HTMLParser parser(u("<div id=\"host\"><div class=\"plain\" id=\"twice\"></div><div class=\"plain\" "
                        "id=\"pieces\"></div></div>"));
    const HTMLNode doc = parser.doc();
    const HTMLNode twice = doc.findChildWithAttribute("id", u("twice"), false);
    const HTMLNode pieces = doc.findChildWithAttribute("id", u("pieces"), false);
    ASSERT_FALSE(twice.isNull());
    ASSERT_FALSE(pieces.isNull());

    // libxml2's HTML parser drops a repeated attribute, so the second "class" is added to the tree directly.
    ASSERT_NE(xmlNewProp(twice.xmlNode(), BAD_CAST "class", BAD_CAST "audios_row clear_fix"), nullptr);
    // An attribute value made of two text pieces: each piece is compared on its own.
    xmlAttr *attr = xmlHasProp(pieces.xmlNode(), BAD_CAST "class");
    ASSERT_NE(attr, nullptr);
    xmlNode *second = xmlNewDocText(pieces.xmlNode()->doc, BAD_CAST "audios_row clear_fix");
    second->parent = reinterpret_cast<xmlNode *>(attr);
    second->prev = attr->last;
    attr->last->next = second;
    attr->last = second;

    EXPECT_EQ(found(doc, "class", RowClass, true), "pieces | pieces");
    EXPECT_EQ(found(doc, "class", RowClass, false), "pieces | pieces");
    EXPECT_EQ(found(doc, "class", "plain", false), "twice pieces | twice");
    // The pieces are not joined before comparing.
    EXPECT_EQ(found(doc, "class", "plainaudios_row", true), " | -");
}

// ---- serialisation

TEST(HtmlRawContents, KeepsTheMarkersRowsAreCutBy)
{
    HTMLParser parser(u("<div id=\"page\"><DIV CLASS=\"audio audios_row clear_fix\" id=\"audio1_2\">"
                        "<input type=\"hidden\" id=\"audio_info1_2\" value=\"http://x/1.mp3,245\">"
                        "<div class=\"audio_title_wrap fl_l\"><b><a href=\"/search?c[q]=Ария\" "
                        "onclick=\"return nav.go(this, event);\">Ария</a></b> &ndash; "
                        "<span class=\"title\">Беспечный <span class=\"match\">ангел</span></span></div>"
                        "<div class=\"actions\"><div onclick=\"audio.add(this, {aid: 123, oid: 456, hash: "
                        "'h'})\"></div></div></DIV></div>"));
    const HTMLNode row = parser.doc().findChildWithAttribute("class", u(RowClass), true);
    ASSERT_FALSE(row.isNull());
    const QString raw = row.rawContents();

    // Own tag included, and tag names as libxml2 prints them.
    EXPECT_TRUE(raw.startsWith(u("<div class=\"audio audios_row clear_fix\" id=\"audio1_2\">")))
        << raw.toStdString();
    EXPECT_TRUE(raw.endsWith(u("</div>"))) << raw.toStdString();
    // Cyrillic text stays raw UTF-8, not character references; named references in text come back from the
    // printer as the character itself.
    for (const char *marker : {"value=\"http://x/1.mp3,245\"", "class=\"audio_title_wrap fl_l\"", "a href=\"",
                               "<span class=\"title\">", "<span class=\"match\">ангел</span>",
                               "class=\"actions\"", "aid: 123, oid: 456,", ">Ария</a>", "Беспечный"})
        EXPECT_TRUE(raw.contains(u(marker))) << marker << "\n" << raw.toStdString();
    for (const char *absent : {"id=\"page\"", "&#"})
        EXPECT_FALSE(raw.contains(u(absent))) << absent << "\n" << raw.toStdString();

    // A serialised row parses again to the same markers: the client cuts fields from re-parsed fragments.
    HTMLParser again(raw);
    const HTMLNode title = again.doc().findChildWithAttribute("class", u("audio_title_wrap"), true);
    ASSERT_FALSE(title.isNull());
    EXPECT_TRUE(title.rawContents().contains(u(">Ария</a>")));
    const HTMLNode actions = again.doc().findChildWithAttribute("class", u("actions"), true);
    ASSERT_FALSE(actions.isNull());
    EXPECT_TRUE(actions.rawContents().contains(u("aid: 123, oid: 456,")));
}

TEST(HtmlRawContents, EscapesAndDocumentNode)
{
    HTMLParser parser(u("<p id=\"p\" title=\"a &quot;q&quot; &amp; я\">1 &lt; 2 &amp; 3</p>"));
    const HTMLNode p = parser.doc().findChildWithAttribute("id", u("p"), false);
    ASSERT_FALSE(p.isNull());
    const QString raw = p.rawContents();
    EXPECT_TRUE(raw.contains(u("1 &lt; 2 &amp; 3")) && raw.contains(u("&amp; я"))) << raw.toStdString();
    const QString whole = parser.doc().rawContents();
    EXPECT_TRUE(whole.contains(raw) && whole.contains(u("<html>"))) << whole.toStdString();
}

TEST(HTMLNodeDump, ManyNodesThroughOneBufferDumpAsEachAlone)
{
    const HTMLParser parser(
        QString::fromUtf8("<div id=\"list\"><div class=\"r\" id=\"a\"><img src=\"http://x/Мир 1.jpg\">"
                          "<a onclick=\"go('1_2')\">T &amp; <b>Ё</b></a></div><p>между</p>"
                          "<div class=\"r\" id=\"b\"><br><span>&lt;2&gt;</span></div>"
                          "<div class=\"r\" id=\"c\"></div></div>"));
    QList<HTMLNode> nodes = parser.doc().findChildrenWithAttribute("class", "r", false);
    ASSERT_EQ(nodes.size(), 3);
    nodes.insert(1, HTMLNode());
    const QList<QByteArray> dumps = HTMLNode::rawContentsUtf8(nodes);
    ASSERT_EQ(dumps.size(), 4);
    for (qsizetype i = 0; i < nodes.size(); ++i)
        EXPECT_EQ(QString::fromUtf8(dumps.at(i)), nodes.at(i).rawContents()) << i;
    EXPECT_TRUE(dumps.at(1).isEmpty());
    EXPECT_TRUE(HTMLNode::rawContentsUtf8({}).isEmpty());
}

// ---- selective parse

namespace {

// The rows a selective parse of `html` gives, dumped, against the first `limit` rows of a whole parse.
void expectSameRows(const char *html, const QString &rowClass, qsizetype limit)
{
    const HTMLParser whole(u(html));
    QList<HTMLNode> expected = whole.doc().findChildrenWithAttribute("class", rowClass, true);
    if (limit >= 0 && expected.size() > limit)
        expected.resize(limit);
    const HTMLParser selective(u(html).toUtf8(), HTMLRowSelection{"class", rowClass, limit});
    const QList<HTMLNode> &rows = selective.selectedRows();
    ASSERT_EQ(rows.size(), expected.size()) << html << " limit " << limit;
    const QList<HTMLNode> found = selective.doc().findChildrenWithAttribute("class", rowClass, true);
    ASSERT_GE(found.size(), expected.size()) << html << " limit " << limit;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rows.at(i).rawContents(), expected.at(i).rawContents())
            << html << " limit " << limit << " row " << i;
        EXPECT_EQ(rows.at(i).xmlNode(), found.at(i).xmlNode()) << html << " limit " << limit << " row " << i;
    }
}

} // namespace

TEST(HtmlSelectiveParse, FindsTheSameFirstRowsDumpedAlike)
{
    // Pages where what follows a row, what holds it and how it ends all change its dump or its place.
    const char *const pages[] = {
        // Rows followed by text, by an element, by nothing (last child), by a comment.
        "<div id=\"list\"><div class=\"row\" id=\"a\"><b>1</b><i>x</i></div>\n"
        "<div class=\"row\" id=\"b\"><p>2</p><p>3</p></div><div class=\"row\" id=\"c\"><br><br></div>"
        "<div class=\"row\" id=\"d\"></div><!-- c --><div class=\"row\" id=\"e\"><hr></div></div><p>tail</p>",
        // Empty rows, whose dump ends with a line break only when an element follows.
        "<div><div class=\"row\" id=\"a\"></div><div class=\"row\" id=\"b\"></div>"
        "<div class=\"row\" id=\"c\"></div></div><div class=\"row\" id=\"d\"></div>",
        // Nested rows: a row inside a row comes after its parent, and the parent's dump holds it.
        "<div class=\"row\" id=\"a\"><div class=\"row\" id=\"a1\"><div class=\"row\" id=\"a2\"></div></div>"
        "<span>between</span><div class=\"row\" id=\"a3\"></div></div><div class=\"row\" id=\"b\"></div>",
        // Unclosed rows, closed by the end of the page or by a parent's end tag.
        "<div id=\"p\"><div class=\"row\" id=\"a\"><span>open<div class=\"row\" id=\"b\"><b>x</div>"
        "<table><tr><td class=\"row\" id=\"c\">cell<td class=\"row\" id=\"d\">next</table>"
        "<ul><li class=\"row\" id=\"e\">one<li class=\"row\" id=\"f\">two</ul>",
        // Closed parts without rows between the rows, deep ones too, and rows in paragraphs.
        "<div><section><div><div><div><span>deep</span></div></div></section>"
        "<p class=\"row\" id=\"a\">text<div>breaks the paragraph</div><p class=\"row\" id=\"b\"><i>x</i>"
        "<p>plain</p><p class=\"row\" id=\"c\"></p><div><div></div></div><p class=\"row\" id=\"d\">d</p>",
        // Stray html, head and body tags, and content after the page's end tags.
        "<html><body><div class=\"row\" id=\"a\"></div></body></html><div class=\"row\" id=\"b\">after</div>"
        "<body class=\"row\" id=\"c\"><html class=\"row\" id=\"d\"><head><div class=\"row\" id=\"e\"></div>",
        "<!-- x --><html class=\"row\" id=\"a\"></html><div class=\"row\" id=\"b\"></div></html>"
        "<html class=\"row\" id=\"c\">text<div class=\"row\" id=\"d\"></div>",
        // A row that is the page's root element: once every element is closed, what follows goes into it,
        // after a node at the top of the document and after a late DOCTYPE as well.
        "<html class=\"row\" id=\"a\"><p>x</p></html><div><span>appended to the closed root</span></div>",
        "<html class=\"row\" id=\"a\"></html><?pi x?><div>one</div></html><div>two</div>",
        "<html class=\"row\" id=\"a\"></html><!-- c --><div>open<!DOCTYPE html><p>more</p></div>",
        // Script and style text, entities, and a row that swallows the rest of the page.
        "<script>var a = '<div class=\"row\">';</script><div class=\"row\" id=\"a\">&amp; "
        "&lt;<style>p{}</style>"
        "</div><div class=\"row\" id=\"b\"><script>x</script></div>tail<div class=\"row\" id=\"c\">",
        // Text straight after a row, then more rows.
        "<div class=\"row\" id=\"a\"></div>text<div class=\"row\" id=\"b\"><div></div></div>"
        "<div></div><div class=\"row\" id=\"c\"></div>",
    };
    for (const char *page : pages) {
        for (qsizetype limit = -1; limit <= 8; ++limit)
            expectSameRows(page, u("row"), limit);
    }

    // Nesting past libxml2's depth limit ends the parse in both forms alike.
    QByteArray deep;
    for (int i = 0; i < 300; ++i)
        deep += "<div class=\"row\" id=\"n" + QByteArray::number(i) + "\">";
    expectSameRows(deep.constData(), u("row"), -1);
    expectSameRows(deep.constData(), u("row"), 5);
}

TEST(HtmlSelectiveParse, KeepsOnlyWhatTheRowsNeed)
{
    QByteArray page = "<div id=\"list\"><div id=\"before\"><span>closed, no rows</span></div>";
    for (int i = 0; i < 6; ++i) {
        page += "<div class=\"row\" id=\"r" + QByteArray::number(i) + "\"><b>row " + QByteArray::number(i) +
                "</b></div><div id=\"after" + QByteArray::number(i) + "\"><i>x</i></div>";
    }
    page += "</div>";

    // Two rows: reading ends once the second is followed by a node; what closed without rows is emptied.
    const HTMLParser two(QByteArray(page), HTMLRowSelection{"class", u("row"), 2});
    const QString kept = two.doc().rawContents();
    EXPECT_EQ(idsOf(two.selectedRows()), QStringList({"r0", "r1"}));
    EXPECT_EQ(idsOf(two.doc().findChildrenWithAttribute("class", u("row"), true)), QStringList({"r0", "r1"}));
    EXPECT_TRUE(kept.contains(u("<b>row 0</b>")) && kept.contains(u("<b>row 1</b>"))) << kept.toStdString();
    for (const char *absent : {"r2", "before", "closed, no rows", "after0"})
        EXPECT_FALSE(kept.contains(u(absent))) << absent << "\n" << kept.toStdString();

    // Every row: all of them are there, whole; the rest is emptied.
    const HTMLParser all(QByteArray(page), HTMLRowSelection{"class", u("row"), -1});
    const QString everything = all.doc().rawContents();
    EXPECT_EQ(all.selectedRows().size(), 6);
    EXPECT_EQ(all.doc().findChildrenWithAttribute("class", u("row"), true).size(), 6);
    EXPECT_TRUE(everything.contains(u("<b>row 5</b>"))) << everything.toStdString();
    EXPECT_FALSE(everything.contains(u("after5")) || everything.contains(u("<i>x</i>")))
        << everything.toStdString();

    // An empty text is no document, as for the whole parse.
    HTMLParserError error;
    const HTMLParser empty(QByteArray(), HTMLRowSelection{"class", u("row"), 2}, &error);
    EXPECT_TRUE(empty.doc().isNull());
    EXPECT_TRUE(empty.selectedRows().isEmpty());
    EXPECT_EQ(error.code, 1);
    const HTMLParser nul(QByteArray("\0<div class=\"row\"></div>", 24),
                         HTMLRowSelection{"class", u("row"), 2});
    EXPECT_TRUE(nul.doc().isNull());
}
