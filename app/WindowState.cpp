#include "app/WindowState.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWindow>

namespace {
const QString group = QStringLiteral("window");
}

WindowState::WindowState(const QString &settingsPath, QObject *parent) : QObject(parent), m_path(settingsPath)
{}

QRect WindowState::initialRect(const std::optional<QRect> &saved, const QRect &available)
{
    if (!available.isValid())
        return saved && saved->isValid() ? *saved : QRect(QPoint(0, 0), defaultSize);
    QRect rect;
    if (saved && saved->isValid() && saved->intersects(available)) {
        rect = *saved;
    } else {
        rect = QRect(QPoint(0, 0), defaultSize);
        rect.moveCenter(available.center());
    }
    rect.setWidth(qBound(qMin(minimumSize.width(), available.width()), rect.width(), available.width()));
    rect.setHeight(qBound(qMin(minimumSize.height(), available.height()), rect.height(), available.height()));
    // Pull the window fully onto the screen, so that its title bar can be reached.
    if (rect.right() > available.right())
        rect.moveRight(available.right());
    if (rect.bottom() > available.bottom())
        rect.moveBottom(available.bottom());
    if (rect.left() < available.left())
        rect.moveLeft(available.left());
    if (rect.top() < available.top())
        rect.moveTop(available.top());
    return rect;
}

std::optional<QRect> WindowState::savedRect() const
{
    QSettings settings(m_path, QSettings::NativeFormat);
    settings.beginGroup(group);
    if (!settings.contains(QStringLiteral("width")) || !settings.contains(QStringLiteral("height")))
        return std::nullopt;
    const QRect rect(settings.value(QStringLiteral("x")).toInt(), settings.value(QStringLiteral("y")).toInt(),
                     settings.value(QStringLiteral("width")).toInt(),
                     settings.value(QStringLiteral("height")).toInt());
    if (!rect.isValid())
        return std::nullopt;
    return rect;
}

bool WindowState::savedMaximized() const
{
    QSettings settings(m_path, QSettings::NativeFormat);
    return settings.value(group + QStringLiteral("/maximized"), false).toBool();
}

void WindowState::attach(QWindow *window)
{
    m_window = window;
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QRect rect = initialRect(savedRect(), available);
    window->setGeometry(rect);
    m_normal = rect;
    if (savedMaximized())
        window->setWindowStates(Qt::WindowMaximized);
    connect(window, &QWindow::xChanged, this, &WindowState::remember);
    connect(window, &QWindow::yChanged, this, &WindowState::remember);
    connect(window, &QWindow::widthChanged, this, &WindowState::remember);
    connect(window, &QWindow::heightChanged, this, &WindowState::remember);
    connect(window, &QObject::destroyed, this, [this] { m_window = nullptr; });
}

void WindowState::remember()
{
    // Only a normal window's rectangle is worth returning to; a maximised or full-screen one is not.
    if (m_window && m_window->windowStates() == Qt::WindowNoState && m_window->isVisible())
        m_normal = m_window->geometry();
}

void WindowState::save()
{
    if (!m_window)
        return;
    remember();
    QSettings settings(m_path, QSettings::NativeFormat);
    settings.beginGroup(group);
    settings.setValue(QStringLiteral("x"), m_normal.x());
    settings.setValue(QStringLiteral("y"), m_normal.y());
    settings.setValue(QStringLiteral("width"), m_normal.width());
    settings.setValue(QStringLiteral("height"), m_normal.height());
    settings.setValue(QStringLiteral("maximized"), bool(m_window->windowStates() & Qt::WindowMaximized));
}
