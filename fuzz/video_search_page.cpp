// The video search's page reading on an arbitrary answer; the first byte picks the quality code.
#include "FuzzSupport.h"

#include "service/VideoPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    if (size == 0)
        return 0;
    // Codes 0..3 and two outside them.
    const int quality = int(data[0] % 6) - 1;
    VideoPage::readSearchPage(QString::fromUtf8(FuzzSupport::bytes(data + 1, size - 1)), quality,
                              QStringLiteral("vk.test"));
    return 0;
}
