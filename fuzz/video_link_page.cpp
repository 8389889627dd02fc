// The video page's player variables read from arbitrary bytes, and the other qualities' addresses derived
// from whatever address comes out.
#include "FuzzSupport.h"

#include "service/VideoPage.h"
#include "service/VKontakteWorks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    const QString result = VideoPage::readLinkPage(QString::fromUtf8(FuzzSupport::bytes(data, size)));
    if (result.size() > 1) {
        for (int lines : {240, 360, 480, 720})
            VKontakteWorks::videoLinkWithLines(result, lines);
    }
    return 0;
}
