#include "render/gl/SoftwareSkinRenderer.h"

#include "foundation/Exception.h"
#include "herd/Herd.h"
#include "render/PrtColors.h"
#include "render/ViewFrustumTest.h"
#include "render/gl/GLState.h"
#include "skin/Skin.h"

#include <algorithm>
#include <chrono>

namespace {

// glVertexPointer and friends take 3 floats per vertex with no gaps.
static_assert(sizeof(Vector3f) == 3 * sizeof(float));

} // namespace

SoftwareSkinRenderer::SoftwareSkinRenderer(std::shared_ptr<Herd> herd, int detailLevel, const std::string& directory)
    : SkinRenderer(std::move(herd), detailLevel, directory)
{
}

SoftwareSkinRenderer::~SoftwareSkinRenderer() = default;

void SoftwareSkinRenderer::releaseGLResources()
{
    m_frameBuffers.clear();
    m_positionBuffer.reset();
    m_attributeBuffer.reset();
    SkinRenderer::releaseGLResources();
}

void SoftwareSkinRenderer::buildFrameColors()
{
    const Skin& skin = *herd()->skin();
    m_frameColors = prtFrameColors(skin.meanLighting(), skin.lightingBasis(), skin.lightingCoordinates(),
                                   skin.vertexColors(), skin.frameCount());
}

void SoftwareSkinRenderer::render(const RenderSettings& settings)
{
    const GeometryMode geometry = settings.geometryMode();
    const bool overlay =
        geometry == GeometryMode::Wireframe || (geometry == GeometryMode::Polys && settings.wireframeOnShaded());
    if (m_frameColors.empty()) buildFrameColors();

    GLState::Enable polygonOffset(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.0f, 1.0f);
    glPolygonMode(GL_FRONT, GL_FILL);
    const LightingMode lighting = settings.lightingMode();
    if (lighting == LightingMode::OpenGL)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
    GLState::setSkinMaterial();

    // Arrays this renderer does not set must be off, or GL would read through whatever
    // pointers someone else left behind.
    GLState::ClientArray vertexArray(GL_VERTEX_ARRAY);
    GLState::ClientArray colorArray(GL_COLOR_ARRAY, lighting == LightingMode::PRT);
    GLState::ClientArray normalArray(GL_NORMAL_ARRAY, lighting == LightingMode::OpenGL);
    GLState::ClientArray textureArray(GL_TEXTURE_COORD_ARRAY, false);

    const ViewFrustumTest frustum = GLState::viewFrustumTest();
    const Herd& animals = *herd();
    const Skin& skin = *animals.skin();
    const unsigned frames = skin.frameCount();
    const bool bufferObjects = settings.renderMethod() == RenderMethod::VertexBufferObjects;
    const std::size_t slots = std::max(frames, 1u);
    const bool perFrameBuffers = slots * skin.vertexCount() * 3 * sizeof(Vector3f) <= m_frameBufferBudget;

    FrameBreakdown* figures = breakdown();
    const unsigned count = animals.instanceCount();
    for (unsigned i = 0; i < count; ++i) {
        const HerdInstance instance = animals.instance(i);
        if (isCulled(frustum, instance, skin.triangleCount())) continue;
        if (bufferObjects && !GLEW_ARB_vertex_buffer_object)
            throw OpenGLException("ARB_vertex_buffer_object not supported on this card.");

        GLState::ModelviewPush push;
        glMultMatrixf(instance.transform.transposed().data());
        const auto skinningStart = std::chrono::steady_clock::now();
        // A skin without frames shows its rest pose; a frame beyond the animation (a herd built
        // for another skin) wraps round instead of reading past the caches.
        const unsigned slot = frames > 0 ? instance.frame % frames : 0;
        const std::vector<Vector3f>& positions = frames > 0 ? skin.framePositions(slot) : skin.restPositions();
        const std::vector<Vector3f>& normals = frames > 0 ? skin.frameNormals(slot) : skin.restNormals();

        if (!bufferObjects)
            pointAtClientMemory(slot, positions, normals, lighting);
        else if (perFrameBuffers)
            pointAtFrameBuffers(settings, slot, positions, normals, lighting);
        else
            pointAtStreamedBuffers(slot, positions, normals, lighting);
        if (figures) figures->skinning += FrameBreakdown::millisecondsSince(skinningStart);

        // Without lighting or colours the mesh takes the current colour: set it, or it would be
        // whatever the previous instance's line pass left.
        if (lighting == LightingMode::None) glColor4f(0.8f, 0.8f, 0.8f, 1.0f);
        drawBatches(settings);

        if (overlay) {
            // The colour array would colour the lines like the surface; they are to be dark.
            GLState::Disable unlit(GL_LIGHTING);
            GLState::ClientArray uncolored(GL_COLOR_ARRAY, false);
            GLState::FrontPolygonMode lines(GL_LINE);
            glColor4ub(40, 40, 40, 255);
            glLineWidth(1.0f);
            drawBatches(settings);
        }
    }
}

