#include "render/FrameStamps.h"

#include <chrono>
#include <limits>

std::int64_t FrameStamps::nowMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void FrameStamps::push(std::int64_t milliseconds)
{
    m_stamps.push_front(milliseconds);
    while (m_stamps.size() > kCapacity) m_stamps.pop_back();
}

double FrameStamps::framesPerSecond() const
{
    if (m_stamps.size() < 2) return std::numeric_limits<double>::quiet_NaN();
    const double span = static_cast<double>(m_stamps.front() - m_stamps.back()) * 0.001;
    return static_cast<double>(m_stamps.size()) / span;
}
