#include "app/MenuSettings.h"

#include "herd/HerdScene.h"
#include "viewer/CorrectionCounts.h"

#include <wx/menu.h>

#include <algorithm>

namespace {

// The first i below the menu's item count whose item firstId + i is checked; 0 if none.
unsigned checkedIndex(const wxMenu* menu, int firstId)
{
    if (menu == nullptr) return 0;
    const int count = static_cast<int>(menu->GetMenuItemCount());
    for (int i = 0; i < count; ++i) {
        const wxMenuItem* item = menu->FindItem(firstId + i);
        if (item != nullptr && item->IsChecked()) return static_cast<unsigned>(i);
    }
    return 0;
}

// Destroys the items after the first `keep` until only those are left.
void destroyItemsAfter(wxMenu* menu, std::size_t keep)
{
    while (menu->GetMenuItemCount() > keep) menu->Destroy(menu->FindItemByPosition(keep));
}

} // namespace

void MenuSettings::remember(wxMenuItem* item)
{
    const int id = item->GetId();
    if (id >= 0 && id < static_cast<int>(m_items.size())) m_items[static_cast<std::size_t>(id)] = item;
}

wxMenuItem* MenuSettings::menuItem(int id) const
{
    if (id < 0 || id >= static_cast<int>(m_items.size())) return nullptr;
    return m_items[static_cast<std::size_t>(id)];
}

bool MenuSettings::isChecked(int id) const
{
    const wxMenuItem* item = menuItem(id);
    return item != nullptr && item->IsCheckable() && item->IsChecked();
}

