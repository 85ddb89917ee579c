#include "app/ViewScene.h"

#include "herd/WrapperHerd.h"
#include "render/gl/HardwareSkinRenderer.h"
#include "render/gl/OpenGLScreenSpaceConverter.h"
#include "render/gl/SoftwareSkinRenderer.h"
#include "skin/Skin.h"

ViewScene::ViewScene(std::function<bool()> makeCurrent) : m_makeCurrent(std::move(makeCurrent))
{
    // Level of detail measures boxes with the matrices of the moment the herds are updated,
    // which is after the paint has loaded this frame's camera.
    setConverterFactory([] { return std::make_unique<OpenGLScreenSpaceConverter>(); });
}

ViewScene::~ViewScene() = default;

void ViewScene::onHerdAdded(const std::shared_ptr<HierarchicalHerd>& herd, const std::filesystem::path& directory)
{
    if (m_pending.empty() && m_makeCurrent && m_makeCurrent())
        createRenderers(herd, directory);
    else
        m_pending.emplace_back(herd, directory);
}

void ViewScene::onCleared()
{
    m_hardware.clear();
    m_software.clear();
    m_shadow.clear();
    m_all.clear();
    m_pending.clear();
}

void ViewScene::createPendingRenderers()
{
    while (!m_pending.empty()) {
        const auto [herd, directory] = m_pending.front();
        m_pending.erase(m_pending.begin());
        createRenderers(herd, directory);
    }
}

void ViewScene::releaseGLResources()
{
    for (const auto& renderer : m_all) renderer->releaseGLResources();
}

void ViewScene::createRenderers(const std::shared_ptr<HierarchicalHerd>& herd, const std::filesystem::path& directory)
{
    const std::string directoryName = directory.string();
    const auto levels = herd->levels();
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const int level = static_cast<int>(i);
        auto hardware = std::make_shared<HardwareSkinRenderer>(levels[i], level, directoryName);
        auto software = std::make_shared<SoftwareSkinRenderer>(levels[i], level, directoryName);
        m_hardware.push_back(hardware);
        m_software.push_back(software);
        m_all.push_back(hardware);
        m_all.push_back(software);
        if (const std::shared_ptr<Skin>& next = levels[i]->skin()->nextSkin()) {
            auto shadow = std::make_shared<HardwareSkinRenderer>(std::make_shared<WrapperHerd>(levels[i], next),
                                                                 level, directoryName);
            shadow->setBlendedOverlay(true);
            m_shadow.push_back(shadow);
            m_all.push_back(shadow);
        }
    }
}
