// The audio search's page-reading step on an arbitrary answer.
#include "FuzzSupport.h"

#include "service/AudioSearchPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    parseAudioSearchPage(QString::fromUtf8(FuzzSupport::bytes(data, size)));
    return 0;
}
