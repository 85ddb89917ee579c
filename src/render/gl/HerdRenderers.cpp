#include "render/gl/HerdRenderers.h"

#include "herd/HerdScene.h"
#include "herd/HierarchicalHerd.h"
#include "herd/WrapperHerd.h"
#include "render/gl/HardwareSkinRenderer.h"
#include "render/gl/ImpostorRenderer.h"
#include "render/gl/SoftwareSkinRenderer.h"
#include "skin/Skin.h"

#include <algorithm>

HerdRenderers::HerdRenderers() = default;

HerdRenderers::~HerdRenderers() = default;

void HerdRenderers::sync(const HerdScene& scene)
{
    const auto& herds = scene.herds();
    const bool extends = m_herds.size() <= herds.size() && std::equal(m_herds.begin(), m_herds.end(), herds.begin());
    if (!extends) clear();
    while (m_herds.size() < herds.size()) {
        const std::size_t index = m_herds.size();
        // Counted before its renderers are made, so a failure is reported once.
        m_herds.push_back(herds[index]);
        createRenderers(herds[index], scene.directoryOf(index));
    }
}

void HerdRenderers::releaseGLResources()
{
    for (const auto& renderer : m_all) renderer->releaseGLResources();
    for (const auto& renderer : m_impostors) renderer->releaseGLResources();
}

void HerdRenderers::clear()
{
    m_hardware.clear();
    m_software.clear();
    m_shadow.clear();
    m_all.clear();
    m_impostors.clear();
    m_herds.clear();
}

void HerdRenderers::createRenderers(const std::shared_ptr<HierarchicalHerd>& herd,
                                    const std::filesystem::path& directory)
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
    // The band skin is a subset of the coarsest level's vertices and shades as that level does.
    if (const std::shared_ptr<SimpleHerd>& band = herd->band()) {
        const int coarsest = static_cast<int>(levels.size()) - 1;
        auto hardware = std::make_shared<HardwareSkinRenderer>(band, coarsest, directoryName);
        auto software = std::make_shared<SoftwareSkinRenderer>(band, coarsest, directoryName);
        m_hardware.push_back(hardware);
        m_software.push_back(software);
        m_all.push_back(hardware);
        m_all.push_back(software);
    }
    m_impostors.push_back(std::make_shared<ImpostorRenderer>(herd, directoryName));
}
