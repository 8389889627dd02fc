#pragma once

#include "screens/FriendsGroupsModel.h"
#include "screens/OverlayHost.h"
#include "screens/ProgressOverlay.h"
#include "screens/ScreenLink.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

// The friends-and-groups screen: loads the user's friends or communities into the shared list, shows them in
// sections by first letter with a side index, copies a row's number to the clipboard, and opens the audio or
// video list of a row's person or community.
class Friends_and_Groups : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title NOTIFY titleChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(QStringList alphabet READ alphabet NOTIFY alphabetChanged)
    Q_PROPERTY(FriendsGroupsModel *rows READ rows CONSTANT)
    Q_PROPERTY(ProgressOverlay *hud READ hud NOTIFY hudChanged)
    // The list holds communities (the last one loaded was), not friends.
    Q_PROPERTY(bool groups READ groups NOTIFY groupsChanged)

public:
    enum ScrollPosition { Top = 0, Middle = 1 };
    Q_ENUM(ScrollPosition)
    // Where a copied number goes; the system clipboard unless set otherwise.
    using Pasteboard = std::function<void(const QString &text)>;

    explicit Friends_and_Groups(QObject *parent = nullptr);

    QString title() const { return m_title; }
    bool busy() const { return m_busy; }
    QStringList alphabet() const { return m_alphabet; }
    FriendsGroupsModel *rows() const { return m_model; }
    ProgressOverlay *hud() const { return m_overlays->current(); }
    static bool groups() { return s_groups; }
    void setPasteboard(Pasteboard pasteboard) { m_pasteboard = std::move(pasteboard); }

    Q_INVOKABLE void viewDidLoad();
    Q_INVOKABLE void viewWillAppear();
    Q_INVOKABLE void getFriends();
    Q_INVOKABLE void getGroups();
    // The row's button: its number goes to the clipboard.
    Q_INVOKABLE void accessoryButtonTapped(int row);
    // The audio or video list of the row's person (Audio_Personal, Video_Personal) or community (Audio_Group,
    // Video_Group), asked for through listRequested.
    Q_INVOKABLE void openAudio(int row);
    Q_INVOKABLE void openVideo(int row);
    // The side index: the row a tap on the section's letter shows (-1: none).
    Q_INVOKABLE int sectionForSectionIndexTitle(int section) const;

Q_SIGNALS:
    void titleChanged();
    void busyChanged();
    void alphabetChanged();
    void hudChanged();
    void scrollToRow(int row, int position, bool animated);
    void groupsChanged();
    // The screen `screen` is to show the list of `number`, titled `name`.
    void listRequested(const QString &screen, const QString &number, const QString &name);

private:
    void load(bool friends);
    void showOverlay(const QString &label, const QString &details, bool textOnly,
                     std::function<void(ProgressOverlay *)> operation);
    // Sections, rows and title from the store; `toFirstRow` after a load, not when the screen is shown again.
    void reloadTable(bool toFirstRow);
    void setBusy(bool busy);
    void openList(int row, bool video);

    QString m_title;
    bool m_busy = false;
    QStringList m_alphabet;
    FriendsGroupsModel *m_model = nullptr;
    OverlayHost *m_overlays;
    Pasteboard m_pasteboard;
    // Which list the shared one is outlives the screen, as the list does. Main thread only.
    static inline bool s_groups = false;
};
