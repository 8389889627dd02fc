#include "core/Settings.h"

#include "core/SettingsEvents.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::mutex sharedMutex;
std::unique_ptr<Settings> sharedSettings;
QString sharedPath;

} // namespace

Settings::Settings(const QString &path) : m_path(path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Create the file owner-only before anything is written to it.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
}

Settings::~Settings() = default;

QString Settings::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Melodrop/Melodrop.conf");
}

Settings &Settings::shared()
{
    std::lock_guard lock(sharedMutex);
    if (!sharedSettings)
        sharedSettings = std::make_unique<Settings>(sharedPath.isEmpty() ? defaultPath() : sharedPath);
    return *sharedSettings;
}

void Settings::setSharedPath(const QString &path)
{
    std::lock_guard lock(sharedMutex);
    sharedPath = path;
    sharedSettings.reset();
}

bool Settings::boolValue(const QString &key, bool defaultValue)
{
    std::lock_guard lock(m_mutex);
    if (!m_settings->contains(key)) {
        m_settings->setValue(key, defaultValue);
        sync();
        return defaultValue;
    }
    return m_settings->value(key).toBool();
}

bool Settings::contains(const QString &key)
{
    std::lock_guard lock(m_mutex);
    return m_settings->contains(key);
}

QString Settings::stringValue(const QString &key)
{
    std::lock_guard lock(m_mutex);
    return m_settings->value(key).toString();
}

void Settings::setString(const QString &key, const QString &value)
{
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        changed = !m_settings->contains(key) || m_settings->value(key).toString() != value;
        m_settings->setValue(key, value);
        sync();
    }
    // Outside the lock: a listener reads the new value back.
    if (changed)
        Q_EMIT SettingsEvents::shared().changed(key);
}

void Settings::setBool(const QString &key, bool value)
{
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        changed = !m_settings->contains(key) || m_settings->value(key).toBool() != value;
        m_settings->setValue(key, value);
        sync();
    }
    if (changed)
        Q_EMIT SettingsEvents::shared().changed(key);
}

SettingsEvents &SettingsEvents::shared()
{
    static SettingsEvents events;
    return events;
}

void Settings::sync()
{
    m_settings->sync();
    // QSettings rewrites the file through a temporary one; keep the result owner-only whatever the umask.
    QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
