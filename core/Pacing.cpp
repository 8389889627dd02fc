#include "core/Pacing.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace {
std::atomic<double> currentScale{1.0};
} // namespace

void Pacing::pause(double seconds)
{
    const int ms = milliseconds(seconds);
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int Pacing::milliseconds(double seconds)
{
    return int(std::ceil(seconds * 1000.0 * currentScale.load()));
}

void Pacing::setScale(double scale)
{
    currentScale.store(scale < 0 ? 0 : scale);
}

double Pacing::scale()
{
    return currentScale.load();
}
