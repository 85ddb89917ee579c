#pragma once

#include "camera/Camera.h"
#include "foundation/Vector2f.h"

// The orthographic camera for plan views: it looks along the basis' z axis (turned by whole
// quarter turns of the azimuth about the up axis) from 20 units away, centred on center, and
// shows port units above and below the centre. Dragging pans (mode 1), turns (2) or zooms (3).
class OrthoCamera : public Camera {
public:
    OrthoCamera();

    // "azimuth", "port", "center.x", "center.y".
    std::vector<std::shared_ptr<KeyableAttribute<float>>> keyables() override;
    void drag(float x, float y) override;
    // glOrtho of (-aspect port, aspect port, -port, port, near, far).
    Matrix4f projection() const override;
    // translation (-center.x, -center.y, -20) x plan().
    Matrix4f view() const override;
    void applyProjection(TileRenderer& tiles) const override;
    // Line 1: azimuth port; line 2: center; then the basis.
    void writeText(std::ostream& out) const override;
    void readText(std::istream& in) override;
    // azimuth, port, center (2), basis (9 floats row by row).
    void writeBinary(std::ostream& out) const override;
    void readBinary(std::istream& in) override;
    // The plan has no look-at point: setting does nothing, and it reports the origin.
    void setLookAtPoint(const Vector3f& point) override;
    Vector3f lookAtPoint() const override { return {0.0f, 0.0f, 0.0f}; }
    // The scene point that view() maps to the origin of eye space.
    Vector3f eye() const override;
    // The plan is framed by the user; nothing happens.
    void fitBox(const BoundingBox& box) override;

    // basis x R(B1, k pi/2) with k = floor(azimuth x 2 / pi): only whole quarter turns count.
    Matrix3f plan() const;
    // The box of projection().
    Frustum box() const;

    float azimuth() const { return m_azimuth; }
    void setAzimuth(float azimuth) { m_azimuth = azimuth; }
    float port() const { return m_port; }
    void setPort(float port) { m_port = port; }
    Vector2f center() const { return m_center; }
    void setCenter(const Vector2f& center) { m_center = center; }

private:
    Vector2f m_center{0.0f, 0.0f};
    float m_azimuth = 0.0f;
    float m_port = 5.0f;
};
