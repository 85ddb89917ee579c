#include "app/BatchSettings.h"

#include "app/MenuIds.h"
#include "herd/HerdScene.h"
#include "viewer/CorrectionCounts.h"
#include "viewer/ViewerCore.h"

#include <algorithm>

bool BatchSettings::choose(const MenuChoice& choice, ViewerCore& core)
{
    switch (choice.id) {
    case kUseVertexProgramId:
        vertexProgram = choice.checked;
        // Display lists are offered for hardware skinning only; the menus move the method on.
        if (!vertexProgram && method == RenderMethod::DisplayLists) method = RenderMethod::VertexBufferObjects;
        return true;
    case kShadowsId: shadowsOn = choice.checked; return true;
    case kGroundPlaneId: ground = choice.checked; return true;
    case kRunningId: isRunning = choice.checked; return true;
    case kDisplayListsId:
        if (!vertexProgram) return false;
        method = RenderMethod::DisplayLists;
        return true;
    case kVertexBufferObjectsId: method = RenderMethod::VertexBufferObjects; return true;
    case kVertexArraysId: method = RenderMethod::VertexArrays; return true;
    case kNoLightingId: lighting = LightingMode::None; return true;
    case kOpenGLLightingId: lighting = LightingMode::OpenGL; return true;
    case kPrtLightingId: lighting = LightingMode::PRT; return true;
    case kBoxesId: geometry = GeometryMode::Boxes; return true;
    case kPolysId: geometry = GeometryMode::Polys; return true;
    case kWireframeId: geometry = GeometryMode::Wireframe; return true;
    case kPointsId: geometry = GeometryMode::Points; return true;
    case kPerspectiveId: core.useCamera(ViewerCore::CameraChoice::Perspective); return true;
    case kOrthographicId: core.useCamera(ViewerCore::CameraChoice::Orthographic); return true;
    case kWhiteId: background = BackgroundMode::White; return true;
    case kLightGrayId: background = BackgroundMode::LightGray; return true;
    case kDarkGrayId: background = BackgroundMode::DarkGray; return true;
    case kBlueId: background = BackgroundMode::Blue; return true;
    case kBlackId: background = BackgroundMode::Black; return true;
    case kSkyId: background = BackgroundMode::Sky; return true;
    case kLodAggressiveId: detail = DetailMode::Aggressive; return true;
    case kLodModerateId: detail = DetailMode::Moderate; return true;
    case kLodConservativeId: detail = DetailMode::Conservative; return true;
    case kImpostorsId: impostorsOn = choice.checked; return true;
    default: return false;
    }
}

void BatchSettings::applyStartupChoices(const BatchOptions& options, ViewerCore& core, const Report& report)
{
    if (options.impostorPixels) impostorHeight = std::max(1u, *options.impostorPixels);
    for (const MenuChoice& choice : options.menuChoices)
        if (!choose(choice, core))
            report("Invalid option", "The menu item \"" + optionItemLabel(choice.id) +
                                         "\" is disabled by the other settings, so it cannot be chosen.");
}

void BatchSettings::resetCountsFor(const HerdScene& scene)
{
    const CorrectionCounts counts = correctionCountsInUse(scene);
    vertexCorrections = std::min(counts.vertex, kDefaultVertexCorrections);
    normalCorrections = std::min(counts.normal, kDefaultNormalCorrections);
    prtCorrections = std::min(counts.lighting, kDefaultPrtCorrections);
    if (detail == DetailMode::Fixed) detail = DetailMode::Moderate;
    fixedLevel = 0;
}

void BatchSettings::applyLoadedChoices(const BatchOptions& options, ViewerCore& core, const Report& report)
{
    resetCountsFor(core.scene());
    if (options.fixedDetailLevel) {
        const unsigned level = *options.fixedDetailLevel;
        // The menu offers one fixed level per level of the deepest herd, and level 0 always.
        const unsigned levels = std::max(1u, core.scene().maxLevelCount());
        if (level < levels) {
            detail = DetailMode::Fixed;
            fixedLevel = level;
        } else {
            report("Invalid option", "There is no detail level " + std::to_string(level) + ": the loaded herds have " +
                                         std::to_string(levels) + " levels.");
        }
    }
    if (options.animals)
        core.setAnimalCount(*options.animals);
    else if (core.totalAnimalCount() < 10)
        // A herd of fewer than ten animals looks empty on a full-screen frame.
        core.setAnimalCount(10);
    if (options.frame) core.setFrame(*options.frame);
}
