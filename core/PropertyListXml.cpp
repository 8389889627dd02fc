// The XML property-list reader: one pass over the bytes with an explicit stack of open arrays and
// dictionaries. It knows the XML a property list is made of (declaration, document type, comments, processing
// instructions, CDATA, the five named references and character references) and nothing more: entities a
// document type declares are never expanded, so a reference to one is an error.
// A file is read through a window of a few hundred kilobytes rather than whole, so that reading a playlist
// costs little more than the entries it yields.
#include "core/PropertyListReaders.h"

#include <QIODevice>
#include <QString>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace PropertyList::Readers {
namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool startsWith(const char *p, const char *end, std::string_view prefix)
{
    return size_t(end - p) >= prefix.size() && std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

const char *find(const char *from, const char *end, std::string_view needle)
{
    return static_cast<const char *>(::memmem(from, size_t(end - from), needle.data(), needle.size()));
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

int digitValue(char c, bool hex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Appends the character data [b, e) with its references replaced; false on a reference that is not one.
bool appendDecoded(QByteArray &out, const char *b, const char *e)
{
    while (b < e) {
        const char *amp = static_cast<const char *>(std::memchr(b, '&', size_t(e - b)));
        if (!amp) {
            out.append(b, e - b);
            return true;
        }
        out.append(b, amp - b);
        // "&#x" with eight digits and ";" is the longest reference worth reading.
        const char *semi =
            static_cast<const char *>(std::memchr(amp, ';', size_t(std::min<qsizetype>(e - amp, 12))));
        if (!semi)
            return false;
        const std::string_view name(amp + 1, size_t(semi - amp - 1));
        if (name == "lt") {
            out += '<';
        } else if (name == "gt") {
            out += '>';
        } else if (name == "amp") {
            out += '&';
        } else if (name == "quot") {
            out += '"';
        } else if (name == "apos") {
            out += '\'';
        } else if (name.size() >= 2 && name.front() == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            if (digits.empty() || digits.size() > 8)
                return false;
            char32_t value = 0;
            for (const char d : digits) {
                const int v = digitValue(d, hex);
                if (v < 0)
                    return false;
                value = value * (hex ? 16 : 10) + char32_t(v);
            }
            if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
                return false;
            appendUtf8(out, value);
        } else {
            return false;
        }
        b = semi + 1;
    }
    return true;
}

// Decimal, or hexadecimal after "0x", with an optional sign. A value above the signed range keeps its bits,
// as the writer's unsigned integers do.
bool parseInteger(std::string_view text, qint64 &value)
{
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex)
        text.remove_prefix(2);
    if (text.empty())
        return false;
    const quint64 base = hex ? 16 : 10;
    quint64 magnitude = 0;
    for (const char c : text) {
        const int digit = digitValue(c, hex);
        if (digit < 0 || magnitude > (std::numeric_limits<quint64>::max() - quint64(digit)) / base)
            return false;
        magnitude = magnitude * base + quint64(digit);
    }
    if (negative && magnitude > quint64(std::numeric_limits<qint64>::max()) + 1)
        return false;
    value = negative ? qint64(0 - magnitude) : qint64(magnitude);
    return true;
}

bool parseReal(std::string_view text, double &value)
{
    bool ok = false;
    value = QByteArray::fromRawData(text.data(), qsizetype(text.size())).trimmed().toDouble(&ok);
    return ok;
}

class XmlReader
{
public:
    XmlReader(const char *begin, const char *end, Handler &handler) : p(begin), end(end), handler(handler) {}
    XmlReader(QIODevice *device, Handler &handler)
        : p(nullptr), end(nullptr), handler(handler), device(device), atEnd(false)
    {}

    Error run();

private:
    struct Frame
    {
        bool dict;
        bool keyRead; // a dictionary's key was read, its value not yet
    };

    // The window keeps this much ahead of the position; a longer element makes it grow.
    static constexpr qsizetype windowSize = 512 * 1024;
    static constexpr qsizetype readAhead = 128 * 1024;

    Error fill(const char *keepFrom, qsizetype capacity);
    Error step(bool &done);
    bool skipMisc(bool prolog);
    bool skipDoctype();
    bool readName(std::string_view &name);
    bool skipAttributes(bool &empty);
    bool closeTag();
    bool readText(std::string_view name, bool empty, std::string_view &text);
    Error scalar(std::string_view name, bool empty);
    bool valueDone();

    const char *p;
    const char *end;
    Handler &handler;
    QIODevice *device = nullptr;
    QByteArray window;
    qint64 consumed = 0; // bytes of the device read so far
    bool atEnd = true;   // nothing more than [p, end) is left
    std::vector<Frame> stack;
    QByteArray scratch; // text that had references, CDATA or comments in it
    bool inPlist = false;
    bool rootDone = false;
};

// Moves [keepFrom, end) to the front of the window and reads after it, up to `capacity` bytes in all.
Error XmlReader::fill(const char *keepFrom, qsizetype capacity)
{
    const qsizetype from = keepFrom ? keepFrom - window.constData() : 0;
    const qsizetype kept = keepFrom ? end - keepFrom : 0;
    if (window.size() < capacity)
        window.resize(capacity); // may move the window: `keepFrom` is not used below
    if (kept > 0 && from > 0)
        std::memmove(window.data(), window.constData() + from, size_t(kept));
    qsizetype filled = kept;
    while (filled < window.size()) {
        const qint64 n = device->read(window.data() + filled, window.size() - filled);
        if (n < 0)
            return Error::NotOpened;
        if (n == 0) {
            atEnd = true;
            break;
        }
        filled += qsizetype(n);
        consumed += n;
    }
    p = window.constData();
    end = window.constData() + filled;
    // The size was checked before reading; a file that grows meanwhile is not followed past the limit.
    return consumed > maxFileSize ? Error::TooLarge : Error::None;
}

Error XmlReader::run()
{
    if (device) {
        if (const Error error = fill(nullptr, windowSize); error != Error::None)
            return error;
    }
    if (startsWith(p, end, "\xEF\xBB\xBF"))
        p += 3;
    for (;;) {
        if (!atEnd && end - p < readAhead) {
            if (const Error error = fill(p, windowSize); error != Error::None)
                return error;
        }
        const char *start = p;
        bool done = false;
        const Error error = step(done);
        if (error == Error::Malformed && !atEnd) {
            // The element may only have been cut by the window's end: again, with a larger window. Nothing of
            // it reached the handler, which hears of an element only once it has been read whole.
            if (const Error more = fill(start, std::max(window.size() * 2, windowSize)); more != Error::None)
                return more;
            continue;
        }
        if (error != Error::None || done)
            return error;
    }
}

// One element, or one end tag, with the white space and comments before it. `done` when the list ended.
Error XmlReader::step(bool &done)
{
    if (!skipMisc(!inPlist && stack.empty() && !rootDone))
        return Error::Malformed;
    // The end of the bytes inside the list, or text between elements: no list, or a truncated one.
    if (p == end || *p != '<')
        return Error::Malformed;
    if (p + 1 < end && p[1] == '/') {
        p += 2;
        std::string_view name;
        if (!readName(name) || !closeTag())
            return Error::Malformed;
        if (name == "plist") {
            done = true;
            return inPlist && rootDone ? Error::None : Error::Malformed;
        }
        if (stack.empty() || stack.back().keyRead || name != (stack.back().dict ? "dict" : "array"))
            return Error::Malformed;
        stack.pop_back();
        handler.endContainer();
        done = valueDone();
        return Error::None;
    }
    ++p;
    std::string_view name;
    bool empty = false;
    if (!readName(name) || !skipAttributes(empty))
        return Error::Malformed;
    if (name == "plist") {
        if (inPlist || rootDone || !stack.empty() || empty)
            return Error::Malformed;
        inPlist = true;
        return Error::None;
    }
    if (rootDone)
        return Error::Malformed; // a second value inside <plist>
    const bool inDict = !stack.empty() && stack.back().dict;
    if (name == "key") {
        std::string_view text;
        if (!inDict || stack.back().keyRead || !readText(name, empty, text))
            return Error::Malformed;
        handler.key(QString::fromUtf8(text.data(), qsizetype(text.size())));
        stack.back().keyRead = true;
        return Error::None;
    }
    if (inDict && !stack.back().keyRead)
        return Error::Malformed; // a value without its key
    if (name == "array" || name == "dict") {
        if (stack.size() >= size_t(maxDepth))
            return Error::TooDeep;
        const bool dict = name == "dict";
        if (dict)
            handler.beginDict();
        else
            handler.beginArray(-1);
        if (!empty) {
            stack.push_back({dict, false});
            return Error::None;
        }
        handler.endContainer();
    } else if (const Error error = scalar(name, empty); error != Error::None) {
        return error;
    }
    done = valueDone();
    return Error::None;
}

// A value ended. True when it was the whole list: the first value outside <plist>, whatever follows.
bool XmlReader::valueDone()
{
    if (!stack.empty()) {
        stack.back().keyRead = false;
        return false;
    }
    rootDone = true;
    return !inPlist;
}

Error XmlReader::scalar(std::string_view name, bool empty)
{
    std::string_view text;
    if (!readText(name, empty, text))
        return Error::Malformed;
    if (name == "string") {
        handler.string(QString::fromUtf8(text.data(), qsizetype(text.size())));
    } else if (name == "integer") {
        qint64 value = 0;
        if (!parseInteger(text, value))
            return Error::Malformed;
        handler.integer(value);
    } else if (name == "real") {
        double value = 0;
        if (!parseReal(text, value))
            return Error::Malformed;
        handler.real(value);
    } else if (name == "true" || name == "false") {
        if (!trimmed(text).empty())
            return Error::Malformed;
        handler.boolean(name == "true");
    } else if (name == "date" || name == "data") {
        handler.other();
    } else {
        return Error::Malformed;
    }
    return Error::None;
}

// White space, comments and processing instructions; in the prolog the document type too. False on one that
// does not end.
bool XmlReader::skipMisc(bool prolog)
{
    while (p < end) {
        if (isSpace(*p)) {
            ++p;
            continue;
        }
        if (*p != '<')
            return true;
        if (startsWith(p, end, "<!--")) {
            const char *close = find(p + 4, end, "-->");
            if (!close)
                return false;
            p = close + 3;
        } else if (startsWith(p, end, "<?")) {
            const char *close = find(p + 2, end, "?>");
            if (!close)
                return false;
            p = close + 2;
        } else if (prolog && startsWith(p, end, "<!DOCTYPE")) {
            if (!skipDoctype())
                return false;
        } else {
            return true;
        }
    }
    return true;
}

bool XmlReader::skipDoctype()
{
    p += 9;
    char quote = 0;
    bool subset = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            subset = true;
        } else if (c == ']') {
            subset = false;
        } else if (c == '>' && !subset) {
            ++p;
            return true;
        }
    }
    return false;
}

