#pragma once

#include "render/VertexAttributeSet.h"
#include "render/VertexProgramGenerator.h"
#include "render/gl/ARBVertexProgram.h"
#include "render/gl/SkinRenderer.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

// Draws a herd with the skinning done on the graphics card by a generated ARB vertex program.
// The rest pose and every per-vertex skinning input (bone ids and weights, correction bases,
// PRT basis, colours) go into generic vertex attributes once; per instance only the bone rows
// of its frame and that frame's correction and PRT coefficients are set as program environment
// parameters before the shared geometry is drawn under the instance's transform.
//
// Programs, attribute set and attribute buffers are built by the first render that is not in
// Boxes mode and reflect the settings of that moment until releaseGLResources; with the
// DisplayLists method the geometry is compiled once, while drawing the first visible instance,
// and called for every instance. With blendedOverlay set (the animals' shadows) the skin is
// blended over the scene, its alpha from the process-wide soft mask, without depth writes.
// Every GL state change of a render is undone when it ends, also when an exception passes.
class HardwareSkinRenderer : public SkinRenderer {
public:
    // As SkinRenderer; also finds I, the largest influence count of any vertex.
    HardwareSkinRenderer(std::shared_ptr<Herd> herd, int detailLevel, const std::string& directory);
    ~HardwareSkinRenderer() override;

    // Draws every instance whose box is in view. Build failures (attribute limit, arrays of the
    // wrong size, missing extension, program text rejected) throw before anything is drawn and
    // leave the programs missing, so the next render tries again.
    void render(const RenderSettings& settings) override;
    // The base's batches and memory manager, both programs, the display lists, the attribute
    // set with its buffers: the next render rebuilds all of them from the settings of then.
    void releaseGLResources() override;

    // The lit program's text as generated, comments included, or "No vertex program currently
    // in use (2)" while there is none.
    std::string programText() const;

    // Set by the view for a skin drawn as the shadow of another herd's animals. Takes effect
    // at the next build (the PRT basis count depends on it).
    void setBlendedOverlay(bool blendedOverlay) { m_blendedOverlay = blendedOverlay; }
    bool blendedOverlay() const { return m_blendedOverlay; }

    // Caps the number of generic attributes the programs may use below what the card reports
    // (0: the card's own GL_MAX_VERTEX_ATTRIBS_ARB), to see how the layout fits a smaller card.
    // Takes effect at the next build.
    void setAttributeLimit(unsigned limit) { m_attributeLimit = limit; }

    // What the current build produced; empty or null before the first build and after
    // releaseGLResources. The lit program is the plain one when lighting is off.
    bool built() const { return m_plainProgram && m_litProgram; }
    const std::shared_ptr<ARBVertexProgram>& plainProgram() const { return m_plainProgram; }
    const std::shared_ptr<ARBVertexProgram>& litProgram() const { return m_litProgram; }
    const VertexAttributeSet* attributes() const { return m_attributes.get(); }
    const VertexProgramGenerator::Layout& layout() const { return m_layout; }
    const std::deque<std::shared_ptr<GLDisplayList>>& displayLists() const { return m_displayLists; }
    // I, Vc, Nc, P and F as the last build set them (Vc = Nc = P = F = 0 before any build).
    unsigned influenceCount() const { return m_influenceCount; }
    unsigned vertexCorrectionCount() const { return m_vertexCorrections; }
    unsigned normalCorrectionCount() const { return m_normalCorrections; }
    unsigned prtBasisCount() const { return m_prtBasisCount; }
    unsigned prtFirstVector() const { return m_prtFirstVector; }

    // The environment vectors uploaded for an instance showing `frame`, from vector 0 on, four
    // floats each: bone rows, then the scalar list, then the PRT list. Empty before a build.
    std::vector<float> environmentFor(unsigned frame) const;

private:
    // Scoped: the generic attribute arrays enabled for one render, disabled at its end.
    class AttributeArrays;

    void build(const RenderSettings& settings);
    // The env block of one frame, as environmentFor describes it.
    std::vector<float> computeEnvironment(unsigned frame) const;
    void bindAttributes(const RenderSettings& settings, AttributeArrays& arrays);
    void uploadEnvironment(unsigned slot) const;
    void drawInstance(const RenderSettings& settings, GeometryMode geometry, bool overlay,
                      std::unique_ptr<GLDisplayList::Recorder>& recorder);

    std::shared_ptr<ARBVertexProgram> m_plainProgram;
    std::shared_ptr<ARBVertexProgram> m_litProgram;
    std::unique_ptr<VertexAttributeSet> m_attributes;
    // One buffer per record of the attribute set, made when first drawn; dropped with the set.
    std::vector<std::shared_ptr<GLBuffer>> m_attributeBuffers;
    std::deque<std::shared_ptr<GLDisplayList>> m_displayLists;
    unsigned m_influenceCount = 0;
    unsigned m_vertexCorrections = 0;
    unsigned m_normalCorrections = 0;
    unsigned m_prtBasisCount = 0;
    unsigned m_prtFirstVector = 0;
    bool m_blendedOverlay = false;
    unsigned m_attributeLimit = 0;
    VertexProgramGenerator::Layout m_layout;
    // Every frame's env block back to back (m_environmentVectors vectors each), computed at the
    // build so that an instance costs one upload and no arithmetic.
    std::vector<float> m_environment;
    unsigned m_environmentVectors = 0;
    unsigned m_environmentSlots = 0;
};
