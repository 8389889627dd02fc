#include "desktop/MprisRootAdaptor.h"

#include "desktop/Mpris.h"

#include <QCoreApplication>

MprisRootAdaptor::MprisRootAdaptor(Mpris *parent) : QDBusAbstractAdaptor(parent), m_mpris(parent) {}

void MprisRootAdaptor::Raise()
{
    Q_EMIT m_mpris->raiseRequested();
}

void MprisRootAdaptor::Quit()
{
    // After the reply has gone out.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}
