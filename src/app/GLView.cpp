#include "app/GLView.h"

#include "app/DataFiles.h"
#include "app/ErrorBox.h"
#include "app/GLContextSource.h"
#include "app/ImageFileWriter.h"
#include "foundation/Exception.h"
#include "render/ViewNavigation.h"
#include "render/ViewSettings.h"
#include "render/gl/FrameRenderer.h"
#include "render/gl/SkySphere.h"
#include "viewer/ViewerCore.h"

#include <wx/dcclient.h>

namespace {

// RGBA with a double buffer (no flicker while animating) and a 24-bit depth buffer, which the
// skins need to hide their own back parts.
wxGLAttributes displayAttributes()
{
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().DoubleBuffer().Depth(24).EndList();
    return attributes;
}

} // namespace

GLView::GLView(wxWindow* parent, ViewerCore& core, GLContextSource& contexts)
    : wxGLCanvas(parent, displayAttributes(), wxID_ANY, wxPoint(0, 0), wxSize(200, 200), wxSUNKEN_BORDER, "GLView"),
      m_core(core), m_contexts(contexts),
      // The working directory's sky first, then the installed one, looked up when first drawn.
      m_frameRenderer(std::make_unique<FrameRenderer>([] { return findDataFile(SkySphere::kImageFile); }))
{
    m_frameRenderer->setErrorHandler([this](const std::string& message) { showErrorBox("Renderer error", message, this); });

    Bind(wxEVT_PAINT, &GLView::onPaint, this);
    Bind(wxEVT_ERASE_BACKGROUND, &GLView::onEraseBackground, this);
    Bind(wxEVT_SIZE, &GLView::onSize, this);
    Bind(wxEVT_IDLE, &GLView::onIdle, this);
    Bind(wxEVT_KEY_DOWN, &GLView::onKeyDown, this);
    for (const wxEventTypeTag<wxMouseEvent>& type :
         {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_LEFT_DCLICK, wxEVT_MIDDLE_DOWN, wxEVT_MIDDLE_UP, wxEVT_MIDDLE_DCLICK,
          wxEVT_RIGHT_DOWN, wxEVT_RIGHT_UP, wxEVT_RIGHT_DCLICK, wxEVT_MOTION, wxEVT_ENTER_WINDOW,
          wxEVT_LEAVE_WINDOW, wxEVT_MOUSEWHEEL})
        Bind(type, &GLView::onMouse, this);
    Refresh(false);
}

GLView::~GLView()
{
    // Renderers delete GL names when destroyed; they must go while the context can be current.
    if (makeCurrent()) m_frameRenderer.reset();
}

bool GLView::makeCurrent()
{
    wxGLContext* context = m_contexts.glContext(this);
    if (context == nullptr || !IsShownOnScreen() || !SetCurrent(*context)) return false;
    // Once per process: the extension entry points exist only after a context is current.
    static bool glewStarted = false;
    if (!glewStarted) {
        glewStarted = true;
        glewExperimental = GL_TRUE;
        const GLenum error = glewInit();
        if (error != GLEW_OK)
            showErrorBox("Error starting GLEW", reinterpret_cast<const char*>(glewGetErrorString(error)), nullptr);
    }
    return true;
}

void GLView::prepareRenderers()
{
    if (makeCurrent()) m_frameRenderer->syncRenderers(m_core.scene());
    Refresh(false);
}

void GLView::applyRenderSettings()
{
    makeCurrent();
    m_frameRenderer->releaseGLResources();
    Refresh(false);
}

std::string GLView::vertexProgramText() const
{
    return m_frameRenderer->vertexProgramText();
}

bool GLView::rendererFailed() const
{
    return m_frameRenderer->rendererFailed();
}

FrameContent GLView::frameContent() const
{
    FrameContent content{m_core.scene(), m_core.currentCamera(), m_core.settings(), m_core.frameMeasures(), {}, {}};
    if (m_core.showStatistics()) content.statisticsRows = [this] { return m_core.statisticsRows(); };
    if (m_core.showHelp()) content.helpRows = helpRows();
    return content;
}

