#include "service/VKontakteWorks.h"

QString VKontakteWorks::cleanText(const QString &raw) { return raw; }
std::optional<QList<AudioRecord>> VKontakteWorks::searchAudioWithOffset(const QString &, int, int) { return std::nullopt; }
std::optional<QList<AudioRecord>> VKontakteWorks::getAudioWithJSON(const QString &, int) { return std::nullopt; }
QString VKontakteWorks::getAddAudioHash() { return QStringLiteral("0"); }
QString VKontakteWorks::getDelAudioHash() { return QStringLiteral("0"); }
void VKontakteWorks::addAudio(const QString &, const QString &) {}
void VKontakteWorks::delAudio(const QString &, const QString &) {}
std::optional<QStringList> VKontakteWorks::getRiaaList() { return std::nullopt; }
bool VKontakteWorks::riaaRefuses(const QStringList &, const QString &) { return false; }
