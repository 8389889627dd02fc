#pragma once

#include "screens/AlbumRecordModel.h"
#include "screens/OverlayHost.h"
#include "screens/ProgressOverlay.h"
#include "screens/ScreenLink.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

// The album screen: finds albums by name through Last.fm, and for a tapped album looks its tracks up in the
// service's audio search; the records found fill the search screen's list, which then opens in album mode
// (openFoundAlbum).
class Audio_Albums : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(bool searchBusy READ searchBusy NOTIFY busyChanged)
    Q_PROPERTY(bool tableBusy READ tableBusy NOTIFY busyChanged)
    Q_PROPERTY(AlbumRecordModel *albums READ albums CONSTANT)
    Q_PROPERTY(ProgressOverlay *hud READ hud NOTIFY hudChanged)

public:
    enum ScrollPosition { Top = 0, Middle = 1 };

    explicit Audio_Albums(QObject *parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString &title);
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    bool searchBusy() const { return m_searchBusy; }
    bool tableBusy() const { return m_tableBusy; }
    AlbumRecordModel *albums() const { return m_model; }
    ProgressOverlay *hud() const { return m_overlays->current(); }

    // The album tapped last, and the "creator - title" texts of its tracks.
    QString selectedAlbumName() const { return m_selectedAlbumName; }
    QString selectedAlbumId() const { return m_selectedAlbumId; }
    QStringList albumAudioArray() const { return m_albumAudioArray; }
    QString requestFile() const;

    Q_INVOKABLE void viewDidLoad();
    Q_INVOKABLE void viewWillAppear();
    Q_INVOKABLE void searchBarSearchButtonClicked();
    Q_INVOKABLE void searchBarCancelButtonClicked();
    // An album tap: its tracks are looked up.
    Q_INVOKABLE void rowSelected(int row);

Q_SIGNALS:
    void titleChanged();
    void searchTextChanged();
    void busyChanged();
    void hudChanged();
    void scrollToRow(int row, int position, bool animated);
    void keyboardDismissed();
    // The album's records are in the search screen's list: open that screen with `title` (album mode).
    void openFoundAlbum(const QString &title);

private:
    void showOverlay(const QString &label, const QString &details, float minShowTime, bool textOnly,
                     std::function<void(ProgressOverlay *)> operation);
    // The background operations reach the screen only through the link: it may be closed while they run.
    using Link = ScreenLink<Audio_Albums>;
    static void doAlbumsSearch(const Link &link, ProgressOverlay *hud, const QString &query);
    static void doAlbumAudioSearch(const Link &link, ProgressOverlay *hud, const QString &albumId);
    void reloadAudioTable();
    void goToFoundAlbum();
    void setSearchBusy(bool busy);
    void setTableBusy(bool busy);

    QString m_title;
    QString m_searchText;
    bool m_searchBusy = false;
    bool m_tableBusy = false;
    AlbumRecordModel *m_model = nullptr;
    OverlayHost *m_overlays;
    QString m_selectedAlbumName;
    QString m_selectedAlbumId;
    QStringList m_albumAudioArray;
};
