#include "decoding/Text.h"

#include <QCoreApplication>

#include <libxml/HTMLparser.h>

#include <array>

namespace Text {

namespace {

constexpr char16_t ReplacementCharacter = 0xFFFD;

// Longest name in the HTML 4 entity table is "thetasym"; anything much longer cannot be a known name, so the
// scan stops early instead of walking a long run of letters.
constexpr int MaxEntityNameLength = 32;

bool isAsciiAlnum(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

bool isValidCodePoint(char32_t cp)
{
    return cp != 0 && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

void appendCodePoint(QString &out, char32_t cp)
{
    if (cp < 0x10000) {
        out.append(QChar(char16_t(cp)));
    } else {
        out.append(QChar(QChar::highSurrogate(cp)));
        out.append(QChar(QChar::lowSurrogate(cp)));
    }
}

// Tries to read one character reference starting at `amp` (which holds '&'). On success returns the index
// just past the terminating ';' and stores the code point; otherwise returns -1 and the '&' is kept
// literally.
qsizetype readReference(const QString &text, qsizetype amp, char32_t *cp)
{
    const qsizetype size = text.size();
    const char16_t *data = reinterpret_cast<const char16_t *>(text.constData());
    qsizetype i = amp + 1;
    if (i < size && data[i] == u'#') {
        ++i;
        const bool hex = i < size && (data[i] == u'x' || data[i] == u'X');
        if (hex)
            ++i;
        const qsizetype digitsStart = i;
        char32_t value = 0;
        bool overflow = false;
        for (; i < size; ++i) {
            const int digit =
                hex ? hexValue(data[i]) : (data[i] >= u'0' && data[i] <= u'9' ? data[i] - u'0' : -1);
            if (digit < 0)
                break;
            value = value * (hex ? 16 : 10) + char32_t(digit);
            // Past the Unicode range the reference is invalid anyway; stop accumulating before it wraps.
            if (value > 0x10FFFF) {
                overflow = true;
                value = 0x110000;
            }
        }
        if (i == digitsStart || i >= size || data[i] != u';' || overflow || !isValidCodePoint(value))
            return -1;
        *cp = value;
        return i + 1;
    }

    const qsizetype nameStart = i;
    while (i < size && i - nameStart <= MaxEntityNameLength && isAsciiAlnum(data[i]))
        ++i;
    const qsizetype nameLength = i - nameStart;
    if (nameLength == 0 || nameLength > MaxEntityNameLength || i >= size || data[i] != u';')
        return -1;
    char name[MaxEntityNameLength + 1];
    for (qsizetype k = 0; k < nameLength; ++k)
        name[k] = char(data[nameStart + k]);
    name[nameLength] = '\0';
    const htmlEntityDesc *entity = htmlEntityLookup(reinterpret_cast<const xmlChar *>(name));
    if (entity == nullptr || !isValidCodePoint(entity->value))
        return -1;
    *cp = entity->value;
    return i + 1;
}

// Characters that stay as they are in the first escaping stage: RFC 2396 unreserved and reserved ones.
constexpr std::array<bool, 128> makeUriSafeTable(bool keepReserved)
{
    std::array<bool, 128> table{};
    for (char c = 'a'; c <= 'z'; ++c)
        table[size_t(c)] = true;
    for (char c = 'A'; c <= 'Z'; ++c)
        table[size_t(c)] = true;
    for (char c = '0'; c <= '9'; ++c)
        table[size_t(c)] = true;
    for (char c : {'-', '_', '.', '!', '~', '*', '\'', '(', ')'})
        table[size_t(c)] = true;
    if (keepReserved) {
        for (char c : {';', '/', '?', ':', '@', '&', '=', '+', '$', ','})
            table[size_t(c)] = true;
    }
    return table;
}

constexpr std::array<bool, 128> UriSafe = makeUriSafeTable(true);
// The second stage turns exactly the ten reserved characters into escapes and never touches a '%', so both
// stages together equal one pass that keeps only the unreserved characters.
constexpr std::array<bool, 128> QuerySafe = makeUriSafeTable(false);

void appendEscapedByte(QString &out, unsigned char byte)
{
    static constexpr char16_t Hex[] = u"0123456789ABCDEF";
    out.append(u'%');
    out.append(QChar(Hex[byte >> 4]));
    out.append(QChar(Hex[byte & 0x0F]));
}

QString escape(const QString &text, const std::array<bool, 128> &safe)
{
    QString out;
    out.reserve(text.size() * 3);
    const qsizetype size = text.size();
    const char16_t *data = reinterpret_cast<const char16_t *>(text.constData());
    for (qsizetype i = 0; i < size; ++i) {
        char32_t cp = data[i];
        if (cp < 0x80) {
            if (safe[cp])
                out.append(QChar(char16_t(cp)));
            else
                appendEscapedByte(out, static_cast<unsigned char>(cp));
            continue;
        }
        if (QChar::isHighSurrogate(cp) && i + 1 < size && QChar::isLowSurrogate(data[i + 1])) {
            cp = QChar::surrogateToUcs4(char16_t(cp), data[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(cp)) {
            // A lone surrogate has no UTF-8 form; send the replacement character rather than dropping it.
            cp = ReplacementCharacter;
        }
        if (cp < 0x800) {
            appendEscapedByte(out, static_cast<unsigned char>(0xC0 | (cp >> 6)));
            appendEscapedByte(out, static_cast<unsigned char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            appendEscapedByte(out, static_cast<unsigned char>(0xE0 | (cp >> 12)));
            appendEscapedByte(out, static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
            appendEscapedByte(out, static_cast<unsigned char>(0x80 | (cp & 0x3F)));
        } else {
            appendEscapedByte(out, static_cast<unsigned char>(0xF0 | (cp >> 18)));
            appendEscapedByte(out, static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F)));
            appendEscapedByte(out, static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
            appendEscapedByte(out, static_cast<unsigned char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

// Upper half of code page 1251; 0x98 is the one byte it leaves undefined.
constexpr char16_t Cp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // 0xC0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // 0xC8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // 0xD0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // 0xD8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // 0xE0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // 0xE8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // 0xF0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // 0xF8
};

} // namespace

QString decodeHtmlEntities(const QString &text)
{
    qsizetype amp = text.indexOf(u'&');
    if (amp < 0)
        return text;

    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    while (amp >= 0) {
        char32_t cp = 0;
        const qsizetype end = readReference(text, amp, &cp);
        if (end < 0) {
            amp = text.indexOf(u'&', amp + 1);
            continue;
        }
        out.append(QStringView(text).mid(copied, amp - copied));
        appendCodePoint(out, cp);
        copied = end;
        amp = text.indexOf(u'&', end);
    }
    out.append(QStringView(text).mid(copied));
    return out;
}

bool isTrimmable(QChar c)
{
    const char16_t u = c.unicode();
    if (u == 0x09 || (u >= 0x0A && u <= 0x0D) || u == 0x85)
        return true;
    switch (c.category()) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QString trimmed(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmable(text.at(begin)))
        ++begin;
    while (end > begin && isTrimmable(text.at(end - 1)))
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

QString percentEscape(const QString &text)
{
    return escape(text, UriSafe);
}

QString escapeQuery(const QString &text)
{
    return escape(text, QuerySafe);
}

QString decodeWindows1251(const QByteArray &bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    const unsigned char *src = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char b = src[i];
        dst[i] = b < 0x80 ? char16_t(b) : Cp1251High[b - 0x80];
    }
    return out;
}

QString removeControlCharacters(const QString &text)
{
    const qsizetype size = text.size();
    const char16_t *data = reinterpret_cast<const char16_t *>(text.constData());
    qsizetype first = 0;
    while (first < size && data[first] > 0x19)
        ++first;
    if (first == size)
        return text;

    QString out(size, Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    qsizetype n = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] > 0x19)
            dst[n++] = data[i];
    }
    out.truncate(n);
    return out;
}

} // namespace Text

QString Text::localized(const char *text)
{
    return QCoreApplication::translate("Melodrop", text);
}
