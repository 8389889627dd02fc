#pragma once

#include <QQmlNetworkAccessManagerFactory>
#include <QString>

class QNetworkAccessManager;

// The image cache of every view: row pictures (video previews, friends' and groups' photos) load through the
// QML engine's network access, and with this factory set on the engine that access keeps what it fetches in
// one disk cache and prefers it to the network. A picture seen once shows at once the next time, after a
// restart too, and without a connection.
//
// Use: one ImageCache for the run, set before any view loads,
//     ImageCache imageCache;
//     engine.setNetworkAccessManagerFactory(&imageCache);
// then draw a picture with qml/CachedImage.qml, which shows a placeholder until the picture has arrived (and
// keeps it when the picture cannot be had). A plain QML Image with an http source uses the cache as well.
//
// The engine may ask for managers on several threads (the image loader has its own); create() is safe for
// that: every manager gets its own QNetworkDiskCache over the same folder.
class ImageCache : public QQmlNetworkAccessManagerFactory
{
public:
    static constexpr qint64 defaultMaximumBytes = 64LL * 1024 * 1024;

    explicit ImageCache(const QString &directory = defaultDirectory(),
                        qint64 maximumBytes = defaultMaximumBytes);

    QNetworkAccessManager *create(QObject *parent) override;

    QString directory() const { return m_directory; }
    qint64 maximumBytes() const { return m_maximumBytes; }
    // "images" in the user's cache folder of the program.
    static QString defaultDirectory();

private:
    const QString m_directory;
    const qint64 m_maximumBytes;
};
