// The JSON reader on arbitrary bytes, as data and as text (the two entry points the service client uses).
#include "FuzzSupport.h"

#include "decoding/Json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    const QByteArray input = FuzzSupport::bytes(data, size);
    Json::Parser parser;
    if (const std::optional<Json::Value> value = parser.objectWithData(&input)) {
        // What is read must write back out and read again.
        const QString text = value->toCompactJson();
        Json::Parser again;
        if (!again.objectWithString(&text))
            __builtin_trap();
    }
    const QString text = QString::fromUtf8(input);
    Json::Parser fromText;
    fromText.objectWithString(&text);
    return 0;
}
