#pragma once

// Shared fixture of the hardware renderer suite: every test starts from the same GL state (a
// perspective camera, one white directional light of unit length, depth test and back-face
// culling as the view sets them) and must leave neither a GL error nor any state the renderer
// changes only for the length of a render (blending, texturing, programs, attribute arrays,
// depth writes, polygon offset, matrix stacks, display-list compilation) behind.

#include "GLTestWindow.h"
#include "foundation/BoundingBox.h"
#include "foundation/Vector3f.h"
#include "render/RenderSettings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// The one window of the process (made by main before the tests run).
GLTestWindow& testWindow();

// Settings as plain fields: filled polygons, OpenGL lighting, vertex arrays, strips, no
// corrections.
struct HwSettings : RenderSettings {
    GeometryMode geometry = GeometryMode::Polys;
    LightingMode lighting = LightingMode::OpenGL;
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

// RGB pixels of one picture, bottom row first, with the queries the tests make on them.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    Rgb at(int x, int y) const;
    bool covered(int x, int y) const;
    int coveredCount() const;
    // Mean of the channels over the covered pixels (0..255).
    double meanBrightness() const;
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

class HardwareTest : public ::testing::Test {
public:
    static constexpr int kWidth = 512;
    static constexpr int kHeight = 384;
    // Background of every test: dark blue, unlike anything the skins show.
    static constexpr std::uint8_t kBackground[3] = {20, 30, 90};

protected:
    void SetUp() override;
    void TearDown() override;

    // Clears colour and depth.
    void clear();
    // Perspective camera (40 degree vertical field) that sees the whole box from `direction`
    // (pointing from the box towards the eye), the box filling about `fill` of the height.
    void lookAt(const BoundingBox& box, const Vector3f& direction, float fill = 0.85f);
    Picture picture() const;
    // The depth buffer as floats, bottom row first.
    std::vector<float> depth() const;
    // Fails the test if GL has an error pending, naming where.
    void expectNoGLError(const std::string& where);
    // Writes the picture next to the test (working directory) for people to look at.
    static void save(const Picture& picture, const std::string& name);
};
