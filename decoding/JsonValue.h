#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <utility>
#include <variant>
#include <vector>

namespace Json {

// One value of a parsed JSON tree.
class Value
{
public:
    // In the order of the alternatives of Data, so that the kind is the variant's index.
    enum class Type { Null, Boolean, Integer, Double, Decimal, String, Array, Object };

    Value() noexcept = default; // null
    Value(const Value &other) = default;
    Value(Value &&other) noexcept;
    Value &operator=(const Value &other);
    Value &operator=(Value &&other) noexcept;
    ~Value() = default;
    static Value boolean(bool b);
    static Value integer(qint64 n);
    static Value floating(double d);
    static Value decimal(const QString &normalisedText); // a number too long for the other forms, kept exact
    static Value string(const QString &s);
    static Value array();
    static Value object();

    Type type() const { return Type(m_data.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isString() const { return type() == Type::String; }
    bool isArray() const { return type() == Type::Array; }
    bool isObject() const { return type() == Type::Object; }
    bool isNumber() const
    {
        return type() == Type::Integer || type() == Type::Double || type() == Type::Decimal;
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
    struct DecimalText
    {
        QString text;
    };
    // Containers are shared between copies and copied before a change while shared.
    using Items = std::shared_ptr<std::vector<Value>>;
    using MemberList = std::shared_ptr<Members>;
    using Data = std::variant<std::monostate, bool, qint64, double, DecimalText, QString, Items, MemberList>;

    void detach();
    void writeJson(QString &out) const;

    Data m_data;
};

} // namespace Json
