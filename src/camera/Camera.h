#pragma once

#include "camera/HasKeyable.h"
#include "camera/TileRenderer.h"
#include "foundation/BoundingBox.h"
#include "foundation/Matrix3f.h"
#include "foundation/Matrix4f.h"
#include "foundation/Vector3f.h"

#include <iosfwd>
#include <memory>

// A camera of the GL view: a handful of float parameters from which it derives the projection
// and view matrices every time they are asked for, so that mouse drags and key animation can
// both change the parameters freely. The animatable parameters are listed as keyables.
//
// The library stays GL-free: projection() and view() are the matrices the GL layer loads into
// GL_PROJECTION and GL_MODELVIEW (transposed, since they are row-major), and tiled export
// gets the view volume through applyProjection. Cameras are shared by the view and the
// keyables they hand out (which keep them alive).
class Camera : public HasKeyable<float>, public std::enable_shared_from_this<Camera> {
public:
    // What a mouse drag does to the camera (the left button rotates, the middle one pans, the
    // right one dollies, or zooms in the orthographic plan view).
    enum class DragMode { None = 0, Pan = 1, Rotate = 2, Dolly = 3 };

    Camera();
    ~Camera() override;

    // Starts a drag of the given kind at window (x, y).
    virtual void beginDrag(DragMode mode, float x, float y);
    // Changes the parameters by the motion since the last position.
    virtual void drag(float x, float y) = 0;
    // Ends the drag.
    virtual void endDrag(float x, float y);
    virtual bool isDragging() const { return m_dragMode != DragMode::None; }

    // The projection matrix for the current aspect ratio, near and far planes.
    virtual Matrix4f projection() const = 0;
    // The view (modelview) matrix.
    virtual Matrix4f view() const = 0;
    // Hands a tile renderer the view volume of projection(), so that the tiles together show
    // what the window shows.
    virtual void applyProjection(TileRenderer& tiles) const = 0;

    // The stored forms: text (numbers separated by spaces, vectors and the basis in brackets)
    // and binary (little-endian float32). The readers take the same fields in the same order;
    // on malformed input they leave the camera unchanged and the stream failed.
    virtual void writeText(std::ostream& out) const = 0;
    virtual void readText(std::istream& in) = 0;
    virtual void writeBinary(std::ostream& out) const = 0;
    virtual void readBinary(std::istream& in) = 0;

    // The point the camera looks at (a fixed point for cameras that have none).
    virtual void setLookAtPoint(const Vector3f& point) = 0;
    virtual Vector3f lookAtPoint() const = 0;
    // Where the camera is, in scene coordinates.
    virtual Vector3f eye() const = 0;
    // Moves the camera so that the box fills the view (where the camera can).
    virtual void fitBox(const BoundingBox& box) = 0;

    void setNearFar(double zNear, double zFar);
    double nearPlane() const { return m_near; }
    double farPlane() const { return m_far; }
    // Width over height; 0 means the viewport's, as given to setViewportAspect.
    void setAspect(double aspect) { m_aspect = aspect; }
    double aspect() const { return m_aspect; }
    // The viewport's width over height, used while the aspect is 0.
    void setViewportAspect(double aspect) { m_viewportAspect = aspect; }
    // The aspect the projection uses: the set one, else the viewport's, else 1 (a zero-height
    // window gives no usable ratio, and a frustum built from it would divide by zero).
    double effectiveAspect() const;
    // Scales panning and dollying by mouse.
    void setSpeed(float speed) { m_speed = speed; }
    float speed() const { return m_speed; }
    // Multiplies every element of the perspective camera's view matrix.
    void setScale(double scale) { m_scale = scale; }
    double scale() const { return m_scale; }
    // Rows: the scene's x, up and z axes as the camera uses them.
    void setBasis(const Matrix3f& basis) { m_basis = basis; }
    const Matrix3f& basis() const { return m_basis; }

protected:
    // What keyables hold to keep this camera alive (empty when not owned by a shared_ptr).
    std::shared_ptr<const void> keepAlive() const { return weak_from_this().lock(); }
    // Stores (x, y) as the last drag position and returns the motion since the previous one.
    void dragDelta(float x, float y, float& dx, float& dy);
    DragMode dragMode() const { return m_dragMode; }

    double m_near = 0.1;
    double m_far = 3000.0;
    double m_aspect = 0.0;
    double m_viewportAspect = 1.0;
    float m_speed = 1.0f;
    double m_scale = 1.0;
    Matrix3f m_basis = Matrix3f::diagonal(1.0f);

private:
    float m_lastX = 0.0f;
    float m_lastY = 0.0f;
    DragMode m_dragMode = DragMode::None;
};
