// The friends and communities pages' reading on an arbitrary answer; the first byte picks the page.
#include "FuzzSupport.h"

#include "service/FriendsPages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    if (size == 0)
        return 0;
    const QString body = QString::fromUtf8(FuzzSupport::bytes(data + 1, size - 1));
    if (data[0] % 2 == 0)
        FriendsPages::readFriends(body);
    else
        FriendsPages::readGroups(body);
    return 0;
}
