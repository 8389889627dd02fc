// The HTML fragment search: parse a page, find nodes by a class taken from the input's first line, dump them.
#include "FuzzSupport.h"

#include "decoding/Html.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApplication();
    const QString input = QString::fromUtf8(FuzzSupport::bytes(data, size));
    const qsizetype newline = input.indexOf(QLatin1Char('\n'));
    const QString className =
        newline > 0 && newline < 64 ? input.left(newline) : QStringLiteral("audios_row");
    const HTMLParser parser(input);
    const HTMLNode doc = parser.doc();
    for (bool partial : {false, true}) {
        for (const HTMLNode &node : doc.findChildrenWithAttribute("class", className, partial))
            node.findChildWithAttribute("class", className, !partial).rawContents();
    }
    doc.rawContents();
    return 0;
}
