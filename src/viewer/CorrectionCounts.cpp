#include "viewer/CorrectionCounts.h"

#include "herd/HerdScene.h"
#include "skin/Skin.h"

#include <algorithm>
#include <set>

CorrectionCounts correctionCountsInUse(const HerdScene& scene)
{
    std::set<const Skin*> skins;
    for (const auto& herd : scene.herds())
        for (const Skin* skin = herd->skin().get(); skin != nullptr && skins.insert(skin).second;
             skin = skin->nextSkin().get()) {
        }
    CorrectionCounts counts;
    for (const Skin* skin : skins) {
        counts.vertex = std::max(counts.vertex, skin->displacementBasisCount());
        counts.normal = std::max(counts.normal, skin->normalBasisCount());
        counts.lighting = std::max(counts.lighting, skin->lightingBasisCount());
    }
    return counts;
}
