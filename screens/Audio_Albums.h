#pragma once

#include "screens/AlbumRecordModel.h"
#include "screens/ResultsScreen.h"
#include "screens/ScreenLink.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

// The album screen: finds albums by name through Last.fm, and for a tapped album looks its tracks up in the
// service's audio search; the records found fill the search screen's list, which then opens in album mode
// (openFoundAlbum).
class Audio_Albums : public ResultsScreen
{
    Q_OBJECT
    Q_PROPERTY(AlbumRecordModel *albums READ albums CONSTANT)

public:
    explicit Audio_Albums(QObject *parent = nullptr);

    AlbumRecordModel *albums() const { return m_model; }

    // The album tapped last, and the "creator - title" texts of its tracks.
    QString selectedAlbumName() const { return m_selectedAlbumName; }
    QString selectedAlbumId() const { return m_selectedAlbumId; }
    QStringList albumAudioArray() const { return m_albumAudioArray; }
    QString requestFile() const;

    void viewDidLoad() override;
    void viewWillAppear() override;
    void searchBarSearchButtonClicked() override;
    void searchBarCancelButtonClicked() override;
    // An album tap: its tracks are looked up.
    void rowSelected(int row) override;

Q_SIGNALS:
    // The album's records are in the search screen's list: open that screen with `title` (album mode).
    void openFoundAlbum(const QString &title);

private:
    // The background operations reach the screen only through the link: it may be closed while they run.
    using Link = ScreenLink<Audio_Albums>;
    static void doAlbumsSearch(const Link &link, ProgressOverlay *hud, const QString &query);
    static void doAlbumAudioSearch(const Link &link, ProgressOverlay *hud, const QString &albumId);
    void reloadAudioTable();
    void goToFoundAlbum();

    AlbumRecordModel *m_model = nullptr;
    QString m_selectedAlbumName;
    QString m_selectedAlbumId;
    QStringList m_albumAudioArray;
};
