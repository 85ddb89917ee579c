#include "render/gl/HardwareSkinRenderer.h"

#include "foundation/Exception.h"
#include "herd/Herd.h"
#include "render/ViewFrustumTest.h"
#include "render/gl/GLBoxes.h"
#include "render/gl/GLState.h"
#include "render/gl/SoftAlphaMask.h"
#include "skin/Skin.h"

#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <optional>

namespace {

constexpr const char* kNoProgramText = "No vertex program currently in use (2)";

// Colour of the wireframe pass. The programs write their own colour (the plain one black at
// 0.4 alpha), so this only matters to a program that reads the vertex colour; it is opaque so
// that such a program would not make the lines vanish.
constexpr GLubyte kOverlayColour[4] = {30, 30, 30, 255};

// glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA) with GL_BLEND on; at the end both the
// function and the capability are as they were, so the view's own blending is not disturbed.
class AlphaBlending {
public:
    AlphaBlending() : m_enable(GL_BLEND)
    {
        glGetIntegerv(GL_BLEND_SRC, &m_source);
        glGetIntegerv(GL_BLEND_DST, &m_destination);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    ~AlphaBlending() { glBlendFunc(static_cast<GLenum>(m_source), static_cast<GLenum>(m_destination)); }
    AlphaBlending(const AlphaBlending&) = delete;
    AlphaBlending& operator=(const AlphaBlending&) = delete;

private:
    GLState::Enable m_enable;
    GLint m_source = GL_ONE;
    GLint m_destination = GL_ZERO;
};

// The texture environment mode of unit 0, restored at the end: a GL_REPLACE left behind would
// strip the lighting from whatever is textured next.
class TextureEnvironmentMode {
public:
    explicit TextureEnvironmentMode(GLint mode)
    {
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &m_previous);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
    }
    ~TextureEnvironmentMode() { glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, m_previous); }
    TextureEnvironmentMode(const TextureEnvironmentMode&) = delete;
    TextureEnvironmentMode& operator=(const TextureEnvironmentMode&) = delete;

private:
    GLint m_previous = GL_MODULATE;
};

unsigned cardAttributeLimit()
{
    GLint limit = 0;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS_ARB, &limit);
    return static_cast<unsigned>(std::max(limit, 0));
}

} // namespace

class HardwareSkinRenderer::AttributeArrays {
public:
    AttributeArrays() = default;
    ~AttributeArrays()
    {
        for (GLuint index : m_enabled) glDisableVertexAttribArrayARB(index);
    }
    AttributeArrays(const AttributeArrays&) = delete;
    AttributeArrays& operator=(const AttributeArrays&) = delete;

    void enable(GLuint index)
    {
        // Recorded first: should GL complain, the array is still disabled again at the end.
        m_enabled.push_back(index);
        glEnableVertexAttribArrayARB(index);
    }

private:
    std::vector<GLuint> m_enabled;
};

HardwareSkinRenderer::HardwareSkinRenderer(std::shared_ptr<Herd> herd, int detailLevel, const std::string& directory)
    : SkinRenderer(std::move(herd), detailLevel, directory)
{
    const Skin& skin = *this->herd()->skin();
    for (unsigned v = 0; v < skin.vertexCount(); ++v)
        m_influenceCount = std::max(m_influenceCount, static_cast<unsigned>(skin.influences(v).size()));
}

HardwareSkinRenderer::~HardwareSkinRenderer() = default;

void HardwareSkinRenderer::releaseGLResources()
{
    // Lists first: they may hold copies of the attribute data, which go next.
    m_displayLists.clear();
    m_plainProgram.reset();
    m_litProgram.reset();
    m_attributeBuffers.clear();
    m_attributes.reset();
    m_environment.clear();
    m_environmentVectors = 0;
    m_environmentSlots = 0;
    SkinRenderer::releaseGLResources();
}

std::string HardwareSkinRenderer::programText() const
{
    return m_litProgram ? m_litProgram->text() : std::string(kNoProgramText);
}

