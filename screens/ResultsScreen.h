#pragma once

#include "screens/OverlayHost.h"
#include "screens/ProgressOverlay.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// What every screen with a search field and a list of results has: its title, the field's text, the two
// busy flags (a search runs; the list is being changed) and the overlay its operations run under, which
// gives the input back when it goes.
class ResultsScreen : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(bool searchBusy READ searchBusy NOTIFY busyChanged)
    Q_PROPERTY(bool tableBusy READ tableBusy NOTIFY busyChanged)
    Q_PROPERTY(ProgressOverlay *hud READ hud NOTIFY hudChanged)

public:
    enum ScrollPosition { Top = 0, Middle = 1 };
    Q_ENUM(ScrollPosition)

    QString title() const { return m_title; }
    void setTitle(const QString &title);
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    bool searchBusy() const { return m_searchBusy; }
    bool tableBusy() const { return m_tableBusy; }
    ProgressOverlay *hud() const { return m_overlays->current(); }

    // What the view tells every results screen.
    Q_INVOKABLE virtual void viewDidLoad() = 0;
    Q_INVOKABLE virtual void viewWillAppear() = 0;
    Q_INVOKABLE virtual void searchBarSearchButtonClicked() = 0;
    Q_INVOKABLE virtual void searchBarCancelButtonClicked() = 0;
    Q_INVOKABLE virtual void rowSelected(int row) = 0;
    // The search field was entered or left; a screen without selectors to open has nothing to do.
    Q_INVOKABLE virtual void searchBarTextDidBeginEditing() {}
    Q_INVOKABLE virtual void searchBarTextDidEndEditing() {}
    // The answer to an alertRequested question.
    Q_INVOKABLE virtual void alertAnswered(int tag, int index)
    {
        Q_UNUSED(tag);
        Q_UNUSED(index);
    }

Q_SIGNALS:
    void titleChanged();
    void searchTextChanged();
    void busyChanged();
    void hudChanged();
    void scrollToRow(int row, int position, bool animated);
    void keyboardDismissed();
    // A question (or a notice) for the user; the answer comes back to the screen's alertAnswered.
    void alertRequested(const QString &title, const QString &message, const QStringList &buttons, int tag);

protected:
    explicit ResultsScreen(QObject *parent);

    void setSearchBusy(bool busy);
    void setTableBusy(bool busy);
    // Runs `operation` on a background thread under an overlay saying `label`/`details`.
    void showOverlay(const QString &label, const QString &details, float minShowTime, bool textOnly,
                     std::function<void(ProgressOverlay *)> operation);
    OverlayHost *overlays() const { return m_overlays; }

private:
    QString m_title;
    QString m_searchText;
    bool m_searchBusy = false;
    bool m_tableBusy = false;
    OverlayHost *m_overlays;
};

// The audio and video result screens: one of four lists (search, a user's, a community's, recommendations),
// with the field's hint, the sort choice and the flag of a further page being read.
class RecordResultsScreen : public ResultsScreen
{
    Q_OBJECT
    Q_PROPERTY(QString placeholder READ placeholder NOTIFY placeholderChanged)
    Q_PROPERTY(bool addingRecords READ addingRecords NOTIFY addingRecordsChanged)
    Q_PROPERTY(int sortIndex READ sortIndex WRITE setSortIndex NOTIFY sortIndexChanged)
    Q_PROPERTY(bool sortEnabled READ sortEnabled NOTIFY sortEnabledChanged)
    Q_PROPERTY(bool hasSelfButton READ hasSelfButton CONSTANT)
    Q_PROPERTY(int kind READ kind CONSTANT)

public:
    enum Kind { Search = 0, Personal = 1, Group = 2, Recommended = 3 };
    Q_ENUM(Kind)

    int kind() const { return m_kind; }
    QString placeholder() const { return m_placeholder; }
    bool addingRecords() const { return m_addingRecords; }
    int sortIndex() const { return m_sortIndex; }
    void setSortIndex(int index);
    bool sortEnabled() const { return m_sortEnabled; }
    // The personal and recommended screens fill in the signed-in user's own number.
    bool hasSelfButton() const { return m_kind == Personal || m_kind == Recommended; }

Q_SIGNALS:
    void placeholderChanged();
    void addingRecordsChanged();
    void sortIndexChanged();
    void sortEnabledChanged();

protected:
    RecordResultsScreen(Kind kind, QObject *parent);

    void setPlaceholder(const QString &text);
    void setAddingRecords(bool adding);
    void setSortEnabled(bool enabled);

    const Kind m_kind;

private:
    QString m_placeholder;
    bool m_addingRecords = false;
    int m_sortIndex = 0;
    bool m_sortEnabled = true;
};
