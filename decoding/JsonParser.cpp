#include "decoding/JsonParser.h"

#include "decoding/JsonInternals.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Json {

namespace {

using Internals::parseDouble;

// A long number is kept as plain decimal text unless that would need more padding zeros than this; beyond it
// (only absurd exponents) the text keeps an exponent instead of growing without bound.
constexpr qint64 kMaxDecimalPadding = 400;

// Decimal exponents are saturated here; no double or sane decimal comes near it, and the sums stay in range.
constexpr qint64 kExponentCap = 1'000'000'000'000'000LL;

// Exact decimal text of a number token: no exponent, no needless zeros ("1.50e1" gives "15").
QString normaliseDecimal(const char *p, const char *end)
{
    const bool negative = *p == '-';
    if (negative)
        ++p;
    std::string digits;
    digits.reserve(end - p);
    while (p < end && *p >= '0' && *p <= '9')
        digits.push_back(*p++);
    qint64 fractionLength = 0;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && *p >= '0' && *p <= '9') {
            digits.push_back(*p++);
            ++fractionLength;
        }
    }
    qint64 exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p < end && (*p == '+' || *p == '-'))
            negativeExponent = *p++ == '-';
        while (p < end && *p >= '0' && *p <= '9') {
            if (exponent < kExponentCap)
                exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        if (negativeExponent)
            exponent = -exponent;
    }

    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return QStringLiteral("0");
    const std::size_t last = digits.find_last_not_of('0');
    const std::string_view significant(digits.data() + first, last - first + 1);
    // Value = significant * 10^scale.
    const qint64 scale = exponent - fractionLength + qint64(digits.size() - 1 - last);
    const qint64 count = qint64(significant.size());
    const qint64 integerDigits = count + scale;

    std::string out;
    if (negative)
        out.push_back('-');
    if (scale >= 0 && scale <= kMaxDecimalPadding) {
        out.append(significant);
        out.append(std::size_t(scale), '0');
    } else if (scale < 0 && integerDigits > 0) {
        out.append(significant.substr(0, integerDigits));
        out.push_back('.');
        out.append(significant.substr(integerDigits));
    } else if (scale < 0 && -integerDigits <= kMaxDecimalPadding) {
        out.append("0.");
        out.append(std::size_t(-integerDigits), '0');
        out.append(significant);
    } else {
        out.push_back(significant[0]);
        if (count > 1) {
            out.push_back('.');
            out.append(significant.substr(1));
        }
        out.push_back('e');
        out.append(std::to_string(integerDigits - 1));
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Reader: tokeniser plus state machine over UTF-8 bytes.

namespace {

enum class Token : quint8 {
    ObjectStart,
    KeyValueSeparator,
    ObjectEnd,
    ArrayStart,
    ArrayEnd,
    ValueSeparator,
    String,
    Number,
    True,
    False,
    Null,
    Eof,
    Error,
};

enum class State : quint8 {
    Start,
    Complete,
    Error,
    ObjectStart,
    ObjectGotKey,
    ObjectSeparator,
    ObjectGotValue,
    ObjectNeedKey,
    ArrayStart,
    ArrayGotValue,
    ArrayNeedValue,
};

constexpr quint16 bit(Token t)
{
    return quint16(1u << unsigned(t));
}

constexpr quint16 kValueTokens = bit(Token::String) | bit(Token::Number) | bit(Token::True) |
                                 bit(Token::False) | bit(Token::Null) | bit(Token::ObjectStart) |
                                 bit(Token::ArrayStart);

// Tokens each state accepts, indexed by State.
constexpr quint16 kAccepts[] = {
    bit(Token::ObjectStart) | bit(Token::ArrayStart),   // Start
    0,                                                  // Complete
    0,                                                  // Error
    bit(Token::String) | bit(Token::ObjectEnd),         // ObjectStart
    bit(Token::KeyValueSeparator),                      // ObjectGotKey
    kValueTokens,                                       // ObjectSeparator
    bit(Token::ValueSeparator) | bit(Token::ObjectEnd), // ObjectGotValue
    bit(Token::String),                                 // ObjectNeedKey
    kValueTokens | bit(Token::ArrayEnd),                // ArrayStart
    bit(Token::ValueSeparator) | bit(Token::ArrayEnd),  // ArrayGotValue
    kValueTokens,                                       // ArrayNeedValue
};

QLatin1String tokenName(Token t)
{
    switch (t) {
    case Token::ObjectStart:
        return QLatin1String("start of object");
    case Token::KeyValueSeparator:
        return QLatin1String("key-value separator");
    case Token::ObjectEnd:
        return QLatin1String("end of object");
    case Token::ArrayStart:
        return QLatin1String("start of array");
    case Token::ArrayEnd:
        return QLatin1String("end of array");
    case Token::ValueSeparator:
        return QLatin1String("value separator");
    case Token::String:
        return QLatin1String("string");
    case Token::Number:
        return QLatin1String("number");
    case Token::True:
    case Token::False:
        return QLatin1String("boolean");
    case Token::Null:
        return QLatin1String("null");
    case Token::Eof:
    case Token::Error:
        break;
    }
    return QLatin1String("?");
}

QLatin1String stateName(State s)
{
    switch (s) {
    case State::Start:
        return QLatin1String("before outer-most array or object");
    case State::Complete:
        return QLatin1String("after outer-most array or object");
    case State::Error:
        return QLatin1String("in error");
    case State::ObjectStart:
        return QLatin1String("at beginning of object");
    case State::ObjectGotKey:
        return QLatin1String("after object key");
    case State::ObjectSeparator:
        return QLatin1String("as object value");
    case State::ObjectGotValue:
        return QLatin1String("after object value");
    case State::ObjectNeedKey:
        return QLatin1String("in place of object key");
    case State::ArrayStart:
        return QLatin1String("at array start");
    case State::ArrayGotValue:
        return QLatin1String("after array value");
    case State::ArrayNeedValue:
        return QLatin1String("as array value");
    }
    return QLatin1String("?");
}

// Byte classes, so the hot loops make one table look-up per byte.
enum : quint8 { kPlain = 0, kStop = 1 };

struct Tables
{
    std::array<bool, 256> space{};
    std::array<quint8, 256> stringStop{}; // ends a plain run inside a string: quote, backslash, control char
    std::array<qint8, 256> hex{};

    constexpr Tables()
    {
        for (unsigned c : {' ', '\t', '\n', '\r', '\f', '\v'})
            space[c] = true;
        for (unsigned c = 0; c < 0x20; ++c)
            stringStop[c] = kStop;
        stringStop['"'] = kStop;
        stringStop['\\'] = kStop;
        for (auto &h : hex)
            h = -1;
        for (unsigned c = '0'; c <= '9'; ++c)
            hex[c] = qint8(c - '0');
        for (unsigned c = 'a'; c <= 'f'; ++c)
            hex[c] = qint8(c - 'a' + 10);
        for (unsigned c = 'A'; c <= 'F'; ++c)
            hex[c] = qint8(c - 'A' + 10);
    }
};

constexpr Tables kTables;

inline bool isDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

inline bool isHighSurrogate(int u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}

inline bool isLowSurrogate(int u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

// The scratch stack of the reader. It grows in fixed blocks instead of reallocating: freeing a big buffer
// makes glibc consolidate its free lists and return the heap top to the system, which the next parse must
// then fault in again page by page. Slots at or above size() are always empty, as values are moved out when
// popped.
template <typename T> class BlockStack
{
public:
    std::size_t size() const { return m_size; }
    T &operator[](std::size_t i) { return m_blocks[i / kBlock][i % kBlock]; }
    T &back() { return (*this)[m_size - 1]; }
    T &emplace_back()
    {
        if (m_size == m_blocks.size() * kBlock)
            m_blocks.push_back(std::make_unique<T[]>(kBlock));
        return (*this)[m_size++];
    }
    void push_back(T &&v) { emplace_back() = std::move(v); }
    // Drops the slots from `n` on; their contents must have been moved out.
    void truncate(std::size_t n) { m_size = n; }

private:
    static constexpr std::size_t kBlock = 16384 / sizeof(T);
    std::vector<std::unique_ptr<T[]>> m_blocks;
    std::size_t m_size = 0;
};

// Repeated keys ("artist", "title", ...) decode once and then share one QString.
class KeyCache
{
public:
    QString get(const unsigned char *p, std::size_t n)
    {
        if (n > kMaxKey)
            return QString::fromUtf8(reinterpret_cast<const char *>(p), qsizetype(n));
        quint32 h = 2166136261u;
        for (std::size_t i = 0; i < n; ++i)
            h = (h ^ p[i]) * 16777619u;
        Slot &slot = m_slots[(h ^ (h >> 16)) & (kSlots - 1)];
        if (slot.length != n || std::memcmp(slot.bytes, p, n) != 0) {
            std::memcpy(slot.bytes, p, n);
            slot.length = quint8(n);
            slot.text = QString::fromUtf8(reinterpret_cast<const char *>(p), qsizetype(n));
        }
        return slot.text;
    }

private:
    static constexpr std::size_t kMaxKey = 32;
    static constexpr std::size_t kSlots = 64;
    struct Slot
    {
        quint8 length = 0xFF; // no key yet
        char bytes[kMaxKey];
        QString text;
    };
    std::array<Slot, kSlots> m_slots;
};

} // namespace

struct Reader
{
    Reader(const char *begin, const char *end, std::size_t maxDepth, QString &error)
        : m_begin(reinterpret_cast<const unsigned char *>(begin)),
          m_end(reinterpret_cast<const unsigned char *>(end)), m_p(m_begin), m_maxDepth(maxDepth),
          m_error(error)
    {}

    std::optional<Value> run();

private:
    struct Frame
    {
        std::size_t values; // where this container's values start on m_values
        std::size_t keys;   // and its keys on m_keys
    };

    Token next();
    Token matchKeyword(const char *word, std::size_t length, Token token);
    Token matchString();
    Token matchNumber();
    // The value of four hex digits; -1 when one is not hex, kCutOff when the input ends first.
    static constexpr int kCutOff = -2;
    int readHexQuad(const unsigned char *p) const;
    Token fail(const QString &message)
    {
        m_error = message;
        return Token::Error;
    }

    QString stringToken(bool key);
    void numberToken(Value &into) const;
    void closeArray();
    void closeObject();

    std::size_t offset(const unsigned char *p) const { return std::size_t(p - m_begin); }

    const unsigned char *const m_begin;
    const unsigned char *const m_end;
    const unsigned char *m_p;               // where the next token is looked for
    const unsigned char *m_token = nullptr; // start of the current token
    bool m_tokenEscaped = false;            // the current string token holds escapes
    bool m_tokenFractional = false;         // the current number token has a fraction or exponent
    const std::size_t m_maxDepth;
    QString &m_error;

    std::vector<State> m_states;
    std::vector<Frame> m_frames;
    BlockStack<Value> m_values; // finished values of the open containers
    BlockStack<QString> m_keys; // keys of the open objects, matching their values
    std::string m_scratch;
    KeyCache m_keyCache;
};

Token Reader::next()
{
    const unsigned char *p = m_p;
    while (p < m_end && kTables.space[*p])
        ++p;
    m_token = p;
    if (p == m_end)
        return Token::Eof;
    m_p = p + 1;
    switch (*p) {
    case '[':
        return Token::ArrayStart;
    case ']':
        return Token::ArrayEnd;
    case '{':
        return Token::ObjectStart;
    case '}':
        return Token::ObjectEnd;
    case ':':
        return Token::KeyValueSeparator;
    case ',':
        return Token::ValueSeparator;
    case 'n':
        return matchKeyword("null", 4, Token::Null);
    case 't':
        return matchKeyword("true", 4, Token::True);
    case 'f':
        return matchKeyword("false", 5, Token::False);
    case '"':
        return matchString();
    case '-':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
        return matchNumber();
    case '+':
        return fail(QStringLiteral("Leading + is illegal in numbers at offset %1").arg(offset(p)));
    default:
        return fail(QStringLiteral("Unrecognised leading character at offset %1").arg(offset(p)));
    }
}

Token Reader::matchKeyword(const char *word, std::size_t length, Token token)
{
    const std::size_t available = std::min(length, std::size_t(m_end - m_token));
    if (available == length && std::memcmp(m_token, word, length) == 0) {
        m_p = m_token + length;
        return token;
    }
    // The text found is what a C "%.Ns" would print: at most the keyword's length, cut at the input's end or
    // a NUL.
    const char *found = reinterpret_cast<const char *>(m_token);
    const std::size_t shown = strnlen(found, available);
    return fail(QStringLiteral("Expected '%1' but found '%2'.")
                    .arg(QLatin1String(word), QString::fromUtf8(found, qsizetype(shown))));
}

int Reader::readHexQuad(const unsigned char *p) const
{
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        if (p + i >= m_end)
            return kCutOff;
        const int digit = kTables.hex[p[i]];
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

// Finds the end of a string token and checks its escapes; decoding waits until the token is accepted.
Token Reader::matchString()
{
    const unsigned char *p = m_token + 1;
    const unsigned char *const end = m_end;
    m_tokenEscaped = false;
    for (;;) {
#if defined(__SSE2__)
        const __m128i quote = _mm_set1_epi8('"');
        const __m128i backslash = _mm_set1_epi8('\\');
        const __m128i control = _mm_set1_epi8(0x1F);
        while (end - p >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            const __m128i hit =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)),
                             _mm_cmpeq_epi8(_mm_min_epu8(v, control), v));
            const int mask = _mm_movemask_epi8(hit);
            if (mask != 0) {
                p += __builtin_ctz(unsigned(mask));
                break;
            }
            p += 16;
        }
#endif
        while (p < end && kTables.stringStop[*p] == kPlain)
            ++p;
        if (p == end)
            return Token::Eof;
        const unsigned char c = *p;
        if (c == '"') {
            m_p = p + 1;
            return Token::String;
        }
        if (c < 0x20)
            return fail(QString::asprintf("Unescaped control char 0x%.2X", unsigned(c)));

        // A backslash.
        m_tokenEscaped = true;
        if (end - p < 2)
            return Token::Eof;
        const unsigned char escaped = p[1];
        switch (escaped) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            p += 2;
            break;
        case 'u': {
            p += 2;
            const int high = readHexQuad(p);
            if (high == kCutOff)
                return Token::Eof;
            if (high < 0)
                return fail(QStringLiteral("Missing hex quad"));
            p += 4;
            if (isHighSurrogate(high)) {
                int low = -1;
                if (p == end || (p[0] == '\\' && end - p < 2))
                    low = kCutOff;
                else if (p[0] == '\\' && p[1] == 'u')
                    low = readHexQuad(p + 2);
                if (low == kCutOff)
                    return Token::Eof;
                if (low < 0)
                    return fail(QStringLiteral("Missing low character in surrogate pair"));
                if (!isLowSurrogate(low))
                    return fail(QStringLiteral("Invalid low surrogate char"));
                p += 6;
            } else if (isLowSurrogate(high)) {
                return fail(QStringLiteral("Invalid high character in surrogate pair"));
            }
            break;
        }
        default:
            return fail(QStringLiteral("Broken escape character at index %1 in token starting at offset %2")
                            .arg(std::size_t(p + 1 - m_token))
                            .arg(offset(m_token)));
        }
    }
}

