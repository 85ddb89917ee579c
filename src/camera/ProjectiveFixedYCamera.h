#pragma once

#include "camera/Camera.h"
#include "foundation/Vector3d.h"

// The perspective camera: it orbits its look-at point at the signed distance dolly, turned by
// azimuth about the up axis and by elevation about the x axis, keeping the scene's up axis
// upright on screen (it flips when the camera passes over the top). The fov is the horizontal
// angle of the window. Dragging pans (mode 1), rotates (2) or dollies (3).
class ProjectiveFixedYCamera : public Camera {
public:
    // dollyChangesDistance: a dolly drag or fitBox changes the distance (dolly) instead of
    // carrying the look-at point and the eye along together (the view passes false).
    explicit ProjectiveFixedYCamera(bool dollyChangesDistance = false);

    // "azimuth", "elevation", "dolly", "fov", "lookAt.x", "lookAt.y", "lookAt.z".
    std::vector<std::shared_ptr<KeyableAttribute<float>>> keyables() override;
    void drag(float x, float y) override;
    // glFrustum for fov (horizontal), the aspect and the near and far planes.
    Matrix4f projection() const override;
    // gluLookAt from the eye to the look-at point with the current up vector, times scale.
    Matrix4f view() const override;
    void applyProjection(TileRenderer& tiles) const override;
    // Line 1: elevation azimuth spare dolly fov; line 2: lookAt; then the basis.
    void writeText(std::ostream& out) const override;
    void readText(std::istream& in) override;
    // elevation, azimuth, spare, dolly, fov, lookAt (3), basis (9 floats row by row).
    void writeBinary(std::ostream& out) const override;
    void readBinary(std::istream& in) override;
    void setLookAtPoint(const Vector3f& point) override { m_lookAt = point; }
    Vector3f lookAtPoint() const override { return m_lookAt; }
    // lookAt + R(B1, azimuth) R(B0, elevation) (dolly B2).
    Vector3f eye() const override;
    // Moves the look-at point (or, with dollyChangesDistance, sets the distance) so that the
    // box's corners fit the view with some margin; nothing for an empty box.
    void fitBox(const BoundingBox& box) override;

    // -B1 while the elevation, taken modulo 2 pi into [0, 2 pi), is strictly between pi/2 and
    // 3 pi/2 (the camera is upside down), else B1.
    Vector3f up() const;
    // The frustum of projection(): half-width near x tan(fov/2), half-height that / aspect.
    Frustum frustum() const;

    float fov() const { return m_fov; }
    void setFov(float fov) { m_fov = fov; }
    float elevation() const { return m_elevation; }
    void setElevation(float elevation) { m_elevation = elevation; }
    float azimuth() const { return m_azimuth; }
    void setAzimuth(float azimuth) { m_azimuth = azimuth; }
    float dolly() const { return m_dolly; }
    void setDolly(float dolly) { m_dolly = dolly; }
    bool dollyChangesDistance() const { return m_dollyChangesDistance; }

private:
    // Unit direction from the eye to the look-at point; when they coincide (dolly 0), the
    // direction the camera would face with a small negative dolly.
    Vector3d viewDirection() const;

    float m_fov = 40.0f;
    float m_elevation = 0.2f;
    float m_azimuth = 3.14159265358979f;
    float m_spare = 0.0f;
    float m_dolly = -5.0f;
    Vector3f m_lookAt{0.0f, 0.0f, 0.0f};
    bool m_dollyChangesDistance;
};