void GLView::render()
{
    m_frameRenderer->drawFrame(frameContent(), m_clientWidth, m_clientHeight);
}

bool GLView::paintNow()
{
    if (!makeCurrent()) return false;
    render();
    SwapBuffers();
    return true;
}

void GLView::exportImage(int width, int height, const std::string& path)
{
    writeImageFile(renderImage(width, height, path), path);
}

PixelImage GLView::renderImage(int width, int height, const std::string& path)
{
    FrameRenderer::checkImageRequest(width, height, m_clientWidth, m_clientHeight, path);
    if (!makeCurrent())
        throw IOException("Unable to write to image '" + path + "': the view has no OpenGL context.");
    return m_frameRenderer->renderImage(frameContent(), width, height, m_clientWidth, m_clientHeight, path);
}

void GLView::onPaint(wxPaintEvent&)
{
    // A paint DC must exist for the whole handler, even when nothing can be drawn, or GTK keeps
    // asking for the paint.
    wxPaintDC dc(this);
    paintNow();
}

void GLView::onEraseBackground(wxEraseEvent&)
{
    // Left empty on purpose: erasing would flash the window background before each GL frame.
}

void GLView::onIdle(wxIdleEvent& event)
{
    if (!m_core.advance()) return;
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
    Camera& camera = m_core.currentCamera();
    if (event.ButtonDown()) {
        SetFocus();
        if (event.LeftIsDown())
            camera.beginDrag(Camera::DragMode::Rotate, x, y);
        else if (event.MiddleIsDown())
            camera.beginDrag(Camera::DragMode::Pan, x, y);
        else if (event.RightIsDown())
            camera.beginDrag(Camera::DragMode::Dolly, x, y);
    } else if (event.Dragging()) {
        if (camera.isDragging()) camera.drag(x, y);
        Refresh(false);
    } else if (event.ButtonUp()) {
        SetFocus();
        if (camera.isDragging()) camera.endDrag(x, y);
    }
}

void GLView::onWheel(wxMouseEvent& event)
{
    Camera& camera = m_core.currentCamera();
    // A wheel turn during a button drag would restart that drag in another mode.
    if (event.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL || camera.isDragging()) return;
    const float pixels = wheelDragPixels(event.GetWheelRotation(), event.GetWheelDelta());
    if (pixels == 0.0f) return;
    // The right-button drag's dolly (perspective) or zoom (orthographic), over the same motion.
    camera.beginDrag(Camera::DragMode::Dolly, 0.0f, 0.0f);
    camera.drag(0.0f, pixels);
    camera.endDrag(0.0f, pixels);
    Refresh(false);
}

void GLView::onKeyDown(wxKeyEvent& event)
{
    if (handleNavigationKey(event)) return;
    const int code = event.GetKeyCode();
    if (event.ControlDown() && (code == 'R' || code == 'r'))
        m_core.toggleRunning();
    else if (code == '[')
        m_core.setFrame(m_core.currentFrame() - 1);
    else if (code == ']')
        m_core.setFrame(m_core.currentFrame() + 1);
    else if (code == WXK_NUMPAD_ADD)
        m_core.scene().addRandomAnimal();
    else if (code == WXK_NUMPAD_SUBTRACT)
        m_core.scene().removeRandomAnimal();
    else {
        event.Skip();
        return;
    }
    Refresh(false);
}

bool GLView::handleNavigationKey(const wxKeyEvent& event)
{
    // With a modifier these keys belong to someone else (Ctrl+H, Alt+Left, ...).
    if (event.HasAnyModifiers()) return false;
    switch (event.GetKeyCode()) {
    case WXK_SPACE: m_core.toggleRunning(); break;
    case WXK_LEFT: m_core.setFrame(m_core.currentFrame() - 1); break;
    case WXK_RIGHT: m_core.setFrame(m_core.currentFrame() + 1); break;
    case WXK_HOME: m_core.frameAllAnimals(); break;
    case WXK_F1:
    case 'H':
    case 'h': m_core.setShowHelp(!m_core.showHelp()); break;
    default: return false;
    }
    Refresh(false);
    return true;
}
