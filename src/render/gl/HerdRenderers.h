#pragma once

#include <deque>
#include <filesystem>
#include <memory>
#include <vector>

class HardwareSkinRenderer;
class ImpostorRenderer;
class HerdScene;
class HierarchicalHerd;
class SkinRenderer;
class SoftwareSkinRenderer;

// The renderers that draw a viewer's herds. Every level of every herd gets a hardware and a
// software renderer, and every level whose skin has a next skin (its shadow) a blended-overlay
// hardware renderer over a WrapperHerd showing that skin with the level's animals; a herd with
// a band skin gets a hardware and a software renderer for its band herd after its levels (no
// shadow renderer: band animals get the impostors' blobs); every herd gets an impostor renderer
// for its impostor herd. The all-renderers list holds each renderer of the three others, for
// broadcasting releaseGLResources. Lists run in herd order, then level order, the band last.
//
// Renderers take their textures from GL when made and delete GL names when dropped, so sync
// and the destructor need the context current. Owns the renderer lists; shares the herds.
class HerdRenderers {
public:
    HerdRenderers();
    ~HerdRenderers();
    HerdRenderers(const HerdRenderers&) = delete;
    HerdRenderers& operator=(const HerdRenderers&) = delete;

    // Brings the renderers in line with the scene's herds, which only ever grow at the end or
    // start anew: the herds without renderers get theirs in order, and when the list is not an
    // extension of the one seen before, every renderer is dropped first. Throws what renderer
    // construction throws (an unreadable texture); the herd that failed keeps the renderers
    // made before the failure and is not tried again, and the herds after it get theirs at
    // the next call.
    void sync(const HerdScene& scene);
    // Every renderer drops its GL resources, to be rebuilt from the settings of the next draw.
    void releaseGLResources();
    // Drops every renderer.
    void clear();

    const std::deque<std::shared_ptr<HardwareSkinRenderer>>& hardware() const { return m_hardware; }
    const std::deque<std::shared_ptr<SoftwareSkinRenderer>>& software() const { return m_software; }
    const std::deque<std::shared_ptr<HardwareSkinRenderer>>& shadow() const { return m_shadow; }
    const std::deque<std::shared_ptr<SkinRenderer>>& all() const { return m_all; }
    // One per herd, in herd order.
    const std::deque<std::shared_ptr<ImpostorRenderer>>& impostors() const { return m_impostors; }

private:
    void createRenderers(const std::shared_ptr<HierarchicalHerd>& herd, const std::filesystem::path& directory);

    // The herds seen so far, held so that their addresses stay theirs.
    std::vector<std::shared_ptr<HierarchicalHerd>> m_herds;
    std::deque<std::shared_ptr<HardwareSkinRenderer>> m_hardware;
    std::deque<std::shared_ptr<SoftwareSkinRenderer>> m_software;
    std::deque<std::shared_ptr<HardwareSkinRenderer>> m_shadow;
    std::deque<std::shared_ptr<SkinRenderer>> m_all;
    std::deque<std::shared_ptr<ImpostorRenderer>> m_impostors;
};
