#pragma once

#include <QList>
#include <QString>

// Plain records: ordered texts with fixed positions; numbers stay the texts the service sent.

struct AudioRecord
{
    QString duration;
    QString url;
    QString title;
    QString artist;
    QString tag;
    QString aid;
    QString oid;
};

struct VideoRecord
{
    QString title;
    QString key; // owner_video key, later replaced by the resolved MP4 address
    QString quality;
    QString tag;
    QString state = QStringLiteral("-1");
    QString duration;
    QString thumbnail;
};

// An item of a download queue: what to save under which name, and how far its transfer has come.
struct QueueItem
{
    enum class State {
        Waiting, // not started yet
        Started, // a transfer runs (`size` stays 0 until the answer tells it)
        Failed,  // the last transfer failed; it can be started again
    };
    QString name;
    QString url;
    int tag = 0;
    State state = State::Waiting;
    qint64 size = 0;     // bytes of the whole file, 0 while unknown
    qint64 received = 0; // bytes of the file so far, a resumed part included

    // Every byte is there: the item is about to leave its queue.
    bool complete() const { return state == State::Started && size > 0 && received >= size; }
};

struct PlaylistEntry
{
    QString file;         // path relative to the audio folder
    bool current = false; // the track now playing (written as "1"/"0"; files always hold "0")
};

struct AlbumRecord
{
    QString name;
    QString artist;
    QString albumId;
};