bool XmlReader::readName(std::string_view &name)
{
    const char *start = p;
    while (p < end && !isSpace(*p) && *p != '>' && *p != '/' && *p != '<')
        ++p;
    name = std::string_view(start, size_t(p - start));
    return !name.empty();
}

// Attributes are skipped; `empty` tells a self-closing element.
bool XmlReader::skipAttributes(bool &empty)
{
    while (p < end) {
        const char c = *p;
        if (c == '"' || c == '\'') {
            const char *close = static_cast<const char *>(std::memchr(p + 1, c, size_t(end - p - 1)));
            if (!close)
                return false;
            p = close + 1;
        } else if (c == '>') {
            empty = false;
            ++p;
            return true;
        } else if (c == '/' && p + 1 < end && p[1] == '>') {
            empty = true;
            p += 2;
            return true;
        } else if (c == '<') {
            return false;
        } else {
            ++p;
        }
    }
    return false;
}

bool XmlReader::closeTag()
{
    while (p < end && isSpace(*p))
        ++p;
    if (p == end || *p != '>')
        return false;
    ++p;
    return true;
}

// The text of element `name` up to and including its end tag. Plain text is a view of the document; text with
// references, CDATA or comments is put together in `scratch`.
bool XmlReader::readText(std::string_view name, bool empty, std::string_view &text)
{
    if (empty) {
        text = {};
        return true;
    }
    bool plain = true;
    scratch.clear();
    for (;;) {
        const char *lt = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)));
        if (!lt)
            return false;
        const bool closing = lt + 1 < end && lt[1] == '/';
        if (plain && closing && !std::memchr(p, '&', size_t(lt - p))) {
            text = std::string_view(p, size_t(lt - p));
            p = lt;
            break;
        }
        if (!appendDecoded(scratch, p, lt))
            return false;
        plain = false;
        p = lt;
        if (closing) {
            text = std::string_view(scratch.constData(), size_t(scratch.size()));
            break;
        }
        if (startsWith(p, end, "<![CDATA[")) {
            const char *close = find(p + 9, end, "]]>");
            if (!close)
                return false;
            scratch.append(p + 9, close - (p + 9));
            p = close + 3;
        } else if (startsWith(p, end, "<!--")) {
            const char *close = find(p + 4, end, "-->");
            if (!close)
                return false;
            p = close + 3;
        } else if (startsWith(p, end, "<?")) {
            const char *close = find(p + 2, end, "?>");
            if (!close)
                return false;
            p = close + 2;
        } else {
            return false; // an element inside a text
        }
    }
    p += 2;
    std::string_view closingName;
    return readName(closingName) && closingName == name && closeTag();
}

} // namespace

Error parseXml(const char *begin, const char *end, Handler &handler)
{
    return XmlReader(begin, end, handler).run();
}

Error parseXml(QIODevice *device, Handler &handler)
{
    return XmlReader(device, handler).run();
}

} // namespace PropertyList::Readers
