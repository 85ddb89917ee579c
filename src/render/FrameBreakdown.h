#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

// Where a frame's drawing time goes, measured by the frame renderer and the renderers it runs:
// redistributing the herds over their levels of detail, culling instances against the view,
// skinning (the processor's skinned frames and the uploads of each instance's bones and
// coefficients; the card's own skinning is part of drawing), drawing the meshes, drawing the
// impostors (building their quads included), and what was drawn. Times are milliseconds of
// the processor's side of GL: a driver that draws later shows that time at the next buffer
// swap, not here.
struct FrameBreakdown {
    double lodUpdate = 0.0;
    double culling = 0.0;
    double skinning = 0.0;
    double drawingMeshes = 0.0;
    double drawingImpostors = 0.0;
    unsigned long long trianglesDrawn = 0;
    unsigned long long impostorsDrawn = 0;

    FrameBreakdown& operator+=(const FrameBreakdown& other);
    // Every figure divided by frames (counts rounded down): the mean of a run.
    FrameBreakdown dividedBy(unsigned long long frames) const;

    // Milliseconds since start.
    static double millisecondsSince(std::chrono::steady_clock::time_point start)
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
};

// The last frame's breakdown, and the sum over the frames since the sum was last cleared (what
// a timedemo reports as its mean).
struct FrameBreakdowns {
    FrameBreakdown last;
    FrameBreakdown total;
    unsigned long long frames = 0;

    void add(const FrameBreakdown& frame)
    {
        last = frame;
        total += frame;
        ++frames;
    }
    void clearTotal()
    {
        total = FrameBreakdown();
        frames = 0;
    }
};

// The overlay's rows for a breakdown, after the statistics table's own: "LOD update",
// "culling", "skinning", "drawing meshes", "drawing impostors" (milliseconds with one decimal
// and "ms"), "triangles drawn" and "impostors drawn" (counts as the table writes them).
std::vector<std::pair<std::string, std::string>> breakdownRows(const FrameBreakdown& breakdown);

// The lines a timedemo report gains after its own text: the mean breakdown per frame, each
// line a tab, the label, a colon, a tab and the value, as the report's own lines are.
std::string breakdownReport(const FrameBreakdown& meanPerFrame);
