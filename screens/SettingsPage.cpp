#include "screens/SettingsPage.h"

#include "core/Settings.h"
#include "core/SettingsEvents.h"
#include "core/StorageLayout.h"
#include "desktop/ColorScheme.h"
#include "desktop/TrackNotice.h"
#include "library/DocumentsMove.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicDeck.h"
#include "screens/ProgressOverlay.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>

#include <utility>

namespace {

const QString qualityKey = QStringLiteral("video/quality");
const QString askQualityKey = QStringLiteral("video/ask_quality");
const QString trashKey = QStringLiteral("library/move_to_trash");
const QString documentsKey = QStringLiteral("library/documents_folder");

std::function<bool(const QString &)> rootClaim;

// The page shows a default without writing it: the key stays absent until the user changes it.
bool flag(const QString &key, bool defaultValue)
{
    Settings &settings = Settings::shared();
    return settings.contains(key) ? settings.boolValue(key, defaultValue) : defaultValue;
}

void setFlag(const QString &key, bool on)
{
    Settings::shared().setBool(key, on);
}

int indexIn(const QStringList &values, const QString &value, int fallback)
{
    const qsizetype index = values.indexOf(value);
    return index >= 0 ? int(index) : fallback;
}

} // namespace

const QStringList SettingsPage::videoQualities = {QString(), QStringLiteral("240"), QStringLiteral("360"),
                                                  QStringLiteral("480"), QStringLiteral("720")};
const QStringList SettingsPage::replayGains = {QStringLiteral("off"), QStringLiteral("track"),
                                               QStringLiteral("album")};
const QStringList SettingsPage::colorSchemes = {QStringLiteral("system"), QStringLiteral("light"),
                                                QStringLiteral("dark")};

SettingsPage::SettingsPage(QObject *parent) : QObject(parent)
{
    // Whoever wrote it (this page, another page, the program itself), the page shows what is stored.
    connect(&SettingsEvents::shared(), &SettingsEvents::changed, this, &SettingsPage::changed);
}

SettingsPage::~SettingsPage() = default;

void SettingsPage::setRootClaim(std::function<bool(const QString &)> claim)
{
    rootClaim = std::move(claim);
}

QString SettingsPage::documentsFolder() const
{
    return QDir::toNativeSeparators(StorageLayout::getRootDir());
}

QStringList SettingsPage::videoQualityLabels() const
{
    return {tr("Не выбрано"), QStringLiteral("240p"), QStringLiteral("360p"), QStringLiteral("480p"),
            QStringLiteral("720p")};
}

int SettingsPage::videoQualityIndex() const
{
    return indexIn(videoQualities, Settings::shared().stringValue(qualityKey), 0);
}

void SettingsPage::setVideoQualityIndex(int index)
{
    if (index >= 0 && index < videoQualities.size())
        Settings::shared().setString(qualityKey, videoQualities.at(index));
}

bool SettingsPage::askQuality() const
{
    return flag(askQualityKey, false);
}

void SettingsPage::setAskQuality(bool on)
{
    setFlag(askQualityKey, on);
}

bool SettingsPage::moveToTrash() const
{
    return flag(trashKey, false);
}

void SettingsPage::setMoveToTrash(bool on)
{
    setFlag(trashKey, on);
}

bool SettingsPage::autoLogin() const
{
    return flag(QStringLiteral("auto_login"), false);
}

void SettingsPage::setAutoLogin(bool on)
{
    setFlag(QStringLiteral("auto_login"), on);
}

bool SettingsPage::autopause() const
{
    return flag(QStringLiteral("settings_autopause"), true);
}

void SettingsPage::setAutopause(bool on)
{
    setFlag(QStringLiteral("settings_autopause"), on);
}

bool SettingsPage::countAudio() const
{
    return flag(QStringLiteral("count_audio"), true);
}

void SettingsPage::setCountAudio(bool on)
{
    setFlag(QStringLiteral("count_audio"), on);
}

bool SettingsPage::countVideo() const
{
    return flag(QStringLiteral("count_video"), true);
}

void SettingsPage::setCountVideo(bool on)
{
    setFlag(QStringLiteral("count_video"), on);
}

bool SettingsPage::notifyTrackChange() const
{
    return flag(QLatin1String(TrackNotice::settingKey), false);
}

void SettingsPage::setNotifyTrackChange(bool on)
{
    setFlag(QLatin1String(TrackNotice::settingKey), on);
}

