// The binary property-list reader ("bplist00"): objects are found through the offset table and visited with
// an explicit stack of open arrays and dictionaries, so that neither the nesting nor a list that names itself
// can exhaust the stack. Every offset, length and reference is checked against the file before it is used.
#include "core/PropertyListReaders.h"

#include <QString>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace PropertyList::Readers {
namespace {

class BinaryReader
{
public:
    BinaryReader(const unsigned char *data, qsizetype size, Handler &handler)
        : d(data), size(quint64(size)), handler(handler)
    {}

    Error run();

private:
    struct Frame
    {
        quint64 object;
        quint64 refs; // where the references start
        quint64 count;
        quint64 next;
        bool dict;
    };

    quint64 bigEndian(quint64 pos, unsigned bytes) const;
    bool fits(quint64 pos, quint64 bytes) const { return pos <= limit && bytes <= limit - pos; }
    bool length(quint64 &pos, unsigned info, quint64 &count) const;
    Error value(quint64 object, bool isKey);

    const unsigned char *const d;
    const quint64 size;
    Handler &handler;
    quint64 limit = 0; // the objects end where the offset table starts
    unsigned offsetSize = 0;
    unsigned refSize = 0;
    quint64 objectCount = 0;
    quint64 offsetTable = 0;
    std::vector<Frame> stack;
    std::vector<bool> open; // per object: an array or dictionary being visited, to find one inside itself
    // References left to follow. A shared object is visited once per reference: a few bytes naming one array
    // again and again would otherwise expand without bound. Each reference takes at least a byte of the file
    // and writers share texts and numbers, rarely arrays, so a real list follows fewer references than it has
    // bytes.
    quint64 budget = 0;
};

quint64 BinaryReader::bigEndian(quint64 pos, unsigned bytes) const
{
    quint64 value = 0;
    for (unsigned i = 0; i < bytes; ++i)
        value = (value << 8) | d[pos + i];
    return value;
}

Error BinaryReader::run()
{
    constexpr quint64 headerSize = 8;
    constexpr quint64 trailerSize = 32;
    if (size < headerSize + trailerSize + 2 || std::memcmp(d, "bplist00", headerSize) != 0)
        return Error::Malformed;
    const quint64 trailer = size - trailerSize;
    offsetSize = d[trailer + 6];
    refSize = d[trailer + 7];
    objectCount = bigEndian(trailer + 8, 8);
    const quint64 top = bigEndian(trailer + 16, 8);
    offsetTable = bigEndian(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || objectCount == 0 ||
        top >= objectCount || offsetTable < headerSize || offsetTable > trailer ||
        objectCount > (trailer - offsetTable) / offsetSize)
        return Error::Malformed;
    limit = offsetTable;
    open.assign(objectCount, false);
    budget = size;

    if (const Error error = value(top, false); error != Error::None)
        return error;
    while (!stack.empty()) {
        Frame &frame = stack.back();
        if (frame.next == frame.count) {
            open[frame.object] = false;
            stack.pop_back();
            handler.endContainer();
            continue;
        }
        if (budget == 0)
            return Error::TooLarge;
        --budget;
        const quint64 i = frame.next++;
        // `frame` is not used below: visiting a value may grow the stack.
        if (frame.dict) {
            const quint64 key = bigEndian(frame.refs + i * refSize, refSize);
            const quint64 item = bigEndian(frame.refs + (frame.count + i) * refSize, refSize);
            if (const Error error = value(key, true); error != Error::None)
                return error;
            if (const Error error = value(item, false); error != Error::None)
                return error;
        } else if (const Error error = value(bigEndian(frame.refs + i * refSize, refSize), false);
                   error != Error::None) {
            return error;
        }
    }
    return Error::None;
}

// The count of a data, text or container object: in the marker, or in an integer object after it.
bool BinaryReader::length(quint64 &pos, unsigned info, quint64 &count) const
{
    if (info != 0xF) {
        count = info;
        return true;
    }
    if (!fits(pos, 1))
        return false;
    const unsigned marker = d[pos++];
    if ((marker >> 4) != 0x1 || (marker & 0xF) > 3)
        return false;
    const unsigned bytes = 1u << (marker & 0xF);
    if (!fits(pos, bytes))
        return false;
    count = bigEndian(pos, bytes);
    pos += bytes;
    return true;
}

// Reports object `object`; an array or dictionary is opened, its items follow from the loop in run().
Error BinaryReader::value(quint64 object, bool isKey)
{
    if (object >= objectCount)
        return Error::Malformed;
    quint64 pos = bigEndian(offsetTable + object * offsetSize, offsetSize);
    if (pos < 8 || !fits(pos, 1))
        return Error::Malformed;
    const unsigned marker = d[pos++];
    const unsigned type = marker >> 4;
    const unsigned info = marker & 0xF;
    if (isKey && type != 0x5 && type != 0x6)
        return Error::Malformed;
    quint64 count = 0;
    switch (type) {
    case 0x0: // null, false, true, fill
        if (info == 0x8 || info == 0x9)
            handler.boolean(info == 0x9);
        else if (info == 0x0 || info == 0xF)
            handler.other();
        else
            return Error::Malformed;
        return Error::None;
    case 0x1: { // integers of 1, 2, 4, 8 or 16 bytes; of 16 the low 8 are kept
        if (info > 4)
            return Error::Malformed;
        const unsigned bytes = 1u << info;
        if (!fits(pos, bytes))
            return Error::Malformed;
        handler.integer(qint64(bytes == 16 ? bigEndian(pos + 8, 8) : bigEndian(pos, bytes)));
        return Error::None;
    }
    case 0x2: // reals of 4 or 8 bytes
        if (info == 2 && fits(pos, 4)) {
            const quint32 bits = quint32(bigEndian(pos, 4));
            float real;
            std::memcpy(&real, &bits, sizeof real);
            handler.real(double(real));
        } else if (info == 3 && fits(pos, 8)) {
            const quint64 bits = bigEndian(pos, 8);
            double real;
            std::memcpy(&real, &bits, sizeof real);
            handler.real(real);
        } else {
            return Error::Malformed;
        }
        return Error::None;
    case 0x3: // a date
        if (info != 3 || !fits(pos, 8))
            return Error::Malformed;
        handler.other();
        return Error::None;
    case 0x4: // data
        if (!length(pos, info, count) || !fits(pos, count))
            return Error::Malformed;
        handler.other();
        return Error::None;
    case 0x5: { // ASCII text
        if (!length(pos, info, count) || !fits(pos, count))
            return Error::Malformed;
        QString text = QString::fromUtf8(reinterpret_cast<const char *>(d + pos), qsizetype(count));
        isKey ? handler.key(std::move(text)) : handler.string(std::move(text));
        return Error::None;
    }
    case 0x6: { // UTF-16 text, big-endian; the count is in code units
        if (!length(pos, info, count) || count > limit / 2 || !fits(pos, 2 * count))
            return Error::Malformed;
        QString text(qsizetype(count), Qt::Uninitialized);
        qFromBigEndian<quint16>(d + pos, qsizetype(count), text.data());
        isKey ? handler.key(std::move(text)) : handler.string(std::move(text));
        return Error::None;
    }
    case 0x8: // a UID
        if (!fits(pos, info + 1))
            return Error::Malformed;
        handler.other();
        return Error::None;
    case 0xA:   // array
    case 0xC:   // set, read as an array
    case 0xD: { // dictionary: the keys' references, then the values'
        const bool dict = type == 0xD;
        const quint64 refsPerItem = dict ? 2 : 1;
        if (!length(pos, info, count) || count > limit / (refsPerItem * refSize) ||
            !fits(pos, count * refsPerItem * refSize))
            return Error::Malformed;
        if (open[object])
            return Error::Malformed; // the list contains itself
        if (stack.size() >= size_t(maxDepth))
            return Error::TooDeep;
        open[object] = true;
        if (dict)
            handler.beginDict();
        else
            handler.beginArray(qsizetype(count));
        stack.push_back({object, pos, count, 0, dict});
        return Error::None;
    }
    default:
        return Error::Malformed;
    }
}

} // namespace

Error parseBinary(const unsigned char *data, qsizetype size, Handler &handler)
{
    return BinaryReader(data, size, handler).run();
}

} // namespace PropertyList::Readers
