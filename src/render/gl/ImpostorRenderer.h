#pragma once

#include "render/FrameBreakdown.h"
#include "render/ImpostorQuads.h"
#include "render/RenderSettings.h"
#include "render/gl/ImpostorAtlas.h"

#include <memory>
#include <string>

class HierarchicalHerd;

// Draws the impostor herd of one hierarchical herd: every animal in view as a textured quad
// from the herd's atlas, all in one glDrawArrays call, depth-tested against the meshes and
// blended as premultiplied alpha (texels below a quarter coverage are not drawn and leave the
// depth alone); with shadows, a soft blob under each of them and under each animal of the
// band herd in view, in the colour the shadow skin has at its darkest, in a second call.
//
// The atlas is made from the herd's coarsest level at the first draw, and again when the
// threshold or the skinning changes or after releaseGLResources. Used on the GUI thread with
// its context current; owns the atlas.
class ImpostorRenderer {
public:
    ImpostorRenderer(std::shared_ptr<HierarchicalHerd> herd, const std::string& directory);
    ~ImpostorRenderer();
    ImpostorRenderer(const ImpostorRenderer&) = delete;
    ImpostorRenderer& operator=(const ImpostorRenderer&) = delete;

    // Makes the atlas unless one for this threshold and skinning exists. Throws what
    // ImpostorAtlas throws.
    void prepare(const RenderSettings& settings, bool hardwareSkinning, double thresholdPixels);
    // Culls the impostor herd as it was last distributed against the view and builds the
    // quads (and blobs, with shadows, also for the band herd's animals in view) of the animals
    // in view, seen from eye (scene space).
    // Culling counts as culling, building as drawing impostors. Nothing without an atlas.
    void update(const ViewFrustumTest& frustum, const Vector3f& eye, bool shadows, FrameBreakdown& breakdown);
    // The blobs of the last update, under the impostors and the band animals (drawn after the
    // meshes, depth-tested without depth writes, so they never cover an animal).
    void renderShadows() const;
    // The quads of the last update, in one draw call; adds them to the impostors drawn.
    void render(FrameBreakdown& breakdown) const;
    // Drops the atlas; the next prepare makes it anew from the settings of then.
    void releaseGLResources();

    const std::shared_ptr<HierarchicalHerd>& herd() const { return m_herd; }
    const ImpostorAtlas* atlas() const { return m_atlas.get(); }
    const ImpostorQuads& quads() const { return m_quads; }

private:
    void drawArrays(const float* vertices, std::size_t quads) const;

    std::shared_ptr<HierarchicalHerd> m_herd;
    std::string m_directory;
    std::unique_ptr<ImpostorAtlas> m_atlas;
    bool m_atlasHardware = false;
    ImpostorQuads m_quads;
    // The blob's colour: the shadow skin's vertex colour times its darkest mean lighting.
    float m_shadowColour[3] = {0.0f, 0.0f, 0.0f};
    bool m_hasShadow = false;
};
