#pragma once

#include <QObject>
#include <QString>

// Announces a value written through Settings, so that whoever reads a key when acting can act again at once
// (the settings page changes keys while the program runs). Emitted on the writer's thread, after the value is
// stored: listeners on other threads hear it queued.
class SettingsEvents : public QObject
{
    Q_OBJECT
public:
    static SettingsEvents &shared();

Q_SIGNALS:
    // `key` now holds a different value than before.
    void changed(const QString &key);
};
