#include "render/FrameBreakdown.h"

#include "render/StatisticsTable.h"

#include <sstream>

FrameBreakdown& FrameBreakdown::operator+=(const FrameBreakdown& other)
{
    lodUpdate += other.lodUpdate;
    culling += other.culling;
    skinning += other.skinning;
    drawingMeshes += other.drawingMeshes;
    drawingImpostors += other.drawingImpostors;
    trianglesDrawn += other.trianglesDrawn;
    impostorsDrawn += other.impostorsDrawn;
    return *this;
}

FrameBreakdown FrameBreakdown::dividedBy(unsigned long long frames) const
{
    if (frames == 0) return {};
    FrameBreakdown mean;
    const double n = static_cast<double>(frames);
    mean.lodUpdate = lodUpdate / n;
    mean.culling = culling / n;
    mean.skinning = skinning / n;
    mean.drawingMeshes = drawingMeshes / n;
    mean.drawingImpostors = drawingImpostors / n;
    mean.trianglesDrawn = trianglesDrawn / frames;
    mean.impostorsDrawn = impostorsDrawn / frames;
    return mean;
}

namespace {

std::string milliseconds(double value)
{
    return formatFixed1(value) + "ms";
}

} // namespace

std::vector<std::pair<std::string, std::string>> breakdownRows(const FrameBreakdown& b)
{
    return {{"LOD update", milliseconds(b.lodUpdate)},
            {"culling", milliseconds(b.culling)},
            {"skinning", milliseconds(b.skinning)},
            {"drawing meshes", milliseconds(b.drawingMeshes)},
            {"drawing impostors", milliseconds(b.drawingImpostors)},
            {"triangles drawn", formatCount(b.trianglesDrawn)},
            {"impostors drawn", formatCount(b.impostorsDrawn)}};
}

std::string breakdownReport(const FrameBreakdown& mean)
{
    std::ostringstream report;
    report << "\tLOD update:\t" << mean.lodUpdate << "ms/frame\n"
           << "\tculling:\t" << mean.culling << "ms/frame\n"
           << "\tskinning:\t" << mean.skinning << "ms/frame\n"
           << "\tdrawing meshes:\t" << mean.drawingMeshes << "ms/frame\n"
           << "\tdrawing impostors:\t" << mean.drawingImpostors << "ms/frame\n"
           << "\ttriangles drawn:\t" << mean.trianglesDrawn << "/frame\n"
           << "\timpostors drawn:\t" << mean.impostorsDrawn << "/frame\n";
    return report.str();
}
