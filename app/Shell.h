#pragma once

#include "downloads/Queue.h"

#include <QObject>
#include <QString>

// The window's shell: what the tab bar and the title show, and the QML type registration.
class Shell : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int queueBadge READ queueBadge NOTIFY queueBadgeChanged)
    Q_PROPERTY(QString windowTitle READ windowTitle NOTIFY queueBadgeChanged)
    Q_PROPERTY(QString sandboxHint READ sandboxHint CONSTANT)
    Q_PROPERTY(bool rotationAllowed READ shouldAutorotate CONSTANT)
    Q_PROPERTY(Queue *queue READ queue CONSTANT)

public:
    explicit Shell(QObject *parent = nullptr);

    // Registers the controllers under the QML module "Melodrop" 1.0, with `shell` as its Shell singleton.
    static void registerQmlTypes(Shell *shell);

    // The badge of the queue tab (index 3), following Badges; 0 hides it.
    int queueBadge() const;
    QString windowTitle() const;

    // The download queue: one per run, so transfers outlive its view.
    Queue *queue() const { return m_queue; }

    // The tab bar's rotation rule: follows "settings_rotation" (true when absent, written on first read) for
    // every orientation alike.
    bool shouldAutorotate() const;

    // Shown on the login screen when the program runs against the local stand-in.
    QString sandboxHint() const { return m_sandboxHint; }
    void setSandboxHint(const QString &hint) { m_sandboxHint = hint; }

Q_SIGNALS:
    void queueBadgeChanged();

private:
    QString m_sandboxHint;
    Queue *m_queue = nullptr;
};
