#pragma once

#include "render/gl/ARBVertexBufferObject.h"
#include "render/gl/SkinRenderer.h"

#include <vector>

// Draws a herd with the skinning done on the processor: each instance shows the skin's
// skinned positions and normals of its frame (evaluated once per frame by the skin and shared)
// with per-frame PRT colours computed once at the first draw, under its own transform.
// Culls instances by their boxes, and draws a dark wireframe over the filled mesh when the
// geometry mode asks for it. Binds no texture.
//
// With the VertexBufferObjects method, the vertex data of every frame shown is uploaded once
// into static buffer objects of its own and drawn from there by every instance showing that
// frame; only when that would take more than the budget (kFrameBufferBudget unless set) is
// each instance's data streamed into two reused buffers instead. Owns all of these buffers;
// releaseGLResources drops them with the base's batches and memory manager.
class SoftwareSkinRenderer : public SkinRenderer {
public:
    // Card memory the per-frame vertex buffers may take before streaming takes over.
    static constexpr std::size_t kFrameBufferBudget = 256u << 20;

    // As SkinRenderer; detailLevel is not used here.
    SoftwareSkinRenderer(std::shared_ptr<Herd> herd, int detailLevel, const std::string& directory);
    ~SoftwareSkinRenderer() override;

    // Draws every instance whose box is in view with the current modelview and projection.
    // Throws OpenGLException "ARB_vertex_buffer_object not supported on this card." for the
    // VertexBufferObjects method without the extension, and Exception for PRT data that does
    // not fit the skin; GL state is restored either way.
    void render(const RenderSettings& settings) override;
    // Card memory the per-frame buffers may take from now on (0 streams every instance).
    void setFrameBufferBudget(std::size_t bytes) { m_frameBufferBudget = bytes; }

    // The base's resources plus every vertex buffer of this renderer; the colours stay.
    void releaseGLResources() override;

    // RGB per vertex for each frame (one entry for the rest pose of a skin without frames):
    // mean lighting plus the frame's PRT term, times the vertex colour. Empty before the first
    // render.
    const std::vector<std::vector<float>>& frameColors() const { return m_frameColors; }

private:
    // The static buffers of one frame, each made when first needed.
    struct FrameBuffers {
        std::shared_ptr<GLBuffer> positions;
        std::shared_ptr<GLBuffer> colors;
        std::shared_ptr<GLBuffer> normals;
    };

    void buildFrameColors();
    // Point GL's vertex array and the colour or normal array at the data of frame slot `slot`:
    // straight in client memory, from that frame's static buffers, or streamed.
    void pointAtClientMemory(unsigned slot, const std::vector<Vector3f>& positions,
                             const std::vector<Vector3f>& normals, LightingMode lighting);
    void pointAtFrameBuffers(const RenderSettings& settings, unsigned slot, const std::vector<Vector3f>& positions,
                             const std::vector<Vector3f>& normals, LightingMode lighting);
    void pointAtStreamedBuffers(unsigned slot, const std::vector<Vector3f>& positions,
                                const std::vector<Vector3f>& normals, LightingMode lighting);

    std::unique_ptr<ARBVertexBufferObject> m_positionBuffer;
    std::unique_ptr<ARBVertexBufferObject> m_attributeBuffer;
    std::vector<std::vector<float>> m_frameColors;
    std::vector<FrameBuffers> m_frameBuffers;
    std::size_t m_frameBufferBudget = kFrameBufferBudget;
};
