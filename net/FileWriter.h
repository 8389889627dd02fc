#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The download engine's disk thread: it runs the file work of every transfer (writes, truncation, the final
// sync, close and rename) in the order it was handed over, so that the transfer thread never waits for the
// disk. `roomFreed` is called on this thread whenever a written block returns to its file's pool.
class FileWriter
{
public:
    explicit FileWriter(std::function<void()> roomFreed);
    // Finishes every job handed over, then stops.
    ~FileWriter();
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;

    void post(std::function<void()> job);
    void roomFreed() const { m_roomFreed(); }

private:
    void run();

    std::function<void()> m_roomFreed;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};
