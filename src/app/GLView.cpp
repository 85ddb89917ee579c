#include "app/GLView.h"

#include "app/FileDispatch.h"

#include "app/ErrorBox.h"
#include "app/FlexherdApp.h"
#include "foundation/Exception.h"
#include "skin/BinarySkinLoader.h"

#include <wx/dcclient.h>

#include <GL/gl.h>

#include <utility>

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

GLView::GLView(wxWindow* parent)
    : wxGLCanvas(parent, displayAttributes(), wxID_ANY, wxPoint(0, 0), wxSize(200, 200), wxSUNKEN_BORDER, "GLView")
{
    m_viewportSize = GetClientSize() * GetContentScaleFactor();
    Bind(wxEVT_PAINT, &GLView::onPaint, this);
    Bind(wxEVT_ERASE_BACKGROUND, &GLView::onEraseBackground, this);
    Bind(wxEVT_SIZE, &GLView::onSize, this);
}

std::shared_ptr<AnimalType> GLView::loadBinarySkin(const std::string& path)
{
    BinarySkinFile file = loadBinarySkinFile(path);
    if (file.failure) {
        showErrorBox(file.failure->caption, file.failure->message, this);
        return nullptr;
    }
    return addSkin(std::move(file.skins), std::move(file.directory));
}

std::shared_ptr<AnimalType> GLView::addSkin(std::vector<std::shared_ptr<Skin>> skins, std::filesystem::path directory)
{
    auto type = std::make_shared<AnimalType>();
    type->levels = std::move(skins);
    type->directory = std::move(directory);
    m_animalTypes.push_back(type);
    Refresh(false);
    return type;
}

void GLView::loadCameraKeys(const std::string& path)
{
    throw IOException(unsupportedFileMessage(FileKind::CameraKeys, path));
}

void GLView::loadHerd(const std::string& path)
{
    throw IOException(unsupportedFileMessage(FileKind::Herd, path));
}

void GLView::loadTextSkin(const std::string& path)
{
    throw IOException(unsupportedFileMessage(FileKind::TextSkin, path));
}

void GLView::clear()
{
    m_animalTypes.clear();
    Refresh(false);
}

int GLView::totalAnimalCount() const
{
    return 0;
}

void GLView::setAnimalCount(int count)
{
    // Nothing to resize until herds exist.
}

void GLView::render()
{
    glViewport(0, 0, m_viewportSize.x, m_viewportSize.y);
    // A neutral light gray: dark and light skins both stand out against it.
    glClearColor(0.75f, 0.75f, 0.75f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFlush();
}

void GLView::onPaint(wxPaintEvent& event)
{
    // A paint DC must exist for the whole handler, even when nothing can be drawn, or GTK keeps
    // asking for the paint.
    wxPaintDC dc(this);
    wxGLContext* context = FlexherdApp::glContextFor(this);
    if (context == nullptr || !SetCurrent(*context))
        return;
    render();
    SwapBuffers();
}

void GLView::onEraseBackground(wxEraseEvent& event)
{
    // Left empty on purpose: erasing would flash the window background before each GL frame.
}

void GLView::onSize(wxSizeEvent& event)
{
    m_viewportSize = GetClientSize() * GetContentScaleFactor();
    Refresh(false);
    event.Skip();
}