void HardwareSkinRenderer::build(const RenderSettings& settings)
{
    if (!GLEW_ARB_vertex_program) throw OpenGLException("Extension ARB_vertex_program not supported on this card.");
    unsigned limit = cardAttributeLimit();
    if (m_attributeLimit != 0) limit = std::min(limit, m_attributeLimit);
    const Skin& skin = *herd()->skin();
    VertexProgramGenerator::Programs programs = VertexProgramGenerator::generate(
        skin, VertexProgramGenerator::Choices::fromSettings(settings, detailLevel(), m_blendedOverlay, limit));
    auto plain = std::make_shared<ARBVertexProgram>(programs.plainText);
    auto lit = programs.litIsPlain ? plain : std::make_shared<ARBVertexProgram>(programs.litText);

    // Nothing is kept until everything is loaded: a failure leaves the renderer without
    // programs, and the next render builds again.
    m_displayLists.clear();
    m_attributeBuffers.clear();
    m_attributes = std::move(programs.attributes);
    m_attributeBuffers.resize(m_attributes->records().size());
    m_layout = std::move(programs.layout);
    m_vertexCorrections = m_layout.vertexCorrectionCount();
    m_normalCorrections = m_layout.normalCorrectionCount();
    m_prtBasisCount = m_layout.prtBasisCount;
    m_prtFirstVector = m_layout.prtFirstVector;
    // Bone rows, the scalar block and the PRT coefficients lie back to back from vector 0.
    m_environmentVectors = m_layout.prtVectorCount > 0 ? m_layout.prtFirstVector + m_layout.prtVectorCount
                                                       : 3 * m_layout.boneCount + m_layout.scalarVectorCount;
    m_environmentSlots = std::max(skin.frameCount(), 1u);
    m_environment.clear();
    m_environment.reserve(static_cast<std::size_t>(m_environmentSlots) * m_environmentVectors * 4);
    for (unsigned f = 0; f < m_environmentSlots; ++f) {
        const std::vector<float> block = computeEnvironment(f);
        m_environment.insert(m_environment.end(), block.begin(), block.end());
    }
    m_plainProgram = std::move(plain);
    m_litProgram = std::move(lit);
}

std::vector<float> HardwareSkinRenderer::computeEnvironment(unsigned frame) const
{
    const Skin& skin = *herd()->skin();
    const unsigned frames = skin.frameCount();
    std::vector<float> env(static_cast<std::size_t>(m_environmentVectors) * 4, 0.0f);
    for (unsigned b = 0; b < m_layout.boneCount; ++b)
        for (unsigned r = 0; r < 3; ++r) {
            float* row = &env[(3 * b + r) * 4];
            if (frames == 0) {
                // Bones without a single pose: hold the rest pose rather than collapse it.
                row[r] = 1.0f;
                continue;
            }
            const AffineTransform& t = skin.boneAnimation(b)[frame];
            for (unsigned c = 0; c < 3; ++c) row[c] = t.linear(int(r), int(c));
            row[3] = t.translation[int(r)];
        }
    if (frames == 0) return env;
    // Coefficient j of frame f is element (f, j) of the coordinates: one row per frame.
    auto place = [&](const EnvScalarBlock::Slot& slot, float value) { env[slot.vector * 4 + slot.component] = value; };
    for (unsigned j = 0; j < m_layout.vertexCorrections.size(); ++j)
        place(m_layout.vertexCorrections[j].coefficient, skin.displacementCoordinates()(frame, j));
    for (unsigned j = 0; j < m_layout.normalCorrections.size(); ++j)
        place(m_layout.normalCorrections[j].coefficient, skin.normalCoordinates()(frame, j));
    // The lighting coordinates hold one column per frame.
    for (unsigned j = 0; j < m_layout.prtBasisCount; ++j)
        env[(m_layout.prtFirstVector + j / 4) * 4 + j % 4] = skin.lightingCoordinates()(j, frame);
    return env;
}

std::vector<float> HardwareSkinRenderer::environmentFor(unsigned frame) const
{
    if (!built() || m_environmentSlots == 0) return {};
    const std::size_t size = static_cast<std::size_t>(m_environmentVectors) * 4;
    const auto start = m_environment.begin() + static_cast<std::ptrdiff_t>((frame % m_environmentSlots) * size);
    return {start, start + static_cast<std::ptrdiff_t>(size)};
}

void HardwareSkinRenderer::uploadEnvironment(unsigned slot) const
{
    const float* block = m_environment.data() + static_cast<std::size_t>(slot) * m_environmentVectors * 4;
    for (unsigned k = 0; k < m_environmentVectors; ++k)
        glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, k, block + 4 * k);
}

void HardwareSkinRenderer::bindAttributes(const RenderSettings& settings, AttributeArrays& arrays)
{
    const std::vector<VertexAttributeSet::Record>& records = m_attributes->records();
    for (std::size_t r = 0; r < records.size(); ++r) {
        const VertexAttributeSet::Record& record = records[r];
        std::shared_ptr<GLBuffer>& buffer = m_attributeBuffers[r];
        if (!buffer) {
            const std::vector<float> data = record.interleaved();
            buffer = memoryManager(settings).allocate(data.data(), data.size() * sizeof(float),
                                                      GLMemoryManager::kVertexData);
        }
        const std::unique_ptr<GLBindBuffer> binding = buffer->bind();
        glVertexAttribPointerARB(record.index, static_cast<GLint>(record.componentCount()), GL_FLOAT, GL_FALSE, 0,
                                 buffer->start());
        arrays.enable(record.index);
    }
}

