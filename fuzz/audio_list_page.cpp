// The audio lists' page-reading step on an arbitrary answer; the first byte picks the list kind.
#include "FuzzSupport.h"

#include "service/AudioListPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    if (size == 0)
        return 0;
    parseAudioListPage(QString::fromUtf8(FuzzSupport::bytes(data + 1, size - 1)), data[0] % 3);
    return 0;
}
