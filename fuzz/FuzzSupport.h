#pragma once

#include "decoding/Log.h"

#include <QByteArray>
#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares: one application object (the readers translate their texts through it) and
// the input as bytes. A target is one file fuzz/<name>.cpp defining LLVMFuzzerTestOneInput; its seeds are
// fuzz/seeds/<name>/ plus the fixtures that fuzz/seeds/<name>/from-tests lists (globs under tests/data).
namespace FuzzSupport {

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "melodrop-fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = [] {
        Log::setSink([](const QString &) {}); // the readers' error lines would only slow the run down
        return QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    }();
    (void)app;
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

} // namespace FuzzSupport
