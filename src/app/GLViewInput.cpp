// The event half of GLView: the animation clock on idle, resizing, camera steering with the
// mouse and the keys that step frames and add or remove animals.
#include "app/GLView.h"

#include "render/ViewSettings.h"
#include "camera/Camera.h"

void GLView::onIdle(wxIdleEvent& event)
{
    if (!m_settings.running()) return;
    setFrame(m_currentFrame + 1);
    Refresh(false);
    // One frame per idle cycle, as fast as painting allows.
    event.RequestMore();
}

void GLView::onSize(wxSizeEvent& event)
{
    event.Skip();
    // Pixels, not DIPs: what glViewport needs.
    const wxSize size = GetClientSize() * GetContentScaleFactor();
    m_clientWidth = size.x;
    m_clientHeight = size.y;
    if (makeCurrent()) Refresh(false);
}

void GLView::onMouse(wxMouseEvent& event)
{
    if (event.GetEventType() == wxEVT_MOUSEWHEEL) {
        onWheel(event);
        return;
    }
    // Pixels like the viewport, so drags move the same on screens of any density.
    const double scale = GetContentScaleFactor();
    const float x = static_cast<float>(event.GetX() * scale);
    const float y = static_cast<float>(event.GetY() * scale);
    if (event.ButtonDown()) {
        SetFocus();
        if (event.LeftIsDown())
            m_currentCamera->beginDrag(Camera::DragMode::Rotate, x, y);
        else if (event.MiddleIsDown())
            m_currentCamera->beginDrag(Camera::DragMode::Pan, x, y);
        else if (event.RightIsDown())
            m_currentCamera->beginDrag(Camera::DragMode::Dolly, x, y);
    } else if (event.Dragging()) {
        if (m_currentCamera->isDragging()) m_currentCamera->drag(x, y);
        Refresh(false);
    } else if (event.ButtonUp()) {
        SetFocus();
        if (m_currentCamera->isDragging()) m_currentCamera->endDrag(x, y);
    }
}

void GLView::onKeyDown(wxKeyEvent& event)
{
    if (handleNavigationKey(event)) return;
    const int code = event.GetKeyCode();
    if (event.ControlDown() && (code == 'R' || code == 'r')) {
        toggleRunning();
    } else if (code == '[') {
        setFrame(m_currentFrame - 1);
        Refresh(false);
    } else if (code == ']') {
        setFrame(m_currentFrame + 1);
        Refresh(false);
    } else if (code == WXK_NUMPAD_ADD) {
        m_scene.addRandomAnimal();
        Refresh(false);
    } else if (code == WXK_NUMPAD_SUBTRACT) {
        m_scene.removeRandomAnimal();
        Refresh(false);
    } else {
        event.Skip();
    }
}

void GLView::onEraseBackground(wxEraseEvent&)
{
    // Left empty on purpose: erasing would flash the window background before each GL frame.
}
