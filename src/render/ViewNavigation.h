#pragma once

#include <string>
#include <utility>
#include <vector>

// What the view's navigation conveniences compute without GL or wx: how far a mouse-wheel turn
// drags the camera, and the rows and place of the mouse-and-keys help panel.

// A wheel step dollies or zooms as a right-button drag over this many pixels would.
inline constexpr float kWheelStepPixels = 4.0f;

// The vertical right-button drag, in pixels, that stands for a wheel turn of `rotation` in units
// where one step is `delta` (wx reports 120 per notch; touchpads send fractions of it). Turning
// away from the user (positive rotation) moves closer, as dragging upwards does. 0 when delta
// is not positive.
float wheelDragPixels(int rotation, int delta);

// The help panel's rows (what to press, what it does), in the order shown.
const std::vector<std::pair<std::string, std::string>>& helpRows();

// The overlay y (the overlay spans -100 to 100 over the viewport height) at which the help
// panel starts: one blank line below `statisticsRows` rows of the statistics table, whose rows
// step 1.2 x 10 pixels down from y = 90. With no statistics rows the panel starts at 90.
double helpPanelTop(std::size_t statisticsRows, int viewportHeight);
