#include "decoding/Json.h"

#include "decoding/Log.h"

std::optional<Json::Value> JSONValue(const QString &text)
{
    Json::Parser parser;
    std::optional<Json::Value> value = parser.objectWithString(&text);
    if (!value)
        Log::line(QStringLiteral("-JSONValue failed. Error is: ") + parser.error());
    return value;
}
