// The file chooser portal as the saved playlists use it, answered by a stand-in portal on a private session
// bus: what is asked (title, one filter of globs) and what comes back (a local path, a cancel, no portal).
#include "../support/PrivateBus.h"
#include "../support/TestSupport.h"

#include "desktop/Portals.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using TestSupport::waitFor;

class FileChooserPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")
public:
    uint responseCode = 0;
    QStringList uris;
    QString title;
    QString filterSignature;
    QString filterName;
    QList<QPair<uint, QString>> rules;

public Q_SLOTS:
    QDBusObjectPath OpenFile(const QString &, const QString &dialogTitle, const QVariantMap &options)
    {
        title = dialogTitle;
        const QDBusArgument filters = options.value(QStringLiteral("filters")).value<QDBusArgument>();
        filterSignature = filters.currentSignature();
        filters.beginArray();
        while (!filters.atEnd()) {
            filters.beginStructure();
            filters >> filterName;
            filters.beginArray();
            while (!filters.atEnd()) {
                uint kind = 0;
                QString pattern;
                filters.beginStructure();
                filters >> kind >> pattern;
                filters.endStructure();
                rules.append({kind, pattern});
            }
            filters.endArray();
            filters.endStructure();
        }
        filters.endArray();
        // The request object is named after the caller and its token, as the real portal names it.
        QString sender = message().service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        QDBusConnection bus = connection();
        const uint code = responseCode;
        const QStringList answer = uris;
        QTimer::singleShot(0, this, [bus, path, code, answer]() mutable {
            QDBusMessage response = QDBusMessage::createSignal(
                path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            response << code << QVariantMap{{QStringLiteral("uris"), answer}};
            bus.send(response);
        });
        return QDBusObjectPath(path);
    }
};

TEST(FileChooserPortal, AsksWithTheFilterAndGivesTheChosenLocalFile)
{
    TestSupport::PrivateBus bus;
    ASSERT_TRUE(bus.start());
    const QString address = bus.address;
    // The portals speak on the session bus: this program's is the private one from here on.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    {
        QDBusConnection services = QDBusConnection::connectToBus(address, "portal");
        ASSERT_TRUE(services.registerService("org.freedesktop.portal.Desktop"));
        FileChooserPortal portal;
        ASSERT_TRUE(services.registerObject("/org/freedesktop/portal/desktop", &portal,
                                            QDBusConnection::ExportAllSlots));

        QObject context;
        int answers = 0;
        Portals::ChooseResult result = Portals::ChooseResult::Unavailable;
        QString chosen;
        // Asks, and waits for the answer.
        auto ask = [&] {
            const int before = answers;
            Portals::chooseFile(
                QStringLiteral("Импорт плейлиста"),
                {QStringLiteral("Плейлисты"), {QStringLiteral("*.m3u"), QStringLiteral("*.xspf")}}, &context,
                [&](Portals::ChooseResult r, const QString &path) {
                    ++answers;
                    result = r;
                    chosen = path;
                });
            return waitFor([&] { return answers == before + 1; }, 10000);
        };

        portal.uris = {QStringLiteral("file:///home/u/%D0%9C%D0%BE%D0%B9%20%D0%BC%D0%B8%D0%BA%D1%81.m3u")};
        ASSERT_TRUE(ask());
        EXPECT_EQ(result, Portals::ChooseResult::Chosen);
        EXPECT_EQ(chosen, QStringLiteral("/home/u/Мой микс.m3u"));
        EXPECT_EQ(portal.title, QStringLiteral("Импорт плейлиста"));
        EXPECT_EQ(portal.filterSignature, QStringLiteral("a(sa(us))"));
        EXPECT_EQ(portal.filterName, QStringLiteral("Плейлисты"));
        EXPECT_EQ(portal.rules,
                  (QList<QPair<uint, QString>>{{0, QStringLiteral("*.m3u")}, {0, QStringLiteral("*.xspf")}}));

        // Cancelled in the dialog; an address that is no local file is nothing this program can read.
        portal.responseCode = 1;
        ASSERT_TRUE(ask());
        EXPECT_EQ(result, Portals::ChooseResult::Cancelled);
        EXPECT_TRUE(chosen.isEmpty());
        portal.responseCode = 0;
        portal.uris = {QStringLiteral("https://example.org/list.m3u")};
        ASSERT_TRUE(ask());
        EXPECT_EQ(result, Portals::ChooseResult::Cancelled);
        EXPECT_TRUE(chosen.isEmpty());

        // No portal on the bus: the caller hears that no chooser answers.
        services.unregisterService("org.freedesktop.portal.Desktop");
        ASSERT_TRUE(ask());
        EXPECT_EQ(result, Portals::ChooseResult::Unavailable);
    }
    QDBusConnection::disconnectFromBus("portal");
}

} // namespace

#include "test_file_chooser.moc"
