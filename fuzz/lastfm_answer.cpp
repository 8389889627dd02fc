// The Last.fm answers' reading on arbitrary text; the first byte picks album search or track list. An answer the
// rules cannot follow throws LastFm::Unreadable, which the callers catch; anything else escaping is a fault.
#include "FuzzSupport.h"

#include "service/LastFm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    if (size == 0)
        return 0;
    const QString answer = QString::fromUtf8(FuzzSupport::bytes(data + 1, size - 1));
    try {
        if (data[0] % 2 == 0)
            LastFm::readAlbums(answer);
        else
            LastFm::readTracks(answer);
    } catch (const LastFm::Unreadable &) {
    }
    return 0;
}
