#pragma once

#include "core/Records.h"
#include "service/ServiceAnswer.h"

#include <QList>
#include <QString>
#include <QStringList>

// What looking up a video's file gave: its MP4 address in the best quality, or why there is none.
struct VideoLink
{
    enum Kind {
        Address,       // `address` holds the MP4 address
        NoMp4,         // the video has no MP4 form
        Unusable,      // the page could not be read, or has no player
        NotWebAddress, // the page names a storage host that makes no http or https address
        NoAnswer,      // the service did not answer at all
    };
    Kind kind = Unusable;
    QString address;

    // The described one-text form: the address, "1" (no MP4) or "2" (anything else).
    QString text() const;
};

// The service client: blocking class operations that talk to the service and cut its answers apart.
class VKontakteWorks
{
public:
    VKontakteWorks() = delete;

    // Audio side. Every operation blocks its caller (never the main thread). A list comes with its outcome
    // (ServiceAnswer): read, not answered at all, or unreadable (the error line was logged).

    // Titles and artists: references decoded, trimmed, "Неизвестно" when nothing is left.
    static QString cleanText(const QString &raw);
    // One page (at most 100 rows) of the audio search.
    static ServiceAnswer<QList<AudioRecord>> searchAudioWithOffset(const QString &text, int offset, int sort);
    // Kind 0: a user's audio, 1: a community's, 2: recommendations for a user.
    static ServiceAnswer<QList<AudioRecord>> getAudioWithJSON(const QString &owner, int kind);
    // The add and delete tokens from the service's page ("0" when the page has none).
    static QString getAddAudioHash();
    static QString getDelAudioHash();
    // The add and delete requests for an audio, fetching and logging the stored token first while it is "0".
    static void addAudio(const QString &aid, const QString &oid);
    static void delAudio(const QString &aid, const QString &oid);
    // The rights-holder list: the file's lines, or nothing after an error.
    static ServiceAnswer<QStringList> getRiaaList();
    // Whether `searchText` is on `list` (both trimmed, exact and case-sensitive).
    static bool riaaRefuses(const QStringList &list, const QString &searchText);

    // The signed-in user's friends and communities as three-line records (name, number, picture address),
    // sorted by character code; nothing after an unreadable answer.
    static ServiceAnswer<QStringList> getSelfFriends();
    static ServiceAnswer<QStringList> getSelfGroups();

    // Video side; the same conventions. Titles go through cleanText as well.

    // One page (at most 40 rows) of the video search. `quality` 0..3 picks the request form and the label
    // every record carries; the call pauses one second after the answer.
    static ServiceAnswer<QList<VideoRecord>> searchVideoWithOffset(const QString &text, int offset,
                                                                   int quality, int sort);
    // Kind 0: a user's videos, 1: a community's (the number is sent as owner "-<number>").
    static ServiceAnswer<QList<VideoRecord>> getVideoWithJSON(const QString &owner, int kind);
    // The videos the service recommends for a user (first answer only).
    static ServiceAnswer<QList<VideoRecord>> getVideoRecommendations(const QString &owner);
    // The MP4 address of a video key in its best quality, "1" when it has no MP4 form, "2" when its page is
    // unusable. Never nothing; pauses one second after the answer.
    static QString getVideoLink(const QString &key);
    // The same with the reason kept apart, for the screens.
    static VideoLink resolveVideoLink(const QString &key);
    // The same video's address in `lines` lines (240, 360, 480 or 720): the dot and three digits before the
    // first ".mp4" replaced. An address without them comes back unchanged.
    static QString videoLinkWithLines(const QString &address, int lines);
};