wxMenuBar* MenuSettings::buildMenuBar()
{
    auto* fileMenu = new wxMenu;
    remember(fileMenu->Append(kOpenSkinId, "Open skinned mesh..."));
    // Filled with the recent files by the frame's ViewerMemory.
    m_openRecent = new wxMenu;
    remember(fileMenu->Append(kOpenRecentMenuId, "Open recent", m_openRecent));
    // Every command id gets an item, so nothing is reachable only by sending its number.
    remember(fileMenu->Append(kSaveCameraKeysId, "Save camera animation..."));
    remember(fileMenu->Append(kLoadCameraKeysId, "Load camera animation..."));
    remember(fileMenu->Append(kLoadHerdId, "Load herd..."));
    remember(fileMenu->Append(kSaveHerdId, "Save herd..."));
    remember(fileMenu->Append(kExportImageId, "Export image..."));
    remember(fileMenu->Append(kExportImageSequenceId, "Export image sequence..."));
    remember(fileMenu->Append(kExportVideoId, "Export video..."));
    remember(fileMenu->Append(kExportObjId, "Export OBJ..."));
    fileMenu->AppendSeparator();
    remember(fileMenu->Append(kExitId, "E&xit"));

    auto* cameraMenu = new wxMenu;
    remember(cameraMenu->AppendRadioItem(kPerspectiveId, "Perspective"));
    remember(cameraMenu->AppendRadioItem(kOrthographicId, "Orthographic"));

    auto* lightingMenu = new wxMenu;
    remember(lightingMenu->AppendRadioItem(kNoLightingId, "No lighting"));
    remember(lightingMenu->AppendRadioItem(kOpenGLLightingId, "OpenGL lighting"));
    remember(lightingMenu->AppendRadioItem(kPrtLightingId, "Precomputed radiance transfer"));

    auto* methodMenu = new wxMenu;
    remember(methodMenu->AppendRadioItem(kVertexBufferObjectsId, "Vertex buffer objects"));
    remember(methodMenu->AppendRadioItem(kDisplayListsId, "Display lists"));
    remember(methodMenu->AppendRadioItem(kVertexArraysId, "Vertex arrays"));

    m_lod = new wxMenu;
    remember(m_lod->AppendRadioItem(kLodAggressiveId, "View-dependent (aggressive)"));
    remember(m_lod->AppendRadioItem(kLodModerateId, "View-dependent (moderate)"));
    remember(m_lod->AppendRadioItem(kLodConservativeId, "View-dependent (conservative)"));
    appendImpostorItems(false);

    auto* geometryMenu = new wxMenu;
    remember(geometryMenu->AppendRadioItem(kBoxesId, "Boxes"));
    remember(geometryMenu->AppendRadioItem(kPolysId, "Polys"));
    remember(geometryMenu->AppendRadioItem(kWireframeId, "Wireframe"));
    remember(geometryMenu->AppendRadioItem(kPointsId, "Points"));

    auto* backgroundMenu = new wxMenu;
    remember(backgroundMenu->AppendRadioItem(kWhiteId, "White"));
    remember(backgroundMenu->AppendRadioItem(kLightGrayId, "Light Gray"));
    remember(backgroundMenu->AppendRadioItem(kDarkGrayId, "Dark Gray"));
    remember(backgroundMenu->AppendRadioItem(kBlueId, "Blue"));
    remember(backgroundMenu->AppendRadioItem(kBlackId, "Black"));
    remember(backgroundMenu->AppendRadioItem(kSkyId, "Sky"));

    auto* renderMenu = new wxMenu;
    remember(renderMenu->AppendCheckItem(kUseVertexProgramId, "Use vertex program"));
    remember(renderMenu->Append(kShowVertexProgramId, "Show vertex program..."));
    remember(renderMenu->Append(kLightingMenuId, "Lighting", lightingMenu));
    remember(renderMenu->Append(kMethodMenuId, "Method", methodMenu));
    remember(renderMenu->AppendCheckItem(kTriangleStripsId, "Use triangle strips"));
    renderMenu->AppendSeparator();
    remember(renderMenu->Append(kLodMenuId, "LOD", m_lod));
    remember(renderMenu->Append(kGeometryMenuId, "Geometry", geometryMenu));
    remember(renderMenu->AppendCheckItem(kWireframeOnShadedId, "Wireframe on shaded"));
    remember(renderMenu->AppendCheckItem(kShadowsId, "Shadows"));
    remember(renderMenu->AppendCheckItem(kGroundPlaneId, "Ground plane"));
    remember(renderMenu->Append(kBackgroundMenuId, "Background", backgroundMenu));

    m_vertexCorrections = new wxMenu;
    m_vertexCorrections->AppendRadioItem(kFirstVertexCorrectionId, "0");
    m_normalCorrections = new wxMenu;
    m_normalCorrections->AppendRadioItem(kFirstNormalCorrectionId, "0");
    auto* eigenskinMenu = new wxMenu;
    remember(eigenskinMenu->Append(kVertexCorrectionsMenuId, "Vertex corrections", m_vertexCorrections));
    remember(eigenskinMenu->Append(kNormalCorrectionsMenuId, "Normal corrections", m_normalCorrections));

    m_prtCorrections = new wxMenu;
    m_prtCorrections->AppendRadioItem(kFirstPrtCorrectionId, "0 (mean lighting only)");
    auto* prtMenu = new wxMenu;
    remember(prtMenu->Append(kPrtCorrectionsMenuId, "Corrections", m_prtCorrections));

    auto* herdMenu = new wxMenu;
    remember(herdMenu->AppendCheckItem(kRunningId, "&Running", "Ctl+R"));
    remember(herdMenu->AppendCheckItem(kMovingId, "Moving"));
    remember(herdMenu->Append(kHerdPropertiesId, "Properties..."));
    remember(herdMenu->Append(kAnimalCountId, "Number of animals..."));
    remember(herdMenu->Append(kTimedemoId, "Run timedemo..."));

    auto* helpMenu = new wxMenu;
    remember(helpMenu->AppendCheckItem(kMouseAndKeysId, "Mouse and keys"));
    remember(helpMenu->Append(kAboutId, "About..."));

    auto* menuBar = new wxMenuBar;
    menuBar->Append(fileMenu, "&File");
    menuBar->Append(cameraMenu, "&Camera");
    menuBar->Append(renderMenu, "Render");
    menuBar->Append(eigenskinMenu, "Eigenskin");
    menuBar->Append(prtMenu, "PRT");
    menuBar->Append(herdMenu, "Herd");
    menuBar->Append(helpMenu, "Help");

    // The first item of a radio group starts checked; these move the checks to the defaults.
    for (const int id : {kPrtLightingId, kDisplayListsId, kLodModerateId, kPolysId, kLightGrayId})
        m_items[id]->Check(true);
    for (const int id : {kUseVertexProgramId, kTriangleStripsId, kShadowsId, kGroundPlaneId, kRunningId})
        m_items[id]->Check(true);
    m_items[kMovingId]->Check(false);
    return menuBar;
}

