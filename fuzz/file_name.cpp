// File-name cleaning of downloads and playlists: whatever the title, the name is never empty, holds no
// separator, and a cut to a byte budget stays within it and keeps whole characters.
#include "FuzzSupport.h"

#include "core/Storage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    const QByteArray input = FuzzSupport::bytes(data, size);
    QString title = QString::fromUtf8(input);
    // Raw UTF-16 too, so that lone surrogates reach the cleaner.
    const QString units = QString(reinterpret_cast<const QChar *>(input.constData()), input.size() / 2);
    for (const QString &text : {title, units}) {
        for (const QString &name :
             {Storage::clearDownloadFileName(text), Storage::clearPlaylistFileName(text)}) {
            if (name.isEmpty() || name.contains(QLatin1Char('/')))
                __builtin_trap();
        }
        const int budget = size > 0 ? data[0] : 0;
        const QString cut = Storage::cutToUtf8Bytes(text, budget);
        if (cut.toUtf8().size() > budget || !text.startsWith(cut))
            __builtin_trap();
        if (!cut.isEmpty() && cut.back().isHighSurrogate() && text.size() > cut.size() &&
            text.at(cut.size()).isLowSurrogate())
            __builtin_trap();
    }
    return 0;
}
