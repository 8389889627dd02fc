#pragma once

#include "core/Records.h"

#include <QList>
#include <QString>

#include <optional>

// The reading half of the audio lists, apart from their request: `body` is the decoded answer for the list
// `kind` (0 a user's, 1 a community's, 2 the recommendations). An empty or list-less answer gives an empty
// list; nothing (and the error line in the log) when an entry cannot be read. A body handed over (moved) is
// cleaned and cut in its own buffer.
std::optional<QList<AudioRecord>> parseAudioListPage(QString body, int kind);
