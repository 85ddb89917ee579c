#include "render/ViewNavigation.h"

float wheelDragPixels(int rotation, int delta)
{
    if (delta <= 0) return 0.0f;
    return -kWheelStepPixels * static_cast<float>(rotation) / static_cast<float>(delta);
}

const std::vector<std::pair<std::string, std::string>>& helpRows()
{
    static const std::vector<std::pair<std::string, std::string>> rows = {
        {"Left drag", "rotate"},
        {"Middle drag", "pan"},
        {"Right drag or wheel", "dolly (zoom in plan view)"},
        {"Home", "frame all animals"},
        {"Space or Ctrl+R", "start or stop the animation"},
        {"Left / Right or [ / ]", "previous / next frame"},
        {"Keypad + / -", "add / remove an animal"},
        {"Ctrl+O or drop files", "open, replacing the scene"},
        {"Ctrl+E", "export image"},
        {"Ctrl+Q", "exit"},
        {"F1 or H", "show or hide this help"},
    };
    return rows;
}

double helpPanelTop(std::size_t statisticsRows, int viewportHeight)
{
    if (statisticsRows == 0 || viewportHeight <= 0) return 90.0;
    // The table's row step: 1.2 x the 10-pixel text height, in overlay units.
    const double rowStep = 1.2 * 10.0 * 200.0 / viewportHeight;
    return 90.0 - static_cast<double>(statisticsRows + 1) * rowStep;
}
