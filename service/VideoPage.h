#pragma once

#include "core/Records.h"
#include "service/VKontakteWorks.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The reading halves of the video operations, apart from their requests, so that answers can be read without
// a server (tests, benchmarks, fuzzing). A reader gives nothing, and writes the error line to the log, when
// one part of the answer cannot be read: the whole answer is lost with it, and the tags its earlier records
// took stay used. A text body handed over (moved) is cleaned in its own buffer.
namespace VideoPage {

// Cuts of a row text at the first occurrence of a marker; a missing marker throws AudioPage::MissingMarker.
// skipTo drops everything before the marker and the marker's first character.
QStringView skipTo(QStringView text, QStringView marker);
// skipPast drops everything up to and including the marker.
QStringView skipPast(QStringView text, QStringView marker);
// upTo is the text before the marker; the row text itself stays as it is.
QStringView upTo(QStringView text, QStringView marker);

// The label the search gives every record of a page: "240+", "360+", "480+", "720", or empty for a code
// outside 0..3.
QString searchQualityLabel(int quality);
// A list entry's best quality code as lines: "0" "240", "1" "360", "2" "480", "3" "720"; any other text as it
// is.
QString listQualityLabel(const QString &code);
// The service's stand-in picture for a video without one: "http://<domain>/images/video_s.png".
QString placeholderThumbnail(const QString &domain);

// One page of the search answer: at most 40 rows, each read by text search in its serialised HTML.
std::optional<QList<VideoRecord>> readSearchPage(const QString &body, int quality, const QString &domain);
// The same answer as UTF-8 bytes, as the request gives it; the bytes are released while the page is read.
std::optional<QList<VideoRecord>> readSearchPageUtf8(QByteArray body, int quality, const QString &domain);
// The silent list loader's answer: the object literal from its first brace, single quotes read as double
// ones.
std::optional<QList<VideoRecord>> readList(QString body, const QString &domain);
// The recommendations section: every "video_row_cont" row.
std::optional<QList<VideoRecord>> readRecommendations(const QString &body, const QString &domain);
std::optional<QList<VideoRecord>> readRecommendationsUtf8(QByteArray body, const QString &domain);
// The video page: "1" (no MP4 form), "2" (page unusable) or the MP4 address in the best quality.
QString readLinkPage(QString body);
// The same with the reason kept apart: a host that makes no http or https address is refused.
VideoLink readLink(QString body);

} // namespace VideoPage