QStringList SettingsPage::replayGainLabels() const
{
    return {tr("Выключено"), tr("По треку"), tr("По альбому")};
}

int SettingsPage::replayGainIndex() const
{
    return indexIn(replayGains, Settings::shared().stringValue(QLatin1String(MusicDeck::replayGainKey)), 1);
}

void SettingsPage::setReplayGainIndex(int index)
{
    if (index >= 0 && index < replayGains.size())
        Settings::shared().setString(QLatin1String(MusicDeck::replayGainKey), replayGains.at(index));
}

QStringList SettingsPage::colorSchemeLabels() const
{
    return {tr("Как в системе"), tr("Светлая"), tr("Тёмная")};
}

int SettingsPage::colorSchemeIndex() const
{
    return indexIn(colorSchemes, Settings::shared().stringValue(QLatin1String(ColorScheme::settingKey)), 0);
}

void SettingsPage::setColorSchemeIndex(int index)
{
    if (index >= 0 && index < colorSchemes.size())
        Settings::shared().setString(QLatin1String(ColorScheme::settingKey), colorSchemes.at(index));
}

void SettingsPage::chooseDocumentsFolder(const QString &folder)
{
    if (m_hud)
        return; // a move is under way
    const QUrl url(folder);
    const QString target = url.isLocalFile() ? url.toLocalFile() : folder;
    const QString root = StorageLayout::getRootDir();
    const QString problem = DocumentsMove::refusal(root, target);
    if (!problem.isEmpty()) {
        Q_EMIT alertRequested(tr("Папка документов"), problem, {tr("Готово")}, MoveProblem);
        return;
    }
    m_pendingTarget = QDir::cleanPath(QDir(target).absolutePath());
    Q_EMIT alertRequested(tr("Перенести документы?"),
                          tr("Все файлы программы будут перенесены из «%1» в «%2».")
                              .arg(QDir::toNativeSeparators(root), QDir::toNativeSeparators(m_pendingTarget)),
                          {tr("Отмена"), tr("Перенести")}, MoveQuestion);
}

void SettingsPage::alertAnswered(int tag, int index)
{
    if (tag != MoveQuestion)
        return;
    const QString target = std::exchange(m_pendingTarget, QString());
    if (index == 1 && !target.isEmpty())
        moveDocuments(target);
}

void SettingsPage::moveDocuments(const QString &target)
{
    const QString root = StorageLayout::getRootDir();
    // One program per documents folder: the new one is claimed before a file moves.
    if (rootClaim && !rootClaim(target)) {
        Q_EMIT alertRequested(tr("Папка документов"),
                              tr("Эту папку уже использует другая запущенная копия программы."),
                              {tr("Готово")}, MoveProblem);
        return;
    }
    auto *hud = ProgressOverlay::withTexts(this, tr("Перенос документов..."), QString(), 0.5f, false);
    hud->setMode(ProgressOverlay::Determinate);
    connect(hud, &ProgressOverlay::hudWasHidden, this, [this](ProgressOverlay *hidden) {
        if (hidden == m_hud) {
            m_hud = nullptr;
            Q_EMIT hudChanged();
        }
        hidden->deleteLater();
    });
    m_hud = hud;
    Q_EMIT hudChanged();
    const QPointer<SettingsPage> page(this);
    hud->showWhileExecuting(
        [hud, page, root, target] {
            const DocumentsMove::Result result =
                DocumentsMove::move(root, target, [hud](int done, int total) {
                    hud->setProgress(total > 0 ? float(done) / float(total) : 1.0f);
                    hud->setDetailsLabelText(tr("%1 из %2").arg(done).arg(total));
                });
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [page, root, target, result] {
                    if (page)
                        page->finishMove(result.ok, target, result.error);
                    else if (result.ok)
                        StorageLayout::setRootDir(target);
                    else if (rootClaim)
                        rootClaim(root);
                },
                Qt::BlockingQueuedConnection);
        },
        true);
}

void SettingsPage::finishMove(bool ok, const QString &target, const QString &error)
{
    if (!ok) {
        if (rootClaim)
            rootClaim(StorageLayout::getRootDir()); // the files stayed: so does the program
        Q_EMIT alertRequested(tr("Документы не перенесены"), error, {tr("Готово")}, MoveProblem);
        return;
    }
    Settings::shared().setString(documentsKey, target);
    StorageLayout::setRootDir(target);
    Q_EMIT changed();
    Q_EMIT documentsMoved(target);
}
