// The conveniences of GLView beyond the classic controls: the mouse wheel, Home to frame the
// herd, Space and the arrow keys for playback, and the mouse-and-keys help panel (F1 or H).
#include "app/GLView.h"

#include "render/ViewNavigation.h"
#include "render/ViewSettings.h"
#include "camera/CameraFraming.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "herd/HerdBounds.h"
#include "render/gl/GLText.h"

void GLView::onWheel(wxMouseEvent& event)
{
    // A wheel turn during a button drag would restart that drag in another mode.
    if (event.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL || m_currentCamera->isDragging()) return;
    const float pixels = wheelDragPixels(event.GetWheelRotation(), event.GetWheelDelta());
    if (pixels == 0.0f) return;
    // The right-button drag's dolly (perspective) or zoom (orthographic), over the same motion.
    m_currentCamera->beginDrag(Camera::DragMode::Dolly, 0.0f, 0.0f);
    m_currentCamera->drag(0.0f, pixels);
    m_currentCamera->endDrag(0.0f, pixels);
    Refresh(false);
}

void GLView::frameAllAnimals()
{
    const BoundingBox bounds = instanceBounds(m_scene.herds());
    if (bounds.isEmpty()) return;
    if (m_currentCamera == m_perspectiveCamera)
        frameBox(*m_perspectiveCamera, bounds);
    else
        frameBox(*m_orthoCamera, bounds);
    Refresh(false);
}

void GLView::setShowHelp(bool show)
{
    m_showHelp = show;
    Refresh(false);
}

void GLView::toggleRunning()
{
    if (!m_settings.running()) m_frameStamps.clear();
    m_settings.setRunning(!m_settings.running());
    Refresh(false);
}

bool GLView::handleNavigationKey(const wxKeyEvent& event)
{
    // With a modifier these keys belong to someone else (Ctrl+H, Alt+Left, ...).
    if (event.HasAnyModifiers()) return false;
    switch (event.GetKeyCode()) {
    case WXK_SPACE: toggleRunning(); return true;
    case WXK_LEFT:
        setFrame(m_currentFrame - 1);
        Refresh(false);
        return true;
    case WXK_RIGHT:
        setFrame(m_currentFrame + 1);
        Refresh(false);
        return true;
    case WXK_HOME: frameAllAnimals(); return true;
    case WXK_F1:
    case 'H':
    case 'h': setShowHelp(!m_showHelp); return true;
    default: return false;
    }
}

void GLView::drawHelpOverlay()
{
    // The paint's viewport is the client area in pixels.
    const std::size_t statistics = m_showStatistics ? statisticsRows().size() : 0;
    glDisable(GL_CULL_FACE);
    GLText::drawTextTable(-90.0, helpPanelTop(statistics, m_clientHeight), helpRows());
    glDisable(GL_LIGHTING);
}
