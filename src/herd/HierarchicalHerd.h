#pragma once

#include "herd/Herd.h"
#include "herd/ScreenSpaceConverter.h"
#include "herd/SimpleHerd.h"

#include <functional>
#include <memory>
#include <vector>

// Level of detail for one animal type: one SimpleHerd per level skin (level 0 the finest,
// for the largest sizes on screen). Once per drawn frame update() hands every instance of the
// wrapped herd, which owns the animals, to the level whose skin suits its size on screen; the
// renderers draw the level herds. Everything else asked of it (time, animals, box queries,
// instances) passes through to the wrapped herd.
//
// Shares the wrapped herd and the level herds (renderers hold the levels too). The screen
// measure comes from a converter factory the view installs, so this class needs no GL.
class HierarchicalHerd : public Herd {
public:
    // Makes a fresh converter for the current view; called once per view-dependent update.
    using ConverterFactory = std::function<std::unique_ptr<ScreenSpaceConverter>()>;

    // One empty level herd per level skin, in order. With no level skins the wrapped herd's
    // skin serves as the only level, so there is always a level to draw.
    HierarchicalHerd(const std::vector<std::shared_ptr<Skin>>& levelSkins, std::shared_ptr<Herd> wrapped);

    // These pass to the wrapped herd unchanged.
    bool intersects(const BoundingBox& box) const override;
    void setFrame(int frame, bool moving) override;
    void addAnimal(const HerdCollection& collection) override;
    void removeAnimal() override;
    unsigned instanceCount() const override;
    HerdInstance instance(unsigned i) const override;

    // Redistributes the wrapped herd's instances: all to the fixed level when fixed, else by
    // projected area through a converter from the factory (all to level 0 without one).
    void update() override;
    // View-dependent mode: scale 0.25 for mode 0, 0.5 for mode 1, 0.75 for any other.
    void setMode(int mode);
    // Fixed mode at the level (clamped to the last), distributing at once.
    void setFixedLevel(int level);
    // Replaces the wrapped herd (the level skins stay) and distributes it at once to the
    // fixed level.
    void setHerd(std::shared_ptr<Herd> herd);
    // Distributes every instance by its projected area through the given converter; with an
    // impostor threshold set, instances that look less tall on screen than it (the converter's
    // apparentHeight of their box) go to the impostor herd instead of a level, and with a band
    // skin too, those less tall than kBandFactor times the threshold go to the band herd.
    void distributeByScreenSize(const ScreenSpaceConverter& converter);

    // Impostors, the level beyond the coarsest: view-dependent distributions send an instance
    // whose box looks less tall than `ndcHeight` of normalized device space (the window is 2
    // tall; ScreenSpaceConverter::apparentHeight) to the impostor herd. The atlas's cells are
    // sized for that height, so at the switch a texel covers about a pixel. 0 (the start) turns them off. Fixed levels ignore it:
    // a fixed level draws every animal with that level's mesh.
    void setImpostorThreshold(double ndcHeight) { m_impostorHeight = ndcHeight; }
    double impostorThreshold() const { return m_impostorHeight; }
    // The animals drawn as impostors at the last distribution, shown with the coarsest skin.
    const std::shared_ptr<SimpleHerd>& impostors() const { return m_impostors; }
    // True when an animal that looks `height` tall is drawn as an impostor under the threshold
    // `ndcHeight`: the threshold is set and the height a finite number below it.
    static bool isImpostorHeight(double height, double ndcHeight);

    // The band: animals from the impostor switch height up to kBandFactor times it are drawn
    // with the band skin, a simplified vertex subset of the coarsest level with about a third
    // of its triangles. Those animals are few dozen to a couple of hundred pixels tall, and in
    // a large herd seen from near the ground they are most of the meshes: their triangles are
    // what a frame costs. Three times the switch (192 pixels at the default 64) takes in the
    // bulk of them, so that the meshes cost little beside filling the view; twice the switch
    // leaves about twice the triangles. At the band's upper edge the band skin's coarser
    // outline moves the silhouette by a pixel or two, a few where a curve is lost.
    static constexpr double kBandFactor = 3.0;
    // Installs the band skin (null: no band; animals above the switch keep their levels). Set
    // before the renderers are made, as the level skins are: they make one for the band herd.
    void setBandSkin(std::shared_ptr<Skin> bandSkin);
    // The animals drawn with the band skin at the last distribution; null without a band skin.
    const std::shared_ptr<SimpleHerd>& band() const { return m_band; }
    // True when an animal that looks `height` tall, not an impostor under the threshold
    // `ndcHeight`, is drawn with the band skin: the threshold is set and the height a finite
    // number under kBandFactor times it.
    static bool isBandHeight(double height, double ndcHeight);

    // A copy of the list of level herds, level 0 first.
    std::vector<std::shared_ptr<SimpleHerd>> levels() const { return m_levels; }
    unsigned levelCount() const { return static_cast<unsigned>(m_levels.size()); }
    const std::shared_ptr<Herd>& wrappedHerd() const { return m_wrapped; }
    void setConverterFactory(ConverterFactory factory) { m_converterFactory = std::move(factory); }

    bool isFixed() const { return m_fixed; }
    int fixedLevel() const { return m_fixedLevel; }
    double scale() const { return m_scale; }

    // The level for a box covering `area` of normalized device space (the window is 4):
    // -trunc(ln(area) x scale) clamped to [0, levelCount - 1]; 0 for an area that is 0, not a
    // number or infinite.
    static unsigned levelForArea(double area, double scale, unsigned levelCount);

private:
    void distributeToLevel(int level);
    void clearLevels();

    std::shared_ptr<Herd> m_wrapped;
    std::vector<std::shared_ptr<SimpleHerd>> m_levels;
    std::shared_ptr<SimpleHerd> m_impostors;
    std::shared_ptr<SimpleHerd> m_band;
    double m_impostorHeight = 0.0;
    bool m_fixed = false;
    int m_fixedLevel = 0;
    // The menu's default ("moderate") until the view first sets a mode.
    double m_scale = 0.5;
    ConverterFactory m_converterFactory;
};
