#include "decoding/Text.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

// ---- character references
// ------------------------------------------------------------------------------------

TEST(TextEntities, NamedReferencesFromTheHtml4Table)
{
    EXPECT_EQ(Text::decodeHtmlEntities(u("Tom &amp; Jerry")), u("Tom & Jerry"));
    EXPECT_EQ(Text::decodeHtmlEntities(u("&lt;b&gt; &quot;x&quot; &apos;y&apos;")), u("<b> \"x\" 'y'"));
    EXPECT_EQ(Text::decodeHtmlEntities(u("a&nbsp;b")), u("a\u00A0b"));
    EXPECT_EQ(Text::decodeHtmlEntities(u("&laquo;Песня&raquo; &mdash; &copy;&euro;")), u("«Песня» — ©€"));
    // Names are case-sensitive: "&Auml;" and "&auml;" are different letters, "&AMP;" is not in the table.
    EXPECT_EQ(Text::decodeHtmlEntities(u("&Auml;&auml;&AMP;")), u("Ää&AMP;"));
}

TEST(TextEntities, NumericDecimalAndHexadecimal)
{
    EXPECT_EQ(Text::decodeHtmlEntities(u("&#1072;&#1103;")), u("ая"));
    EXPECT_EQ(Text::decodeHtmlEntities(u("&#x430;&#X44F;&#x42F;")), u("аяЯ"));
    EXPECT_EQ(Text::decodeHtmlEntities(u("&#39;quoted&#039;")), u("'quoted'"));
    // Outside the basic plane the character becomes a surrogate pair.
    const QString clef = Text::decodeHtmlEntities(u("&#x1D11E;"));
    ASSERT_EQ(clef.size(), 2);
    EXPECT_EQ(clef.at(0).unicode(), 0xD834);
    EXPECT_EQ(clef.at(1).unicode(), 0xDD1E);
    EXPECT_EQ(Text::decodeHtmlEntities(u("&#128512;")), u("😀"));
}

TEST(TextEntities, UnknownUnterminatedAndInvalidStayLiteral)
{
    const char *literal[] = {
        "&nosuchname;",
        "&amp",
        "&#65",
        "&#x41",
        "&#;",
        "&#x;",
        "& amp;",
        "&;",
        "&#xZZ;",
        "&#12a;",
        "&#0;",                    // not a character
        "&#xD800;",                // a lone surrogate
        "&#x110000;",              // past the Unicode range
        "&#99999999999999999999;", // would overflow a 32-bit accumulator
        "&abcdefghijklmnopqrstuvwxyzabcdefghijklmnop;",
        "&",
        "trailing &",
    };
    for (const char *text : literal)
        EXPECT_EQ(Text::decodeHtmlEntities(u(text)), u(text)) << text;

    // A bad reference does not hide a good one right after it.
    EXPECT_EQ(Text::decodeHtmlEntities(u("&foo&amp;&#65&#66;")), u("&foo&&#65B"));
}

TEST(TextEntities, SinglePassAndPercentUntouched)
{
    EXPECT_EQ(Text::decodeHtmlEntities(u("&amp;amp;")), u("&amp;"));
    EXPECT_EQ(Text::decodeHtmlEntities(u("&amp;#65;")), u("&#65;"));
    EXPECT_EQ(Text::decodeHtmlEntities(u("100% &amp; %20 %D1%8F")), u("100% & %20 %D1%8F"));
    EXPECT_EQ(Text::decodeHtmlEntities(u("no references, 50%")), u("no references, 50%"));
    EXPECT_EQ(Text::decodeHtmlEntities(QString()), QString());
}

// ---- trimming
// ------------------------------------------------------------------------------------------------

TEST(TextTrim, CharacterClasses)
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
}

TEST(TextTrim, BothEndsOnly)
{
    EXPECT_EQ(Text::trimmed(u("  Ария\t\n")), u("Ария"));
    EXPECT_EQ(Text::trimmed(u("\u00A0\u2003Кино  группа\u0085\r\n")), u("Кино  группа"));
    EXPECT_EQ(Text::trimmed(u("a \t\u00A0b")), u("a \t\u00A0b"));
    EXPECT_EQ(Text::trimmed(u("\u200Bx\u200B")), u("\u200Bx\u200B"));
    EXPECT_EQ(Text::trimmed(u(" \t\u3000\n")), QString());
    EXPECT_TRUE(Text::trimmed(QString()).isEmpty());
}

// ---- query escaping
// ------------------------------------------------------------------------------------------

TEST(TextEscape, FirstStage)
{
    EXPECT_EQ(Text::percentEscape(u("a b")), u("a%20b"));
    EXPECT_EQ(Text::percentEscape(u("%41")), u("%2541"));
    EXPECT_EQ(Text::percentEscape(u("я")), u("%D1%8F"));
    EXPECT_EQ(Text::percentEscape(u("😀")), u("%F0%9F%98%80"));
    EXPECT_EQ(Text::percentEscape(u("€")), u("%E2%82%AC"));
    // Unreserved and reserved characters stay; '#', '[' and ']' do not.
    EXPECT_EQ(Text::percentEscape(u("AZaz09-_.!~*'();/?:@&=+$,")), u("AZaz09-_.!~*'();/?:@&=+$,"));
    EXPECT_EQ(Text::percentEscape(u("#[]\"<>\\^`{|}")), u("%23%5B%5D%22%3C%3E%5C%5E%60%7B%7C%7D"));
    EXPECT_EQ(Text::percentEscape(u("\t\n\x7F")), u("%09%0A%7F"));
    // A lone surrogate has no UTF-8 form and goes out as the replacement character.
    EXPECT_EQ(Text::percentEscape(QString(QChar(0xD800)) + u("x")), u("%EF%BF%BDx"));
}

