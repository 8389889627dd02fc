// The property-list reader (saved playlists, request-state files) on arbitrary XML or binary bytes.
#include "FuzzSupport.h"

#include "core/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    PropertyList::fromData(FuzzSupport::bytes(data, size));
    return 0;
}
