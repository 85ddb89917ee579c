#pragma once

// What the user chose in the menus, as the renderers read it at draw time. The main frame
// answers these queries from the check state of its menu items; tests and benchmarks answer
// them from plain fields. Renderers never store the answers, except where they build GL
// resources from them (those are rebuilt after releaseGLResources).

// Menu "Geometry".
enum class GeometryMode { Boxes = 0, Polys = 1, Wireframe = 2, Points = 3 };
// "No lighting", "OpenGL lighting", "Precomputed radiance transfer".
enum class LightingMode { None = 0, OpenGL = 1, PRT = 2 };
// "Display lists", "Vertex buffer objects", "Vertex arrays".
enum class RenderMethod { DisplayLists = 0, VertexBufferObjects = 1, VertexArrays = 2 };

// Query interface over the rendering choices; holds no data.
class RenderSettings {
public:
    virtual ~RenderSettings() = default;

    virtual GeometryMode geometryMode() const = 0;
    virtual LightingMode lightingMode() const = 0;
    virtual RenderMethod renderMethod() const = 0;
    // "Wireframe on shaded": a line pass over the filled polygons in Polys mode.
    virtual bool wireframeOnShaded() const = 0;
    // "Use triangle strips": draw the skin's primitive groups instead of its plain triangles.
    virtual bool useTriangleStrips() const = 0;
    // Numbers of eigenskin vertex and normal corrections and of PRT basis vectors that the
    // vertex program applies; the software renderer applies everything the skin holds.
    virtual unsigned vertexCorrectionCount() const = 0;
    virtual unsigned normalCorrectionCount() const = 0;
    virtual unsigned prtCorrectionCount() const = 0;
};