TEST(TextEscape, QueryEscapesTheTenReservedCharacters)
{
    EXPECT_EQ(Text::escapeQuery(u("a b&c")), u("a%20b%26c"));
    EXPECT_EQ(Text::escapeQuery(u("%41")), u("%2541"));
    EXPECT_EQ(Text::escapeQuery(u("/")), u("%2F"));
    EXPECT_EQ(Text::escapeQuery(u("я")), u("%D1%8F"));
    EXPECT_EQ(Text::escapeQuery(u("+")), u("%2B"));
    EXPECT_EQ(Text::escapeQuery(u("@")), u("%40"));
    EXPECT_EQ(Text::escapeQuery(u("$&+,/:;=?@")), u("%24%26%2B%2C%2F%3A%3B%3D%3F%40"));
    EXPECT_EQ(Text::escapeQuery(u("-_.!~*'()")), u("-_.!~*'()"));
    EXPECT_EQ(Text::escapeQuery(u("AC/DC: Back in Black")), u("AC%2FDC%3A%20Back%20in%20Black"));
    // The second stage replaces characters, never the escapes the first one made.
    EXPECT_EQ(Text::escapeQuery(u("%24%26 $$ &&")), u("%2524%2526%20%24%24%20%26%26"));
    EXPECT_EQ(Text::escapeQuery(u("#1 [2010] a+b")), u("%231%20%5B2010%5D%20a%2Bb"));
}

// ---- Windows-1251
// ----------------------------------------------------------------------------------------------

TEST(TextWindows1251, CyrillicAlphabet)
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
}

TEST(TextWindows1251, AsciiPunctuationAndUndefinedByte)
{
    const QByteArray ascii("<div class=\"x\">Hello, 123!</div>\t\r\n");
    EXPECT_EQ(Text::decodeWindows1251(ascii), QString::fromLatin1(ascii));
    EXPECT_EQ(Text::decodeWindows1251(QByteArray("\x85\x88\x96\x97\xAB\xBB\xB9\xA0\x99")),
              u("…€–—«»№\u00A0™"));
    EXPECT_EQ(Text::decodeWindows1251(QByteArray("\x80\x90\xA5\xB4\xB2\xB3\xAA\xBA\xAF\xBF")),
              u("ЂђҐґІіЄєЇї"));
    EXPECT_EQ(Text::decodeWindows1251(QByteArray("a\x98z")), u("a\uFFFDz"));
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
// -----------------------------------------------------------------------------------------

TEST(TextControl, RemovesU0000ToU0019Only)
{
    EXPECT_EQ(Text::removeControlCharacters(u("a\tb\nc\rd")), u("abcd"));
    EXPECT_EQ(Text::removeControlCharacters(u("x\x1Fy\x1A")), u("x\x1Fy\x1A"));
    EXPECT_EQ(Text::removeControlCharacters(u("\x1A\x1F a\x19\x1B"
                                              "b\x0B\x1E")),
              u("\x1A\x1F a\x1B"
                "b\x1E"));
    EXPECT_EQ(Text::removeControlCharacters(QStringView(u"\0\x01\x19я\x7F", 5).toString()), u("я\x7F"));
    EXPECT_EQ(Text::removeControlCharacters(u("\n\n\n")), QString(""));
    EXPECT_EQ(Text::removeControlCharacters(u("nothing to drop")), u("nothing to drop"));
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
    struct Case
    {
        QString in;
        std::optional<QString> out;
    };
    const Case cases[] = {
        {"no escapes", QStringLiteral("no escapes")},
        {"a%20b", QStringLiteral("a b")},
        {"%D0%9A%D0%B8%D0%BD%D0%BE", QStringLiteral("Кино")},
        {"%e2%82%ac 5", QStringLiteral("€ 5")},    // lower-case digits
        {"%EF%BB%BFx", QStringLiteral("\uFEFFx")}, // a leading mark is kept
        {"%F0%9F%98%80", QString::fromUtf8("\xF0\x9F\x98\x80")},
        {"+%2B+", QStringLiteral("+++")}, // plus signs are not spaces here
        {"&#37;20", QStringLiteral("&#37;20")},
        // A sign that begins no escape is a character.
        {"50%", QStringLiteral("50%")},
        {"%4", QStringLiteral("%4")},
        {"100% Pure", QStringLiteral("100% Pure")},
        {"%ZZ", QStringLiteral("%ZZ")},
        {"%D0%9A%%D0%B8", QStringLiteral("К%и")}, // between two runs, which are read apart
        {"%C3%", std::nullopt},                   // a run cut short by a lone sign is still broken
        {"%C3", std::nullopt},                    // a lead byte alone
        {"%C3x%A9", std::nullopt},                // a sequence broken by a plain character
        {"%80", std::nullopt},                    // a continuation byte alone
        {"%C0%AF", std::nullopt},                 // overlong form
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        EXPECT_EQ(Text::decodePercentEscapes(c.in), c.out);
    }
}
