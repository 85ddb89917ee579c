// The main frame's menus: structure, ids, labels, kinds and start-up checks, the settings
// answers, the enabled-state rules and the count menus remade after a load.

#include "GuiTestSupport.h"

#include "app/MenuIds.h"
#include "camera/AttributeWithKeys.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "skin/BinarySkinWriter.h"

#include "SkinRecordFixtures.h"

#include <wx/menu.h>

#include <functional>
#include <map>
#include <memory>

namespace {

// One expected menu entry: a separator has id -1 and an empty label.
struct Entry {
    int id;
    std::string label;
    wxItemKind kind;
    bool checked = false;
    std::vector<Entry> submenu = {};
};

constexpr wxItemKind kNormal = wxITEM_NORMAL;
constexpr wxItemKind kCheck = wxITEM_CHECK;
constexpr wxItemKind kRadio = wxITEM_RADIO;

void expectMenu(wxMenu* menu, const std::vector<Entry>& entries, const std::string& where)
{
    ASSERT_NE(menu, nullptr) << where;
    ASSERT_EQ(menu->GetMenuItemCount(), entries.size()) << where;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        wxMenuItem* item = menu->FindItemByPosition(i);
        const std::string at = where + " item " + std::to_string(i);
        if (entry.id == -1) {
            EXPECT_TRUE(item->IsSeparator()) << at;
            continue;
        }
        EXPECT_EQ(item->GetId(), entry.id) << at;
        EXPECT_EQ(item->GetItemLabel().ToStdString(), entry.label) << at;
        EXPECT_FALSE(item->GetAccel()) << at << ": labels carry no accelerators";
        EXPECT_TRUE(item->IsEnabled()) << at;
        if (!entry.submenu.empty()) {
            expectMenu(item->GetSubMenu(), entry.submenu, at + " (" + entry.label + ")");
            continue;
        }
        EXPECT_EQ(item->GetKind(), entry.kind) << at;
        if (entry.kind != kNormal) {
            EXPECT_EQ(item->IsChecked(), entry.checked) << at << " " << entry.label;
        }
        EXPECT_EQ(item->GetHelp().ToStdString(), entry.id == kRunningId ? "Ctl+R" : "") << at;
    }
}

Entry submenu(int id, const std::string& label, std::vector<Entry> items)
{
    return {id, label, kNormal, false, std::move(items)};
}

// A record whose skin carries 5 displacement, 3 normal and 20 lighting basis vectors.
SkinRecord correctedQuad(const std::string& name)
{
    SkinRecord record = fixtures::quad(name, 2);
    const unsigned vertices = static_cast<unsigned>(record.positions.size());
    record.displacementBasis.resize(3 * vertices, 5);
    record.displacementCoordinates.resize(2, 5);
    record.normalBasis.resize(3 * vertices, 3);
    record.normalCoordinates.resize(2, 3);
    record.lightingBasis.resize(vertices, 20);
    record.lightingCoordinates.resize(20, 2);
    return record;
}

std::vector<std::string> labels(wxMenu* menu)
{
    std::vector<std::string> result;
    for (std::size_t i = 0; i < menu->GetMenuItemCount(); ++i)
        result.push_back(menu->FindItemByPosition(i)->GetItemLabel().ToStdString());
    return result;
}

// The id of the checked item of a radio menu, -1 when none is.
int checkedId(wxMenu* menu)
{
    for (std::size_t i = 0; i < menu->GetMenuItemCount(); ++i)
        if (menu->FindItemByPosition(i)->IsChecked()) return menu->FindItemByPosition(i)->GetId();
    return -1;
}

} // namespace

