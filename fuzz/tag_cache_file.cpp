// The tag cache's file on arbitrary bytes (it is read at every start, whatever a crash or a full disk left):
// what is accepted writes out and reads back as the same entries.
#include "FuzzSupport.h"

#include "library/TagCacheFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    const TagCacheFile::Entries entries = TagCacheFile::parse(input);
    if (!entries.isEmpty() && TagCacheFile::parse(TagCacheFile::serialize(entries)).size() != entries.size())
        __builtin_trap();
    return 0;
}
