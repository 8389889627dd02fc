#pragma once

#include <QObject>

// The queue badges: the queue tab's badge (index 3) and the launcher entry's count, both the number of items
// in the audio and video queues, which the shell hands over whenever the queue's count changes. Main thread
// only.
class Badges : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int queueCount READ queueCount NOTIFY queueCountChanged)

public:
    static Badges &shared();

    int queueCount() const { return m_count; }
    // Publishes the count; 0 removes the badges.
    void setApplicationBadge(int count);

Q_SIGNALS:
    void queueCountChanged();

private:
    Badges() = default;
    int m_count = 0;
};
