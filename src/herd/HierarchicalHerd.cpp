#include "herd/HierarchicalHerd.h"

#include <algorithm>
#include <cmath>

HierarchicalHerd::HierarchicalHerd(const std::vector<std::shared_ptr<Skin>>& levelSkins, std::shared_ptr<Herd> wrapped)
    : Herd(wrapped->skin()), m_wrapped(std::move(wrapped))
{
    for (const auto& skin : levelSkins) m_levels.push_back(std::make_shared<SimpleHerd>(skin));
    if (m_levels.empty()) m_levels.push_back(std::make_shared<SimpleHerd>(skin()));
    m_impostors = std::make_shared<SimpleHerd>(m_levels.back()->skin());
}

bool HierarchicalHerd::intersects(const BoundingBox& box) const
{
    return m_wrapped->intersects(box);
}

void HierarchicalHerd::setFrame(int frame, bool moving)
{
    m_wrapped->setFrame(frame, moving);
}

void HierarchicalHerd::addAnimal(const HerdCollection& collection)
{
    m_wrapped->addAnimal(collection);
}

void HierarchicalHerd::removeAnimal()
{
    m_wrapped->removeAnimal();
}

unsigned HierarchicalHerd::instanceCount() const
{
    return m_wrapped->instanceCount();
}

HerdInstance HierarchicalHerd::instance(unsigned i) const
{
    return m_wrapped->instance(i);
}

void HierarchicalHerd::update()
{
    if (m_fixed) {
        distributeToLevel(m_fixedLevel);
        return;
    }
    const std::unique_ptr<ScreenSpaceConverter> converter = m_converterFactory ? m_converterFactory() : nullptr;
    if (converter)
        distributeByScreenSize(*converter);
    else
        distributeToLevel(0);
}

void HierarchicalHerd::setMode(int mode)
{
    m_fixed = false;
    m_scale = mode == 0 ? 0.25 : (mode == 1 ? 0.5 : 0.75);
}

void HierarchicalHerd::setFixedLevel(int level)
{
    m_fixed = true;
    m_fixedLevel = level;
    distributeToLevel(level);
}

void HierarchicalHerd::setHerd(std::shared_ptr<Herd> herd)
{
    m_wrapped = std::move(herd);
    distributeToLevel(m_fixedLevel);
}

void HierarchicalHerd::clearLevels()
{
    for (const auto& level : m_levels) level->clear();
    m_impostors->clear();
    if (m_band) m_band->clear();
}

void HierarchicalHerd::setBandSkin(std::shared_ptr<Skin> bandSkin)
{
    m_band = bandSkin ? std::make_shared<SimpleHerd>(std::move(bandSkin)) : nullptr;
}

void HierarchicalHerd::distributeToLevel(int level)
{
    clearLevels();
    // Compared as unsigned numbers, so a negative request means the coarsest level.
    const unsigned target = std::min(static_cast<unsigned>(level), levelCount() - 1);
    SimpleHerd& herd = *m_levels[target];
    const unsigned count = m_wrapped->instanceCount();
    for (unsigned i = 0; i < count; ++i) herd.append(m_wrapped->instance(i));
}

void HierarchicalHerd::distributeByScreenSize(const ScreenSpaceConverter& converter)
{
    clearLevels();
    const unsigned levels = levelCount();
    const unsigned count = m_wrapped->instanceCount();
    const bool impostors = m_impostorHeight > 0.0;
    const bool band = impostors && m_band;
    for (unsigned i = 0; i < count; ++i) {
        const HerdInstance instance = m_wrapped->instance(i);
        // An impostor needs no rectangle: most animals of a large herd are far away, and the
        // height costs a quarter of the eight corners' projection.
        const double height = impostors ? converter.apparentHeight(instance.box) : 0.0;
        if (impostors && isImpostorHeight(height, m_impostorHeight)) {
            m_impostors->append(instance);
            continue;
        }
        if (band && isBandHeight(height, m_impostorHeight)) {
            m_band->append(instance);
            continue;
        }
        const NdcRectangle rectangle = converter.boxRectangle(instance.box);
        m_levels[levelForArea(rectangle.area(), m_scale, levels)]->append(instance);
    }
}

unsigned HierarchicalHerd::levelForArea(double area, double scale, unsigned levelCount)
{
    if (levelCount <= 1 || !(area > 0.0) || !std::isfinite(area)) return 0;
    // Bounded before the conversion to an integer, which would be undefined far outside int.
    const double scaled = std::clamp(std::log(area) * scale, -1e6, 1e6);
    const long level = -static_cast<long>(std::trunc(scaled));
    return static_cast<unsigned>(std::clamp<long>(level, 0, static_cast<long>(levelCount) - 1));
}

bool HierarchicalHerd::isImpostorHeight(double height, double ndcHeight)
{
    return ndcHeight > 0.0 && std::isfinite(height) && height < ndcHeight;
}

bool HierarchicalHerd::isBandHeight(double height, double ndcHeight)
{
    return ndcHeight > 0.0 && std::isfinite(height) && height < kBandFactor * ndcHeight;
}
