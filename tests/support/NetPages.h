#pragma once

// What the service's cases share: the log line of an answer that cannot be read, the name given to a blank
// text, a record as one list of texts, and the header fields a request carried.
#include "SandboxSignIn.h"

#include "core/Records.h"
#include "sandbox/SandboxAudio.h"
#include "sandbox/SandboxFriends.h"

#include <algorithm>
#include <map>
#include <string>

namespace TestSupport {

inline const QString errorLine = QStringLiteral("Отлавливай ошибки, будь мужиком, блеать!");
inline const QString unknown = QStringLiteral("Неизвестно");

inline QStringList fields(const AudioRecord &r)
{
    return {r.duration, r.url, r.title, r.artist, r.tag, r.aid, r.oid};
}
inline QStringList fields(const VideoRecord &r)
{
    return {r.title, r.key, r.quality, r.tag, r.state, r.duration, r.thumbnail};
}

// How many entries an answer holds; -1 when it holds no value (an answer that could not be read).
template <class Answer> qsizetype sizeOf(const Answer &answer)
{
    return answer.has_value() ? qsizetype(answer->size()) : -1;
}

// The header fields a request carried, without the ones libcurl adds by itself.
inline std::map<std::string, std::string> ownHeaders(const SandboxRequest &request)
{
    std::map<std::string, std::string> headers;
    for (const auto &[name, value] : request.headers) {
        if (name != "Host" && name != "User-Agent" && name != "Accept")
            headers[name] = value;
    }
    return headers;
}

// Those of a service page request made with the session `sid`.
inline std::map<std::string, std::string> pageFields(const QString &sid)
{
    return {{"Cookie", "remixsid=" + sid.toStdString()},
            {"X-Requested-With", "XMLHttpRequest"},
            {"Accept-Encoding", "gzip"}};
}

// What the client makes of the sandbox's people: the display name trimmed (the unknown one when blank), the
// number and the picture on the sandbox's host `base`, one line each; sorted by character code.
inline QStringList peopleRecords(const std::vector<SandboxPerson> &people, const QString &base)
{
    QStringList records;
    for (const SandboxPerson &p : people) {
        const QString name = QString::fromStdString(p.name).trimmed();
        records << (name.isEmpty() ? unknown : name) + '\n' + QString::fromStdString(p.id) + '\n' + base +
                       QString::fromStdString(p.picture);
    }
    std::sort(records.begin(), records.end());
    return records;
}

} // namespace TestSupport
