#include "app/ImageCache.h"

#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkRequest>
#include <QStandardPaths>

namespace {

// Pictures on the service's hosts never change under their address, so a cached copy is used whatever its
// age; only a picture not yet in the cache goes to the network. A request that states its own cache rule
// keeps it.
class CachingAccessManager : public QNetworkAccessManager
{
public:
    using QNetworkAccessManager::QNetworkAccessManager;

protected:
    QNetworkReply *createRequest(Operation operation, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override
    {
        if (operation != GetOperation ||
            request.attribute(QNetworkRequest::CacheLoadControlAttribute).isValid())
            return QNetworkAccessManager::createRequest(operation, request, outgoingData);
        QNetworkRequest preferCache(request);
        preferCache.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
        return QNetworkAccessManager::createRequest(operation, preferCache, outgoingData);
    }
};

} // namespace

ImageCache::ImageCache(const QString &directory, qint64 maximumBytes)
    : m_directory(directory), m_maximumBytes(maximumBytes)
{}

QString ImageCache::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/images");
}

QNetworkAccessManager *ImageCache::create(QObject *parent)
{
    auto *manager = new CachingAccessManager(parent);
    auto *cache = new QNetworkDiskCache(manager);
    cache->setCacheDirectory(m_directory);
    cache->setMaximumCacheSize(m_maximumBytes);
    manager->setCache(cache);
    return manager;
}