TEST_F(GuiTest, MenuBarHasEveryMenuItemAndStartCheckInOrder)
{
    auto* frame = new MyFrame(nullptr, "Menu test", wxPoint(0, 0), wxSize(300, 200), wxDEFAULT_FRAME_STYLE, *dynamic_cast<FlexherdApp*>(wxTheApp));
    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_NE(bar, nullptr);
    const std::vector<std::string> titles = {"&File", "&Camera", "Render", "Eigenskin", "PRT", "Herd", "Help"};
    ASSERT_EQ(bar->GetMenuCount(), titles.size());
    for (std::size_t i = 0; i < titles.size(); ++i) EXPECT_EQ(bar->GetMenuLabel(i), titles[i]);

    expectMenu(bar->GetMenu(0),
               {{0, "Open skinned mesh...", kNormal},
                {kOpenRecentMenuId, "Open recent", kNormal},
                {2, "Save camera animation...", kNormal},
                {3, "Load camera animation...", kNormal},
                {4, "Load herd...", kNormal},
                {5, "Save herd...", kNormal},
                {6, "Export image...", kNormal},
                {7, "Export image sequence...", kNormal},
                {kExportVideoId, "Export video...", kNormal},
                {8, "Export OBJ...", kNormal},
                {-1, "", kNormal},
                {11, "E&xit", kNormal}},
               "File");
    expectMenu(bar->GetMenu(1), {{13, "Perspective", kRadio, true}, {14, "Orthographic", kRadio}}, "Camera");
    expectMenu(bar->GetMenu(2),
               {{15, "Use vertex program", kCheck, true},
                {16, "Show vertex program...", kNormal},
                submenu(36, "Lighting",
                        {{37, "No lighting", kRadio},
                         {38, "OpenGL lighting", kRadio},
                         {39, "Precomputed radiance transfer", kRadio, true}}),
                submenu(40, "Method",
                        {{41, "Vertex buffer objects", kRadio},
                         {42, "Display lists", kRadio, true},
                         {43, "Vertex arrays", kRadio}}),
                {44, "Use triangle strips", kCheck, true},
                {-1, "", kNormal},
                submenu(22, "LOD",
                        {{23, "View-dependent (aggressive)", kRadio},
                         {24, "View-dependent (moderate)", kRadio, true},
                         {25, "View-dependent (conservative)", kRadio},
                         {-1, "", kNormal},
                         {66, "Impostors for distant animals", kCheck, false},
                         {67, "Impostor switch height...", kNormal}}),
                submenu(17, "Geometry",
                        {{18, "Boxes", kRadio}, {19, "Polys", kRadio, true}, {20, "Wireframe", kRadio},
                         {21, "Points", kRadio}}),
                {26, "Wireframe on shaded", kCheck, false},
                {27, "Shadows", kCheck, true},
                {28, "Ground plane", kCheck, true},
                submenu(29, "Background",
                        {{30, "White", kRadio}, {32, "Light Gray", kRadio, true}, {33, "Dark Gray", kRadio},
                         {34, "Blue", kRadio}, {31, "Black", kRadio}, {35, "Sky", kRadio}})},
               "Render");
    expectMenu(bar->GetMenu(3),
               {submenu(46, "Vertex corrections", {{1000, "0", kRadio, true}}),
                submenu(47, "Normal corrections", {{2000, "0", kRadio, true}})},
               "Eigenskin");
    expectMenu(bar->GetMenu(4), {submenu(49, "Corrections", {{4000, "0 (mean lighting only)", kRadio, true}})}, "PRT");
    expectMenu(bar->GetMenu(5),
               {{53, "&Running", kCheck, true},
                {54, "Moving", kCheck, false},
                {60, "Properties...", kNormal},
                {10, "Number of animals...", kNormal},
                {9, "Run timedemo...", kNormal}},
               "Herd");
    expectMenu(bar->GetMenu(6), {{63, "Mouse and keys", kCheck, false}, {62, "About...", kNormal}}, "Help");

    // Each command has an id of its own: two items sharing one would run each other's command.
    std::map<int, std::string> ids;
    const std::function<void(wxMenu*)> collect = [&](wxMenu* menu) {
        for (std::size_t i = 0; i < menu->GetMenuItemCount(); ++i) {
            const wxMenuItem* item = menu->FindItemByPosition(i);
            if (item->IsSeparator()) continue;
            const std::string label = item->GetItemLabel().ToStdString();
            const auto [at, added] = ids.emplace(item->GetId(), label);
            EXPECT_TRUE(added) << "\"" << label << "\" has the id of \"" << at->second << "\": " << item->GetId();
            if (item->GetSubMenu()) collect(item->GetSubMenu());
        }
    };
    for (std::size_t i = 0; i < bar->GetMenuCount(); ++i) collect(bar->GetMenu(i));

    // The answers of the start-up checks.
    EXPECT_EQ(frame->geometryMode(), GeometryMode::Polys);
    EXPECT_EQ(frame->lightingMode(), LightingMode::PRT);
    EXPECT_EQ(frame->renderMethod(), RenderMethod::DisplayLists);
    EXPECT_FALSE(frame->wireframeOnShaded());
    EXPECT_TRUE(frame->useTriangleStrips());
    EXPECT_EQ(frame->backgroundMode(), BackgroundMode::LightGray);
    EXPECT_EQ(frame->detailMode(), DetailMode::Moderate);
    EXPECT_EQ(frame->vertexCorrectionCount(), 0u);
    EXPECT_EQ(frame->normalCorrectionCount(), 0u);
    EXPECT_EQ(frame->prtCorrectionCount(), 0u);
    EXPECT_EQ(frame->fixedDetailLevel(), 0u);
    EXPECT_TRUE(frame->useVertexProgram());
    EXPECT_TRUE(frame->running());
    EXPECT_FALSE(frame->moving());
    EXPECT_TRUE(frame->shadows());
    EXPECT_TRUE(frame->groundPlane());
    frame->Destroy();
}