void MenuSettings::applyDependentStates()
{
    const bool hardware = isChecked(kUseVertexProgramId);
    m_items[kWireframeOnShadedId]->Enable(isChecked(kPolysId));
    m_items[kShowVertexProgramId]->Enable(hardware);
    m_items[kVertexCorrectionsMenuId]->Enable(hardware);
    m_items[kNormalCorrectionsMenuId]->Enable(hardware && !isChecked(kNoLightingId) && !isChecked(kPrtLightingId));
    m_items[kPrtCorrectionsMenuId]->Enable(hardware);
    // Display lists are offered for hardware skinning only: the software renderer's geometry
    // changes every frame, so a list would be rebuilt on every draw.
    m_items[kDisplayListsId]->Enable(hardware);
    if (!hardware && isChecked(kDisplayListsId)) m_items[kVertexBufferObjectsId]->Check(true);
}

void MenuSettings::rebuildCountMenus(const HerdScene& scene)
{
    destroyItemsAfter(m_vertexCorrections, 1);
    destroyItemsAfter(m_normalCorrections, 1);

    const CorrectionCounts counts = correctionCountsInUse(scene);

    // Radio items: checking j moves the selection, so checking every j up to the default
    // leaves min(default, count) selected; the first item is checked first in case the
    // selected item was among those destroyed.
    const auto appendCounts = [](wxMenu* menu, int firstId, unsigned count, unsigned selected) {
        menu->FindItemByPosition(0)->Check(true);
        for (unsigned j = 1; j <= count; ++j) {
            wxMenuItem* item = menu->AppendRadioItem(firstId + static_cast<int>(j), std::to_string(j));
            if (j <= selected) item->Check(true);
        }
    };
    appendCounts(m_vertexCorrections, kFirstVertexCorrectionId, counts.vertex, kDefaultVertexCorrections);
    appendCounts(m_normalCorrections, kFirstNormalCorrectionId, counts.normal, kDefaultNormalCorrections);
    destroyItemsAfter(m_prtCorrections, 1);
    appendCounts(m_prtCorrections, kFirstPrtCorrectionId, counts.lighting, kDefaultPrtCorrections);

    const bool fixedWasChosen = detailMode() == DetailMode::Fixed;
    // The impostor items stay last: they are made anew after the levels, as they were.
    const bool impostorsWereOn = impostors();
    m_items[kImpostorsId] = nullptr;
    m_items[kImpostorPixelsId] = nullptr;
    destroyItemsAfter(m_lod, 3);
    // A fixed level whose item is gone falls back to the menu's default.
    if (fixedWasChosen) m_items[kLodModerateId]->Check(true);
    const unsigned levels = std::max(1u, scene.maxLevelCount());
    for (unsigned j = 0; j < levels; ++j) {
        std::string label = std::to_string(j);
        if (j == 0)
            label += " (highest)";
        else if (j == levels - 1)
            label += " (lowest)";
        m_lod->AppendRadioItem(kFirstFixedLevelId + static_cast<int>(j), label);
    }
    appendImpostorItems(impostorsWereOn);
}

