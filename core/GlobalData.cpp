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

QString GlobalData::vksid() const
{
    std::lock_guard lock(m_sessionMutex);
    return m_vksid;
}

void GlobalData::setVksid(const QString &sid)
{
    std::lock_guard lock(m_sessionMutex);
    m_vksid = sid;
}

QString GlobalData::vkuid() const
{
    std::lock_guard lock(m_sessionMutex);
    return m_vkuid;
}

void GlobalData::setVkuid(const QString &uid)
{
    std::lock_guard lock(m_sessionMutex);
    m_vkuid = uid;
}
