// The readers of playlists from other programs (M3U, PLS, XSPF) on arbitrary bytes, as a file handed over or
// chosen by the user may hold anything: every entry read maps to a cleaned absolute path or to nothing.
#include "FuzzSupport.h"

#include "library/PlaylistExchange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    const QByteArray input = FuzzSupport::bytes(data, size);
    const QString folder = QStringLiteral("/lists");
    for (const PlaylistExchange::Format format :
         {PlaylistExchange::Format::M3u, PlaylistExchange::Format::Pls, PlaylistExchange::Format::Xspf}) {
        const bool uriOnly = format == PlaylistExchange::Format::Xspf;
        for (const QString &entry : PlaylistExchange::parse(input, format)) {
            const QString path = PlaylistExchange::localPath(entry, folder, uriOnly);
            if (!path.isEmpty() && (!path.startsWith(QLatin1Char('/')) || path.contains(QChar(0))))
                __builtin_trap();
        }
    }
    return 0;
}
