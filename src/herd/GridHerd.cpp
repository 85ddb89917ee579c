#include "herd/GridHerd.h"

#include "herd/BoxRules.h"
#include "skin/Skin.h"

#include <algorithm>

GridHerd::GridHerd(std::shared_ptr<Skin> skin, int rows, int columns)
    : GridHerd(std::move(skin), rows, columns, RandomGenerator())
{
}

GridHerd::GridHerd(std::shared_ptr<Skin> skin, int rows, int columns, RandomGenerator random) : Herd(std::move(skin))
{
    rows = std::max(rows, 0);
    columns = std::max(columns, 0);
    const BoundingBox skinBox = this->skin()->boundingBox();
    const float dx = 2.5f * boxExtent(skinBox, 0);
    const float dz = 4.0f * boxExtent(skinBox, 2);
    m_instances.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            // z is drawn before x.
            const float z = static_cast<float>(random.normal(0.1)) + dz * static_cast<float>(j);
            const float x = static_cast<float>(random.normal(0.1)) + dx * static_cast<float>(i);
            HerdInstance instance;
            instance.transform = Matrix4f::translation({x, 0.0f, z});
            instance.frame = random.uniformIndex(4);
            instance.box = transformBox(skinBox, instance.transform);
            m_instances.push_back(instance);
        }
}

bool GridHerd::intersects(const BoundingBox&) const
{
    return false;
}

void GridHerd::setFrame(int frame, bool)
{
    m_time = frame;
}

void GridHerd::addAnimal(const HerdCollection&) {}

void GridHerd::removeAnimal() {}

HerdInstance GridHerd::instance(unsigned i) const
{
    HerdInstance result = m_instances[i];
    result.frame = frameAt(result.frame, m_time);
    return result;
}
