#pragma once

#include "foundation/BoundingBox.h"
#include "foundation/Vector3f.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// How an animal type's impostor atlas is laid out, decided without GL: the animal is pictured
// from `azimuths` directions around it times `elevations` heights above the ground (0 up to
// below the vertical) at `phases` evenly spread frames of its animation, each picture in a
// square cell of cellSize x cellSize texels. A cell shows the animal in parallel projection
// around the centre of its box (over all frames), 2 x radius scene units wide, so every
// frame fits every cell whatever the direction.
//
// Directions are in the animal's own space (y up): azimuth a and elevation e point from the
// animal towards the viewer at (cos e sin a, sin e, cos e cos a), so azimuth 0 looks at the
// animal from +z.
//
// A plain value; everything about it is computed by ImpostorAtlasLayout::make.
struct ImpostorAtlasLayout {
    // The default number of directions around the animal, heights and animation phases.
    static constexpr unsigned kDefaultAzimuths = 16;
    static constexpr unsigned kDefaultElevations = 3;
    static constexpr unsigned kDefaultPhases = 16;
    // Texture memory one animal type's atlas may take, mipmaps included. At the default
    // sizes and threshold (64 pixels) an atlas takes about 50 MB.
    static constexpr std::size_t kMemoryBudget = 64u << 20;
    // Cells are multiples of this, so the first log2 of it mipmap levels keep every cell on
    // whole texels of its own (no level blends two cells' texels together).
    static constexpr int kCellStep = 16;
    static constexpr int kMaxCellSize = 256;

    unsigned azimuths = kDefaultAzimuths;
    unsigned elevations = kDefaultElevations;
    // At most the skin's frame count (every frame of a short clip), at least 1.
    unsigned phases = kDefaultPhases;
    // The skin's frame count (1 for a skin without frames).
    unsigned frameCount = 1;
    int cellSize = kCellStep;
    // Cells per row and rows of cells; the atlas is columns x cellSize by rows x cellSize.
    int columns = 1;
    int rows = 1;
    // Mipmap levels after the base level.
    int mipLevels = 0;
    // The centre of the animal's box over all frames, and the radius of the sphere around it
    // that holds the box.
    Vector3f centre;
    float radius = 1.0f;

    // Chooses the cell size from the threshold: an animal whose box is thresholdPixels tall on
    // screen at the switch shows about one texel per pixel (the cell spans the box's diagonal,
    // the height only a part of it), rounded up to a multiple of kCellStep, from kCellStep to
    // kMaxCellSize, and lowered until the atlas with its mipmaps fits kMemoryBudget. The atlas
    // is at most maxTextureSize texels on a side (fewer phases when the cells would not fit).
    static ImpostorAtlasLayout make(const BoundingBox& animalBox, unsigned frameCount, double thresholdPixels,
                                    int maxTextureSize, unsigned azimuths = kDefaultAzimuths,
                                    unsigned elevations = kDefaultElevations, unsigned phases = kDefaultPhases);

    int width() const { return columns * cellSize; }
    int height() const { return rows * cellSize; }
    unsigned cellCount() const { return azimuths * elevations * phases; }
    // Bytes of the RGBA texture with all its mipmap levels.
    std::size_t textureBytes() const;

    // Azimuth i in radians: 2 pi i / azimuths. Elevation j: j x (pi / 2) / elevations, so the
    // lowest cells look at the animal from the ground and none from straight above.
    double azimuthAngle(unsigned i) const;
    double elevationAngle(unsigned j) const;
    // Unit vector from the animal towards the viewer of cell (i, j), in the animal's space.
    Vector3f direction(unsigned azimuth, unsigned elevation) const;
    // The picture's right and up vectors for that direction (the up vector tilts back with the
    // elevation; right stays horizontal), as a camera looking at the centre with +y up sees.
    Vector3f right(unsigned azimuth, unsigned elevation) const;
    Vector3f up(unsigned azimuth, unsigned elevation) const;

    // The frame a phase pictures: phase x frameCount / phases, rounded to the nearest frame.
    unsigned frameOfPhase(unsigned phase) const;
    // The phase whose frame is nearest to the frame (cyclically, the animation loops).
    unsigned phaseOfFrame(std::uint32_t frame) const;

    // The cell that pictures the animal seen from `toViewer` (animal space, any length):
    // nearest azimuth, nearest elevation (clamped to the ones pictured); cell (0, 0) for a
    // zero or non-finite vector.
    struct CellChoice {
        unsigned azimuth = 0;
        unsigned elevation = 0;
        bool operator==(const CellChoice&) const = default;
    };
    CellChoice chooseCell(const Vector3f& toViewer) const;

    // Cells are numbered phase-major: ((phase x elevations) + elevation) x azimuths + azimuth.
    unsigned cellIndex(unsigned azimuth, unsigned elevation, unsigned phase) const
    {
        return (phase * elevations + elevation) * azimuths + azimuth;
    }
    // The lower-left texel of a cell (GL's order: row 0 at the bottom).
    int cellX(unsigned index) const { return static_cast<int>(index % static_cast<unsigned>(columns)) * cellSize; }
    int cellY(unsigned index) const { return static_cast<int>(index / static_cast<unsigned>(columns)) * cellSize; }
};

// Where an animal's picture lies inside its cell, so that its quad covers no more than the
// picture: texels [x0, x1) x [y0, y1) of the cell (cell-relative, GL order), empty when
// x0 >= x1. Together with the layout it gives the quad's corners and texture coordinates.
struct ImpostorCellRect {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
};

// One cell's quad in the animal's own space and in the atlas: corners in the order
// lower-left, lower-right, upper-right, upper-left, on the plane through the centre that faces
// the cell's direction, and their texture coordinates.
struct ImpostorCellQuad {
    std::array<Vector3f, 4> corners;
    std::array<float, 8> texCoords{};
    bool empty = true;
};

ImpostorCellQuad impostorCellQuad(const ImpostorAtlasLayout& layout, unsigned cellIndex, const ImpostorCellRect& rect);

// The smallest rectangle of texels of a cell whose alpha is above zero, grown by `margin`
// texels on every side and clipped to the cell (the margin keeps the filtered edge of the
// picture, mipmaps included, inside the quad). rgba is the whole atlas, 4 bytes a texel, rows
// from the bottom. Empty when the cell has no covered texel.
ImpostorCellRect coveredRect(const std::vector<std::uint8_t>& rgba, const ImpostorAtlasLayout& layout,
                             unsigned cellIndex, int margin);

// Turns a picture drawn at `factor` times the cell resolution into premultiplied RGBA texels:
// each output texel averages factor x factor samples, a sample counting as covered where its
// depth is below 1 (something was drawn there) and contributing its colour times its coverage,
// so the edges fade to transparent black rather than to a dark fringe. colour holds RGBA bytes
// of width x height samples, depth one float per sample; width and height are multiples of
// factor. The result is width / factor by height / factor texels.
std::vector<std::uint8_t> resolveCoverage(const std::vector<std::uint8_t>& colour, const std::vector<float>& depth,
                                          int width, int height, int factor);

// The next mipmap level of a premultiplied RGBA image with even sides: each texel the rounded
// mean of a 2 x 2 block. Integer arithmetic, so every machine makes the same texels.
std::vector<std::uint8_t> halveRgba(const std::vector<std::uint8_t>& rgba, int width, int height);
