// The property-list readers (saved playlists, request-state files) on arbitrary XML or binary bytes. What
// they accept, the writer must write in a form they accept again: a playlist that was read is never saved as
// one that cannot be.
#include "FuzzSupport.h"

#include "core/PropertyList.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    const std::optional<QVariant> value = PropertyList::fromData(FuzzSupport::bytes(data, size));
    if (!value)
        return 0;
    const std::optional<QByteArray> xml = PropertyList::toXml(*value);
    if (!xml || !PropertyList::fromData(*xml))
        std::abort();
    return 0;
}
