#pragma once

#include "core/Stores.h"
#include "playback/MpvPlayer.h"
#include "screens/AudioRecordModel.h"
#include "screens/OverlayHost.h"
#include "screens/ProgressOverlay.h"
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
class AudioResults : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(QString placeholder READ placeholder NOTIFY placeholderChanged)
    Q_PROPERTY(bool inputEnabled READ inputEnabled NOTIFY inputEnabledChanged)
    Q_PROPERTY(bool searchBusy READ searchBusy NOTIFY busyChanged)
    Q_PROPERTY(bool tableBusy READ tableBusy NOTIFY busyChanged)
    Q_PROPERTY(bool addingRecords READ addingRecords NOTIFY addingRecordsChanged)
    Q_PROPERTY(int sortIndex READ sortIndex WRITE setSortIndex NOTIFY sortIndexChanged)
    Q_PROPERTY(bool sortEnabled READ sortEnabled NOTIFY sortEnabledChanged)
    Q_PROPERTY(bool sortVisible READ sortVisible NOTIFY sortVisibleChanged)
    Q_PROPERTY(bool hasSortSelector READ hasSortSelector CONSTANT)
    Q_PROPERTY(bool hasSelfButton READ hasSelfButton CONSTANT)
    Q_PROPERTY(int kind READ kind CONSTANT)
    Q_PROPERTY(int pageIndex READ pageIndex NOTIFY pageIndexChanged)
    Q_PROPERTY(AudioRecordModel *records READ records CONSTANT)
    Q_PROPERTY(ProgressOverlay *hud READ hud NOTIFY hudChanged)
    Q_PROPERTY(MpvPlayer *miniPlayer READ miniPlayer NOTIFY miniPlayerChanged)

public:
    enum Kind { Search = 0, Personal = 1, Group = 2, Recommended = 3 };
    Q_ENUM(Kind)
    enum AlertTag { PreviewAlert = 1, ConfirmationAlert = 2 };
    enum ScrollPosition { Top = 0, Middle = 1 };
    // A search position past every further page: the list ends here (a short page, or an album's tracks).
    static constexpr int lastPageOffset = 10;

    AudioResults(Kind kind, QObject *parent);
    ~AudioResults() override;

    int kind() const { return m_kind; }
    QString title() const { return m_title; }
    void setTitle(const QString &title);
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    QString placeholder() const { return m_placeholder; }
    bool inputEnabled() const { return m_inputEnabled; }
    bool searchBusy() const { return m_searchBusy; }
    bool tableBusy() const { return m_tableBusy; }
    bool addingRecords() const { return m_addingRecords; }
    int sortIndex() const { return m_sortIndex; }
    void setSortIndex(int index);
    bool sortEnabled() const { return m_sortEnabled; }
    bool sortVisible() const { return m_sortVisible; }
    bool hasSortSelector() const { return m_kind == Search; }
    bool hasSelfButton() const { return m_kind == Personal || m_kind == Recommended; }
    int pageIndex() const { return m_pageIndex; }
    AudioRecordModel *records() const { return m_model; }
    ProgressOverlay *hud() const { return m_overlays->current(); }
    MpvPlayer *miniPlayer() const { return m_miniPlayer; }
    // The record tapped last (empty before the first tap).
    const AudioRecord &selectedSong() const { return m_selectedSong; }

    // The store this screen shows, and its request-state file.
    AudioRecordStore &store() const;
    QString requestFile() const;

    Q_INVOKABLE void viewDidLoad();
    Q_INVOKABLE void viewWillAppear();
    Q_INVOKABLE void searchBarSearchButtonClicked();
    // The table made the cell of `row`: on the search screen the last row loads the next page.
    Q_INVOKABLE void cellShown(int row);
    // A row tap: the preview alert.
    Q_INVOKABLE void rowSelected(int row);
    // The row's queue button.
    Q_INVOKABLE void accessoryButtonTapped(int row);
    Q_INVOKABLE void addAllRecordsToQueue();
    Q_INVOKABLE void clearRecordsTable();
    Q_INVOKABLE void alertAnswered(int tag, int index);
    Q_INVOKABLE void setSelfId();
    Q_INVOKABLE void searchBarTextDidBeginEditing();
    Q_INVOKABLE void searchBarTextDidEndEditing();
    Q_INVOKABLE void searchBarCancelButtonClicked();
    Q_INVOKABLE void scrollStopped(qreal offsetX);

    // Whether `record` lies on the signed-in user's own page.
    static bool isOwnRecord(const AudioRecord &record);

Q_SIGNALS:
    void titleChanged();
    void searchTextChanged();
    void placeholderChanged();
    void inputEnabledChanged();
    void busyChanged();
    void addingRecordsChanged();
    void sortIndexChanged();
    void sortEnabledChanged();
    void sortVisibleChanged();
    void pageIndexChanged();
    void hudChanged();
    void miniPlayerChanged();
    void alertRequested(const QString &title, const QString &message, const QStringList &buttons, int tag);
    void scrollToRow(int row, int position, bool animated);
    void keyboardDismissed();
    // An add or delete request has been sent (tests wait for it).
    void pageChangeSent();

private:
    void showOverlay(const QString &label, const QString &details, float minShowTime, bool textOnly,
                     std::function<void(ProgressOverlay *)> operation);
    // The background operations: everything they need of the screen comes by value or through the link.
    using Link = ScreenLink<AudioResults>;
    static void doAudioSearch(const Link &link, ProgressOverlay *hud, Kind kind, const QString &text,
                              int sort);
    static void doAudioSearchOffset(const Link &link, ProgressOverlay *hud, const QString &text, int sort);
    // A search has ended: a new list is shown from its first row.
    void showNewResults();
    void setSearchBusy(bool busy);
    void setTableBusy(bool busy);
    void setAddingRecords(bool adding);
    void setPlaceholder(const QString &text);
    void setInputEnabled(bool enabled);
    void closePreview();
    QueueItem queueItemFor(const AudioRecord &record) const;

    Kind m_kind;
    QString m_title;
    QString m_searchText;
    QString m_placeholder;
    bool m_appeared = false;
    bool m_inputEnabled = true;
    bool m_searchBusy = false;
    bool m_tableBusy = false;
    bool m_addingRecords = false;
    int m_sortIndex = 0;
    bool m_sortEnabled = true;
    bool m_sortVisible = false;
    int m_pageIndex = 0;
    AudioRecordModel *m_model = nullptr;
    OverlayHost *m_overlays;
    QPointer<MpvPlayer> m_miniPlayer;
    AudioRecord m_selectedSong;
};
