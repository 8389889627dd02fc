#include "screens/MediaExport.h"

#include "decoding/Log.h"
#include "decoding/Text.h"
#include "screens/LibraryFollowsDownloads.h"

#include <QCoreApplication>
#include <QFileInfo>

MediaExport::MediaExport(Media media, Settings *settings, QObject *parent)
    : LibraryBrowser(media, ExportScreen, settings, parent)
{
    followFinishedDownloads(this);
}

void MediaExport::rowSelected(int row)
{
    const QString name = entryName(row);
    if (name.isEmpty())
        return;
    m_filePath = fullPath(name);
    m_fileName = name;
    Q_EMIT selectionChanged();
    if (isFolder(name)) {
        enterFolder(name);
        return;
    }
    Q_EMIT scrollToRow(row, Middle, true);
    Q_EMIT actionSheetRequested({tr("Открыть с помощью..."), tr("Отправить по e-mail")}, tr("Отмена"));
}

void MediaExport::actionSheetClickedButtonAtIndex(int index)
{
    if (index == OpenWith)
        presentOpenInMenu();
    else if (index == SendByEmail)
        presentMailComposer();
}

bool MediaExport::fileReadable()
{
    const QFileInfo info(m_filePath);
    if (info.isFile() && info.isReadable())
        return true;
    // The file went away or cannot be read since it was listed: say so instead of handing on nothing.
    Q_EMIT alertRequested(tr("Ошибка"), tr("Не удалось прочитать файл %1").arg(m_fileName), {tr("Готово")},
                          ErrorAlert);
    return false;
}

void MediaExport::presentOpenInMenu()
{
    if (!fileReadable())
        return;
    Portals::openFile(m_filePath, this, [this](Portals::OpenResult result) {
        if (result == Portals::OpenResult::NoApplication)
            Q_EMIT alertRequested(
                tr("Ошибка"),
                tr("Не найдено ни одного подходящего приложения для экспорта данного типа файлов"),
                {tr("Готово")}, ErrorAlert);
        Q_EMIT openFinished(int(result));
    });
}

void MediaExport::presentMailComposer()
{
    if (!fileReadable())
        return;
    Portals::Email email;
    email.subject = m_fileName;
    email.body = tr("Файл отправлен из приложения ВКонтакте Melodrop");
    email.attachmentPath = m_filePath;
    Portals::composeEmail(
        email, this, [this](Portals::MailResult result) { mailComposeControllerDidFinish(int(result)); });
}

QString MediaExport::mailResultLine(int result)
{
    switch (result) {
    case int(Portals::MailResult::Cancelled):
        return QStringLiteral("Result: canceled");
    case int(Portals::MailResult::Saved):
        return QStringLiteral("Result: saved");
    case int(Portals::MailResult::Sent):
        return QStringLiteral("Result: sent");
    case int(Portals::MailResult::Failed):
        return QStringLiteral("Result: failed");
    default:
        return QStringLiteral("Result: not sent");
    }
}

void MediaExport::mailComposeControllerDidFinish(int result)
{
    Log::line(mailResultLine(result));
    Q_EMIT mailFinished(result);
}
