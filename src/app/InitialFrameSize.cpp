#include "app/InitialFrameSize.h"

#include <algorithm>

InitialFrameSize computeInitialFrameSize(int workWidth, int workHeight, int edgeX, int edgeY)
{
    const int edgeWidth = std::max(edgeX, 0);
    const int edgeHeight = std::max(edgeY, 0);
    return {std::max(workWidth - 4 * edgeWidth, 0), std::max(workHeight - 4 * edgeHeight, 0)};
}
