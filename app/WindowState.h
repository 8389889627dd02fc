#pragma once

#include <QObject>
#include <QRect>
#include <QString>

#include <optional>

class QWindow;

// The window's size, position and maximised state, kept in the settings file under the group "window" (no key
// of the program's own settings is touched). The first start opens at a laptop-friendly default that never
// exceeds the screen.
class WindowState : public QObject
{
    Q_OBJECT
public:
    static constexpr QSize defaultSize{1100, 720};
    static constexpr QSize minimumSize{320, 520};

    // `settingsPath`: the settings file (Settings::defaultPath() in the program).
    explicit WindowState(const QString &settingsPath, QObject *parent = nullptr);

    // Where the window opens on a screen whose free area is `available`: the remembered rectangle when it
    // still fits there (shrunk to the area when larger, moved in when it lies outside), else the default size
    // centred.
    static QRect initialRect(const std::optional<QRect> &saved, const QRect &available);

    std::optional<QRect> savedRect() const;
    bool savedMaximized() const;

    // Places `window` as remembered and follows its changes until it is destroyed; saves when it closes.
    void attach(QWindow *window);
    // Writes the window's normal (not maximised) rectangle and whether it is maximised.
    void save();

private:
    void remember();

    QString m_path;
    QWindow *m_window = nullptr;
    QRect m_normal;
};
