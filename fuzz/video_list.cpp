// The silent video list loader's answer (an object literal in single quotes) read from arbitrary bytes.
#include "FuzzSupport.h"

#include "service/VideoPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    VideoPage::readList(QString::fromUtf8(FuzzSupport::bytes(data, size)), QStringLiteral("vk.test"));
    return 0;
}
