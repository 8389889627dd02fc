#pragma once

#include <QString>

#include <functional>

// The program's log: plain lines, no levels, on standard error. Tests may divert the lines to a sink.
namespace Log {

void line(const QString &text);

// Replaces the destination of every line (nullptr restores standard error); returns the previous sink.
using Sink = std::function<void(const QString &)>;
Sink setSink(Sink sink);

} // namespace Log
