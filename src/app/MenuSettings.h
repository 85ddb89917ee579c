#pragma once

#include "app/MenuIds.h"
#include "render/ViewSettings.h"

#include <array>

class HerdScene;
class wxMenu;
class wxMenuBar;
class wxMenuItem;

// The main frame's menus as the settings store: their check and radio items are the choices,
// and every settings query is answered from the check states at the moment of asking, so
// nothing is copied. Builds the menu bar ("&File", "&Camera", "Render" with "Lighting",
// "Method", "LOD", "Geometry" and "Background", "Eigenskin" with "Vertex corrections" and
// "Normal corrections", "PRT" with "Corrections", "Herd" and "Help"), keeps the enabled states
// of dependent items in line and remakes the correction-count and fixed-level items after
// every load. The frame derives from it, so it is the frame that answers; the menus belong
// to the frame's menu bar.
class MenuSettings : public ViewSettings {
public:
    // The item with a fixed id (below kFirstVertexCorrectionId), or null.
    wxMenuItem* menuItem(int id) const;
    bool isChecked(int id) const;
    // The "Open recent" submenu of "&File".
    wxMenu* openRecentMenu() const { return m_openRecent; }

    // Remakes "Vertex corrections", "Normal corrections" and PRT "Corrections" with one item
    // per basis vector of the largest skin in use (selecting 2, 2 and 7 where there are that
    // many), and the fixed "LOD" levels with one item per level of the deepest herd. The frame
    // binds the id ranges of these items once, for present and future items.
    void rebuildCountMenus(const HerdScene& scene);

    // RenderSettings, from the menus.
    GeometryMode geometryMode() const override;
    LightingMode lightingMode() const override;
    RenderMethod renderMethod() const override;
    bool wireframeOnShaded() const override;
    bool useTriangleStrips() const override;
    unsigned vertexCorrectionCount() const override;
    unsigned normalCorrectionCount() const override;
    unsigned prtCorrectionCount() const override;

    // ViewSettings, from the menus.
    bool useVertexProgram() const override;
    BackgroundMode backgroundMode() const override;
    bool groundPlane() const override;
    bool shadows() const override;
    DetailMode detailMode() const override;
    unsigned fixedDetailLevel() const override;
    bool running() const override;
    void setRunning(bool running) override;
    bool moving() const override;
    bool impostors() const override;
    unsigned impostorPixels() const override { return m_impostorPixels; }
    // The switch height of impostors, in pixels (1 or more).
    void setImpostorPixels(unsigned pixels) { m_impostorPixels = pixels < 1 ? 1 : pixels; }
    // The fixed detail level items the "LOD" menu holds.
    unsigned fixedLevelItemCount() const;

protected:
    // The whole menu bar, in its start-up states.
    wxMenuBar* buildMenuBar();
    // The rules a change of a rendering choice keeps: "Wireframe on shaded" only with "Polys";
    // the vertex program, its corrections and "Display lists" only with "Use vertex program"
    // (moving the method to "Vertex buffer objects" when display lists were chosen); "Normal
    // corrections" only with OpenGL lighting.
    void applyDependentStates();

private:
    void remember(wxMenuItem* item);
    // The impostor items at the end of "LOD", after a separator; checked as given.
    void appendImpostorItems(bool checked);

    // Items with fixed ids, indexed by id, so that settings queries during drawing cost an
    // array look-up rather than a search through the menu bar.
    std::array<wxMenuItem*, kFirstVertexCorrectionId> m_items{};
    wxMenu* m_vertexCorrections = nullptr;
    wxMenu* m_normalCorrections = nullptr;
    wxMenu* m_prtCorrections = nullptr;
    wxMenu* m_lod = nullptr;
    wxMenu* m_openRecent = nullptr;
    unsigned m_impostorPixels = kDefaultImpostorPixels;
};
