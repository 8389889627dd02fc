#include "desktop/ColorScheme.h"

#include "core/Settings.h"
#include "core/SettingsEvents.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QGuiApplication>
#include <QPalette>

namespace {

const char portalService[] = "org.freedesktop.portal.Desktop";
const char portalPath[] = "/org/freedesktop/portal/desktop";
const char settingsInterface[] = "org.freedesktop.portal.Settings";
const char appearance[] = "org.freedesktop.appearance";
const char colorSchemeKey[] = "color-scheme";

// Read() answers a variant holding the value's variant; a newer portal may answer the value itself.
QVariant unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

ColorScheme::ColorScheme(QObject *parent)
    : QObject(parent), m_override(overrideFrom(qEnvironmentVariable("MELODROP_COLOR_SCHEME")))
{
    connect(&SettingsEvents::shared(), &SettingsEvents::changed, this, [this](const QString &key) {
        if (key == QLatin1String(settingKey))
            update();
    });
    update();
}

void ColorScheme::update()
{
    if (m_override >= 0) {
        setDark(m_override == 1);
        return;
    }
    const int chosen = overrideFrom(Settings::shared().stringValue(QLatin1String(settingKey)));
    if (chosen >= 0)
        setDark(chosen == 1);
    else if (m_portalValue >= 0)
        setDark(darkFor(uint(m_portalValue), paletteDark()));
    else
        setDark(paletteDark());
}

bool ColorScheme::darkFor(uint portalValue, bool paletteDark)
{
    if (portalValue == PreferDark)
        return true;
    if (portalValue == PreferLight)
        return false;
    return paletteDark;
}

int ColorScheme::overrideFrom(const QString &text)
{
    const QString word = text.trimmed().toLower();
    if (word == QLatin1String("dark"))
        return 1;
    if (word == QLatin1String("light"))
        return 0;
    return -1;
}

bool ColorScheme::paletteDark()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    const QPalette palette = QGuiApplication::palette();
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

void ColorScheme::start(QDBusConnection bus)
{
    if (m_override >= 0)
        return;
    if (!bus.isConnected())
        return;
    bus.connect(QLatin1String(portalService), QLatin1String(portalPath), QLatin1String(settingsInterface),
                QStringLiteral("SettingChanged"), this, SLOT(settingChanged(QDBusMessage)));
    QDBusMessage read =
        QDBusMessage::createMethodCall(QLatin1String(portalService), QLatin1String(portalPath),
                                       QLatin1String(settingsInterface), QStringLiteral("Read"));
    read << QLatin1String(appearance) << QLatin1String(colorSchemeKey);
    // Asynchronous: a missing portal must not hold up the first frame.
    bus.callWithCallback(read, this, SLOT(readAnswered(QDBusMessage)), SLOT(readFailed(QDBusError)));
}

void ColorScheme::applyPortalValue(uint value)
{
    m_portalValue = int(value);
    update();
}

void ColorScheme::settingChanged(const QDBusMessage &signal)
{
    const QList<QVariant> arguments = signal.arguments();
    if (arguments.size() != 3 || arguments.at(0).toString() != QLatin1String(appearance) ||
        arguments.at(1).toString() != QLatin1String(colorSchemeKey))
        return;
    bool ok = false;
    const uint scheme = unwrap(arguments.at(2)).toUInt(&ok);
    if (ok)
        applyPortalValue(scheme);
}

void ColorScheme::readAnswered(const QDBusMessage &reply)
{
    if (reply.arguments().isEmpty())
        return;
    bool ok = false;
    const uint scheme = unwrap(reply.arguments().first()).toUInt(&ok);
    if (ok)
        applyPortalValue(scheme);
}

void ColorScheme::setDark(bool dark)
{
    if (m_dark == dark)
        return;
    m_dark = dark;
    Q_EMIT darkChanged();
}
