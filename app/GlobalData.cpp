#include "app/GlobalData.h"

#include "service/ServiceEndpoints.h"

GlobalData::GlobalData()
    : domain(ServiceEndpoints::current().webHost), addAudioHash(QStringLiteral("0")),
      delAudioHash(QStringLiteral("0"))
{}

GlobalData *GlobalData::sharedGlobalData()
{
    // A function-local static: created once, under the compiler's lock, never destroyed before exit.
    static GlobalData *instance = new GlobalData;
    return instance;
}
