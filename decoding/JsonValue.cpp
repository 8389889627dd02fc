#include "decoding/JsonValue.h"

#include "decoding/JsonInternals.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace Json {

namespace Internals {

namespace {

// strtod in the "C" locale: the program's locale may use a decimal comma.
double strtodC(const char *begin, const char *end)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const std::string text(begin, end);
    return strtod_l(text.c_str(), nullptr, cLocale);
}

} // namespace

double parseDouble(const char *begin, const char *end)
{
    double d = 0.0;
    const auto [ptr, ec] = std::from_chars(begin, end, d);
    if (ec == std::errc() && ptr == end)
        return d;
    return strtodC(begin, end);
}

} // namespace Internals

namespace {

using Internals::parseDouble;

const std::vector<Value> &emptyItems()
{
    static const std::vector<Value> empty;
    return empty;
}

const std::vector<std::pair<QString, Value>> &emptyMembers()
{
    static const std::vector<std::pair<QString, Value>> empty;
    return empty;
}
qint64 clampToInteger(double d)
{
    if (std::isnan(d))
        return 0;
    if (d >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    if (d <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(d);
}

// Shortest text that reads back as the same double.
QString formatDouble(double d, bool forJson)
{
    if (std::isnan(d))
        return forJson ? QStringLiteral("null") : QStringLiteral("nan");
    if (std::isinf(d)) {
        // JSON has no infinity; 1e999 reads back as one.
        if (forJson)
            return d > 0 ? QStringLiteral("1e999") : QStringLiteral("-1e999");
        return d > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    }
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, d);
    return QString::fromLatin1(buf, res.ptr - buf);
}

// Leading part of a text read as an integer: white space, a sign, digits; 0 when there are none.
qint64 leadingInteger(const QString &s)
{
    const QByteArray latin = s.trimmed().toLatin1();
    const char *b = latin.constData();
    const char *e = b + latin.size();
    const bool negative = b < e && *b == '-';
    if (b < e && (*b == '-' || *b == '+'))
        ++b;
    qint64 value = 0;
    const auto [ptr, ec] = std::from_chars(b, e, value);
    if (ec == std::errc::result_out_of_range)
        return negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    if (ptr == b)
        return 0;
    return negative ? -value : value;
}

void appendHex4(QString &out, char16_t unit)
{
    static const char hex[] = "0123456789abcdef";
    const QChar chars[6] = {u'\\',
                            u'u',
                            QLatin1Char(hex[(unit >> 12) & 0xF]),
                            QLatin1Char(hex[(unit >> 8) & 0xF]),
                            QLatin1Char(hex[(unit >> 4) & 0xF]),
                            QLatin1Char(hex[unit & 0xF])};
    out.append(chars, 6);
}

void appendJsonString(QString &out, const QString &s)
{
    out.append(u'"');
    const char16_t *data = reinterpret_cast<const char16_t *>(s.constData());
    const qsizetype size = s.size();
    qsizetype runStart = 0;
    auto flush = [&](qsizetype upTo) {
        if (upTo > runStart)
            out.append(QStringView(data + runStart, upTo - runStart));
    };
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = data[i];
        // Besides what JSON requires, DEL, the C1 controls and the two Unicode line separators go out
        // escaped: a printed line must stay one line and must not steer a terminal.
        if (c >= 0x20 && c != u'"' && c != u'\\' && (c < 0xD800 || c > 0xDFFF) && (c < 0x7F || c > 0x9F) &&
            c != 0x2028 && c != 0x2029)
            continue;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < size && data[i + 1] >= 0xDC00 && data[i + 1] <= 0xDFFF) {
            ++i; // a proper pair goes out as it is
            continue;
        }
        flush(i);
        runStart = i + 1;
        switch (c) {
        case u'"':
            out.append(QLatin1String("\\\""));
            break;
        case u'\\':
            out.append(QLatin1String("\\\\"));
            break;
        case u'\b':
            out.append(QLatin1String("\\b"));
            break;
        case u'\f':
            out.append(QLatin1String("\\f"));
            break;
        case u'\n':
            out.append(QLatin1String("\\n"));
            break;
        case u'\r':
            out.append(QLatin1String("\\r"));
            break;
        case u'\t':
            out.append(QLatin1String("\\t"));
            break;
        default:
            // Other control characters, the line separators and unpaired surrogates.
            appendHex4(out, c);
            break;
        }
    }
    flush(size);
    out.append(u'"');
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Value

// Leaves `other` null: a moved-from container must not be left holding no list at all.
Value::Value(Value &&other) noexcept : m_data(std::move(other.m_data))
{
    other.m_data.emplace<std::monostate>();
}

Value &Value::operator=(const Value &other)
{
    if (this != &other) {
        Value copy(other); // `other` may live inside this value
        m_data = std::move(copy.m_data);
    }
    return *this;
}

Value &Value::operator=(Value &&other) noexcept
{
    if (this != &other) {
        Value taken(std::move(other)); // `other` may live inside this value
        m_data = std::move(taken.m_data);
    }
    return *this;
}

Value Value::boolean(bool b)
{
    Value v;
    v.m_data.emplace<bool>(b);
    return v;
}

Value Value::integer(qint64 n)
{
    Value v;
    v.m_data.emplace<qint64>(n);
    return v;
}

Value Value::floating(double d)
{
    Value v;
    v.m_data.emplace<double>(d);
    return v;
}

Value Value::decimal(const QString &normalisedText)
{
    Value v;
    v.m_data.emplace<DecimalText>(DecimalText{normalisedText});
    return v;
}

Value Value::string(const QString &s)
{
    Value v;
    v.m_data.emplace<QString>(s);
    return v;
}

Value Value::array()
{
    Value v;
    v.m_data.emplace<Items>(std::make_shared<std::vector<Value>>());
    return v;
}

Value Value::object()
{
    Value v;
    v.m_data.emplace<MemberList>(std::make_shared<Members>());
    return v;
}

void Value::detach()
{
    if (Items *items = std::get_if<Items>(&m_data); items && items->use_count() > 1)
        *items = std::make_shared<std::vector<Value>>(**items);
    else if (MemberList *members = std::get_if<MemberList>(&m_data); members && members->use_count() > 1)
        *members = std::make_shared<Members>(**members);
}

bool Value::toBool() const
{
    switch (type()) {
    case Type::Boolean:
        return std::get<bool>(m_data);
    case Type::Integer:
        return std::get<qint64>(m_data) != 0;
    case Type::Double:
        return std::get<double>(m_data) != 0.0;
    case Type::Decimal:
        return std::get<DecimalText>(m_data).text != QLatin1String("0");
    case Type::String: {
        // Services send flags as "1"/"0" or "true"/"false"; read them as Cocoa's boolValue does.
        const QString t = std::get<QString>(m_data).trimmed();
        qsizetype i = 0;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        while (i < t.size() && t[i] == u'0')
            ++i;
        if (i >= t.size())
            return false;
        const QChar c = t[i];
        return c == u'y' || c == u'Y' || c == u't' || c == u'T' || (c >= u'1' && c <= u'9');
    }
    default:
        return false;
    }
}

qint64 Value::toInteger() const
{
    switch (type()) {
    case Type::Boolean:
        return std::get<bool>(m_data) ? 1 : 0;
    case Type::Integer:
        return std::get<qint64>(m_data);
    case Type::Double:
        return clampToInteger(std::get<double>(m_data));
    case Type::Decimal: {
        const QByteArray latin = std::get<DecimalText>(m_data).text.toLatin1();
        qint64 n = 0;
        const auto [ptr, ec] = std::from_chars(latin.constData(), latin.constData() + latin.size(), n);
        if (ec == std::errc() && ptr == latin.constData() + latin.size())
            return n;
        return clampToInteger(toDouble());
    }
    case Type::String:
        return leadingInteger(std::get<QString>(m_data));
    default:
        return 0;
    }
}

double Value::toDouble() const
{
    switch (type()) {
    case Type::Boolean:
        return std::get<bool>(m_data) ? 1.0 : 0.0;
    case Type::Integer:
        return double(std::get<qint64>(m_data));
    case Type::Double:
        return std::get<double>(m_data);
    case Type::Decimal: {
        const QByteArray latin = std::get<DecimalText>(m_data).text.toLatin1();
        return parseDouble(latin.constData(), latin.constData() + latin.size());
    }
    case Type::String: {
        const QString &text = std::get<QString>(m_data);
        bool ok = false;
        const double d = text.trimmed().toDouble(&ok);
        return ok ? d : double(leadingInteger(text));
    }
    default:
        return 0.0;
    }
}

QString Value::toString() const
{
    switch (type()) {
    case Type::String:
        return std::get<QString>(m_data);
    case Type::Decimal:
        return std::get<DecimalText>(m_data).text;
    case Type::Integer:
        return QString::number(std::get<qint64>(m_data));
    case Type::Double:
        return formatDouble(std::get<double>(m_data), false);
    default:
        return QString();
    }
}

const std::vector<Value> &Value::items() const
{
    const Items *items = std::get_if<Items>(&m_data);
    return items ? **items : emptyItems();
}

std::vector<Value> &Value::items()
{
    Items *items = std::get_if<Items>(&m_data);
    if (!items) {
        // Other kinds have no items; hand out an empty scratch list rather than a shared one.
        thread_local std::vector<Value> scratch;
        scratch.clear();
        return scratch;
    }
    detach();
    return **items;
}

const std::vector<std::pair<QString, Value>> &Value::members() const
{
    const MemberList *members = std::get_if<MemberList>(&m_data);
    return members ? (*members)->list : emptyMembers();
}

const Value *Value::value(const QString &key) const
{
    const MemberList *members = std::get_if<MemberList>(&m_data);
    if (!members)
        return nullptr;
    const std::size_t at = (*members)->position(key);
    return at < (*members)->list.size() ? &(*members)->list[at].second : nullptr;
}

void Value::insert(const QString &key, Value v)
{
    if (type() != Type::Object)
        return;
    detach();
    std::get<MemberList>(m_data)->insert(QString(key), std::move(v));
}

void Value::append(Value v)
{
    if (type() != Type::Array)
        return;
    detach();
    std::get<Items>(m_data)->push_back(std::move(v));
}

std::size_t Value::size() const
{
    if (const Items *items = std::get_if<Items>(&m_data))
        return (*items)->size();
    if (const MemberList *members = std::get_if<MemberList>(&m_data))
        return (*members)->list.size();
    return 0;
}

void Value::writeJson(QString &out) const
{
    switch (type()) {
    case Type::Null:
        out.append(QLatin1String("null"));
        break;
    case Type::Boolean:
        out.append(std::get<bool>(m_data) ? QLatin1String("true") : QLatin1String("false"));
        break;
    case Type::Integer:
        out.append(QString::number(std::get<qint64>(m_data)));
        break;
    case Type::Double:
        out.append(formatDouble(std::get<double>(m_data), true));
        break;
    case Type::Decimal:
        out.append(std::get<DecimalText>(m_data).text);
        break;
    case Type::String:
        appendJsonString(out, std::get<QString>(m_data));
        break;
    case Type::Array: {
        out.append(u'[');
        bool first = true;
        for (const Value &item : *std::get<Items>(m_data)) {
            if (!first)
                out.append(u',');
            first = false;
            item.writeJson(out);
        }
        out.append(u']');
        break;
    }
    case Type::Object: {
        out.append(u'{');
        bool first = true;
        for (const auto &[key, item] : std::get<MemberList>(m_data)->list) {
            if (!first)
                out.append(u',');
            first = false;
            appendJsonString(out, key);
            out.append(u':');
            item.writeJson(out);
        }
        out.append(u'}');
        break;
    }
    }
}

QString Value::toCompactJson() const
{
    QString out;
    writeJson(out);
    return out;
}

} // namespace Json
