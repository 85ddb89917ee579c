#include "app/GLView.h"

#include "app/ErrorBox.h"
#include "app/FlexherdApp.h"
#include "render/ViewSettings.h"
#include "camera/AttributeWithKeys.h"
#include "camera/CameraKeysFile.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "camera/TileRenderer.h"
#include "foundation/Exception.h"
#include "herd/HerdFile.h"
#include "herd/HerdCreator.h"
#include "render/gl/HardwareSkinRenderer.h"
#include "render/gl/SoftwareSkinRenderer.h"
#include "skin/BinarySkinLoader.h"
#include "skin/FileDispatch.h"
#include "skin/SkinFileLoading.h"
#include "skin/TextSkinReader.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

namespace {

// RGBA with a double buffer (no flicker while animating) and a 24-bit depth buffer, which the
// skins need to hide their own back parts.
wxGLAttributes displayAttributes()
{
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().DoubleBuffer().Depth(24).EndList();
    return attributes;
}

// One keyed attribute per keyable of the camera, in the camera's order.
std::vector<std::shared_ptr<AttributeWithKeys>> keyedAttributes(Camera& camera)
{
    std::vector<std::shared_ptr<AttributeWithKeys>> attributes;
    for (const auto& keyable : camera.keyables()) attributes.push_back(std::make_shared<AttributeWithKeys>(keyable));
    return attributes;
}

} // namespace

GLView::GLView(wxWindow* parent, ViewSettings& settings)
    : wxGLCanvas(parent, displayAttributes(), wxID_ANY, wxPoint(0, 0), wxSize(200, 200), wxSUNKEN_BORDER, "GLView"),
      m_settings(settings), m_scene([this] { return makeCurrent(); }),
      m_perspectiveCamera(std::make_shared<ProjectiveFixedYCamera>(false)),
      m_orthoCamera(std::make_shared<OrthoCamera>())
{
    // Mouse motion pans and dollies the perspective camera ten times faster than the camera's
    // default, which suits herds spread over tens of units; the start view looks at the herd
    // from slightly above and to the side.
    m_perspectiveCamera->setSpeed(10.0f);
    m_perspectiveCamera->setElevation(0.2f);
    m_perspectiveCamera->setAzimuth(1.75f);
    m_perspectiveCamera->setLookAtPoint(Vector3f(-6.0f, 2.0f, 0.5f));
    m_currentCamera = m_perspectiveCamera;

    m_perspectiveAttributes = keyedAttributes(*m_perspectiveCamera);
    m_orthoAttributes = keyedAttributes(*m_orthoCamera);
    m_allAttributes = m_perspectiveAttributes;
    m_allAttributes.insert(m_allAttributes.end(), m_orthoAttributes.begin(), m_orthoAttributes.end());
    m_currentAttributes = m_perspectiveAttributes;

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
    if (makeCurrent()) m_scene.clear();
}