void MenuSettings::appendImpostorItems(bool checked)
{
    m_lod->AppendSeparator();
    wxMenuItem* item = m_lod->AppendCheckItem(kImpostorsId, "Impostors for distant animals");
    remember(item);
    item->Check(checked);
    remember(m_lod->Append(kImpostorPixelsId, "Impostor switch height..."));
}

unsigned MenuSettings::fixedLevelItemCount() const
{
    unsigned count = 0;
    for (std::size_t i = 0; i < m_lod->GetMenuItemCount(); ++i) {
        const int id = m_lod->FindItemByPosition(i)->GetId();
        if (id >= kFirstFixedLevelId && id < kFirstFixedLevelId + kRunTimeRangeSize) ++count;
    }
    return count;
}

GeometryMode MenuSettings::geometryMode() const
{
    if (isChecked(kPointsId)) return GeometryMode::Points;
    if (isChecked(kWireframeId)) return GeometryMode::Wireframe;
    if (isChecked(kBoxesId)) return GeometryMode::Boxes;
    return GeometryMode::Polys;
}

LightingMode MenuSettings::lightingMode() const
{
    if (isChecked(kNoLightingId)) return LightingMode::None;
    if (isChecked(kPrtLightingId)) return LightingMode::PRT;
    return LightingMode::OpenGL;
}

RenderMethod MenuSettings::renderMethod() const
{
    if (isChecked(kVertexBufferObjectsId)) return RenderMethod::VertexBufferObjects;
    if (isChecked(kDisplayListsId)) return RenderMethod::DisplayLists;
    return RenderMethod::VertexArrays;
}

bool MenuSettings::wireframeOnShaded() const
{
    return isChecked(kWireframeOnShadedId);
}

bool MenuSettings::useTriangleStrips() const
{
    return isChecked(kTriangleStripsId);
}

unsigned MenuSettings::vertexCorrectionCount() const
{
    return checkedIndex(m_vertexCorrections, kFirstVertexCorrectionId);
}

unsigned MenuSettings::normalCorrectionCount() const
{
    return checkedIndex(m_normalCorrections, kFirstNormalCorrectionId);
}

unsigned MenuSettings::prtCorrectionCount() const
{
    return checkedIndex(m_prtCorrections, kFirstPrtCorrectionId);
}

bool MenuSettings::useVertexProgram() const
{
    return isChecked(kUseVertexProgramId);
}

BackgroundMode MenuSettings::backgroundMode() const
{
    if (isChecked(kWhiteId)) return BackgroundMode::White;
    if (isChecked(kLightGrayId)) return BackgroundMode::LightGray;
    if (isChecked(kDarkGrayId)) return BackgroundMode::DarkGray;
    if (isChecked(kBlueId)) return BackgroundMode::Blue;
    if (isChecked(kSkyId)) return BackgroundMode::Sky;
    return BackgroundMode::Black;
}

bool MenuSettings::groundPlane() const
{
    return isChecked(kGroundPlaneId);
}

bool MenuSettings::shadows() const
{
    return isChecked(kShadowsId);
}

DetailMode MenuSettings::detailMode() const
{
    if (isChecked(kLodAggressiveId)) return DetailMode::Aggressive;
    if (isChecked(kLodModerateId)) return DetailMode::Moderate;
    if (isChecked(kLodConservativeId)) return DetailMode::Conservative;
    return DetailMode::Fixed;
}

unsigned MenuSettings::fixedDetailLevel() const
{
    // The LOD menu's item count bounds i, as for the correction menus; the three view-dependent
    // items come first, so every fixed level is found.
    return checkedIndex(m_lod, kFirstFixedLevelId);
}

bool MenuSettings::running() const
{
    return isChecked(kRunningId);
}

void MenuSettings::setRunning(bool running)
{
    m_items[kRunningId]->Check(running);
}

bool MenuSettings::moving() const
{
    return isChecked(kMovingId);
}

bool MenuSettings::impostors() const
{
    return isChecked(kImpostorsId);
}
