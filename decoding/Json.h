#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace Json {

// One value of a parsed JSON tree.
class Value
{
public:
    enum class Type { Null, Boolean, Integer, Double, Decimal, String, Array, Object };

    Value() noexcept {} // null
    Value(const Value &other);
    Value(Value &&other) noexcept;
    Value &operator=(const Value &other);
    Value &operator=(Value &&other) noexcept;
    ~Value();
    static Value boolean(bool b);
    static Value integer(qint64 n);
    static Value floating(double d);
    static Value decimal(const QString &normalisedText); // a number too long for the other forms, kept exact
    static Value string(const QString &s);
    static Value array();
    static Value object();

    Type type() const { return m_type; }
    bool isNull() const { return m_type == Type::Null; }
    bool isString() const { return m_type == Type::String; }
    bool isArray() const { return m_type == Type::Array; }
    bool isObject() const { return m_type == Type::Object; }
    bool isNumber() const
    {
        return m_type == Type::Integer || m_type == Type::Double || m_type == Type::Decimal;
    }

    bool toBool() const;
    qint64 toInteger() const;
    double toDouble() const;
    // Strings as they are; numbers as decimal text; other kinds give an empty text.
    QString toString() const;

    // Arrays.
    const std::vector<Value> &items() const;
    std::vector<Value> &items();
    // Objects, in the order their keys first appeared; a repeated key keeps its first place and its last
    // value.
    const std::vector<std::pair<QString, Value>> &members() const;
    const Value *value(const QString &key) const; // nullptr when absent or not an object
    void insert(const QString &key, Value v);
    void append(Value v);
    std::size_t size() const; // items or members

    // Compact JSON text of the value (no spaces); strings escaped as JSON requires.
    QString toCompactJson() const;

private:
    friend struct Reader;
    struct Members; // the member list plus, for big objects, a key index

    // Containers are shared between copies and copied before a change while shared.
    void detach();
    void writeJson(QString &out) const;
    void destroy() noexcept;
    void copyFrom(const Value &other);
    void moveFrom(Value &other) noexcept;

    // Only the member that m_type names is alive; parsed trees hold many values, so they are kept small.
    Type m_type = Type::Null;
    union {
        qint64 m_int = 0;
        bool m_bool;
        double m_double;
        QString m_text; // String, and the exact text of a Decimal
        std::shared_ptr<std::vector<Value>> m_items;
        std::shared_ptr<Members> m_members;
    };
};

// The strict streaming reader: a tokeniser over UTF-8 bytes driven by a state machine; the top level must be
// an object or an array, text after the outermost value is not examined.
class Parser
{
public:
    std::size_t maxDepth = 512;

    std::optional<Value> objectWithString(const QString *text); // nullptr: the error "Input was 'nil'"
    std::optional<Value> objectWithData(const QByteArray *data);
    // The last error text, empty after a success.
    const QString &error() const { return m_error; }

private:
    std::optional<Value> parse(const char *begin, const char *end);

    QString m_error;
};

} // namespace Json

// Parses `text`; on failure logs "-JSONValue failed. Error is: <error>" and gives nothing.
std::optional<Json::Value> JSONValue(const QString &text);
