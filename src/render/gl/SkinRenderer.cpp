#include "render/gl/SkinRenderer.h"

#include "herd/Herd.h"
#include "render/TexturePath.h"
#include "render/gl/GLBasicMemoryManager.h"
#include "render/gl/GLTextureCache.h"
#include "render/gl/VBOMemoryManager.h"
#include "skin/Skin.h"

#include <GL/glew.h>

#include <chrono>
#include <cstdint>

static_assert(kGLTriangles == GL_TRIANGLES && kGLTriangleStrip == GL_TRIANGLE_STRIP &&
              kGLTriangleFan == GL_TRIANGLE_FAN, "the GL-free batch planner names GL's primitive modes");

SkinRenderer::SkinRenderer(std::shared_ptr<Herd> herd, int detailLevel, const std::string& directory)
    : m_herd(std::move(herd)), m_detailLevel(detailLevel)
{
    const std::string name = m_herd->skin()->textureFileName();
    if (!name.empty()) m_texture = GLTextureCache::texture(texturePath(directory, name));
}

SkinRenderer::~SkinRenderer() = default;

void SkinRenderer::releaseGLResources()
{
    m_indexBatches.clear();
    m_batchesBuilt = false;
    m_memoryManager.reset();
}

GLMemoryManager& SkinRenderer::memoryManager(const RenderSettings& settings)
{
    if (!m_memoryManager) {
        if (settings.renderMethod() == RenderMethod::VertexBufferObjects)
            m_memoryManager = std::make_unique<VBOMemoryManager>();
        else
            m_memoryManager = std::make_unique<GLBasicMemoryManager>();
    }
    return *m_memoryManager;
}

void SkinRenderer::buildIndexBatches(const RenderSettings& settings)
{
    const Skin& skin = *m_herd->skin();
    const std::vector<IndexBatchPlan> plans =
        settings.useTriangleStrips() ? planStripBatches(skin.primitiveGroups()) : planTriangleBatch(skin.triangles());
    GLMemoryManager& manager = memoryManager(settings);
    // Built aside so that a failure part way leaves no half set of batches behind.
    std::deque<IndexBatch> batches;
    for (const IndexBatchPlan& plan : plans) {
        std::vector<MultiDraw> draws;
        for (const DrawRange& range : plan.ranges) {
            if (draws.empty() || draws.back().mode != range.mode) draws.push_back({range.mode, {}, {}, {}, nullptr});
            draws.back().counts.push_back(static_cast<int>(range.count));
            draws.back().byteOffsets.push_back(range.byteOffset);
        }
        batches.push_back({manager.allocate(plan.indices.data(), plan.indices.size() * sizeof(std::uint16_t),
                                            GLMemoryManager::kIndexData),
                           std::move(draws)});
    }
    m_indexBatches = std::move(batches);
    m_batchesBuilt = true;
}

void SkinRenderer::drawBatches(const RenderSettings& settings, std::unique_ptr<GLDisplayList::Recorder>& recorder,
                               std::deque<std::shared_ptr<GLDisplayList>>& sink)
{
    if (!m_batchesBuilt) buildIndexBatches(settings);
    const GLuint end = m_herd->skin()->vertexCount();
    const bool rangeElements = GLEW_VERSION_1_2;
    const bool multiDraw = GLEW_VERSION_1_4;
    for (IndexBatch& batch : m_indexBatches) {
        {
            const std::unique_ptr<GLBindBuffer> binding = batch.buffer->bind();
            // An address in client memory, or an offset into the bound buffer object.
            const void* start = batch.buffer->start();
            const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(start);
            for (MultiDraw& draw : batch.draws) {
                if (draw.indices.empty() || draw.base != start) {
                    draw.indices.clear();
                    for (const std::size_t offset : draw.byteOffsets)
                        draw.indices.push_back(reinterpret_cast<const void*>(base + offset));
                    draw.base = start;
                }
                // The same primitives in the same order as one call a range, so the same pixels.
                if (multiDraw && draw.counts.size() > 1) {
                    glMultiDrawElements(draw.mode, draw.counts.data(), GL_UNSIGNED_SHORT, draw.indices.data(),
                                        static_cast<GLsizei>(draw.counts.size()));
                    continue;
                }
                for (std::size_t i = 0; i < draw.counts.size(); ++i) {
                    if (rangeElements)
                        glDrawRangeElements(draw.mode, 0, end, draw.counts[i], GL_UNSIGNED_SHORT, draw.indices[i]);
                    else
                        glDrawElements(draw.mode, draw.counts[i], GL_UNSIGNED_SHORT, draw.indices[i]);
                }
            }
        }
        if (recorder) {
            recorder.reset();
            sink.push_back(std::make_shared<GLDisplayList>());
            recorder = std::make_unique<GLDisplayList::Recorder>(*sink.back());
        }
    }
}

bool SkinRenderer::isCulled(const ViewFrustumTest& frustum, const HerdInstance& instance, unsigned triangles) const
{
    if (!m_breakdown) return frustum.isOutside(instance.box);
    const auto start = std::chrono::steady_clock::now();
    const bool outside = frustum.isOutside(instance.box);
    m_breakdown->culling += FrameBreakdown::millisecondsSince(start);
    if (!outside) m_breakdown->trianglesDrawn += triangles;
    return outside;
}

void SkinRenderer::drawBatches(const RenderSettings& settings)
{
    std::unique_ptr<GLDisplayList::Recorder> none;
    std::deque<std::shared_ptr<GLDisplayList>> unused;
    drawBatches(settings, none, unused);
}