Token Reader::matchNumber()
{
    const unsigned char *p = m_token;
    const unsigned char *const end = m_end;
    m_tokenFractional = false;
    if (*p == '-') {
        ++p;
        if (p == end)
            return Token::Eof;
        if (!isDigit(*p))
            return fail(QStringLiteral("No digits after initial minus"));
    }
    if (*p == '0') {
        ++p;
        if (p < end && isDigit(*p))
            return fail(
                QStringLiteral("Leading zero is illegal in number at offset %1").arg(offset(m_token)));
    }
    while (p < end && isDigit(*p))
        ++p;
    if (p < end && *p == '.') {
        m_tokenFractional = true;
        ++p;
        if (p == end)
            return Token::Eof;
        if (!isDigit(*p))
            return fail(QStringLiteral("No digits after decimal point at offset %1").arg(offset(m_token)));
        while (p < end && isDigit(*p))
            ++p;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        m_tokenFractional = true;
        ++p;
        if (p < end && (*p == '-' || *p == '+'))
            ++p;
        if (p == end)
            return Token::Eof;
        if (!isDigit(*p))
            return fail(QStringLiteral("No digits after exponent mark at offset %1").arg(offset(m_token)));
        while (p < end && isDigit(*p))
            ++p;
    }
    m_p = p;
    return Token::Number;
}

