#pragma once

#include "core/Records.h"
#include "playback/MusicPlayer.h"
#include "screens/PlaylistRowModel.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// The audio player screen: shows the current playlist (Stores::playlist()) and the track the
// music player (MusicPlayer) plays, hands it the taps on rows and transport buttons, and seeks, reorders,
// deletes, saves, loads and clears playlists. Playback itself, with its tick and the requests from outside,
// belongs to MusicPlayer, which runs whether or not this screen was ever opened. Alerts are asked for through
// alertRequested and answered through alertAnswered.
class Audio_Playlist : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title NOTIFY titleChanged)
    Q_PROPERTY(QString audioTimeLabelCurrent READ audioTimeLabelCurrent NOTIFY timeChanged)
    Q_PROPERTY(QString audioTimeLabel READ audioTimeLabel NOTIFY timeChanged)
    Q_PROPERTY(double sliderValue READ sliderValue NOTIFY sliderChanged)
    Q_PROPERTY(double sliderMaximum READ sliderMaximum NOTIFY sliderChanged)
    Q_PROPERTY(bool sliderAnimated READ sliderAnimated NOTIFY sliderChanged)
    Q_PROPERTY(QString randomButtonImage READ randomButtonImage NOTIFY modesChanged)
    Q_PROPERTY(QString repeatButtonImage READ repeatButtonImage NOTIFY modesChanged)
    Q_PROPERTY(bool playRandomMusic READ playRandomMusic NOTIFY modesChanged)
    Q_PROPERTY(bool playRepeatMusic READ playRepeatMusic NOTIFY modesChanged)
    // 0 no repeat, 1 the playlist, 2 the track (MusicPlayer::Repeat).
    Q_PROPERTY(int repeatMode READ repeatMode NOTIFY modesChanged)
    Q_PROPERTY(bool editing READ editing NOTIFY editingChanged)
    Q_PROPERTY(QString playlistName READ playlistName NOTIFY playlistNameChanged)
    Q_PROPERTY(QString playlistNameToSave READ playlistNameToSave WRITE setPlaylistNameToSave NOTIFY
                   playlistNameToSaveChanged)
    Q_PROPERTY(PlaylistRowModel *rows READ rows CONSTANT)
    // "Треков: N, H:MM:SS": the playlist's length, as far as the tags are known.
    Q_PROPERTY(QString totalText READ totalText NOTIFY totalTextChanged)