void HardwareSkinRenderer::drawInstance(const RenderSettings& settings, GeometryMode geometry, bool overlay,
                                        std::unique_ptr<GLDisplayList::Recorder>& recorder)
{
    if (geometry == GeometryMode::Polys)
        drawBatches(settings, recorder, m_displayLists);
    else if (geometry == GeometryMode::Points)
        glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(herd()->skin()->vertexCount()));
    if (!overlay) return;
    // Lines over filled polygons take the plain program (dark, translucent); alone, in
    // Wireframe mode, they keep the lit one.
    const bool swap = geometry != GeometryMode::Wireframe;
    if (swap) glBindProgramARB(GL_VERTEX_PROGRAM_ARB, m_plainProgram->name());
    {
        GLState::FrontPolygonMode lines(GL_LINE);
        glColor4ubv(kOverlayColour);
        glLineWidth(1.0f);
        drawBatches(settings, recorder, m_displayLists);
    }
    if (swap) glBindProgramARB(GL_VERTEX_PROGRAM_ARB, m_litProgram->name());
}

void HardwareSkinRenderer::render(const RenderSettings& settings)
{
    const GeometryMode geometry = settings.geometryMode();
    if (geometry == GeometryMode::Boxes) {
        GLBoxes::draw(*herd(), GLState::viewFrustumTest());
        return;
    }
    if (!built()) build(settings);

    const bool overlay =
        geometry == GeometryMode::Wireframe || (geometry == GeometryMode::Polys && settings.wireframeOnShaded());

    // Declared in the order of making, so they are undone in reverse: polygon offset, program,
    // attribute arrays, client arrays, depth writes, blending, texture environment, texture.
    //
    // The overlay takes its alpha from the mask alone; a skin's own texture modulates the lit
    // colour. The share keeps the texture alive while it is bound.
    const std::shared_ptr<GLTexture> textureShown = m_blendedOverlay ? SoftAlphaMask::texture() : this->texture();
    std::optional<GLTexture::Binding> texture;
    std::optional<TextureEnvironmentMode> textureMode;
    if (textureShown) {
        texture.emplace(*textureShown);
        textureMode.emplace(m_blendedOverlay ? GL_REPLACE : GL_MODULATE);
    }
    std::optional<AlphaBlending> blending;
    if (overlay || m_blendedOverlay) blending.emplace();
    std::optional<GLState::DepthWritesOff> depthWrites;
    if (m_blendedOverlay) depthWrites.emplace();

    // The programs read generic attributes only. Conventional arrays someone left enabled
    // would still be walked (and copied into display lists) through stale pointers.
    GLState::ClientArray vertexArray(GL_VERTEX_ARRAY, false);
    GLState::ClientArray normalArray(GL_NORMAL_ARRAY, false);
    GLState::ClientArray colorArray(GL_COLOR_ARRAY, false);
    GLState::ClientArray texCoordArray(GL_TEXTURE_COORD_ARRAY, false);
    AttributeArrays arrays;
    bindAttributes(settings, arrays);

    ARBVertexProgram::Binding program(*m_litProgram);
    std::optional<GLState::Enable> polygonOffset;
    if (overlay) {
        polygonOffset.emplace(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1.0f, 1.0f);
    }
    glPolygonMode(GL_FRONT, GL_FILL);
    // The OpenGL-lighting program reads the light and material products from this state.
    glEnable(GL_LIGHTING);
    GLState::setSkinMaterial();

    const ViewFrustumTest frustum = GLState::viewFrustumTest();
    const Herd& animals = *herd();
    const bool displayLists = settings.renderMethod() == RenderMethod::DisplayLists;
    // Instances showing the same frame one after another need no new upload.
    unsigned uploaded = m_environmentSlots;
    FrameBreakdown* figures = breakdown();
    const unsigned triangles = geometry == GeometryMode::Points ? 0u : animals.skin()->triangleCount();
    const unsigned count = animals.instanceCount();
    for (unsigned i = 0; i < count; ++i) {
        const HerdInstance instance = animals.instance(i);
        if (isCulled(frustum, instance, triangles)) continue;
        // A herd shown with another skin (a shadow) may run past this skin's frames: wrap.
        const unsigned slot = instance.frame % m_environmentSlots;
        if (slot != uploaded) {
            const auto start = std::chrono::steady_clock::now();
            uploadEnvironment(slot);
            uploaded = slot;
            if (figures) figures->skinning += FrameBreakdown::millisecondsSince(start);
        }

        GLState::ModelviewPush push;
        glMultMatrixf(instance.transform.transposed().data());
        std::unique_ptr<GLDisplayList::Recorder> recorder;
        if (!displayLists || m_displayLists.empty()) {
            if (displayLists) {
                m_displayLists.push_back(std::make_shared<GLDisplayList>());
                recorder = std::make_unique<GLDisplayList::Recorder>(*m_displayLists.back());
            }
            try {
                drawInstance(settings, geometry, overlay, recorder);
            } catch (...) {
                // Half-compiled lists would be called from then on: compile afresh next time.
                recorder.reset();
                m_displayLists.clear();
                throw;
            }
            recorder.reset();
        }
        if (displayLists)
            for (const std::shared_ptr<GLDisplayList>& list : m_displayLists) list->call();
    }
}
