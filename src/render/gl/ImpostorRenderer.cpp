#include "render/gl/ImpostorRenderer.h"

#include "herd/HierarchicalHerd.h"
#include "render/gl/GLState.h"
#include "render/gl/SoftAlphaMask.h"
#include "skin/Skin.h"

#include <GL/glew.h>

#include <algorithm>
#include <chrono>

namespace {

// Texels with less coverage than this are not drawn, so they leave the depth buffer alone and
// an impostor behind shows through its neighbour's transparent margin.
constexpr float kAlphaCutoff = 0.25f;

// glBlendFunc and GL_BLEND for one draw, put back afterwards.
class Blending {
public:
    Blending(GLenum source, GLenum destination) : m_enable(GL_BLEND)
    {
        glGetIntegerv(GL_BLEND_SRC, &m_source);
        glGetIntegerv(GL_BLEND_DST, &m_destination);
        glBlendFunc(source, destination);
    }
    ~Blending() { glBlendFunc(static_cast<GLenum>(m_source), static_cast<GLenum>(m_destination)); }
    Blending(const Blending&) = delete;
    Blending& operator=(const Blending&) = delete;

private:
    GLState::Enable m_enable;
    GLint m_source = GL_ONE;
    GLint m_destination = GL_ZERO;
};

} // namespace

ImpostorRenderer::ImpostorRenderer(std::shared_ptr<HierarchicalHerd> herd, const std::string& directory)
    : m_herd(std::move(herd)), m_directory(directory)
{
    // The blob stands for the coarsest level's shadow skin: its footprint and its darkest colour.
    const std::shared_ptr<Skin>& shadow = m_herd->impostors()->skin()->nextSkin();
    if (shadow && !shadow->boundingBox().isEmpty() && !shadow->vertexColors().empty() &&
        !shadow->meanLighting().empty()) {
        const BoundingBox box = shadow->boundingBox();
        m_quads.setShadowFootprint({box.minimum.x, box.minimum.z, box.maximum.x, box.maximum.z, box.minimum.y});
        const float darkest = *std::min_element(shadow->meanLighting().begin(), shadow->meanLighting().end());
        const Vector3f colour = shadow->vertexColors().front();
        m_shadowColour[0] = colour.x * darkest;
        m_shadowColour[1] = colour.y * darkest;
        m_shadowColour[2] = colour.z * darkest;
        m_hasShadow = true;
    }
}

ImpostorRenderer::~ImpostorRenderer() = default;

void ImpostorRenderer::prepare(const RenderSettings& settings, bool hardwareSkinning, double thresholdPixels)
{
    if (m_atlas && m_atlas->thresholdPixels() == thresholdPixels && m_atlasHardware == hardwareSkinning) return;
    m_atlas.reset();
    const int coarsest = static_cast<int>(m_herd->levelCount()) - 1;
    m_atlas = std::make_unique<ImpostorAtlas>(m_herd->impostors()->skin(), coarsest, m_directory, settings,
                                              hardwareSkinning, thresholdPixels);
    m_atlasHardware = hardwareSkinning;
    m_quads.setAtlas(m_atlas->layout(), m_atlas->cells());
}

void ImpostorRenderer::releaseGLResources()
{
    m_atlas.reset();
}

void ImpostorRenderer::update(const ViewFrustumTest& frustum, const Vector3f& eye, bool shadows,
                              FrameBreakdown& breakdown)
{
    if (!m_atlas) return;
    const Herd& impostors = *m_herd->impostors();
    const auto start = std::chrono::steady_clock::now();
    m_quads.cull(impostors, frustum);
    const auto built = std::chrono::steady_clock::now();
    breakdown.culling += std::chrono::duration<double, std::milli>(built - start).count();
    m_quads.build(impostors, eye, shadows && m_hasShadow);
    // Band animals are meshes without shadow skins; they get the same blobs.
    if (shadows && m_hasShadow && m_herd->band()) m_quads.addShadows(*m_herd->band(), frustum);
    breakdown.drawingImpostors += FrameBreakdown::millisecondsSince(built);
}

void ImpostorRenderer::drawArrays(const float* vertices, std::size_t quads) const
{
    constexpr GLsizei kStride = ImpostorQuads::kFloatsPerVertex * sizeof(float);
    GLState::ClientArray vertexArray(GL_VERTEX_ARRAY);
    GLState::ClientArray texCoordArray(GL_TEXTURE_COORD_ARRAY);
    GLState::ClientArray normalArray(GL_NORMAL_ARRAY, false);
    GLState::ClientArray colorArray(GL_COLOR_ARRAY, false);
    glVertexPointer(3, GL_FLOAT, kStride, vertices);
    glTexCoordPointer(2, GL_FLOAT, kStride, vertices + 3);
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(4 * quads));
}

void ImpostorRenderer::renderShadows() const
{
    if (!m_atlas || m_quads.shadowCount() == 0) return;
    const std::shared_ptr<GLTexture> mask = SoftAlphaMask::texture();
    GLState::Disable lighting(GL_LIGHTING);
    GLState::Disable culling(GL_CULL_FACE);
    GLState::DepthWritesOff depthWrites;
    const GLTexture::Binding texture(*mask);
    // The mask's alpha under the blob's colour: the shadow fades towards its rim.
    GLState::TextureEnvironment environment(GL_MODULATE);
    const Blending blending(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(m_shadowColour[0], m_shadowColour[1], m_shadowColour[2], 1.0f);
    drawArrays(m_quads.shadowVertices(), m_quads.shadowCount());
}

void ImpostorRenderer::render(FrameBreakdown& breakdown) const
{
    if (!m_atlas || m_quads.quadCount() == 0) return;
    const auto start = std::chrono::steady_clock::now();
    {
        GLState::Disable lighting(GL_LIGHTING);
        GLState::Disable culling(GL_CULL_FACE);
        const GLTexture::Binding texture(m_atlas->texture());
        GLState::TextureEnvironment environment(GL_REPLACE);
        const Blending blending(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        GLState::Enable alphaTest(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, kAlphaCutoff);
        drawArrays(m_quads.vertices(), m_quads.quadCount());
    }
    breakdown.drawingImpostors += FrameBreakdown::millisecondsSince(start);
    breakdown.impostorsDrawn += m_quads.quadCount();
}
