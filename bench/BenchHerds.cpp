#include "BenchHerds.h"

#include "foundation/Matrix4f.h"
#include "skin/Skin.h"

#include <algorithm>
#include <cmath>

float gridSpacing(const Skin& skin)
{
    const BoundingBox box = skin.boundingBox();
    const Vector3f size = box.maximum - box.minimum;
    return 1.3f * std::max({size.x, size.y, size.z});
}

std::shared_ptr<SimpleHerd> makeGridHerd(const std::shared_ptr<Skin>& skin, unsigned n)
{
    auto herd = std::make_shared<SimpleHerd>(skin);
    const unsigned side = static_cast<unsigned>(std::ceil(std::sqrt(double(n))));
    const unsigned frames = std::max(1u, skin->frameCount());
    const float spacing = gridSpacing(*skin);
    const BoundingBox box = skin->boundingBox();
    const Vector3f centre = (box.minimum + box.maximum) * 0.5f;
    for (unsigned i = 0; i < n; ++i) {
        HerdInstance instance;
        instance.frame = i % frames;
        const Vector3f at{(float(i % side) - 0.5f * float(side - 1)) * spacing, 0,
                          (float(i / side) - 0.5f * float(side - 1)) * spacing};
        instance.transform = Matrix4f::translation(at - centre);
        instance.box = BoundingBox(box.minimum + at - centre, box.maximum + at - centre);
        herd->append(instance);
    }
    return herd;
}
