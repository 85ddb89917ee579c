// The paint half of GLView: one frame of lights, background, camera, sky, ground, herds and
// the statistics overlay, in that order.
#include "app/GLView.h"

#include "app/ErrorBox.h"
#include "app/SkySphere.h"
#include "render/ViewSettings.h"
#include "camera/Camera.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "foundation/Exception.h"
#include "render/gl/GLState.h"
#include "render/gl/GLText.h"
#include "render/gl/HardwareSkinRenderer.h"
#include "render/gl/SoftwareSkinRenderer.h"
#include "skin/Skin.h"

#include <wx/dcclient.h>

#include <GL/glew.h>

#include <chrono>
#include <cmath>

namespace {

// Half the side of the ground quad: far beyond the far plane in every direction.
constexpr float kGroundHalfSize = 100000.0f;

// A directional light (w = 0) towards the normalised direction.
void setDirectionalLight(GLenum light, Vector3f direction, const GLfloat (&diffuse)[4])
{
    const float length = std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
    if (length > 0.0f) direction = Vector3f(direction.x / length, direction.y / length, direction.z / length);
    const GLfloat position[4] = {direction.x, direction.y, direction.z, 0.0f};
    glLightfv(light, GL_POSITION, position);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glEnable(light);
}

void loadMatrix(GLenum mode, const Matrix4f& matrix)
{
    glMatrixMode(mode);
    glLoadIdentity();
    glMultMatrixf(matrix.transposed().data());
}

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

void GLView::onPaint(wxPaintEvent&)
{
    // A paint DC must exist for the whole handler, even when nothing can be drawn, or GTK keeps
    // asking for the paint.
    wxPaintDC dc(this);
    if (!makeCurrent()) return;
    render();
    if (!m_exportTarget) SwapBuffers();
}

void GLView::render()
{
    m_frameStamps.push(FrameStamps::nowMilliseconds());

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDisable(GL_AUTO_NORMAL);
    glDisable(GL_NORMALIZE);
    glDisable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_FALSE);

    const auto drawStart = std::chrono::steady_clock::now();
    clearBackground();
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);

    applyCamera();
    // After the view matrix, so the lights keep their directions in the scene rather than
    // following the previous frame's view one frame late.
    setUpLights();

    if (m_settings.backgroundMode() == BackgroundMode::Sky) SkySphere::draw(m_currentCamera->eye());

    glDisable(GL_CULL_FACE);
    const bool shadowsDrawn = m_settings.shadows() && !m_scene.shadowRenderers().empty() &&
                              m_settings.lightingMode() == LightingMode::PRT;
    if (m_settings.groundPlane()) drawGroundPlane(shadowsDrawn);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    if (!m_rendererFailed) {
        try {
            drawHerds(shadowsDrawn);
        } catch (const Exception& e) {
            // Set before the box shows: its modal loop paints, and those paints skip the herds.
            m_rendererFailed = true;
            showErrorBox("Renderer error", e.message(), this);
        }
    }

    m_averageDrawTime = 0.9 * m_averageDrawTime + 0.1 * (millisecondsSince(drawStart) * 0.001);

    if (m_showStatistics) {
        glDisable(GL_CULL_FACE);
        GLText::drawTextTable(-90.0, 90.0, statisticsRows());
        glDisable(GL_LIGHTING);
    }
    // Never in exported pictures: the panel is for the person at the screen.
    if (m_showHelp && !m_exportTarget) drawHelpOverlay();
    glFlush();
}

