#pragma once

#include <QObject>

// The queue badges: the queue tab's badge (index 3) and the launcher entry's count, both the number of items
// in the audio and video queues. Main thread only.
class Badges : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int queueCount READ queueCount NOTIFY queueCountChanged)

public:
    static Badges &shared();

    int queueCount() const { return m_count; }
    // Recomputes the count from the two queues and publishes it; 0 removes the badges.
    void updateBadges();
    // Sets the launcher count directly (start-up and exit use it).
    void setApplicationBadge(int count);

Q_SIGNALS:
    void queueCountChanged();

private:
    Badges() = default;
    int m_count = 0;
};