public:
    enum AlertTag { MenuAlert = 1, SaveAlert = 2, ErrorAlert = 3, ClearAlert = 4, NoticeAlert = 5 };
    Q_ENUM(AlertTag)

    explicit Audio_Playlist(QObject *parent = nullptr);
    ~Audio_Playlist() override;

    // The program's player screen, made on first use and kept until the end.
    static Audio_Playlist *shared();

    // Class operations used by the remote control: resume or pause the shared player; nothing without one.
    static void play() { MusicPlayer::play(); }
    static void pause() { MusicPlayer::pause(); }

    QString title() const { return m_title; }
    QString audioTimeLabelCurrent() const { return m_elapsed; }
    QString audioTimeLabel() const { return m_total; }
    double sliderValue() const { return m_sliderValue; }
    double sliderMaximum() const { return m_sliderMaximum; }
    bool sliderAnimated() const { return m_sliderAnimated; }
    QString randomButtonImage() const;
    QString repeatButtonImage() const;
    bool playRandomMusic() const;
    bool playRepeatMusic() const;
    int repeatMode() const;
    bool editing() const { return m_editing; }
    // Between appearing and disappearing.
    bool shown() const { return m_visible; }
    QString playlistName() const { return m_playlistName; }
    QString playlistNameToSave() const { return m_playlistNameToSave; }
    void setPlaylistNameToSave(const QString &text);
    PlaylistRowModel *rows() const { return m_rows; }
    QString totalText() const;

    // Draws indexes for shuffle (tests make it predictable). Defaults to the system's generator.
    void setRandomSource(std::function<quint32()> source);

    // The view's life: loaded once, then appearing and disappearing.
    Q_INVOKABLE void viewDidLoad();
    Q_INVOKABLE void viewWillAppear();
    Q_INVOKABLE void viewDidAppear();
    Q_INVOKABLE void viewWillDisappear();

    // Starts entry `index` (a row tap).
    Q_INVOKABLE void playSound(int index);
    Q_INVOKABLE void forwardButtonPressed();
    Q_INVOKABLE void backwardButtonPressed();
    Q_INVOKABLE void playButtonPressed() { play(); }
    Q_INVOKABLE void pauseButtonPressed() { pause(); }
    Q_INVOKABLE void audioSliderMoved(double value);
    Q_INVOKABLE void randomButtonPressed();
    Q_INVOKABLE void repeatButtonPressed();
    Q_INVOKABLE void additionButtonPressed();
    Q_INVOKABLE void editPlaylist();
    Q_INVOKABLE void alertAnswered(int tag, int index);
    // Asks for the save dialog, the field preset to the last name used.
    Q_INVOKABLE void savePlaylist();
    Q_INVOKABLE void savePlaylistAs();
    Q_INVOKABLE void clearPlaylist();
    // The menu's clear: asks first when more than one entry would go.
    Q_INVOKABLE void clearPlaylistAsked();
    // The menu's exports: the current playlist as "NAME.m3u" or "NAME.xspf" in the playlists folder, NAME the
    // last name saved under ("Без названия" before any); a notice says where it went.
    Q_INVOKABLE void exportM3u();
    Q_INVOKABLE void exportXspf();
    // Edit mode: delete the entry at `row`, or move it (its mark moves with it).
    Q_INVOKABLE void deleteRow(int row);
    Q_INVOKABLE void moveRow(int from, int to);
    // A new controller for the saved playlists screen, owned by whoever takes it (the view's engine).
    Q_INVOKABLE QObject *newPlaylistsScreen() const;
    // A new player screen over the one music player, as the menu opens it each time: its save name and its
    // edit mode start afresh. Owned by whoever takes it (the view, which destroys it when it goes).
    Q_INVOKABLE QObject *newScreen() const;

    // The one-second tick: the time display while visible, then any pending request from outside.
    Q_INVOKABLE void updateTime();

    // The name shown for the entry with relative path `file`: no folders, no extension.
    static QString displayName(const QString &file) { return MusicPlayer::displayName(file); }
    // Index of the last entry marked "1", or -1.
    static int currentIndex() { return MusicPlayer::currentIndex(); }

Q_SIGNALS:
    void titleChanged();
    void timeChanged();
    void sliderChanged();
    void modesChanged();
    void editingChanged();
    void playlistNameChanged();
    void playlistNameToSaveChanged();
    void totalTextChanged();
    void alertRequested(const QString &title, const QString &message, const QStringList &buttons, int tag);
    // Show `row` in the middle of the table.
    void scrollToRow(int row, bool animated);
    // The menu's "load" button: open the saved playlists screen on top of this one.
    void openPlaylistsRequested();
    // The save dialog closed: take the keyboard focus from its field.
    void keyboardDismissed();
    // A playlist file has been written (tests wait for it; nothing is shown to the user).
    void playlistSaved(const QString &path);
    // A playlist was exported to `path` (the notice says so too).
    void playlistExported(const QString &path);

private:
    void trackStarted(int index);
    void ticked();
    void resetDisplay();
    void setTitle(const QString &title);
    void setTimes(const QString &elapsed, const QString &total);
    void setSlider(double value, double maximum, bool animated);
    void setEditing(bool editing);
    void setPlaylistName(const QString &name);
    void showPlayerTimes();
    void exportAs(int format);
    static QString clockText(double seconds);

    QString m_title;
    QString m_elapsed;
    QString m_total;
    double m_sliderValue = 0;
    double m_sliderMaximum = 0;
    bool m_sliderAnimated = false;
    bool m_editing = false;
    bool m_visible = false; // between appearing and disappearing: the times and the slider follow the track
    QString m_playlistName;
    QString m_playlistNameToSave;
    PlaylistRowModel *m_rows;
};
