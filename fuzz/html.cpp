// The HTML fragment search: parse a page, find nodes by a class taken from the input's first line, dump them.
// The selective parse the page readers use must find the same first rows, dumped alike, as the whole parse:
// any difference stops the run.
#include "FuzzSupport.h"

#include "decoding/Html.h"

#include <algorithm>
#include <cstdlib>

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

    const QList<HTMLNode> all = doc.findChildrenWithAttribute("class", className, true);
    for (const qsizetype limit : {qsizetype(-1), qsizetype(1), qsizetype(size % 5)}) {
        const HTMLParser selective(input.toUtf8(), HTMLRowSelection{"class", className, limit});
        const QList<HTMLNode> &rows = selective.selectedRows();
        const QList<HTMLNode> found = selective.doc().findChildrenWithAttribute("class", className, true);
        const qsizetype wanted = limit < 0 ? all.size() : std::min(all.size(), limit);
        if (rows.size() != wanted || found.size() < wanted)
            std::abort();
        for (qsizetype i = 0; i < wanted; ++i) {
            if (rows.at(i).xmlNode() != found.at(i).xmlNode() ||
                rows.at(i).rawContents() != all.at(i).rawContents())
                std::abort();
        }
    }
    return 0;
}
