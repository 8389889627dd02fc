#pragma once

#include "screens/ProgressOverlay.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

// The settings page: the options the program reads from the settings file, shown and changed here. Every
// change is written at once under the key the program reads when it acts (Settings announces it, and the
// readers that keep something on screen follow), so nothing waits for a restart. Moving the documents folder
// asks first, then moves the files under a progress overlay (DocumentsMove), and only then makes the new
// folder the program's root. Main thread only.
class SettingsPage : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString documentsFolder READ documentsFolder NOTIFY changed)
    Q_PROPERTY(QStringList videoQualityLabels READ videoQualityLabels CONSTANT)
    Q_PROPERTY(int videoQualityIndex READ videoQualityIndex WRITE setVideoQualityIndex NOTIFY changed)
    Q_PROPERTY(bool askQuality READ askQuality WRITE setAskQuality NOTIFY changed)
    Q_PROPERTY(bool moveToTrash READ moveToTrash WRITE setMoveToTrash NOTIFY changed)
    Q_PROPERTY(bool autoLogin READ autoLogin WRITE setAutoLogin NOTIFY changed)
    Q_PROPERTY(bool autopause READ autopause WRITE setAutopause NOTIFY changed)
    Q_PROPERTY(bool countAudio READ countAudio WRITE setCountAudio NOTIFY changed)
    Q_PROPERTY(bool countVideo READ countVideo WRITE setCountVideo NOTIFY changed)
    Q_PROPERTY(bool notifyTrackChange READ notifyTrackChange WRITE setNotifyTrackChange NOTIFY changed)
    Q_PROPERTY(QStringList replayGainLabels READ replayGainLabels CONSTANT)
    Q_PROPERTY(int replayGainIndex READ replayGainIndex WRITE setReplayGainIndex NOTIFY changed)
    Q_PROPERTY(QStringList colorSchemeLabels READ colorSchemeLabels CONSTANT)
    Q_PROPERTY(int colorSchemeIndex READ colorSchemeIndex WRITE setColorSchemeIndex NOTIFY changed)
    Q_PROPERTY(ProgressOverlay *hud READ hud NOTIFY hudChanged)

public:
    enum AlertTag { MoveQuestion = 1, MoveProblem = 2 };
    Q_ENUM(AlertTag)

    explicit SettingsPage(QObject *parent = nullptr);
    ~SettingsPage() override;

    // The values as written ("video/quality" …, in the order of the labels).
    static const QStringList videoQualities;
    static const QStringList replayGains;
    static const QStringList colorSchemes;

    // Takes the program's claim on a documents folder (the single-instance socket) to `root`; false when
    // another running program holds it. Set by main(); without it the move goes ahead.
    static void setRootClaim(std::function<bool(const QString &root)> claim);

    QString documentsFolder() const;
    QStringList videoQualityLabels() const;
    int videoQualityIndex() const;
    void setVideoQualityIndex(int index);
    bool askQuality() const;
    void setAskQuality(bool on);
    bool moveToTrash() const;
    void setMoveToTrash(bool on);
    bool autoLogin() const;
    void setAutoLogin(bool on);
    bool autopause() const;
    void setAutopause(bool on);
    bool countAudio() const;
    void setCountAudio(bool on);
    bool countVideo() const;
    void setCountVideo(bool on);
    bool notifyTrackChange() const;
    void setNotifyTrackChange(bool on);
    QStringList replayGainLabels() const;
    int replayGainIndex() const;
    void setReplayGainIndex(int index);
    QStringList colorSchemeLabels() const;
    int colorSchemeIndex() const;
    void setColorSchemeIndex(int index);
    ProgressOverlay *hud() const { return m_hud; }

    // The user picked `folder` (a path or a file URL) as the new documents folder: refused with the reason,
    // or asked about ("Отмена" / "Перенести").
    Q_INVOKABLE void chooseDocumentsFolder(const QString &folder);
    Q_INVOKABLE void alertAnswered(int tag, int index);

Q_SIGNALS:
    void changed();
    void hudChanged();
    void alertRequested(const QString &title, const QString &message, const QStringList &buttons, int tag);
    // The files are in the new folder and it is the program's root now.
    void documentsMoved(const QString &folder);

private:
    void moveDocuments(const QString &target);
    void finishMove(bool ok, const QString &target, const QString &error);

    QString m_pendingTarget;
    QPointer<ProgressOverlay> m_hud;
};
