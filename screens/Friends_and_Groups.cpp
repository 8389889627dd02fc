#include "screens/Friends_and_Groups.h"

#include "core/GlobalData.h"
#include "core/Pacing.h"
#include "core/Stores.h"
#include "decoding/Text.h"
#include "service/VKontakteWorks.h"

#include <QClipboard>
#include <QGuiApplication>

Friends_and_Groups::Friends_and_Groups(QObject *parent)
    : QObject(parent), m_model(new FriendsGroupsModel(this)),
      m_overlays(new OverlayHost(this, [this] { setBusy(false); }))
{
    connect(m_overlays, &OverlayHost::currentChanged, this, &Friends_and_Groups::hudChanged);
}

void Friends_and_Groups::setBusy(bool busy)
{
    m_busy = busy;
    Q_EMIT busyChanged();
}

void Friends_and_Groups::viewDidLoad()
{
    if (m_pasteboard)
        return;
    // Without a GUI application (a command-line host) there is no clipboard to fill.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
        m_pasteboard = [](const QString &text) { QGuiApplication::clipboard()->setText(text); };
}

void Friends_and_Groups::viewWillAppear()
{
    reloadTable(false);
}

void Friends_and_Groups::showOverlay(const QString &label, const QString &details, bool textOnly,
                                     std::function<void(ProgressOverlay *)> operation)
{
    m_overlays->run(label, details, 1.0f, textOnly, std::move(operation));
}

void Friends_and_Groups::getFriends()
{
    load(true);
}

void Friends_and_Groups::getGroups()
{
    load(false);
}

void Friends_and_Groups::load(bool friends)
{
    if (m_busy)
        return;
    setBusy(true);
    if (GlobalData::sharedGlobalData()->vksid().isEmpty()) {
        showOverlay(tr("Ошибка"), tr("Не выполнен вход"), true, [](ProgressOverlay *) { Pacing::pause(1); });
        return;
    }
    // The load reaches the screen only through the link: the screen may be closed while it runs.
    showOverlay(tr("Выполняется поиск..."), QString(), false,
                [link = ScreenLink<Friends_and_Groups>(this), friends](ProgressOverlay *hud) {
                    const ServiceAnswer<QStringList> records =
                        friends ? VKontakteWorks::getSelfFriends() : VKontakteWorks::getSelfGroups();
                    if (records.noAnswer()) {
                        // Nobody answered: the list shown stays as it was.
                        hud->reportServiceUnavailable();
                        return;
                    }
                    if (!link.run([&records, friends](Friends_and_Groups &screen) {
                            Stores::friendsGroups().assign(records.value_or(QStringList()));
                            if (s_groups == friends) {
                                s_groups = !friends;
                                Q_EMIT screen.groupsChanged();
                            }
                        }))
                        return;
                    Pacing::pause(1);
                    link.run([](Friends_and_Groups &screen) { screen.reloadTable(true); });
                });
}

void Friends_and_Groups::reloadTable(bool toFirstRow)
{
    const QStringList &records = Stores::friendsGroups().records();
    const QStringList alphabet = FriendsGroupsModel::alphabetOf(records);
    if (alphabet != m_alphabet) {
        m_alphabet = alphabet;
        Q_EMIT alphabetChanged();
    }
    m_model->reload(records, m_alphabet);
    const QString title = tr("Всего: %1").arg(records.size());
    if (title != m_title) {
        m_title = title;
        Q_EMIT titleChanged();
    }
    // A list just loaded starts at its first row; the screen shown again stays where it was.
    if (toFirstRow && !m_alphabet.isEmpty() && m_model->rowsInSection(0) > 0)
        Q_EMIT scrollToRow(0, Top, true);
}

void Friends_and_Groups::accessoryButtonTapped(int row)
{
    if (m_busy || row < 0 || row >= m_model->rowCount())
        return;
    Q_EMIT scrollToRow(row, Middle, true);
    m_overlays->notice(tr("Уведомление"), tr("ID скопирован в буфер"), 1.0f);
    if (m_pasteboard)
        m_pasteboard(FriendsGroupsModel::number(m_model->record(row)));
}

void Friends_and_Groups::openAudio(int row)
{
    openList(row, false);
}

void Friends_and_Groups::openVideo(int row)
{
    openList(row, true);
}

void Friends_and_Groups::openList(int row, bool video)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QString record = m_model->record(row);
    const QString screen =
        QLatin1String(video ? "Video_" : "Audio_") + QLatin1String(s_groups ? "Group" : "Personal");
    Q_EMIT listRequested(screen, FriendsGroupsModel::number(record), FriendsGroupsModel::name(record));
}

int Friends_and_Groups::sectionForSectionIndexTitle(int section) const
{
    return m_model->firstRowOfSection(section);
}