TEST_F(GuiTest, SettingsAnswersFollowTheChecks)
{
    const std::vector<std::pair<int, GeometryMode>> geometry = {{kBoxesId, GeometryMode::Boxes},
        {kWireframeId, GeometryMode::Wireframe}, {kPointsId, GeometryMode::Points}, {kPolysId, GeometryMode::Polys}};
    for (const auto& [id, mode] : geometry) {
        choose(id);
        EXPECT_EQ(m_frame->geometryMode(), mode) << id;
    }
    const std::vector<std::pair<int, LightingMode>> lighting = {{kNoLightingId, LightingMode::None},
        {kOpenGLLightingId, LightingMode::OpenGL}, {kPrtLightingId, LightingMode::PRT}};
    for (const auto& [id, mode] : lighting) {
        choose(id);
        EXPECT_EQ(m_frame->lightingMode(), mode) << id;
    }
    const std::vector<std::pair<int, RenderMethod>> methods = {{kVertexBufferObjectsId, RenderMethod::VertexBufferObjects},
        {kVertexArraysId, RenderMethod::VertexArrays}, {kDisplayListsId, RenderMethod::DisplayLists}};
    for (const auto& [id, method] : methods) {
        choose(id);
        EXPECT_EQ(m_frame->renderMethod(), method) << id;
    }
    const std::vector<std::pair<int, BackgroundMode>> backgrounds = {{kWhiteId, BackgroundMode::White},
        {kDarkGrayId, BackgroundMode::DarkGray}, {kBlueId, BackgroundMode::Blue}, {kBlackId, BackgroundMode::Black},
        {kSkyId, BackgroundMode::Sky}, {kLightGrayId, BackgroundMode::LightGray}};
    for (const auto& [id, mode] : backgrounds) {
        choose(id);
        EXPECT_EQ(m_frame->backgroundMode(), mode) << id;
    }
    const std::vector<std::pair<int, DetailMode>> detail = {{kLodAggressiveId, DetailMode::Aggressive},
        {kLodConservativeId, DetailMode::Conservative}, {kLodModerateId, DetailMode::Moderate}};
    for (const auto& [id, mode] : detail) {
        choose(id);
        EXPECT_EQ(m_frame->detailMode(), mode) << id;
    }
    choose(kWireframeOnShadedId);
    EXPECT_TRUE(m_frame->wireframeOnShaded());
    choose(kTriangleStripsId);
    EXPECT_FALSE(m_frame->useTriangleStrips());
    choose(kTriangleStripsId);
}

TEST_F(GuiTest, UncheckingVertexProgramSwitchesDisplayListsToBuffersAndDisablesHardwareItems)
{
    ASSERT_TRUE(m_frame->isChecked(kDisplayListsId));
    choose(kUseVertexProgramId);
    EXPECT_FALSE(m_frame->useVertexProgram());
    EXPECT_TRUE(m_frame->isChecked(kVertexBufferObjectsId));
    EXPECT_FALSE(m_frame->isChecked(kDisplayListsId));
    EXPECT_EQ(m_frame->renderMethod(), RenderMethod::VertexBufferObjects);
    for (const int id : {kDisplayListsId, kShowVertexProgramId, kVertexCorrectionsMenuId, kNormalCorrectionsMenuId,
                         kPrtCorrectionsMenuId})
        EXPECT_FALSE(m_frame->menuItem(id)->IsEnabled()) << id;
    EXPECT_TRUE(m_frame->menuItem(kWireframeOnShadedId)->IsEnabled()) << "Polys is checked";

    // Vertex arrays stay vertex arrays without a vertex program.
    choose(kVertexArraysId);
    EXPECT_EQ(m_frame->renderMethod(), RenderMethod::VertexArrays);

    choose(kUseVertexProgramId);
    for (const int id : {kDisplayListsId, kShowVertexProgramId, kVertexCorrectionsMenuId, kPrtCorrectionsMenuId})
        EXPECT_TRUE(m_frame->menuItem(id)->IsEnabled()) << id;
    EXPECT_FALSE(m_frame->menuItem(kNormalCorrectionsMenuId)->IsEnabled()) << "PRT lighting is checked";
}