bool GLView::makeCurrent()
{
    wxGLContext* context = FlexherdApp::glContextFor(this);
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

void GLView::setFrame(int frame)
{
    m_currentFrame = std::max(frame, 0);
    m_scene.setFrame(m_currentFrame, m_settings.moving());
    for (const auto& attribute : m_currentAttributes) attribute->apply(static_cast<float>(m_currentFrame));
}

unsigned GLView::totalAnimalCount() const
{
    return m_scene.totalAnimalCount();
}

void GLView::setAnimalCount(unsigned n)
{
    m_scene.setAnimalCount(n);
}

void GLView::setHerdCreator(std::shared_ptr<HerdCreator> creator)
{
    m_scene.setHerdCreator(std::move(creator));
}

std::shared_ptr<HerdCreator> GLView::currentHerdCreator() const
{
    return m_scene.herdCreator();
}

std::shared_ptr<HierarchicalHerd> GLView::addSkin(const std::vector<std::shared_ptr<Skin>>& skins,
                                                  const std::filesystem::path& directory)
{
    std::shared_ptr<HierarchicalHerd> herd = m_scene.addSkin(skins, directory);
    Refresh(false);
    return herd;
}

void GLView::clear()
{
    // Renderers being dropped delete their GL names, which needs the context.
    makeCurrent();
    m_scene.clear();
    Refresh(false);
}

void GLView::applyRenderSettings()
{
    makeCurrent();
    m_scene.releaseGLResources();
    Refresh(false);
    m_rendererFailed = false;
}

void GLView::useCamera(CameraChoice which)
{
    if (which == CameraChoice::Perspective) {
        m_currentCamera = m_perspectiveCamera;
        m_currentAttributes = m_perspectiveAttributes;
    } else {
        m_currentCamera = m_orthoCamera;
        m_currentAttributes = m_orthoAttributes;
    }
    Refresh(false);
}

std::string GLView::vertexProgramText() const
{
    const auto& hardware = m_scene.hardwareRenderers();
    if (hardware.empty()) return "No vertex program currently in use (1)";
    return hardware.front()->programText();
}

int GLView::keyFrameCount() const
{
    int frames = 0;
    for (const auto& attribute : m_currentAttributes)
        if (!attribute->keys().empty()) frames = std::max(frames, static_cast<int>(attribute->endTime()));
    return frames;
}

std::shared_ptr<HierarchicalHerd> GLView::loadBinarySkin(const std::string& path)
{
    SkinFile file;
    try {
        file = loadBinarySkinFile(path);
    } catch (const CreationException& e) {
        showErrorBox("Error reading skin", e.message(), this);
        return nullptr;
    }
    return addSkin(file.skins, file.directory);
}

void GLView::loadHerd(const std::string& path)
{
    makeCurrent();
    try {
        m_scene.loadHerd(path, loadSkinFileByName);
    } catch (const HerdFileException&) {
        Refresh(false);
        throw;
    } catch (const CreationException& e) {
        Refresh(false);
        showErrorBox("Error reading skin", e.message(), this);
        return;
    } catch (const Exception& e) {
        Refresh(false);
        showErrorBox("Error reading file", e.message(), this);
        return;
    }
    Refresh(false);
}

void GLView::loadCameraKeys(const std::string& path)
{
    // The records read before a failure stay in force, so the camera follows them either way.
    const auto applyKeys = [this] {
        for (const auto& attribute : m_currentAttributes) attribute->apply(static_cast<float>(m_currentFrame));
        Refresh(false);
    };
    try {
        ::loadCameraKeys(path, m_allAttributes);
    } catch (const CameraKeysReadError& e) {
        applyKeys();
        showErrorBox("Error reading camera keys", e.message(), this);
        return;
    } catch (const IOException&) {
        applyKeys();
        throw;
    }
    applyKeys();
}

void GLView::saveCameraKeys(const std::string& path)
{
    ::saveCameraKeys(path, m_allAttributes);
}

std::shared_ptr<HierarchicalHerd> GLView::loadTextSkin(const std::string& path)
{
    SkinFile file;
    try {
        file = loadTextSkinFile(path);
    } catch (const CreationException& e) {
        showErrorBox("Error reading skin", e.message(), this);
        return nullptr;
    }
    return addSkin(file.skins, file.directory);
}

void GLView::saveHerd(const std::string& path) const
{
    m_scene.saveHerd(path);
}

StatisticsFigures GLView::statisticsFigures() const
{
    StatisticsFigures figures;
    figures.framesPerSecond = framesPerSecond();
    figures.averageDrawTime = m_averageDrawTime;
    figures.totalAnimals = totalAnimalCount();
    for (const auto& herd : m_scene.herds()) figures.herds.push_back({herd->instanceCount(), herd->skin()->name()});
    for (const auto& renderer : chosenRenderers()) {
        const unsigned animals = renderer->herd()->instanceCount();
        const Skin& skin = *renderer->herd()->skin();
        figures.triangles += static_cast<unsigned long long>(skin.triangleCount()) * animals;
        figures.vertices += static_cast<unsigned long long>(skin.vertexCount()) * animals;
    }
    return figures;
}

std::vector<std::pair<std::string, std::string>> GLView::statisticsRows() const
{
    return ::statisticsRows(statisticsFigures());
}

std::vector<std::shared_ptr<SkinRenderer>> GLView::chosenRenderers() const
{
    std::vector<std::shared_ptr<SkinRenderer>> renderers;
    if (m_settings.useVertexProgram())
        renderers.assign(m_scene.hardwareRenderers().begin(), m_scene.hardwareRenderers().end());
    else
        renderers.assign(m_scene.softwareRenderers().begin(), m_scene.softwareRenderers().end());
    return renderers;
}
