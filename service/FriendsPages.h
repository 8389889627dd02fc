#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The reading half of the friends and communities requests, apart from the requests, so that answers can be
// read without a server (tests, fuzzing). A record is one text of three lines: name, number, picture address.
// A body handed over (moved) is cleaned and cut in its own buffer.
namespace FriendsPages {

// The friends answer (decoded text): records sorted by character code; an empty body, "{}" or a JSON text
// that does not parse give an empty list. Nothing, after the error line in the log, when a marker is missing
// or an entry is short.
std::optional<QStringList> readFriends(QString body);
// The communities answer: the same rules, the list after the "<!json>" marker.
std::optional<QStringList> readGroups(QString body);

} // namespace FriendsPages
