#include "decoding/Text.h"

#include <QStringDecoder>
#include <QtAlgorithms>

#include <libxml/HTMLparser.h>

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

std::optional<QString> decodePercentEscapes(const QString &text)
{
    if (!text.contains(u'%'))
        return text;
    QString out;
    out.reserve(text.size());
    QByteArray run;
    const qsizetype size = text.size();
    const char16_t *data = reinterpret_cast<const char16_t *>(text.constData());
    auto flushRun = [&out, &run]() -> bool {
        if (run.isEmpty())
            return true;
        // A byte order mark is a character like any other here, so it is kept.
        QStringDecoder utf8(QStringConverter::Utf8,
                            QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        const QString decoded = utf8.decode(run);
        run.clear();
        if (utf8.hasError())
            return false;
        out += decoded;
        return true;
    };
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] != u'%') {
            if (!flushRun())
                return std::nullopt;
            out += QChar(data[i]);
            continue;
        }
        const int high = i + 2 < size ? hexValue(data[i + 1]) : -1;
        const int low = i + 2 < size ? hexValue(data[i + 2]) : -1;
        if (high < 0 || low < 0) {
            // No escape begins here ("100% Pure"): the sign is a character of the text.
            if (!flushRun())
                return std::nullopt;
            out += u'%';
            continue;
        }
        run += char(high * 16 + low);
        i += 2;
    }
    if (!flushRun())
        return std::nullopt;
    return out;
}

namespace {

// Code page 1251 above ASCII, bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order. 0x98, which the code
// page leaves undefined, reads as the replacement character.
constexpr char16_t Windows1251From80[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

struct Utf8Sequence
{
    char bytes[3];
    int length;
};

// The UTF-8 form of every byte from 0x80 on: two bytes, or three for the characters from U+0800.
constexpr std::array<Utf8Sequence, 128> makeWindows1251Utf8()
{
    std::array<Utf8Sequence, 128> table{};
    for (int i = 0; i < 128; ++i) {
        const char16_t c = i < 64 ? Windows1251From80[i] : char16_t(0x0410 + i - 64);
        Utf8Sequence &out = table[size_t(i)];
        if (c < 0x800) {
            out = {{char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F)), 0}, 2};
        } else {
            out = {{char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))}, 3};
        }
    }
    return table;
}

constexpr std::array<Utf8Sequence, 128> Windows1251Utf8 = makeWindows1251Utf8();

} // namespace

void appendWindows1251AsUtf8(QByteArray &utf8, QByteArrayView bytes)
{
    const auto *in = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    // The exact length first, so that the text grows once per piece.
    qsizetype length = size;
    for (qsizetype i = 0; i < size; ++i) {
        if (in[i] >= 0x80)
            length += Windows1251Utf8[in[i] - 0x80].length - 1;
    }
    const qsizetype start = utf8.size();
    utf8.resize(start + length);
    char *out = utf8.data() + start;
    for (qsizetype i = 0; i < size; ++i) {
        const uchar byte = in[i];
        if (byte < 0x80) {
            *out++ = char(byte);
            continue;
        }
        const Utf8Sequence &sequence = Windows1251Utf8[byte - 0x80];
        for (int k = 0; k < sequence.length; ++k)
            *out++ = sequence.bytes[k];
    }
}

QString decodeWindows1251(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1251");
    QString text = decoder.decode(bytes);
    // Qt's table reads 0x98, which code page 1251 leaves undefined, as the control character U+0098; this
    // program shows the replacement character there, as it always has.
    if (bytes.contains('\x98'))
        text.replace(QChar(0x98), QChar(QChar::ReplacementCharacter));
    return text;
}

namespace {

bool isRemovedControl(char16_t c)
{
    return c <= 0x19;
}

// The position of the first code unit from U+0000 to U+0019 at or after `from`, or `size` when there is none.
// Pages are long and such characters are few (line breaks, tabs), so the scan looks at eight units at a time.
qsizetype nextControl(const char16_t *data, qsizetype from, qsizetype size)
{
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i limit = _mm_set1_epi16(0x19);
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= size; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        // Saturating subtraction leaves zero exactly where a unit is at most 0x19.
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(units, limit), zero));
        if (mask != 0)
            return i + qCountTrailingZeroBits(uint(mask)) / 2;
    }
#endif
    for (; i < size; ++i) {
        if (isRemovedControl(data[i]))
            return i;
    }
    return size;
}

// The same for UTF-8 bytes, sixteen at a time.
qsizetype nextControlByte(const char *data, qsizetype from, qsizetype size)
{
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i limit = _mm_set1_epi8(0x19);
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= size; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_subs_epu8(bytes, limit), zero));
        if (mask != 0)
            return i + qCountTrailingZeroBits(uint(mask));
    }
#endif
    for (; i < size; ++i) {
        if (uchar(data[i]) <= 0x19)
            return i;
    }
    return size;
}

} // namespace

QString removeControlCharacters(QString text)
{
    const qsizetype size = text.size();
    const char16_t *data = reinterpret_cast<const char16_t *>(text.constData());
    qsizetype at = nextControl(data, 0, size);
    if (at == size)
        return text;

    // The runs between removed units are moved whole: within the text's own buffer when nobody else shares
    // it (the kept units only ever move towards the start), into a new one otherwise.
    QString out;
    if (!text.isDetached())
        out = QString(size, Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.isNull() ? text.data() : out.data());
    qsizetype n = 0;
    qsizetype from = 0;
    while (from < size) {
        const qsizetype run = at - from;
        std::memmove(dst + n, data + from, size_t(run) * sizeof(char16_t));
        n += run;
        from = at + 1;
        if (from < size)
            at = nextControl(data, from, size);
    }
    if (out.isNull()) {
        text.truncate(n);
        return text;
    }
    out.truncate(n);
    return out;
}

QByteArray utf8WithoutControlCharacters(const QString &text)
{
    QByteArray utf8 = text.toUtf8();
    removeControlBytes(utf8);
    return utf8;
}

void removeControlBytes(QByteArray &utf8)
{
    // In UTF-8 the code points U+0000..U+0019 are the bytes 0x00..0x19 and no other character uses those
    // bytes, so they can be dropped from the encoded text. Nothing is written (or detached) before the first;
    // from there the runs between them move towards the start.
    const qsizetype size = utf8.size();
    qsizetype at = nextControlByte(utf8.constData(), 0, size);
    if (at == size)
        return;
    char *const data = utf8.data();
    qsizetype n = at;
    qsizetype from = at + 1;
    while (from < size) {
        at = nextControlByte(data, from, size);
        std::memmove(data + n, data + from, size_t(at - from));
        n += at - from;
        from = at + 1;
    }
    utf8.truncate(n);
}

} // namespace Text
