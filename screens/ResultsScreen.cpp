#include "screens/ResultsScreen.h"

ResultsScreen::ResultsScreen(QObject *parent)
    : QObject(parent), m_overlays(new OverlayHost(this, [this] {
          setSearchBusy(false);
          setTableBusy(false);
      }))
{
    connect(m_overlays, &OverlayHost::currentChanged, this, &ResultsScreen::hudChanged);
}

void ResultsScreen::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    Q_EMIT titleChanged();
}

void ResultsScreen::setSearchText(const QString &text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    Q_EMIT searchTextChanged();
}

void ResultsScreen::setSearchBusy(bool busy)
{
    m_searchBusy = busy;
    Q_EMIT busyChanged();
}

void ResultsScreen::setTableBusy(bool busy)
{
    m_tableBusy = busy;
    Q_EMIT busyChanged();
}

void ResultsScreen::showOverlay(const QString &label, const QString &details, float minShowTime,
                                bool textOnly, std::function<void(ProgressOverlay *)> operation)
{
    m_overlays->run(label, details, minShowTime, textOnly, std::move(operation));
}

RecordResultsScreen::RecordResultsScreen(Kind kind, QObject *parent) : ResultsScreen(parent), m_kind(kind) {}

void RecordResultsScreen::setSortIndex(int index)
{
    if (index == m_sortIndex)
        return;
    m_sortIndex = index;
    Q_EMIT sortIndexChanged();
}

void RecordResultsScreen::setPlaceholder(const QString &text)
{
    if (text == m_placeholder)
        return;
    m_placeholder = text;
    Q_EMIT placeholderChanged();
}

void RecordResultsScreen::setAddingRecords(bool adding)
{
    if (adding == m_addingRecords)
        return;
    m_addingRecords = adding;
    Q_EMIT addingRecordsChanged();
}

void RecordResultsScreen::setSortEnabled(bool enabled)
{
    m_sortEnabled = enabled;
    Q_EMIT sortEnabledChanged();
}
