#pragma once

#include "render/FrameBreakdown.h"
#include "render/IndexBatches.h"
#include "render/RenderSettings.h"
#include "render/gl/GLBuffer.h"
#include "render/gl/GLDisplayList.h"
#include "render/gl/GLMemoryManager.h"
#include "render/gl/GLTexture.h"
#include "herd/HerdInstance.h"
#include "render/ViewFrustumTest.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

class Herd;

// Base of the skin renderers: draws every animal of one herd in the current GL context. Owns
// what both the software and the hardware renderer need: a share of the herd (the skin is
// always reached through it), the memory manager that makes the index buffers, the index
// batches (the skin's triangles or strips packed into 16-bit index buffers) and a share of the
// skin's texture from the process-wide cache. GL resources are made at the first draw and
// dropped by releaseGLResources. Used on the GUI thread with the renderer's context current.
class SkinRenderer {
public:
    // Consecutive ranges of one primitive mode, drawn with one call: a detailed level has a
    // few thousand short strips, and a call each cost more than the triangles themselves.
    struct MultiDraw {
        unsigned mode = 0;
        std::vector<int> counts;
        std::vector<std::size_t> byteOffsets;
        // byteOffsets added to the buffer's start, remade when the start moves.
        std::vector<const void*> indices;
        const void* base = nullptr;
    };

    // One index buffer and the draw calls that read it, in order: its ranges, runs of one mode
    // grouped for one call each.
    struct IndexBatch {
        std::shared_ptr<GLBuffer> buffer;
        std::vector<MultiDraw> draws;
    };

    // Takes the skin's texture (directory joined with its texture file name) from the texture
    // cache, loading it if no renderer did yet. Throws what texture loading throws
    // (IOException "Unable to load image '" path "'.") when the skin names an unreadable file.
    SkinRenderer(std::shared_ptr<Herd> herd, int detailLevel, const std::string& directory);
    virtual ~SkinRenderer();
    SkinRenderer(const SkinRenderer&) = delete;
    SkinRenderer& operator=(const SkinRenderer&) = delete;

    // Draws every instance of the herd with the current settings.
    virtual void render(const RenderSettings& settings) = 0;
    // Drops the index batches and the memory manager so that both are rebuilt, from the
    // settings of that moment, at the next draw. Called on every change of a rendering choice.
    virtual void releaseGLResources();

    // The memory manager, made on the first call: buffer objects for the VertexBufferObjects
    // method, client memory otherwise. The choice holds until releaseGLResources.
    GLMemoryManager& memoryManager(const RenderSettings& settings);

    // Builds the index batches if not yet built, then draws every range of every batch
    // (glDrawRangeElements, or glDrawElements without OpenGL 1.2). When recorder holds a list
    // under compilation, that list is ended after each batch and compiling goes on in a new
    // list appended to sink, so that lists split at batch boundaries.
    void drawBatches(const RenderSettings& settings, std::unique_ptr<GLDisplayList::Recorder>& recorder,
                     std::deque<std::shared_ptr<GLDisplayList>>& sink);
    // The same, drawing directly.
    void drawBatches(const RenderSettings& settings);

    const std::shared_ptr<Herd>& herd() const { return m_herd; }
    int detailLevel() const { return m_detailLevel; }
    // Where render adds its culling and skinning times and the triangles it drew; none (the
    // start) measures nothing. The frame renderer points every renderer at its frame's figures.
    void setBreakdown(FrameBreakdown* breakdown) { m_breakdown = breakdown; }
    // Null when the skin names no texture.
    const std::shared_ptr<GLTexture>& texture() const { return m_texture; }
    // Empty until the first draw and after releaseGLResources.
    const std::deque<IndexBatch>& indexBatches() const { return m_indexBatches; }

protected:
    FrameBreakdown* breakdown() const { return m_breakdown; }
    // The frustum test of one instance (true: out of view). With a breakdown, its time counts as
    // culling and an instance in view adds `triangles` to the triangles drawn.
    bool isCulled(const ViewFrustumTest& frustum, const HerdInstance& instance, unsigned triangles) const;

private:
    void buildIndexBatches(const RenderSettings& settings);

    // Destroyed in reverse: texture, batches (and their buffers), memory manager, herd.
    std::shared_ptr<Herd> m_herd;
    int m_detailLevel;
    std::unique_ptr<GLMemoryManager> m_memoryManager;
    std::deque<IndexBatch> m_indexBatches;
    // A skin without triangles has no batches; the flag keeps it from being planned each draw.
    bool m_batchesBuilt = false;
    std::shared_ptr<GLTexture> m_texture;
    FrameBreakdown* m_breakdown = nullptr;
};
