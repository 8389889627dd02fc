#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Text helpers shared by the service client, the storage naming and the import.
namespace Text {

// Decodes HTML character references: named ones from libxml2's HTML entity table ("&amp;") and numeric ones
// ("&#1072;", "&#x430;"). A reference that is unknown, unterminated or names an invalid code point stays as
// it is. Per cent signs are never touched.
QString decodeHtmlEntities(const QString &text);

// White space and line breaks as the trim rule sees them: Unicode space separators (category Z), the tab,
// U+000A to U+000D and U+0085.
bool isTrimmable(QChar c);
QString trimmed(const QString &text);

// First stage of the query escaping: every character RFC 2396 does not allow in a URI becomes the per cent
// escapes of its UTF-8 bytes with upper-case hexadecimal digits. ASCII letters, digits, the marks - _ . ! ~ *
// ' ( ) and the reserved characters ; / ? : @ & = + $ , stay as they are ('#', '[' and ']' are escaped).
QString percentEscape(const QString &text);

// Both stages: percentEscape, then "$" "&" "+" "," "/" ":" ";" "=" "?" "@" replaced in this order by their
// escapes.
QString escapeQuery(const QString &text);

// Per cent escapes ("%D0%B0") decoded: each run of escapes is read as UTF-8 bytes, other characters stay; a
// "%" not followed by two hexadecimal digits is no escape and stays as it is. Nothing when a run of escapes
// is no valid UTF-8.
std::optional<QString> decodePercentEscapes(const QString &text);

// Windows-1251 (code page 1251) bytes to text; bytes the code page leaves undefined (0x98) become U+FFFD.
QString decodeWindows1251(const QByteArray &bytes);
// The same text appended to `utf8` as UTF-8, without a UTF-16 form in between. The code page maps each byte
// to one character on its own, so an answer can be decoded piece by piece as it arrives.
void appendWindows1251AsUtf8(QByteArray &utf8, QByteArrayView bytes);

// Removes every UTF-16 code unit from U+0000 to U+0019 (U+001A..U+001F stay). A text handed over (moved) is
// cleaned in its own buffer.
QString removeControlCharacters(QString text);
// The same, given as UTF-8: removeControlCharacters(text).toUtf8() without a copy of the text in between.
QByteArray utf8WithoutControlCharacters(const QString &text);
// The same on UTF-8 text, in place: the bytes 0x00..0x19 are exactly the characters U+0000..U+0019 there.
void removeControlBytes(QByteArray &utf8);

} // namespace Text