QString Reader::stringToken(bool key)
{
    const unsigned char *begin = m_token + 1;
    const unsigned char *end = m_p - 1; // the closing quote
    if (!m_tokenEscaped) {
        if (key)
            return m_keyCache.get(begin, std::size_t(end - begin));
        return QString::fromUtf8(reinterpret_cast<const char *>(begin), qsizetype(end - begin));
    }
    // Escapes were checked by matchString, so this pass only decodes.
    std::string &out = m_scratch;
    out.clear();
    const unsigned char *p = begin;
    while (p < end) {
        const unsigned char *run = p;
        while (p < end && *p != '\\')
            ++p;
        out.append(reinterpret_cast<const char *>(run), std::size_t(p - run));
        if (p == end)
            break;
        const unsigned char escaped = p[1];
        p += 2;
        switch (escaped) {
        case 'b':
            out.push_back('\b');
            break;
        case 'f':
            out.push_back('\f');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'u': {
            char32_t cp = char32_t(readHexQuad(p));
            p += 4;
            if (isHighSurrogate(int(cp))) {
                const char32_t low = char32_t(readHexQuad(p + 2));
                p += 6;
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            appendUtf8(out, cp);
            break;
        }
        default: // '"', '\\', '/'
            out.push_back(char(escaped));
            break;
        }
    }
    return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

void Reader::numberToken(Value &v) const
{
    const char *begin = reinterpret_cast<const char *>(m_token);
    const char *end = reinterpret_cast<const char *>(m_p);
    const std::size_t length = std::size_t(end - begin);
    if (!m_tokenFractional && length <= 11) {
        // At most 11 characters always fits; leading zeros are already rejected, so base detection reads
        // decimal.
        const bool negative = *begin == '-';
        qint64 n = 0;
        for (const char *p = negative ? begin + 1 : begin; p < end; ++p)
            n = n * 10 + (*p - '0');
        v.m_data.emplace<qint64>(negative ? -n : n);
    } else if (m_tokenFractional && length <= 6) {
        v.m_data.emplace<double>(parseDouble(begin, end));
    } else {
        v.m_data.emplace<Value::DecimalText>(Value::DecimalText{normaliseDecimal(begin, end)});
    }
}

void Reader::closeArray()
{
    const std::size_t start = m_frames.back().values;
    m_frames.pop_back();
    auto items = std::make_shared<std::vector<Value>>();
    items->reserve(m_values.size() - start);
    for (std::size_t i = start; i < m_values.size(); ++i)
        items->push_back(std::move(m_values[i]));
    m_values.truncate(start);
    m_values.emplace_back().m_data.emplace<Value::Items>(std::move(items));
}

void Reader::closeObject()
{
    const Frame frame = m_frames.back();
    m_frames.pop_back();
    const std::size_t count = m_keys.size() - frame.keys;
    auto members = std::make_shared<Value::Members>();
    members->list.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        members->insert(std::move(m_keys[frame.keys + i]), std::move(m_values[frame.values + i]));
    m_keys.truncate(frame.keys);
    m_values.truncate(frame.values);
    m_values.emplace_back().m_data.emplace<Value::MemberList>(std::move(members));
}

std::optional<Value> Reader::run()
{
    m_states.reserve(64);
    m_frames.reserve(64);
    m_states.push_back(State::Start);

    for (;;) {
        const Token token = next();
        if (token == Token::Eof) {
            m_error = QStringLiteral("Didn't find full object before EOF");
            return std::nullopt;
        }
        if (token == Token::Error)
            return std::nullopt;

        State &state = m_states.back();
        if (!(kAccepts[unsigned(state)] & bit(token))) {
            m_error = QStringLiteral("Token '%1' not expected %2").arg(tokenName(token), stateName(state));
            return std::nullopt;
        }

        bool valueDone = true; // a value finished at the current level
        switch (token) {
        case Token::ObjectStart:
        case Token::ArrayStart:
            if (m_states.size() - 1 >= m_maxDepth) {
                m_error = QStringLiteral("Parser exceeded max depth of %1").arg(m_maxDepth);
                return std::nullopt;
            }
            m_frames.push_back({m_values.size(), m_keys.size()});
            m_states.push_back(token == Token::ObjectStart ? State::ObjectStart : State::ArrayStart);
            valueDone = false;
            break;
        case Token::ObjectEnd:
        case Token::ArrayEnd:
            if (token == Token::ObjectEnd)
                closeObject();
            else
                closeArray();
            m_states.pop_back();
            if (m_states.size() == 1) {
                // The outermost value is complete; whatever follows it is not read.
                m_states.back() = State::Complete;
                Value result = std::move(m_values.back());
                m_values.truncate(0);
                return result;
            }
            break;
        case Token::KeyValueSeparator:
            state = State::ObjectSeparator;
            valueDone = false;
            break;
        case Token::ValueSeparator:
            state = state == State::ObjectGotValue ? State::ObjectNeedKey : State::ArrayNeedValue;
            valueDone = false;
            break;
        case Token::String:
            if (state == State::ObjectStart || state == State::ObjectNeedKey) {
                m_keys.push_back(stringToken(true));
                state = State::ObjectGotKey;
                valueDone = false;
            } else {
                m_values.emplace_back().m_data.emplace<QString>(stringToken(false));
            }
            break;
        case Token::Number:
            numberToken(m_values.emplace_back());
            break;
        case Token::True:
        case Token::False: {
            m_values.emplace_back().m_data.emplace<bool>(token == Token::True);
            break;
        }
        case Token::Null:
            m_values.emplace_back();
            break;
        case Token::Eof:
        case Token::Error:
            break;
        }
        if (valueDone) {
            State &current = m_states.back();
            current = (current == State::ObjectSeparator) ? State::ObjectGotValue : State::ArrayGotValue;
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Parser

std::optional<Value> Parser::parse(const char *begin, const char *end)
{
    m_error.clear();
    Reader reader(begin, end, maxDepth, m_error);
    std::optional<Value> result = reader.run();
    if (result)
        m_error.clear();
    return result;
}

std::optional<Value> Parser::objectWithString(const QString *text)
{
    if (!text) {
        m_error = QStringLiteral("Input was 'nil'");
        return std::nullopt;
    }
    const QByteArray utf8 = text->toUtf8();
    return parse(utf8.constData(), utf8.constData() + utf8.size());
}

std::optional<Value> Parser::objectWithData(const QByteArray *data)
{
    if (!data) {
        m_error = QStringLiteral("Input was 'nil'");
        return std::nullopt;
    }
    return parse(data->constData(), data->constData() + data->size());
}

} // namespace Json
