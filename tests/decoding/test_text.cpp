#include "decoding/Text.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Each pair: a text and what `f` makes of it.
template <typename F> void expectEach(F f, std::initializer_list<std::pair<const char *, const char *>> cases)
{
    for (const auto &[in, out] : cases)
        EXPECT_EQ(f(u(in)).toStdString(), out) << in;
}

// Texts that `f` leaves as they are.
template <typename F> void expectKept(F f, std::initializer_list<const char *> texts)
{
    for (const char *text : texts)
        EXPECT_EQ(f(u(text)).toStdString(), text);
}

} // namespace

// ---- character references

TEST(TextEntities, NamedAndNumericReferencesDecodeInOnePass)
{
    expectEach(Text::decodeHtmlEntities,
               {// Named references from the HTML 4 table; names are case-sensitive: "&Auml;" and "&auml;" are
                // different letters, "&AMP;" is not in the table.
                {"Tom &amp; Jerry", "Tom & Jerry"},
                {"&lt;b&gt; &quot;x&quot; &apos;y&apos;", "<b> \"x\" 'y'"},
                {"a&nbsp;b", "a\u00A0b"},
                {"&laquo;Песня&raquo; &mdash; &copy;&euro;", "«Песня» — ©€"},
                {"&Auml;&auml;&AMP;", "Ää&AMP;"},
                // Decimal and hexadecimal; outside the basic plane the character is a surrogate pair.
                {"&#1072;&#1103;", "ая"},
                {"&#x430;&#X44F;&#x42F;", "аяЯ"},
                {"&#39;quoted&#039;", "'quoted'"},
                {"&#x1D11E;", "\xF0\x9D\x84\x9E"},
                {"&#128512;", "😀"},
                // One pass only; percent signs are no references.
                {"&amp;amp;", "&amp;"},
                {"&amp;#65;", "&#65;"},
                {"100% &amp; %20 %D1%8F", "100% & %20 %D1%8F"},
                // A bad reference does not hide a good one right after it.
                {"&foo&amp;&#65&#66;", "&foo&&#65B"}});
    // Unknown, unterminated and invalid references stay literal: among them no character (0), a lone
    // surrogate, one past the Unicode range and one that would overflow a 32-bit accumulator.
    expectKept(Text::decodeHtmlEntities,
               {"no references, 50%", "&nosuchname;", "&amp", "&#65", "&#x41", "&#;", "&#x;", "& amp;", "&;",
                "&#xZZ;", "&#12a;", "&#0;", "&#xD800;", "&#x110000;", "&#99999999999999999999;",
                "&abcdefghijklmnopqrstuvwxyzabcdefghijklmnop;", "&", "trailing &", ""});
}

// ---- trimming

