#pragma once

#include "core/PropertyList.h"

class QIODevice;

// The two readers behind PropertyList::parse; each checks the nesting limit itself and never recurses.
namespace PropertyList::Readers {

Error parseXml(const char *begin, const char *end, Handler &handler);
// Reads the device to its end, or to the end of the list.
Error parseXml(QIODevice *device, Handler &handler);
// `data` starts with "bplist".
Error parseBinary(const unsigned char *data, qsizetype size, Handler &handler);

} // namespace PropertyList::Readers
