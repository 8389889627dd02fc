#pragma once

#include "core/Records.h"
#include "screens/ResultsScreen.h"
#include "screens/ScreenLink.h"
#include "screens/VideoRecordModel.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

// The family of video result screens: search, a user's videos, a community's videos and recommendations. Each
// shows one record list of the shared state and fills it on a background task under the progress overlay. A
// row tap resolves the video's MP4 address and asks for the player; the row's accessory button resolves it
// and queues the video for download. Where the video exists in several qualities, the choice is asked for
// through alertRequested and answered through alertAnswered.
class VideoResults : public RecordResultsScreen
{
    Q_OBJECT
    Q_PROPERTY(int qualityIndex READ qualityIndex WRITE setQualityIndex NOTIFY qualityIndexChanged)
    Q_PROPERTY(bool selectorsVisible READ selectorsVisible NOTIFY selectorsVisibleChanged)
    Q_PROPERTY(int selectorsHeight READ selectorsHeight CONSTANT)
    Q_PROPERTY(bool hasSelectors READ hasSelectors CONSTANT)
    Q_PROPERTY(int lastWatchedVideoNumber READ lastWatchedVideoNumber NOTIFY lastWatchedVideoNumberChanged)
    Q_PROPERTY(QColor watchedRowColor READ watchedRowColor CONSTANT)
    Q_PROPERTY(VideoRecordModel *records READ records CONSTANT)

public:
    // The quality choice's alert: 1 after a row tap (watch), 2 after the accessory button (download).
    enum AlertTag { WatchAlert = 1, QueueAlert = 2 };
    static constexpr int pageSize = 40;
    // videoSearchOffset at which no further page is asked for.
    static constexpr int lastPageOffset = 9;

    VideoResults(Kind kind, QObject *parent);

    int qualityIndex() const { return m_qualityIndex; }
    void setQualityIndex(int index);
    bool selectorsVisible() const { return m_selectorsVisible; }
    int selectorsHeight() const { return 81; }
    bool hasSelectors() const { return m_kind == Search; }
    int lastWatchedVideoNumber() const { return m_model->watchedRow(); }
    QColor watchedRowColor() const { return QColor(228, 234, 240); }
    VideoRecordModel *records() const { return m_model; }
    // The last result of a link resolution, later the chosen quality's address.
    QString foundLink() const { return m_foundLink; }
    int searchLinkIndex() const { return m_searchLinkIndex; }

    // The shared list this screen shows, and its request-state file.
    VideoRecordStore &store() const;
    QString requestFile() const;

    // The quality choice for a resolved address: "Отмена", then "Качество 240" up to the address's own
    // quality.
    static QStringList qualityButtons(const QString &address);
    // The button (1 for 240 lines …) of the quality remembered in the settings ("video/quality") that the
    // video at `address` offers, or the best below it; 0 when the question is to be asked.
    static int rememberedQualityButton(const QString &address);

    void viewDidLoad() override;
    void viewWillAppear() override;
    void searchBarSearchButtonClicked() override;
    // The table made the cell of `row`: on the search screen the last row loads the next page.
    Q_INVOKABLE void cellShown(int row);
    // A row tap: watch the video.
    void rowSelected(int row) override;
    // The row's accessory button: download the video.
    Q_INVOKABLE void accessoryButtonTapped(int row);
    void alertAnswered(int tag, int index) override;
    Q_INVOKABLE void clearRecordsTable();
    Q_INVOKABLE void setSelfId();
    void searchBarTextDidBeginEditing() override;
    void searchBarTextDidEndEditing() override;
    void searchBarCancelButtonClicked() override;

Q_SIGNALS:
    void qualityIndexChanged();
    void selectorsVisibleChanged();
    void lastWatchedVideoNumberChanged();
    // Present the video player over the screen with this address.
    // `title` is the video's, for the player's controls.
    void videoPlayerRequested(const QString &fileName, const QString &refererType, const QString &title);

private:
    // Plays or queues the pending video in the quality of `button` (1 for 240 lines …).
    void qualityChosen(int tag, int button);
    // The background operations: everything they need of the screen comes by value or through the link.
    using Link = ScreenLink<VideoResults>;
    static void doVideoSearch(const Link &link, ProgressOverlay *hud, Kind kind, const QString &text,
                              int quality, int sort);
    static void doVideoSearchOffset(const Link &link, ProgressOverlay *hud, const QString &text, int quality,
                                    int sort);
    // doGetLinkAndShow (WatchAlert) and doGetLinkAndAddToQueue (QueueAlert).
    static void doGetLink(const Link &link, ProgressOverlay *hud, const VideoRecord &record,
                          AlertTag purpose);
    // A search has ended: a new list is shown from its first row.
    void showNewResults();
    void linkFindingFinished();
    void linkFindingFinishedError();
    void showVideoInWindow();
    // The row of the record being resolved: searchLinkIndex while it still holds that record.
    int pendingRow() const;
    void setLastWatched(int row);

    int m_qualityIndex = 0;
    bool m_selectorsVisible = false;
    VideoRecordModel *m_model = nullptr;
    QString m_foundLink;
    int m_searchLinkIndex = -1;
    VideoRecord m_pending; // the record whose link was resolved last
};