TEST(TextTrim, BothEndsOnlyOfTheTrimmableClasses)
{
    const char16_t trimmable[] = {u' ',   u'\t',  0x000A, 0x000B, 0x000C, 0x000D, 0x0085, 0x00A0, 0x1680,
                                  0x2000, 0x2003, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (char16_t c : trimmable)
        EXPECT_TRUE(Text::isTrimmable(QChar(c))) << std::hex << int(c);
    // U+200B and U+FEFF are format characters (Cf), not separators; control characters other than the listed
    // line breaks stay as well.
    const char16_t kept[] = {u'a', u'я', 0x200B, 0xFEFF, 0x0000, 0x0008, 0x000E, 0x001F, 0x0084, 0x0086};
    for (char16_t c : kept)
        EXPECT_FALSE(Text::isTrimmable(QChar(c))) << std::hex << int(c);

    expectEach(Text::trimmed, {{"  Ария\t\n", "Ария"},
                               {"\u00A0\u2003Кино  группа\u0085\r\n", "Кино  группа"},
                               {" \t\u3000\n", ""}});
    expectKept(Text::trimmed, {"a \t\u00A0b", "\u200Bx\u200B", ""});
}

// ---- query escaping

TEST(TextEscape, FirstStage)
{
    expectEach(Text::percentEscape,
               {{"a b", "a%20b"},
                {"%41", "%2541"},
                {"я", "%D1%8F"},
                {"😀", "%F0%9F%98%80"},
                {"€", "%E2%82%AC"},
                // Unreserved and reserved characters stay (below); '#', '[' and ']' do not.
                {"#[]\"<>\\^`{|}", "%23%5B%5D%22%3C%3E%5C%5E%60%7B%7C%7D"},
                {"\t\n\x7F", "%09%0A%7F"}});
    expectKept(Text::percentEscape, {"AZaz09-_.!~*'();/?:@&=+$,"});
    // A lone surrogate has no UTF-8 form and goes out as the replacement character.
    EXPECT_EQ(Text::percentEscape(QString(QChar(0xD800)) + u("x")), u("%EF%BF%BDx"));
}

TEST(TextEscape, QueryEscapesTheTenReservedCharacters)
{
    expectEach(Text::escapeQuery,
               {{"a b&c", "a%20b%26c"},
                {"%41", "%2541"},
                {"$&+,/:;=?@", "%24%26%2B%2C%2F%3A%3B%3D%3F%40"},
                {"я", "%D1%8F"},
                {"AC/DC: Back in Black", "AC%2FDC%3A%20Back%20in%20Black"},
                // The second stage replaces characters, never the escapes the first one made.
                {"%24%26 $$ &&", "%2524%2526%20%24%24%20%26%26"},
                {"#1 [2010] a+b", "%231%20%5B2010%5D%20a%2Bb"}});
    expectKept(Text::escapeQuery, {"-_.!~*'()"});
}

// ---- Windows-1251

TEST(TextWindows1251, EveryByteDecodes)
{
    QByteArray upper;
    QByteArray lower;
    for (int b = 0xC0; b <= 0xDF; ++b) {
        upper.append(char(b));
        lower.append(char(b + 0x20));
    }
    EXPECT_EQ(Text::decodeWindows1251(upper), u("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"));
    EXPECT_EQ(Text::decodeWindows1251(lower), u("абвгдежзийклмнопрстуфхцчшщъыьэюя"));
    // Ё and ё sit outside the main block.
    EXPECT_EQ(Text::decodeWindows1251(QByteArray("\xA8\xB8")), u("Ёё"));

    const QByteArray ascii("<div class=\"x\">Hello, 123!</div>\t\r\n");
    EXPECT_EQ(Text::decodeWindows1251(ascii), QString::fromLatin1(ascii));
    EXPECT_EQ(Text::decodeWindows1251(QByteArray("\x85\x88\x96\x97\xAB\xBB\xB9\xA0\x99")),
              u("…€–—«»№\u00A0™"));
    EXPECT_EQ(Text::decodeWindows1251(QByteArray("\x80\x90\xA5\xB4\xB2\xB3\xAA\xBA\xAF\xBF")),
              u("ЂђҐґІіЄєЇї"));
    EXPECT_EQ(Text::decodeWindows1251(QByteArray("a\x98z")), u("a\uFFFDz")); // the one undefined byte
    // Embedded NUL bytes are data like any other.
    EXPECT_EQ(Text::decodeWindows1251(QByteArray("a\0b", 3)), QStringView(u"a\0b", 3).toString());
    EXPECT_TRUE(Text::decodeWindows1251(QByteArray()).isEmpty());
}

TEST(TextWindows1251, AsUtf8IsTheDecodedTextPieceByPiece)
{
    // Every byte, alone and in one text, gives the UTF-8 of the character the decoder reads.
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b) {
        const QByteArray one(1, char(b));
        QByteArray utf8 = "x";
        Text::appendWindows1251AsUtf8(utf8, one);
        EXPECT_EQ(utf8, "x" + Text::decodeWindows1251(one).toUtf8()) << b;
        everyByte += one;
    }
    const QByteArray text =
        everyByte + QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0 \x98\x85") + everyByte;
    const QByteArray whole = Text::decodeWindows1251(text).toUtf8();
    for (qsizetype piece : {1, 2, 3, 7, 64, 1000}) {
        QByteArray utf8;
        for (qsizetype at = 0; at < text.size(); at += piece)
            Text::appendWindows1251AsUtf8(utf8,
                                          QByteArrayView(text).sliced(at, std::min(piece, text.size() - at)));
        EXPECT_EQ(utf8, whole) << piece;
    }
    QByteArray none;
    Text::appendWindows1251AsUtf8(none, QByteArrayView());
    EXPECT_TRUE(none.isEmpty());
}

