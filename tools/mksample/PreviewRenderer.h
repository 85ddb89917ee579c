#pragma once

#include "bake/RgbImage.h"

#include "skin/Skin.h"

#include <vector>

// A small orthographic z-buffer rasteriser for looking at a generated animal without the
// viewer: rows are views (a side view from the animal's right and a three-quarter view from
// above the front right), columns are the given frames. Vertices are shaded with PRT lighting
// times vertex colour times a soft key light, the shadow skin is painted on a ground strip, and
// every panel of one view shares one scale so motion between frames shows.
class PreviewRenderer {
public:
    PreviewRenderer(int panelWidth, int panelHeight) : m_panelWidth(panelWidth), m_panelHeight(panelHeight) {}

    RgbImage render(const Skin& skin, const std::vector<unsigned>& frames) const;

private:
    int m_panelWidth;
    int m_panelHeight;
};
