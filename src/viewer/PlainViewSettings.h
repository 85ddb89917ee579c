#pragma once

#include "render/ViewSettings.h"

// The viewer's choices as plain fields, starting at the main frame menus' start-up states: for
// running the viewer without its menus (a batch run, a test). Every query answers its field.
struct PlainViewSettings : ViewSettings {
    GeometryMode geometry = GeometryMode::Polys;
    LightingMode lighting = LightingMode::PRT;
    RenderMethod method = RenderMethod::DisplayLists;
    bool wireframeOverlay = false;
    bool strips = true;
    unsigned vertexCorrections = 0;
    unsigned normalCorrections = 0;
    unsigned prtCorrections = 0;
    bool vertexProgram = true;
    BackgroundMode background = BackgroundMode::LightGray;
    bool ground = true;
    bool shadowsOn = true;
    DetailMode detail = DetailMode::Moderate;
    unsigned fixedLevel = 0;
    bool isRunning = true;
    bool isMoving = false;
    bool impostorsOn = false;
    unsigned impostorHeight = kDefaultImpostorPixels;

    GeometryMode geometryMode() const override { return geometry; }
    LightingMode lightingMode() const override { return lighting; }
    RenderMethod renderMethod() const override { return method; }
    bool wireframeOnShaded() const override { return wireframeOverlay; }
    bool useTriangleStrips() const override { return strips; }
    unsigned vertexCorrectionCount() const override { return vertexCorrections; }
    unsigned normalCorrectionCount() const override { return normalCorrections; }
    unsigned prtCorrectionCount() const override { return prtCorrections; }
    bool useVertexProgram() const override { return vertexProgram; }
    BackgroundMode backgroundMode() const override { return background; }
    bool groundPlane() const override { return ground; }
    bool shadows() const override { return shadowsOn; }
    DetailMode detailMode() const override { return detail; }
    unsigned fixedDetailLevel() const override { return fixedLevel; }
    bool running() const override { return isRunning; }
    void setRunning(bool running) override { isRunning = running; }
    bool moving() const override { return isMoving; }
    bool impostors() const override { return impostorsOn; }
    unsigned impostorPixels() const override { return impostorHeight; }
};
