#pragma once

#include "decoding/JsonValue.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>

namespace Json {

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