void SoftwareSkinRenderer::pointAtClientMemory(unsigned slot, const std::vector<Vector3f>& positions,
                                               const std::vector<Vector3f>& normals, LightingMode lighting)
{
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    if (lighting == LightingMode::PRT) glColorPointer(3, GL_FLOAT, 0, m_frameColors[slot].data());
    if (lighting == LightingMode::OpenGL) glNormalPointer(GL_FLOAT, 0, normals.data());
}

void SoftwareSkinRenderer::pointAtFrameBuffers(const RenderSettings& settings, unsigned slot,
                                               const std::vector<Vector3f>& positions,
                                               const std::vector<Vector3f>& normals, LightingMode lighting)
{
    if (m_frameBuffers.size() <= slot) m_frameBuffers.resize(m_frameColors.size());
    FrameBuffers& buffers = m_frameBuffers[slot];
    GLMemoryManager& manager = memoryManager(settings);
    const std::size_t bytes = positions.size() * sizeof(Vector3f);
    if (!buffers.positions)
        buffers.positions = manager.allocate(positions.data(), bytes, GLMemoryManager::kVertexData);
    {
        const auto binding = buffers.positions->bind();
        glVertexPointer(3, GL_FLOAT, 0, buffers.positions->start());
    }
    if (lighting == LightingMode::PRT) {
        const std::vector<float>& colors = m_frameColors[slot];
        if (!buffers.colors)
            buffers.colors =
                manager.allocate(colors.data(), colors.size() * sizeof(float), GLMemoryManager::kVertexData);
        const auto binding = buffers.colors->bind();
        glColorPointer(3, GL_FLOAT, 0, buffers.colors->start());
    }
    if (lighting == LightingMode::OpenGL) {
        if (!buffers.normals)
            buffers.normals =
                manager.allocate(normals.data(), normals.size() * sizeof(Vector3f), GLMemoryManager::kVertexData);
        const auto binding = buffers.normals->bind();
        glNormalPointer(GL_FLOAT, 0, buffers.normals->start());
    }
}

void SoftwareSkinRenderer::pointAtStreamedBuffers(unsigned slot, const std::vector<Vector3f>& positions,
                                                  const std::vector<Vector3f>& normals, LightingMode lighting)
{
    if (!m_positionBuffer) m_positionBuffer = std::make_unique<ARBVertexBufferObject>(GL_ARRAY_BUFFER_ARB);
    m_positionBuffer->upload(positions.data(), positions.size() * sizeof(Vector3f), GL_STREAM_DRAW_ARB);
    {
        const auto binding = m_positionBuffer->bind();
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
    }
    if (!m_attributeBuffer) m_attributeBuffer = std::make_unique<ARBVertexBufferObject>(GL_ARRAY_BUFFER_ARB);
    if (lighting == LightingMode::PRT) {
        const std::vector<float>& colors = m_frameColors[slot];
        m_attributeBuffer->upload(colors.data(), colors.size() * sizeof(float), GL_STREAM_DRAW_ARB);
        const auto binding = m_attributeBuffer->bind();
        glColorPointer(3, GL_FLOAT, 0, nullptr);
    }
    if (lighting == LightingMode::OpenGL) {
        m_attributeBuffer->upload(normals.data(), normals.size() * sizeof(Vector3f), GL_STREAM_DRAW_ARB);
        const auto binding = m_attributeBuffer->bind();
        glNormalPointer(GL_FLOAT, 0, nullptr);
    }
}
