#include "core/GlobalData.h"

GlobalData::GlobalData()
    : domain(QString::fromLatin1(defaultDomain)), addAudioHash(QStringLiteral("0")),
      delAudioHash(QStringLiteral("0"))
{}

GlobalData *GlobalData::sharedGlobalData()
{
    // A function-local static: created once, under the compiler's lock, never destroyed before exit.
    static GlobalData *instance = new GlobalData;
    return instance;
}
