#pragma once

#include "core/Stores.h"
#include "playback/MpvPlayer.h"
#include "screens/AudioRecordModel.h"
#include "screens/ResultsScreen.h"
#include "screens/ScreenLink.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

// The family of audio result screens: search, a user's audio, a community's audio and recommendations. Each
// shows one record list of the shared state, fills it on a background task under the progress overlay,
// previews a record, adds it to or deletes it from the user's page, and queues one or all records for
// download. Alerts are asked for through alertRequested and answered through alertAnswered.
class AudioResults : public RecordResultsScreen
{
    Q_OBJECT
    Q_PROPERTY(bool inputEnabled READ inputEnabled NOTIFY inputEnabledChanged)
    Q_PROPERTY(bool sortVisible READ sortVisible NOTIFY sortVisibleChanged)
    Q_PROPERTY(bool hasSortSelector READ hasSortSelector CONSTANT)
    Q_PROPERTY(int pageIndex READ pageIndex NOTIFY pageIndexChanged)
    Q_PROPERTY(AudioRecordModel *records READ records CONSTANT)
    Q_PROPERTY(MpvPlayer *miniPlayer READ miniPlayer NOTIFY miniPlayerChanged)

public:
    enum AlertTag { PreviewAlert = 1, ConfirmationAlert = 2 };
    Q_ENUM(AlertTag)
    // A search position past every further page: the list ends here (a short page, or an album's tracks).
    static constexpr int lastPageOffset = 10;

    AudioResults(Kind kind, QObject *parent);
    ~AudioResults() override;

    bool inputEnabled() const { return m_inputEnabled; }
    bool sortVisible() const { return m_sortVisible; }
    bool hasSortSelector() const { return m_kind == Search; }
    int pageIndex() const { return m_pageIndex; }
    AudioRecordModel *records() const { return m_model; }
    MpvPlayer *miniPlayer() const { return m_miniPlayer; }
    // The record tapped last (empty before the first tap).
    const AudioRecord &selectedSong() const { return m_selectedSong; }

    // The store this screen shows, and its request-state file.
    AudioRecordStore &store() const;
    QString requestFile() const;

    void viewDidLoad() override;
    void viewWillAppear() override;
    void searchBarSearchButtonClicked() override;
    // The table made the cell of `row`: on the search screen the last row loads the next page.
    Q_INVOKABLE void cellShown(int row);
    // A row tap: the preview alert.
    void rowSelected(int row) override;
    // The row's queue button.
    Q_INVOKABLE void accessoryButtonTapped(int row);
    Q_INVOKABLE void addAllRecordsToQueue();
    Q_INVOKABLE void clearRecordsTable();
    void alertAnswered(int tag, int index) override;
    Q_INVOKABLE void setSelfId();
    void searchBarTextDidBeginEditing() override;
    void searchBarTextDidEndEditing() override;
    void searchBarCancelButtonClicked() override;
    Q_INVOKABLE void scrollStopped(qreal offsetX);

    // Whether `record` lies on the signed-in user's own page.
    static bool isOwnRecord(const AudioRecord &record);

Q_SIGNALS:
    void inputEnabledChanged();
    void sortVisibleChanged();
    void pageIndexChanged();
    void miniPlayerChanged();
    // An add or delete request has been sent (tests wait for it).
    void pageChangeSent();

private:
    // The background operations: everything they need of the screen comes by value or through the link.
    using Link = ScreenLink<AudioResults>;
    static void doAudioSearch(const Link &link, ProgressOverlay *hud, Kind kind, const QString &text,
                              int sort);
    static void doAudioSearchOffset(const Link &link, ProgressOverlay *hud, const QString &text, int sort);
    // A search has ended: a new list is shown from its first row.
    void showNewResults();
    void setInputEnabled(bool enabled);
    void closePreview();
    QueueItem queueItemFor(const AudioRecord &record) const;

    bool m_appeared = false;
    bool m_inputEnabled = true;
    bool m_sortVisible = false;
    int m_pageIndex = 0;
    AudioRecordModel *m_model = nullptr;
    QPointer<MpvPlayer> m_miniPlayer;
    AudioRecord m_selectedSong;
};