// ---- control characters

TEST(TextControl, RemovesU0000ToU0019Only)
{
    expectEach(Text::removeControlCharacters, {{"a\tb\nc\rd", "abcd"},
                                               {"\x1A\x1F a\x19\x1B"
                                                "b\x0B\x1E",
                                                "\x1A\x1F a\x1B"
                                                "b\x1E"},
                                               {"\n\n\n", ""}});
    expectKept(Text::removeControlCharacters, {"x\x1Fy\x1A", "nothing to drop"});
    EXPECT_EQ(Text::removeControlCharacters(QStringView(u"\0\x01\x19я\x7F", 5).toString()), u("я\x7F"));
}

TEST(TextControl, LongTextsLoseEveryControlCharacterWhereverItStands)
{
    // Long texts are scanned several units at a time: a removed character at any place in such a block, at
    // its edges, several in a row and one at the very end must all go, and nothing else.
    const QString base = u("Привет, мир! <div class=\"row\">x</div> 0123456789 abcdefghij ");
    for (int at = 0; at < 40; ++at) {
        for (char16_t control : {u'\0', u'\n', u'\x19'}) {
            for (int run = 1; run <= 3; ++run) {
                QString text = base + base;
                text.insert(at, QString(run, QChar(control)));
                text.append(QChar(control));
                text.insert(text.size() / 2, QChar(u'\t'));
                QString expected;
                for (const QChar c : std::as_const(text)) {
                    if (c.unicode() > 0x19)
                        expected += c;
                }
                SCOPED_TRACE(at);
                ASSERT_EQ(Text::removeControlCharacters(text), expected);
                ASSERT_EQ(Text::utf8WithoutControlCharacters(text), expected.toUtf8());
            }
        }
    }
    EXPECT_EQ(Text::utf8WithoutControlCharacters(u("\x1A\x1Fя\x19")), u("\x1A\x1Fя").toUtf8());

    // In place on UTF-8, the same bytes go; a text shared with another keeps the other's bytes.
    QByteArray shared = u("a\tb\nя\x19\x1A").toUtf8();
    const QByteArray other = shared;
    Text::removeControlBytes(shared);
    EXPECT_EQ(shared, u("abя\x1A").toUtf8());
    EXPECT_EQ(other, u("a\tb\nя\x19\x1A").toUtf8());
    QByteArray clean = "nothing to drop";
    const char *before = clean.constData();
    Text::removeControlBytes(clean);
    EXPECT_EQ(clean, "nothing to drop");
    EXPECT_EQ(clean.constData(), before);
}

TEST(TextPercentDecoding, RunsOfEscapesAreUtf8)
{
    const std::pair<const char *, std::optional<QString>> cases[] = {
        {"no escapes", u("no escapes")},
        {"a%20b", u("a b")},
        {"%D0%9A%D0%B8%D0%BD%D0%BE", u("Кино")},
        {"%e2%82%ac 5", u("€ 5")},                 // lower-case digits
        {"%EF%BB%BFx", QStringLiteral("\uFEFFx")}, // a leading mark is kept (UTF-8 text would lose it here)
        {"%F0%9F%98%80", u("\xF0\x9F\x98\x80")},
        {"+%2B+", u("+++")}, // plus signs are not spaces here
        {"&#37;20", u("&#37;20")},
        // A sign that begins no escape is a character.
        {"50%", u("50%")},
        {"%4", u("%4")},
        {"100% Pure", u("100% Pure")},
        {"%ZZ", u("%ZZ")},
        {"%D0%9A%%D0%B8", u("К%и")}, // between two runs, which are read apart
        {"%C3%", std::nullopt},      // a run cut short by a lone sign is still broken
        {"%C3", std::nullopt},       // a lead byte alone
        {"%C3x%A9", std::nullopt},   // a sequence broken by a plain character
        {"%80", std::nullopt},       // a continuation byte alone
        {"%C0%AF", std::nullopt},    // overlong form
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(Text::decodePercentEscapes(u(in)), out) << in;
}
