#pragma once

#include "core/Records.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>
#include <stdexcept>

// The reading half of the audio search, apart from its request, so that pages can be read without a server
// (tests, benchmarks). Shared with the other audio operations: the cuts that fail on a missing marker.
namespace AudioPage {

// A cut at a marker the text does not hold; the operation that meets it drops its whole answer.
struct MissingMarker : std::runtime_error
{
    explicit MissingMarker(const QString &marker)
        : std::runtime_error("missing marker: " + marker.toStdString())
    {}
};

// The text after the first `marker`.
QStringView after(QStringView text, QStringView marker);
// The text before the first `marker`.
QStringView upTo(QStringView text, QStringView marker);
// The text from the first `marker` on, the marker included.
QStringView from(QStringView text, QStringView marker);
// Cuts `text` down to `part`, a view into it, within its own buffer.
void keepOnly(QString &text, QStringView part);

} // namespace AudioPage

// Reads a decoded search answer: an empty text gives an empty list; otherwise the first 100 rows become
// records with fresh tags. Nothing (and the error line in the log) when a row lacks a marker.
std::optional<QList<AudioRecord>> parseAudioSearchPage(const QString &body);
// The same answer as UTF-8 bytes, as the request gives it; the bytes are released while the page is read.
std::optional<QList<AudioRecord>> parseAudioSearchPageUtf8(QByteArray body);
