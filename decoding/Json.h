#pragma once

// The JSON reader's entry point; the value is Json::Value (JsonValue.h), the reader Json::Parser
// (JsonParser.h).

#include "decoding/JsonParser.h"
#include "decoding/JsonValue.h"

#include <QString>

#include <optional>

// Parses `text`; on failure logs "-JSONValue failed. Error is: <error>" and gives nothing.
std::optional<Json::Value> JSONValue(const QString &text);
