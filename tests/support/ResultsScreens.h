#pragma once

// The audio, video and album result screens against the sandbox: a fixture with fresh lists, queue and
// request files, and the cases every one of the four audio and four video screens goes through alike.
#include "OverlayLog.h"
#include "SandboxSignIn.h"

#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "downloads/DownloadQueue.h"
#include "sandbox/SandboxVideo.h"
#include "screens/Audio_Group.h"
#include "screens/Audio_Personal.h"
#include "screens/Audio_Recommended.h"
#include "screens/Audio_Search.h"
#include "screens/Video_Group.h"
#include "screens/Video_Personal.h"
#include "screens/Video_Recommended.h"
#include "screens/Video_Search.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace TestSupport {

// One of the four screens of a family, with a search input its list is loaded for.
template <typename Results> struct ResultsKind
{
    const char *title;
    std::function<Results *()> make;
    QString input;
};

inline QList<ResultsKind<AudioResults>> audioKinds()
{
    return {{"Поиск", [] { return new Audio_Search; }, "a"},
            {"Частные", [] { return new Audio_Personal; }, "1000001"},
            {"Общие", [] { return new Audio_Group; }, "1"},
            {"Рекомендуемые", [] { return new Audio_Recommended; }, "1000001"}};
}

inline QList<ResultsKind<VideoResults>> videoKinds()
{
    return {{"Поиск", [] { return new Video_Search; }, "a"},
            {"Частные", [] { return new Video_Personal; }, "1000001"},
            {"Общие", [] { return new Video_Group; }, "42"},
            {"Рекомендуемые", [] { return new Video_Recommended; }, "1000001"}};
}

// Records a list already shows before a case changes it.
inline const AudioRecord audioBefore{"1:00", "http://x/1.mp3", "Before", "Artist", "1", "1", "2"};
inline const VideoRecord videoBefore{"Before", "1_1", "240", "1", "-1", "1:00", "http://x/1.jpg"};

// One field of every record, in order.
template <typename Record> QStringList column(const QList<Record> &records, QString Record::*field)
{
    QStringList out;
    for (const Record &r : records)
        out << r.*field;
    return out;
}

