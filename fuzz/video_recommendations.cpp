// The video recommendations section read from arbitrary bytes.
#include "FuzzSupport.h"

#include "service/VideoPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    VideoPage::readRecommendations(QString::fromUtf8(FuzzSupport::bytes(data, size)),
                                   QStringLiteral("vk.test"));
    return 0;
}
