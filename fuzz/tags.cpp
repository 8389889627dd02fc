// The tag reader on arbitrary bytes through TagLib's in-memory stream, read as MPEG and as MP4. Reading the
// cover runs the whole reading (texts, numbers, duration, every picture), so it is the one call made.
#include "FuzzSupport.h"

#include "library/TagReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    for (const TagReader::Format format : {TagReader::Format::Mpeg, TagReader::Format::Mp4}) {
        const TagReader::Cover cover = TagReader::readCoverBytes(input, format);
        // A cover is only ever a picture whose bytes say which format it is.
        if (!cover.isNull() && (cover.mimeType.isEmpty() || cover.suffix.isEmpty()))
            __builtin_trap();
    }
    return 0;
}
