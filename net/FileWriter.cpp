#include "net/FileWriter.h"

FileWriter::FileWriter(std::function<void()> roomFreed)
    : m_roomFreed(std::move(roomFreed)), m_thread([this] { run(); })
{}

FileWriter::~FileWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_ready.notify_one();
    m_thread.join();
}

void FileWriter::post(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_ready.notify_one();
}

void FileWriter::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_ready.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return; // stopping, and nothing is left to write
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}