TEST_F(GuiTest, NormalCorrectionsOnlyWithOpenGLLightingAndWireframeOnShadedOnlyWithPolys)
{
    choose(kOpenGLLightingId);
    EXPECT_TRUE(m_frame->menuItem(kNormalCorrectionsMenuId)->IsEnabled());
    choose(kPrtLightingId);
    EXPECT_FALSE(m_frame->menuItem(kNormalCorrectionsMenuId)->IsEnabled());
    choose(kNoLightingId);
    EXPECT_FALSE(m_frame->menuItem(kNormalCorrectionsMenuId)->IsEnabled());
    choose(kPrtLightingId);

    choose(kWireframeId);
    EXPECT_FALSE(m_frame->menuItem(kWireframeOnShadedId)->IsEnabled());
    choose(kPolysId);
    EXPECT_TRUE(m_frame->menuItem(kWireframeOnShadedId)->IsEnabled());
}

TEST_F(GuiTest, SettingsChangeClearsARendererFailure)
{
    loadSampleQuadruped(3);
    m_view->frameRenderer().renderers().hardware().front()->setAttributeLimit(1);
    renderView();
    ASSERT_TRUE(m_view->rendererFailed());
    m_view->frameRenderer().renderers().hardware().front()->setAttributeLimit(0);
    // Any settings command (here the one without a menu item).
    wxCommandEvent event(wxEVT_MENU, kSettingsChangedId);
    m_frame->ProcessWindowEvent(event);
    EXPECT_FALSE(m_view->rendererFailed());
    EXPECT_FALSE(m_view->frameRenderer().renderers().hardware().front()->built()) << "GL resources are released";
    m_reports.clear();
}

TEST_F(GuiTest, CountMenusFollowTheLoadedSkinsAndLevels)
{
    clearScene();
    m_frame->files().openFile(writeData("corrected.bin", fixtures::bytesOf({correctedQuad("fine"), correctedQuad("middle"),
                                                                     correctedQuad("coarse")})));
    ASSERT_TRUE(m_reports.empty()) << m_reports.front().message;
    ASSERT_EQ(m_core->scene().maxLevelCount(), 3u);

    EXPECT_EQ(labels(subMenu(kVertexCorrectionsMenuId)), (std::vector<std::string>{"0", "1", "2", "3", "4", "5"}));
    EXPECT_EQ(checkedId(subMenu(kVertexCorrectionsMenuId)), 1002);
    EXPECT_EQ(m_frame->vertexCorrectionCount(), 2u);
    EXPECT_EQ(labels(subMenu(kNormalCorrectionsMenuId)), (std::vector<std::string>{"0", "1", "2", "3"}));
    EXPECT_EQ(m_frame->normalCorrectionCount(), 2u);
    std::vector<std::string> prt = {"0 (mean lighting only)"};
    for (int j = 1; j <= 20; ++j) prt.push_back(std::to_string(j));
    EXPECT_EQ(labels(subMenu(kPrtCorrectionsMenuId)), prt);
    EXPECT_EQ(checkedId(subMenu(kPrtCorrectionsMenuId)), 4007);
    EXPECT_EQ(m_frame->prtCorrectionCount(), 7u);
    for (std::size_t i = 0; i < subMenu(kPrtCorrectionsMenuId)->GetMenuItemCount(); ++i) {
        wxMenuItem* item = subMenu(kPrtCorrectionsMenuId)->FindItemByPosition(i);
        EXPECT_EQ(item->GetId(), 4000 + static_cast<int>(i));
        EXPECT_EQ(item->GetKind(), wxITEM_RADIO);
    }

    EXPECT_EQ(labels(subMenu(kLodMenuId)),
              (std::vector<std::string>{"View-dependent (aggressive)", "View-dependent (moderate)",
                                        "View-dependent (conservative)", "0 (highest)", "1", "2 (lowest)", "",
                                        "Impostors for distant animals", "Impostor switch height..."}));
    EXPECT_EQ(subMenu(kLodMenuId)->FindItemByPosition(5)->GetId(), 6002);
    EXPECT_EQ(m_frame->fixedLevelItemCount(), 3u);
    EXPECT_EQ(m_frame->detailMode(), DetailMode::Moderate);
    // Impostors are off until checked, and stay as chosen when the level items are remade.
    EXPECT_FALSE(m_frame->impostors());
    choose(kImpostorsId);
    EXPECT_TRUE(m_frame->impostors());
    EXPECT_EQ(m_frame->impostorPixels(), ViewSettings::kDefaultImpostorPixels);
    m_frame->rebuildCountMenus();
    EXPECT_TRUE(m_frame->impostors());
    EXPECT_EQ(subMenu(kLodMenuId)->FindItemByPosition(7)->GetId(), kImpostorsId);
    choose(kImpostorsId);
    EXPECT_FALSE(m_frame->impostors());

    // A fixed level is one radio group with the view-dependent items.
    choose(6001);
    EXPECT_EQ(m_frame->detailMode(), DetailMode::Fixed);
    EXPECT_EQ(m_frame->fixedDetailLevel(), 1u);
    EXPECT_FALSE(m_frame->isChecked(kLodModerateId));

    // A correction count chosen by the user is a settings change the renderers see.
    choose(1004);
    EXPECT_EQ(m_frame->vertexCorrectionCount(), 4u);

    // Loading a plain skin shrinks the menus again; the choices return to their defaults.
    clearScene();
    m_frame->files().openFile(startup().secondValidSkin.string());
    EXPECT_EQ(labels(subMenu(kVertexCorrectionsMenuId)), std::vector<std::string>{"0"});
    EXPECT_EQ(checkedId(subMenu(kVertexCorrectionsMenuId)), 1000);
    EXPECT_EQ(labels(subMenu(kNormalCorrectionsMenuId)), std::vector<std::string>{"0"});
    EXPECT_EQ(labels(subMenu(kPrtCorrectionsMenuId)), std::vector<std::string>{"0 (mean lighting only)"});
    EXPECT_EQ(checkedId(subMenu(kPrtCorrectionsMenuId)), 4000);
    EXPECT_EQ(labels(subMenu(kLodMenuId)),
              (std::vector<std::string>{"View-dependent (aggressive)", "View-dependent (moderate)",
                                        "View-dependent (conservative)", "0 (highest)", "",
                                        "Impostors for distant animals", "Impostor switch height..."}));
    EXPECT_EQ(m_frame->detailMode(), DetailMode::Moderate);
}

