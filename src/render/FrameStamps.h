#pragma once

#include "render/FrameBreakdown.h"

#include <cstdint>
#include <deque>

// The times of the most recent paints, newest first, from which the view's frame rate is
// measured. Stamps are milliseconds of a monotonic wall clock: processor time (clock() on
// Linux) leaves out the time spent waiting for the X server and the GPU and so overstates the
// rate. At most kCapacity stamps are kept, so measuring costs a few operations per frame.
class FrameStamps {
public:
    static constexpr std::size_t kCapacity = 30;

    // Milliseconds of std::chrono::steady_clock: what push is normally given.
    static std::int64_t nowMilliseconds();

    // Adds a stamp at the front, dropping the oldest beyond kCapacity.
    void push(std::int64_t milliseconds);
    // Forgets every stamp (the measurement restarts).
    void clear() { m_stamps.clear(); }
    std::size_t size() const { return m_stamps.size(); }

    // N / ((newest - oldest) x 0.001) over the N stamps held; NaN with fewer than two (infinite
    // when they all carry the same time).
    double framesPerSecond() const;

private:
    std::deque<std::int64_t> m_stamps;
};

// What a frame renderer measures about the frames it draws, kept by whoever shows them: the
// stamps of the recent frames and the exponential average of the time spent drawing one, in
// seconds, and where the drawing time of the last frames went.
struct FrameMeasures {
    FrameStamps stamps;
    double averageDrawTime = 0.0;
    FrameBreakdowns breakdown;
};
