// Text from the service, Last.fm and file names in the program's own window: markup in a record's title, an
// album's name or a file's name shows as the characters it is made of, and no picture it names is fetched.
#include "../support/MainWindowTest.h"
#include "../support/Mp3Fixture.h"

#include "screens/NowPlaying.h"

#include <QFont>
#include <QFontMetricsF>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

using TestSupport::waitFor;

// A web server that only counts who called: a picture named in a text would be fetched here.
struct Listener
{
    Listener()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++connections;
                socket->disconnectFromHost();
            }
        });
    }

    QTcpServer server;
    int connections = 0;
};

// How wide `text` is written out character for character in `font`: its widest line.
qreal literalWidth(const QString &text, const QFont &font)
{
    const QFontMetricsF metrics(font);
    qreal widest = 0;
    for (const QString &line : text.split(u'\n'))
        widest = qMax(widest, metrics.horizontalAdvance(line));
    return widest;
}

class PlainTextWindowTest : public MainWindowTest
{
protected:
    PlainTextWindowTest() { settleMs = 600; }

    void SetUp() override
    {
        ASSERT_TRUE(listener.server.isListening());
        MainWindowTest::SetUp();
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        Stores::audioFound().clear();
        Stores::videoPersonal().clear();
        shell->nowPlaying()->refresh();
    }

    // Text the service sent escaped, as the text clean-up leaves it: real markup, a picture on the listener
    // (unquoted, as rich text reads it, and quoted, as the styled text Qt picks by itself needs it), a link.
    QString serviceText(const QString &word) const
    {
        return QStringLiteral("%1 <b>bold</b> <img src=http://127.0.0.1:%2/bare.png> "
                              "<img src=\"http://127.0.0.1:%2/quoted.png\"> <a href=\"http://x\">link</a>")
            .arg(word)
            .arg(listener.server.serverPort());
    }
    // A file name holds no "/": markup without closing tags, and a picture beside the view.
    static QString markedFileName()
    {
        return QStringLiteral("Группа <b>bold<i>italic - Песня <img src=\"cover.png\"> <a href=\"x\">link");
    }

    // Opens `screen` on the tab's stack as its menu does, and waits until it is laid out.
    QObject *open(QQuickItem *tab, const QString &screen, const QString &title)
    {
        QMetaObject::invokeMethod(tab, "open", Q_ARG(QVariant, screen), Q_ARG(QVariant, title),
                                  Q_ARG(QVariant, title));
        if (!waitFor([&] { return settledAt(tab, 2); }, 5000))
            return nullptr;
        settle();
        return controllerOnTop(tab);
    }
    void section(int index)
    {
        window->setProperty("section", index);
        settle();
    }

    // Every visible text item showing `marker` (at least `atLeast` of them) draws its text character for
    // character, as wide as the literal text in its font: markup read as formatting loses its tags to bold
    // letters, a picture and a link.
    void expectLiteral(const QString &marker, int atLeast, const char *where)
    {
        // Labels of the views, and the text items the controls and the style draw their captions, titles and
        // placeholders with.
        const QList<QQuickItem *> items = findAll(window->contentItem(), [&](QQuickItem *item) {
            return item->inherits("QQuickText") && item->property("text").toString().contains(marker);
        });
        EXPECT_GE(items.size(), atLeast) << where;
        for (QQuickItem *item : std::as_const(items)) {
            const QString text = item->property("text").toString();
            const qreal literal = literalWidth(text, item->property("font").value<QFont>());
            EXPECT_GE(item->implicitWidth(), 0.95 * literal)
                << where << ": " << item->metaObject()->className() << " draws \"" << text.toStdString()
                << "\" as markup (" << item->implicitWidth() << " of " << literal << " wide)";
        }
    }
    // Whatever was to be fetched has been asked for by now.
    void expectNothingFetched()
    {
        waitFor([&] { return listener.connections > 0; }, 1500);
        EXPECT_EQ(listener.connections, 0);
    }
    Listener listener;
};