TEST_F(GuiTest, CameraItemsSwitchTheViewsCamera)
{
    choose(kOrthographicId);
    EXPECT_EQ(&m_core->currentCamera(), m_core->orthoCamera().get());
    ASSERT_EQ(m_core->currentAttributes().size(), 4u);
    EXPECT_EQ(m_core->currentAttributes()[1]->name(), "port");
    choose(kPerspectiveId);
    EXPECT_EQ(&m_core->currentCamera(), m_core->perspectiveCamera().get());
    ASSERT_EQ(m_core->currentAttributes().size(), 7u);
    EXPECT_EQ(m_core->currentAttributes()[0]->name(), "azimuth");
    EXPECT_EQ(m_core->allAttributes().size(), 11u);
}

TEST_F(GuiTest, MovingRestartsTheAnimationAtFrameZero)
{
    m_core->setFrame(17);
    choose(kMovingId);
    EXPECT_TRUE(m_frame->moving());
    EXPECT_EQ(m_core->currentFrame(), 0);
    m_core->setFrame(5);
    choose(kMovingId);
    EXPECT_EQ(m_core->currentFrame(), 0);
}

TEST_F(GuiTest, FrameCtrlRStartsButNeverStopsTheAnimation)
{
    for (const int code : {'R', 'r', 'R'}) {
        wxKeyEvent key(wxEVT_KEY_DOWN);
        key.m_keyCode = code;
        key.m_controlDown = true;
        key.SetEventObject(m_frame);
        m_frame->ProcessWindowEvent(key);
        EXPECT_TRUE(m_frame->running()) << code;
    }
    m_frame->setRunning(false);
}

TEST_F(GuiTest, VertexProgramTextComesFromTheFirstHardwareRenderer)
{
    clearScene();
    EXPECT_EQ(m_view->vertexProgramText(), "No vertex program currently in use (1)");
    loadSampleQuadruped(2);
    EXPECT_EQ(m_view->vertexProgramText(), "No vertex program currently in use (2)") << "not built before a draw";
    renderView();
    ASSERT_TRUE(m_reports.empty()) << m_reports.front().message;
    const std::string text = m_view->vertexProgramText();
    EXPECT_NE(text.find("!!ARBvp1.0"), std::string::npos) << text.substr(0, 80);
    EXPECT_EQ(text, m_view->frameRenderer().renderers().hardware().front()->programText());
}