// Signed out unless a case signs in.
class ResultsScreenTest : public ServiceSandboxTest
{
protected:
    ResultsScreenTest() : ServiceSandboxTest(false) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServiceSandboxTest::SetUp());
        StorageLayout::setRootDir(root.path());
        // A quality chosen in one case is remembered: each case starts with its own settings.
        Settings::setSharedPath(root.filePath(QStringLiteral("settings.conf")));
        for (AudioRecordStore *store : {&Stores::audioFound(), &Stores::audioPersonal(),
                                        &Stores::audioGroup(), &Stores::audioRecommended()})
            store->clear();
        for (VideoRecordStore *store : {&Stores::videoFound(), &Stores::videoPersonal(),
                                        &Stores::videoGroup(), &Stores::videoRecommended()})
            store->clear();
        Stores::albums().clear();
        Stores::friendsGroups().clear();
        DownloadQueue::shared().clear();
        global->videoSearchOffset = 0;
        global->addAudioHash = QStringLiteral("0");
        global->delAudioHash = QStringLiteral("0");
    }
    void TearDown() override
    {
        StorageLayout::setRootDir(QString());
        Settings::setSharedPath(QString());
    }

    static void waitIdle(const ResultsScreen &screen)
    {
        const auto *records = qobject_cast<const RecordResultsScreen *>(&screen);
        ASSERT_TRUE(waitFor(
            [&] {
                return !screen.hud() && !screen.searchBusy() && !screen.tableBusy() &&
                       !(records && records->addingRecords());
            },
            30000));
    }
    // Loads and shows `screen` as the window does, its overlays followed in `log`.
    void open(ResultsScreen &screen, const QString &title)
    {
        screen.setTitle(title);
        log.watch(screen);
        screen.viewDidLoad();
        screen.viewWillAppear();
    }
    // A search as a user starts it, until its overlay is gone.
    static void search(ResultsScreen &screen, const QString &text)
    {
        screen.setSearchText(text);
        screen.searchBarSearchButtonClicked();
        waitIdle(screen);
    }

    // Signed out, a search says so, a second press while it does is ignored, and nothing is written or sent.
    void expectSignedOutSearchRefused(ResultsScreen &screen, const QString &requestFile)
    {
        screen.setSearchText(QStringLiteral("Кино"));
        screen.searchBarSearchButtonClicked();
        EXPECT_TRUE(screen.searchBusy());
        screen.searchBarSearchButtonClicked();
        waitIdle(screen);
        EXPECT_EQ(log.labels, QStringList({"Ошибка"}));
        EXPECT_EQ(log.details, QStringList({"Не выполнен вход"}));
        EXPECT_EQ(log.minShowTimes, QList<float>({2.0f}));
        EXPECT_FALSE(QFileInfo::exists(requestFile));
        EXPECT_TRUE(sandbox.requestLog().empty()) << sandbox.requestLog().front();
    }

    // The "mine" button and the hint know the user's number only once signed in.
    template <typename Personal> void expectOwnNumberOnceSignedIn(Personal &personal)
    {
        personal.viewWillAppear();
        EXPECT_EQ(personal.placeholder(), QStringLiteral("ID пользователя (ваш - неизвестен)"));
        personal.setSelfId();
        EXPECT_FALSE(personal.searchBusy());
        EXPECT_TRUE(log.labels.isEmpty());
        signIn();
        personal.viewWillAppear();
        EXPECT_EQ(personal.placeholder(), QStringLiteral("ID пользователя (ваш - 1000001)"));
    }

    // No answer at all is an error, not an empty list: each screen of the family says the service is
    // unavailable and shows nothing.
    template <typename Results, typename Record>
    void expectNoAnswerIsAnError(const QList<ResultsKind<Results>> &kinds, const Record &before)
    {
        sandbox.stop();
        for (const ResultsKind<Results> &kind : kinds) {
            SCOPED_TRACE(kind.title);
            std::unique_ptr<Results> screen(kind.make());
            screen->store().assign({before});
            log = {};
            open(*screen, QString::fromUtf8(kind.title));
            search(*screen, kind.input);
            EXPECT_EQ(log.labels, QStringList({"Выполняется поиск...", "Ошибка"}));
            EXPECT_EQ(log.details, QStringList({"Сервис недоступен"}));
            EXPECT_TRUE(screen->store().isEmpty());
            EXPECT_EQ(screen->records()->rowCount(), 0);
        }
    }

    // A further page nobody answered leaves the list and the page position as they were; the last row showing
    // again asks for that same page (`lastSearch`: the target of the sandbox's last search).
    template <typename Search>
    void expectUnansweredPageAskedAgain(Search &screen, const int &position,
                                        const std::function<std::string()> &lastSearch)
    {
        const qsizetype shown = screen.store().size();
        const int port = sandbox.port();
        sandbox.stop();
        screen.cellShown(int(shown) - 1);
        waitIdle(screen);
        EXPECT_EQ(log.labels.last(), QStringLiteral("Ошибка"));
        EXPECT_EQ(log.details.last(), QStringLiteral("Сервис недоступен"));
        EXPECT_EQ(position, 0);
        EXPECT_EQ(screen.store().size(), shown);

        ASSERT_TRUE(sandbox.start(port));
        screen.cellShown(int(shown) - 1);
        waitIdle(screen);
        EXPECT_NE(position, 0);
        EXPECT_NE(lastSearch().find("offset=" + std::to_string(shown) + "&"), std::string::npos)
            << lastSearch();
        EXPECT_GT(screen.store().size(), shown);
    }

    // The row of the search results whose video matches `wanted` in the sandbox's catalogue.
    int rowWhere(const std::function<bool(const SandboxVideoItem &)> &wanted)
    {
        const std::vector<SandboxVideoItem> catalogue = SandboxVideo::catalogueOf(sandbox);
        for (qsizetype row = 0; row < Stores::videoFound().size(); ++row) {
            for (const SandboxVideoItem &item : catalogue) {
                if (QString::fromStdString(item.key()) == Stores::videoFound().at(row).key && wanted(item))
                    return int(row);
            }
        }
        return -1;
    }
    static auto best(int hd)
    {
        return [hd](const SandboxVideoItem &v) { return v.hd == hd && v.mp4 && v.variables; };
    }

    QTemporaryDir root;
    OverlayLog log;
};

} // namespace TestSupport