void GLView::setUpLights()
{
    static const GLfloat kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    static const GLfloat kDim[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    glMatrixMode(GL_MODELVIEW);
    setDirectionalLight(GL_LIGHT0, Vector3f(4.0f, 2.0f, -4.0f), kWhite);
    setDirectionalLight(GL_LIGHT1, Vector3f(-2.0f, 1.0f, 5.0f), kWhite);
    const Vector3f lookAt = m_currentCamera->lookAtPoint();
    const Vector3f eye = m_currentCamera->eye();
    setDirectionalLight(GL_LIGHT2, Vector3f(eye.x - lookAt.x, eye.y - lookAt.y, eye.z - lookAt.z), kDim);
}

void GLView::clearBackground()
{
    switch (m_settings.backgroundMode()) {
    case BackgroundMode::White: glClearColor(1.0f, 1.0f, 1.0f, 0.0f); break;
    case BackgroundMode::LightGray: glClearColor(60.0f / 255.0f, 60.0f / 255.0f, 60.0f / 255.0f, 0.0f); break;
    case BackgroundMode::DarkGray: glClearColor(30.0f / 255.0f, 30.0f / 255.0f, 30.0f / 255.0f, 0.0f); break;
    case BackgroundMode::Blue: glClearColor(39.0f / 255.0f, 39.0f / 255.0f, 81.0f / 255.0f, 0.0f); break;
    case BackgroundMode::Black:
    case BackgroundMode::Sky: glClearColor(0.0f, 0.0f, 0.0f, 0.0f); break;
    }
}

void GLView::applyCamera()
{
    m_currentCamera->setNearFar(kNearPlane, kFarPlane);
    if (!m_exportTarget) {
        const double aspect = m_clientHeight > 0 ? static_cast<double>(m_clientWidth) / m_clientHeight : 0.0;
        m_currentCamera->setAspect(aspect);
        m_currentCamera->setViewportAspect(aspect);
        glViewport(0, 0, m_clientWidth, m_clientHeight);
        loadMatrix(GL_PROJECTION, m_currentCamera->projection());
    }
    loadMatrix(GL_MODELVIEW, m_currentCamera->view());
}

void GLView::drawGroundPlane(bool shadowsDrawn)
{
    GLState::Disable lighting(GL_LIGHTING);
    GLState::DepthWritesOff depthWrites;
    Vector3f colour(0.0f, 0.0f, 0.0f);
    if (shadowsDrawn) {
        // The ground takes the colour the shadow skin has where no animal darkens it, so the
        // blended shadows fade into the ground without a visible edge.
        const Skin& shadow = *m_scene.shadowRenderers().back()->herd()->skin();
        if (!shadow.vertexColors().empty()) {
            const Vector3f c = shadow.vertexColors().front();
            const float scale = shadow.maxMeanLighting();
            colour = Vector3f(c.x * scale, c.y * scale, c.z * scale);
        }
    }
    glColor3f(colour.x, colour.y, colour.z);
    const Vector3f eye = m_currentCamera->eye();
    GLState::Begin quads(GL_QUADS);
    glVertex3f(eye.x - kGroundHalfSize, 0.0f, eye.z - kGroundHalfSize);
    glVertex3f(eye.x - kGroundHalfSize, 0.0f, eye.z + kGroundHalfSize);
    glVertex3f(eye.x + kGroundHalfSize, 0.0f, eye.z + kGroundHalfSize);
    glVertex3f(eye.x + kGroundHalfSize, 0.0f, eye.z - kGroundHalfSize);
}

void GLView::drawHerds(bool shadowsDrawn)
{
    // Herds loaded before the window could take the context get their renderers now.
    m_scene.createPendingRenderers();

    const DetailMode detail = m_settings.detailMode();
    for (const auto& herd : m_scene.herds()) {
        if (detail == DetailMode::Fixed)
            herd->setFixedLevel(static_cast<int>(m_settings.fixedDetailLevel()));
        else
            herd->setMode(static_cast<int>(detail));
    }
    for (const auto& herd : m_scene.herds()) herd->update();

    if (shadowsDrawn)
        for (const auto& renderer : m_scene.shadowRenderers()) renderer->render(m_settings);
    for (const auto& renderer : chosenRenderers()) renderer->render(m_settings);
}
