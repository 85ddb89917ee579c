#pragma once

// Shared fixture of the GL suite: every test starts from the same GL state (viewport, a
// perspective camera on the +z axis looking at the origin, one white directional light,
// depth test and back-face culling as the view sets them) and must leave neither a GL error
// nor an unbalanced matrix stack nor a changed capability behind.

#include "GLTestWindow.h"
#include "render/RenderSettings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// The one window of the process (made by main before the tests run).
GLTestWindow& testWindow();

// Settings as plain fields, defaulting to filled polygons without lighting from vertex arrays.
struct TestSettings : RenderSettings {
    GeometryMode geometry = GeometryMode::Polys;
    LightingMode lighting = LightingMode::None;
    RenderMethod method = RenderMethod::VertexArrays;
    bool wireframe = false;
    bool strips = true;

    GeometryMode geometryMode() const override { return geometry; }
    LightingMode lightingMode() const override { return lighting; }
    RenderMethod renderMethod() const override { return method; }
    bool wireframeOnShaded() const override { return wireframe; }
    bool useTriangleStrips() const override { return strips; }
    unsigned vertexCorrectionCount() const override { return 0; }
    unsigned normalCorrectionCount() const override { return 0; }
    unsigned prtCorrectionCount() const override { return 0; }
};

class GLTest : public ::testing::Test {
public:
    static constexpr int kWidth = 256;
    static constexpr int kHeight = 256;
    // Background colour of every test (dark blue, unlike anything the skins show).
    static constexpr std::uint8_t kBackground[3] = {20, 30, 90};
    // The camera: 45 degree vertical field of view, eye at (0, 0, kEyeDistance).
    static constexpr double kFovy = 45.0;
    static constexpr double kEyeDistance = 6.0;

protected:
    void SetUp() override;
    void TearDown() override;

    // Clears to the background colour and depth 1.
    void clear();
    // Fails the test if GL has an error pending, naming where.
    void expectNoGLError(const char* where);

    // Pixels of the last frame (GL order: bottom row first), and queries on them.
    std::vector<std::uint8_t> frame() const { return testWindow().readPixels(); }
    static Rgb at(const std::vector<std::uint8_t>& pixels, int x, int y);
    static bool isBackground(const Rgb& c);
    // Number of pixels that differ from the background.
    static int coveredPixels(const std::vector<std::uint8_t>& pixels);
    // Radius in pixels of the silhouette of a sphere of the given radius at the origin.
    static double sphereRadiusInPixels(double radius);
};
