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

struct QueueItem
{
    QString name;
    QString url;
    QString tag;
    QString state = QStringLiteral("-1"); // state or size
    QString received = QStringLiteral("-1");
};

struct PlaylistEntry
{
    QString file;                          // path relative to the audio folder
    QString current = QStringLiteral("0"); // "1" for the track now playing
};

struct AlbumRecord
{
    QString name;
    QString artist;
    QString albumId;
};
