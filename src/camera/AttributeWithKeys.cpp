#include "camera/AttributeWithKeys.h"

#include <algorithm>
#include <cmath>

namespace {

// Sorts by time; of equal times only the last given stays.
void normalizeKeys(std::vector<AttributeWithKeys::Key>& keys)
{
    std::erase_if(keys, [](const AttributeWithKeys::Key& k) { return std::isnan(k.time); });
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.time < b.time; });
    std::vector<AttributeWithKeys::Key> merged;
    merged.reserve(keys.size());
    for (const auto& key : keys) {
        if (!merged.empty() && merged.back().time == key.time)
            merged.back() = key;
        else
            merged.push_back(key);
    }
    keys = std::move(merged);
}

} // namespace

AttributeWithKeys::AttributeWithKeys(std::shared_ptr<KeyableAttribute<float>> keyable)
    : m_name(keyable->name()), m_keyable(std::move(keyable))
{
}

void AttributeWithKeys::apply(float frame)
{
    if (m_keys.empty()) return;
    if (frame >= m_keys.back().time) {
        m_keyable->set(m_keys.back().value);
        return;
    }
    if (frame <= m_keys.front().time) {
        m_keyable->set(m_keys.front().value);
        return;
    }
    if (!m_spline) {
        std::vector<std::pair<double, double>> points;
        points.reserve(m_keys.size());
        for (const Key& key : m_keys) points.emplace_back(key.time, key.value);
        m_spline = std::make_unique<NaturalCubicSpline>(std::move(points));
    }
    m_keyable->set(static_cast<float>(m_spline->evaluate(frame)));
}

float AttributeWithKeys::endTime() const
{
    return m_keys.empty() ? 0.0f : m_keys.back().time;
}

void AttributeWithKeys::setKeys(std::vector<Key> keys)
{
    normalizeKeys(keys);
    m_keys = std::move(keys);
    m_spline.reset();
}
