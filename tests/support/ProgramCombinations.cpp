#include "ProgramCombinations.h"

std::string ProgramCombination::describe() const
{
    return std::string(lightingName(lighting)) + ", bones " + std::to_string(shape.bones) + ", influences " +
           std::to_string(shape.influences) + ", texCoords " + std::to_string(shape.texCoords) + ", chosen " +
           std::to_string(chosen) + ", level " + std::to_string(level) + ", overlay " + std::to_string(overlay);
}

const std::vector<ProgramCombination>& everyProgramCombination()
{
    static const std::vector<ProgramCombination> table = [] {
        std::vector<ProgramCombination> combinations;
        for (unsigned bones : {0u, 3u})
            for (unsigned influences = 0; influences <= (bones ? 4u : 0u); ++influences)
                for (bool texCoords : {false, true}) {
                    ProgramCombination c;
                    c.shape.bones = bones;
                    c.shape.influences = influences;
                    c.shape.texCoords = texCoords;
                    c.shape.displacementBasis = kCombinationDisplacementBasis;
                    c.shape.normalBasis = kCombinationNormalBasis;
                    c.shape.lightingBasis = kCombinationLightingBasis;
                    c.shape.frames = kCombinationFrames;
                    c.skin = makeTestSkin(c.shape);
                    for (LightingMode lighting : {LightingMode::None, LightingMode::OpenGL, LightingMode::PRT})
                        for (unsigned chosen : {0u, 1u, 2u, 3u, 4u, 5u, 7u})
                            for (int level = 0; level <= 3; ++level)
                                for (bool overlay : {false, true}) {
                                    c.lighting = lighting;
                                    c.chosen = chosen;
                                    c.level = level;
                                    c.overlay = overlay;
                                    combinations.push_back(c);
                                }
                }
        return combinations;
    }();
    return table;
}

const char* lightingName(LightingMode mode)
{
    return mode == LightingMode::None ? "None" : mode == LightingMode::OpenGL ? "OpenGL" : "PRT";
}
