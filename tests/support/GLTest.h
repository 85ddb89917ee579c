#pragma once

// The fixture of every GL suite. Each test starts from the same GL state (viewport over the
// window, a perspective camera on the +z axis looking at the origin, one white directional
// light of unit length, depth test and back-face culling as the view sets them) and must leave
// behind neither a GL error nor any state a renderer changes only for the length of a draw:
// capabilities, client and generic attribute arrays, buffer bindings, blending, the texture
// environment, depth writes, polygon mode and offset, matrix stacks, display-list compilation.
// Pictures are read back as Picture values with the queries and comparisons the tests share.

#include "GLTestWindow.h"
#include "foundation/BoundingBox.h"
#include "foundation/Vector3f.h"
#include "render/RenderSettings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// The suite's one window (made by runGLSuite before the tests run).
GLTestWindow& testWindow();

// Settings as plain fields: filled polygons from vertex arrays with strips and no corrections,
// lit as given (unlit unless said).
struct TestSettings : RenderSettings {
    explicit TestSettings(LightingMode lightingMode = LightingMode::None) : lighting(lightingMode) {}

    GeometryMode geometry = GeometryMode::Polys;
    LightingMode lighting;
    RenderMethod method = RenderMethod::VertexArrays;
    bool wireframe = false;
    bool strips = true;
    unsigned vertexCorrections = 0;
    unsigned normalCorrections = 0;
    unsigned prtCorrections = 0;

    GeometryMode geometryMode() const override { return geometry; }
    LightingMode lightingMode() const override { return lighting; }
    RenderMethod renderMethod() const override { return method; }
    bool wireframeOnShaded() const override { return wireframe; }
    bool useTriangleStrips() const override { return strips; }
    unsigned vertexCorrectionCount() const override { return vertexCorrections; }
    unsigned normalCorrectionCount() const override { return normalCorrections; }
    unsigned prtCorrectionCount() const override { return prtCorrections; }
};

// RGB pixels of one picture, bottom row first (GL's order), with the queries the tests make.
// A pixel is covered when it differs from the fixture's background.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    Rgb at(int x, int y) const;
    bool covered(int x, int y) const;
    int coveredCount() const;
    // Mean of the channels over the covered pixels (0..255).
    double meanBrightness() const;
    bool operator==(const Picture&) const = default;
};

// How two pictures of the same scene differ.
struct PictureComparison {
    int coveredA = 0;
    int coveredB = 0;
    // Pixels covered in one picture only.
    int coverageMismatches = 0;
    // ... of which not within one pixel of either picture's silhouette.
    int coverageMismatchesAwayFromSilhouette = 0;
    // Pixels covered in both, away from the silhouettes.
    int interior = 0;
    // Interior pixels whose largest channel difference exceeds the tolerance against every
    // pixel of the other picture's 3 x 3 neighbourhood.
    int colourOutliers = 0;
    int largestChannelDifference = 0;
    // Sum of the absolute channel differences over every pixel, background included.
    double totalDifference = 0;
};

PictureComparison compare(const Picture& a, const Picture& b, int channelTolerance);
// A picture of where a and b differ by more than the tolerance (red) over a dimmed copy of a.
Picture differenceImage(const Picture& a, const Picture& b, int channelTolerance);
std::ostream& operator<<(std::ostream& out, const PictureComparison& c);

class GLTest : public ::testing::Test {
public:
    // Background of every test: dark blue, unlike anything the skins show.
    static constexpr std::uint8_t kBackground[3] = {20, 30, 90};
    // SetUp's camera: 45 degree vertical field of view, eye at (0, 0, kEyeDistance).
    static constexpr double kFovy = 45.0;
    static constexpr double kEyeDistance = 6.0;

    static bool isBackground(const Rgb& c);
    // Radius in pixels of the silhouette of a sphere of the given radius at the origin, seen by
    // SetUp's camera.
    static double sphereRadiusInPixels(double radius);

protected:
    void SetUp() override;
    void TearDown() override;

    // Clears colour to the background and depth to 1.
    void clear();
    // Fails the test if GL has an error pending, naming where.
    void expectNoGLError(const std::string& where);
    // A perspective camera (40 degree vertical field) that sees the whole box from `direction`
    // (pointing from the box towards the eye), the box filling about `fill` of the height.
    void lookAt(const BoundingBox& box, const Vector3f& direction, float fill = 0.85f);
    // The window's back buffer.
    Picture picture() const;
    // The depth buffer as floats, bottom row first.
    std::vector<float> depth() const;
    // Writes the picture to the working directory for people to look at.
    static void save(const Picture& picture, const std::string& name);
};
