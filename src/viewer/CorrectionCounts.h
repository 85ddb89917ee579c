#pragma once

class HerdScene;

// The eigenskin and PRT basis vectors the skins in use hold: every herd's skin and the chain of
// next skins from it, each counted once, the largest count of each kind. The correction menus
// offer that many, and choose the defaults below where there are that many.
struct CorrectionCounts {
    unsigned vertex = 0;
    unsigned normal = 0;
    unsigned lighting = 0;
};

CorrectionCounts correctionCountsInUse(const HerdScene& scene);

constexpr unsigned kDefaultVertexCorrections = 2;
constexpr unsigned kDefaultNormalCorrections = 2;
constexpr unsigned kDefaultPrtCorrections = 7;
