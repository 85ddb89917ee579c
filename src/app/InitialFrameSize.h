#pragma once

// The main frame's first size: the display's work area less four window edges on each axis, so
// the whole frame, borders included, fits on screen beside panels and docks.
struct InitialFrameSize {
    int width = 0;
    int height = 0;
};

// workWidth/workHeight: the work area of display 0. edgeX/edgeY: the window manager's edge
// metrics, where a negative value (wx reports -1) means unknown and counts as no edge.
// Never returns a negative size, so a tiny work area still yields a valid (empty) frame size.
InitialFrameSize computeInitialFrameSize(int workWidth, int workHeight, int edgeX, int edgeY);
