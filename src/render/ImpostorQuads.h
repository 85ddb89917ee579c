#pragma once

#include "render/ImpostorAtlasLayout.h"
#include "render/ViewFrustumTest.h"

#include <cstddef>
#include <vector>

class Herd;

// Builds, on the processor, the one vertex array that draws every impostor of a herd: for each
// animal in view, the quad of the atlas cell that pictures it from where the eye is (nearest
// direction relative to the animal's own heading, nearest animation phase), placed under the
// animal's transform, and optionally the blob of its shadow on the ground. Vertices are five
// floats (x, y, z, s, t), four per quad in the order GL_QUADS takes them.
//
// The arrays keep their storage from frame to frame: once they have held as many animals as a
// frame brings, building allocates nothing. Not thread-safe.
class ImpostorQuads {
public:
    static constexpr int kFloatsPerVertex = 5;

    // The cells' quads (index as ImpostorAtlasLayout::cellIndex) for a new atlas.
    void setAtlas(const ImpostorAtlasLayout& layout, std::vector<ImpostorCellQuad> cells);
    const ImpostorAtlasLayout& layout() const { return m_layout; }

    // The ground footprint of a shadow blob in the animal's space: the rectangle [x0, x1] x
    // [z0, z1] at height y. None (the start) draws no shadows.
    struct Footprint {
        float x0 = 0.0f, z0 = 0.0f, x1 = 0.0f, z1 = 0.0f, y = 0.0f;
    };
    void setShadowFootprint(const Footprint& footprint) { m_footprint = footprint; m_hasFootprint = true; }
    void clearShadowFootprint() { m_hasFootprint = false; }

    // Step 1: the indices of the herd's instances whose boxes are in view.
    void cull(const Herd& herd, const ViewFrustumTest& frustum);
    // Step 2: the quads (and blobs, when shadows is set and a footprint is known) of the
    // animals cull found, seen from the eye (scene space). Returns the number of quads.
    std::size_t build(const Herd& herd, const Vector3f& eye, bool shadows);

    // Step 3 (optional): adds the blobs of another herd's animals in view (the band herd's,
    // drawn as meshes without shadow skins) after this frame's, when a footprint is known.
    void addShadows(const Herd& herd, const ViewFrustumTest& frustum);

    const std::vector<unsigned>& visible() const { return m_visible; }
    // The first quadCount() x 4 vertices are this frame's.
    const float* vertices() const { return m_vertices.data(); }
    std::size_t quadCount() const { return m_quadCount; }
    // The blobs: four vertices each, the texture coordinates running 0..1 over the footprint.
    const float* shadowVertices() const { return m_shadowVertices.data(); }
    std::size_t shadowCount() const { return m_shadowCount; }

    // The cell an animal under `transform` (row-major, column vectors) shows when seen from
    // the eye in the frame given: the view direction taken into the animal's own space.
    // Returns false when the transform cannot be inverted.
    bool cellFor(const Matrix4f& transform, std::uint32_t frame, const Vector3f& eye, unsigned& cellIndex) const;

private:
    // Appends the blob of an animal under `transform`.
    void putBlob(const Matrix4f& transform);

    ImpostorAtlasLayout m_layout;
    std::vector<ImpostorCellQuad> m_cells;
    // The phase of every frame of the animation, looked up rather than divided per animal.
    std::vector<unsigned> m_phaseOfFrame;
    Footprint m_footprint;
    bool m_hasFootprint = false;
    std::vector<unsigned> m_visible;
    std::vector<float> m_vertices;
    std::size_t m_quadCount = 0;
    std::vector<float> m_shadowVertices;
    std::size_t m_shadowCount = 0;
};
