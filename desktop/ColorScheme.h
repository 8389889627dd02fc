#pragma once

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QObject>

// Light or dark, as the desktop prefers it: the Settings portal's org.freedesktop.appearance color-scheme,
// followed while the program runs. Without a portal (or with "no preference") the platform palette decides.
// The user's choice "appearance/color_scheme" ("light" or "dark"; "system" follows the desktop) overrides
// both as soon as it is written; MELODROP_COLOR_SCHEME=dark|light overrides everything, for a session without
// a desktop.
class ColorScheme : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool dark READ dark NOTIFY darkChanged)

public:
    // The portal's values: 0 no preference, 1 prefer dark, 2 prefer light.
    enum Preference : uint { NoPreference = 0, PreferDark = 1, PreferLight = 2 };

    explicit ColorScheme(QObject *parent = nullptr);

    // Reads the portal once and subscribes to its changes; without a bus only the palette is used.
    void start(QDBusConnection bus = QDBusConnection::sessionBus());

    bool dark() const { return m_dark; }

    // The scheme for a portal value; an unknown value or "no preference" leaves it to `paletteDark`.
    static bool darkFor(uint portalValue, bool paletteDark);
    // An override given as text ("dark", "light"); -1 when the text names neither.
    static int overrideFrom(const QString &text);
    static constexpr const char *settingKey = "appearance/color_scheme";

    // Applies a value the portal reported (at start or on a change).
    void applyPortalValue(uint value);

Q_SIGNALS:
    void darkChanged();

private Q_SLOTS:
    // Both take the whole message: QtDBus hands a variant argument to no QDBusVariant slot of a signal hook
    // or a reply callback (the connection and the call fail), so the arguments are taken apart here.
    void settingChanged(const QDBusMessage &signal);
    void readAnswered(const QDBusMessage &reply);
    void readFailed(const QDBusError &) {} // no portal: the palette stays in charge

private:
    static bool paletteDark();
    // Works the scheme out again from the override, the setting, the portal and the palette.
    void update();
    void setDark(bool dark);

    bool m_dark = false;
    int m_override = -1;
    // The portal's last answer; -1 until it gave one.
    int m_portalValue = -1;
};
