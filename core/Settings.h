#pragma once

#include <QString>

#include <memory>
#include <mutex>

class QSettings;

// The user-defaults store: booleans and strings by key in ~/.config/Melodrop/Melodrop.conf. Where no secret
// store answers, the file holds the password (Credentials), so it is kept readable by its owner only.
class Settings
{
public:
    explicit Settings(const QString &path);
    ~Settings();

    // The program's store; its path follows XDG_CONFIG_HOME unless setSharedPath chose another (tests).
    static Settings &shared();
    static void setSharedPath(const QString &path);
    static QString defaultPath();

    // Reads a boolean; an absent key is first written with `defaultValue`.
    bool boolValue(const QString &key, bool defaultValue);
    bool contains(const QString &key);
    // An absent key reads as the empty string.
    QString stringValue(const QString &key);
    void setString(const QString &key, const QString &value);
    void setBool(const QString &key, bool value);

    QString path() const { return m_path; }

private:
    void sync();

    QString m_path;
    std::mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
};
