#include "../support/TestSupport.h"

#include "app/ImageCache.h"
#include "sandbox/Sandbox.h"
#include "sandbox/SandboxVideo.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Fetched
{
    QNetworkReply::NetworkError error = QNetworkReply::UnknownNetworkError;
    bool fromCache = false;
    QByteArray body;
};

Fetched fetch(QNetworkAccessManager &manager, const QString &url)
{
    std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl(url))));
    EXPECT_TRUE(TestSupport::waitFor([&] { return reply->isFinished(); }, 10000));
    Fetched result;
    result.error = reply->error();
    result.fromCache = reply->attribute(QNetworkRequest::SourceIsFromCacheAttribute).toBool();
    result.body = reply->readAll();
    return result;
}

TEST(ImageCache, APictureSeenOnceComesFromDiskAfterwardsEvenWithoutTheServer)
{
    QTemporaryDir folder;
    Sandbox sandbox;
    ASSERT_TRUE(sandbox.start());
    const QString base = QString::fromStdString(sandbox.baseUrl());
    const QString picture = base + QStringLiteral("/images/video/-20_456239017.png");

    ImageCache cache(folder.path());
    EXPECT_EQ(cache.directory(), folder.path());
    std::unique_ptr<QNetworkAccessManager> manager(cache.create(nullptr));
    const Fetched first = fetch(*manager, picture);
    ASSERT_EQ(first.error, QNetworkReply::NoError);
    EXPECT_FALSE(first.fromCache);
    EXPECT_EQ(first.body, QByteArray::fromStdString(SandboxVideo::previewPng("-20_456239017")));
    EXPECT_FALSE(QDir(folder.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    const Fetched second = fetch(*manager, picture);
    EXPECT_TRUE(second.fromCache);
    EXPECT_EQ(second.body, first.body);

    // A request with its own cache rule keeps it.
    QNetworkRequest fresh{QUrl(picture)};
    fresh.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    std::unique_ptr<QNetworkReply> reply(manager->get(fresh));
    ASSERT_TRUE(TestSupport::waitFor([&] { return reply->isFinished(); }, 10000));
    EXPECT_EQ(reply->error(), QNetworkReply::NoError);
    EXPECT_FALSE(reply->attribute(QNetworkRequest::SourceIsFromCacheAttribute).toBool());
    reply.reset();

    // The server is gone and the program restarted: the picture is still there, a new one is not.
    manager.reset(); // its open connection would hold the server's stop
    sandbox.stop();
    ImageCache restarted(folder.path());
    std::unique_ptr<QNetworkAccessManager> again(restarted.create(nullptr));
    const Fetched offline = fetch(*again, picture);
    EXPECT_EQ(offline.error, QNetworkReply::NoError);
    EXPECT_TRUE(offline.fromCache);
    EXPECT_EQ(offline.body, first.body);
    EXPECT_NE(fetch(*again, base + QStringLiteral("/images/video/7_1.png")).error, QNetworkReply::NoError);
}

} // namespace
