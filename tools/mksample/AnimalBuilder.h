#pragma once

#include "BodyPlan.h"
#include "QuadrupedModel.h"
#include "WalkCycle.h"

#include "bake/ShadowBlob.h"
#include "skin/BinarySkinWriter.h"

#include <array>
#include <vector>

// Error figures of one level of detail. Position errors are measured through the Skin class
// against the dual-quaternion reference; lighting errors against the unreduced lighting.
struct LevelFigures {
    unsigned vertices = 0;
    std::array<double, 4> positionRms{};  // with kCorrectionSteps corrections
    std::array<double, 4> lightingRms{};  // with kLightingSteps basis vectors
};

// One animal type as skin records ready to write: every level of detail from the same model
// and walk, each with its own eigenskin corrections, PRT lighting and shadow disc, turned to
// face +z (see Facing.h).
class AnimalBuilder {
public:
    static constexpr std::array<unsigned, 4> kCorrectionSteps{0, 2, 4, 8};
    static constexpr std::array<unsigned, 4> kLightingSteps{0, 4, 8, 16};
    static constexpr int kCorrectionCount = 8;
    static constexpr int kLightingCount = 16;

    // `densities` are the levels' sampling densities, finest first (1 is about 8,000 vertices).
    AnimalBuilder(const BodyPlan& plan, int frameCount, const std::vector<double>& densities);

    const QuadrupedModel& model() const { return m_model; }
    const WalkCycle& walk() const { return m_walk; }
    const std::vector<SkinRecord>& records() const { return m_records; }
    const std::vector<LevelFigures>& figures() const { return m_figures; }
    // The soft shadow disc every level carries as its next skin.
    ShadowBlob shadow() const;

private:
    void buildLevel(double density);

    QuadrupedModel m_model;
    WalkCycle m_walk;
    std::vector<SkinRecord> m_records;
    std::vector<LevelFigures> m_figures;
};