TEST_F(PlainTextWindowTest, ServiceTextAndFileNamesInRowsTitlesPreviewsAndTheBarAreShownAsWritten)
{
    const QString title = serviceText(QStringLiteral("Песня"));
    const QString artist = serviceText(QStringLiteral("Исполнитель"));
    const QString album = serviceText(QStringLiteral("Альбом"));
    Stores::audioFound().append({QStringLiteral("3:25"), root.filePath(QStringLiteral("none.mp3")), title,
                                 artist, QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("20")});
    Stores::videoPersonal().append({title, QStringLiteral("20_10"), QStringLiteral("720"),
                                    QStringLiteral("2"), QStringLiteral("-1"), QStringLiteral("4:10"),
                                    QString()});
    DownloadQueue::shared().append(
        DownloadQueue::Audio,
        QueueItem{artist + QStringLiteral(" - ") + title, QStringLiteral("http://127.0.0.1:9/none.mp3"), 3});

    // An album's tracks: its name titles the screen and fills the field's placeholder.
    section(1);
    QQuickItem *audio = stack("audioStack");
    ASSERT_NE(audio, nullptr);
    QObject *search = open(audio, QStringLiteral("Audio_Search"), album);
    ASSERT_NE(search, nullptr);
    ASSERT_EQ(search->property("placeholder").toString(), QStringLiteral("Альбом: ") + album);
    expectLiteral(QStringLiteral("Альбом <b>bold</b>"), 2, "the album screen's title and placeholder");
    expectLiteral(QStringLiteral("Песня <b>bold</b>"), 1, "the audio row's title");
    expectLiteral(QStringLiteral("Исполнитель <b>bold</b>"), 1, "the audio row's artist");

    // A tap previews the record: its title heads the dialog, its artist is the message.
    click(find(QStringLiteral("resultRow0")));
    ASSERT_NE(waitForItem(QStringLiteral("alertButton0")), nullptr);
    settle();
    expectLiteral(QStringLiteral("\n\nПесня <b>bold</b>"), 1, "the preview's title");
    expectLiteral(QStringLiteral("Исполнитель <b>bold</b>"), 2, "the preview's message and the row's artist");
    key(Qt::Key_Escape);
    settle();
    back(audio);

    section(2);
    QQuickItem *video = stack("videoStack");
    ASSERT_NE(video, nullptr);
    // A user's videos: the search screen would ask the service for a further page below its last row.
    ASSERT_NE(open(video, QStringLiteral("Video_Personal"), QStringLiteral("Мои видеозаписи")), nullptr);
    expectLiteral(QStringLiteral("Песня <b>bold</b>"), 1, "the video row's title");
    back(video);

    section(3);
    expectLiteral(QStringLiteral("Исполнитель <b>bold</b>"), 1, "the queue row");

    // File names in the library, the export, the player and the now-playing bar.
    const QString name = markedFileName();
    ASSERT_TRUE(Mp3Fixture::write(
        StorageLayout::getAudioDir() + QLatin1Char('/') + name + QStringLiteral(".mp3"), 5));
    Stores::playlist().assignEntries({{name + QStringLiteral(".mp3"), true}});
    shell->nowPlaying()->refresh();
    const QString marker = QStringLiteral("<b>bold<i>italic");
    section(1);
    ASSERT_NE(open(audio, QStringLiteral("Audio_Library"), QString()), nullptr);
    expectLiteral(marker, 2, "the library row and the now-playing bar");

    // A tap previews the file: its name heads the dialog.
    click(find(QStringLiteral("libraryRow0")));
    ASSERT_NE(waitForItem(QStringLiteral("alertButton0")), nullptr);
    settle();
    expectLiteral(QStringLiteral("\n\n") + name, 1, "the preview's title");
    key(Qt::Key_Escape);
    settle();
    back(audio);

    ASSERT_NE(open(audio, QStringLiteral("Audio_Export"), QString()), nullptr);
    expectLiteral(marker, 2, "the export row and the now-playing bar");
    back(audio);

    // The player screen: the track's name titles it and its row.
    ASSERT_NE(open(audio, QStringLiteral("Audio_Playlist"), QString()), nullptr);
    expectLiteral(marker, 3, "the player's title, its row and the now-playing bar");
    back(audio);

    expectNothingFetched();
}

} // namespace
