#pragma once

#include "herd/HerdScene.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class HardwareSkinRenderer;
class SkinRenderer;
class SoftwareSkinRenderer;

// The GL view's scene: the herds of HerdScene plus the renderers that draw them. Every level
// of every herd gets a hardware and a software renderer, and every level whose skin has a next
// skin (its shadow) a blended-overlay hardware renderer over a WrapperHerd showing that skin
// with the level's animals. The all-renderers queue holds each renderer of the three others,
// for broadcasting releaseGLResources.
//
// Renderers take their textures from GL when made, so they need the view's context current.
// When the context cannot be made current yet (files loaded before the window is mapped),
// the new herd waits in a pending list and its renderers are made by createPendingRenderers
// at the first paint. Owns the renderer queues; shares herds and renderers with their users.
class ViewScene : public HerdScene {
public:
    // makeCurrent makes the view's GL context current and says whether it could.
    explicit ViewScene(std::function<bool()> makeCurrent);
    ~ViewScene() override;

    // Makes the renderers of herds added while no context was current. Throws what renderer
    // construction throws (an unreadable texture); the herd that failed is dropped from the
    // pending list so the failure is reported once.
    void createPendingRenderers();
    // Every renderer drops its GL resources, to be rebuilt from the settings of the next draw.
    void releaseGLResources();

    const std::deque<std::shared_ptr<HardwareSkinRenderer>>& hardwareRenderers() const { return m_hardware; }
    const std::deque<std::shared_ptr<SoftwareSkinRenderer>>& softwareRenderers() const { return m_software; }
    const std::deque<std::shared_ptr<HardwareSkinRenderer>>& shadowRenderers() const { return m_shadow; }
    const std::deque<std::shared_ptr<SkinRenderer>>& allRenderers() const { return m_all; }
    bool hasPendingRenderers() const { return !m_pending.empty(); }

protected:
    void onHerdAdded(const std::shared_ptr<HierarchicalHerd>& herd, const std::filesystem::path& directory) override;
    void onCleared() override;

private:
    void createRenderers(const std::shared_ptr<HierarchicalHerd>& herd, const std::filesystem::path& directory);

    std::function<bool()> m_makeCurrent;
    std::deque<std::shared_ptr<HardwareSkinRenderer>> m_hardware;
    std::deque<std::shared_ptr<SoftwareSkinRenderer>> m_software;
    std::deque<std::shared_ptr<HardwareSkinRenderer>> m_shadow;
    std::deque<std::shared_ptr<SkinRenderer>> m_all;
    std::vector<std::pair<std::shared_ptr<HierarchicalHerd>, std::filesystem::path>> m_pending;
};
