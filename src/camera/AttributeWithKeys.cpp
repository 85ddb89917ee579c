#include "camera/AttributeWithKeys.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <istream>
#include <limits>
#include <ostream>

namespace {

void writeU32(std::ostream& out, std::uint32_t v)
{
    const char bytes[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
    out.write(bytes, 4);
}

bool readU32(std::istream& in, std::uint32_t& v)
{
    unsigned char bytes[4];
    if (!in.read(reinterpret_cast<char*>(bytes), 4)) return false;
    v = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
        std::uint32_t(bytes[3]) << 24;
    return true;
}

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

std::int32_t truncatedTime(float time)
{
    // Times read from files are whole int32 frames; others are clamped into range rather than
    // converted with undefined results.
    const double t = std::trunc(static_cast<double>(time));
    if (t <= std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    if (t >= std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(t);
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

void AttributeWithKeys::writeKeys(std::ostream& out) const
{
    writeU32(out, static_cast<std::uint32_t>(m_keys.size()));
    for (const Key& key : m_keys) {
        writeU32(out, static_cast<std::uint32_t>(truncatedTime(key.time)));
        writeU32(out, std::bit_cast<std::uint32_t>(key.value));
    }
}

void AttributeWithKeys::readKeys(std::istream& in)
{
    m_keys.clear();
    m_spline.reset();
    // Whatever was read stays in order, also when the stream throws part way.
    struct Normalize {
        std::vector<Key>& keys;
        ~Normalize() { normalizeKeys(keys); }
    } normalize{m_keys};

    std::uint32_t count = 0;
    if (!readU32(in, count)) return;
    if (static_cast<std::int32_t>(count) < 0) {
        in.setstate(std::ios::failbit);
        return;
    }
    // Never reserved from the count: a corrupt count must not allocate; the stream's end
    // stops the loop instead, and past kMaxKeys keys the list is refused (those read stay), so
    // that a stream of gigabytes cannot grow the list without end.
    const std::uint32_t readable = std::min(count, kMaxKeys);
    for (std::uint32_t k = 0; k < readable; ++k) {
        std::uint32_t frame = 0, value = 0;
        if (!readU32(in, frame) || !readU32(in, value)) return;
        m_keys.push_back({static_cast<float>(static_cast<std::int32_t>(frame)), std::bit_cast<float>(value)});
    }
    if (count > kMaxKeys) in.setstate(std::ios::failbit);
}
