#include "viewer/ViewerCore.h"

#include "camera/AttributeWithKeys.h"
#include "camera/CameraFraming.h"
#include "camera/CameraKeysFile.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "bake/ModelFiles.h"
#include "bake/SkinSubset.h"
#include "foundation/Exception.h"
#include "herd/HerdBounds.h"
#include "herd/HerdFile.h"
#include "render/ViewSettings.h"
#include "skin/BinarySkinLoader.h"
#include "skin/FileDispatch.h"
#include "skin/ObjExport.h"
#include "skin/ObjFile.h"
#include "skin/SkinFileLoading.h"
#include "skin/TextSkinReader.h"

#include <algorithm>

namespace {

// One keyed attribute per keyable of the camera, in the camera's order.
std::vector<std::shared_ptr<AttributeWithKeys>> keyedAttributes(Camera& camera)
{
    std::vector<std::shared_ptr<AttributeWithKeys>> attributes;
    for (const auto& keyable : camera.keyables()) attributes.push_back(std::make_shared<AttributeWithKeys>(keyable));
    return attributes;
}

} // namespace

ViewerCore::ViewerCore(ViewSettings& settings, std::int32_t seed) : ViewerCore(settings)
{
    m_scene.reseed(seed);
}

ViewerCore::ViewerCore(ViewSettings& settings)
    : m_settings(settings), m_perspectiveCamera(std::make_shared<ProjectiveFixedYCamera>(false)),
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
    // Every herd gets its band skin as it is loaded: a few milliseconds a skin, and the herd's
    // renderers are made with it. The band only saves drawing time, so a skin it cannot be
    // made from is loaded without one rather than refused.
    m_scene.setBandSkinMaker([](const Skin& coarsest) -> std::shared_ptr<Skin> {
        try {
            return makeBandSkin(coarsest);
        } catch (const Exception&) {
            return nullptr;
        }
    });

    m_perspectiveAttributes = keyedAttributes(*m_perspectiveCamera);
    m_orthoAttributes = keyedAttributes(*m_orthoCamera);
    m_allAttributes = m_perspectiveAttributes;
    m_allAttributes.insert(m_allAttributes.end(), m_orthoAttributes.begin(), m_orthoAttributes.end());
    m_currentAttributes = m_perspectiveAttributes;
    m_importer = importModelFile;
}

ViewerCore::~ViewerCore()
{
    // The herds go first: nothing reads the imported textures after this.
    m_scene.clear();
    if (!m_importDirectory.empty()) removeImportDirectory(m_importDirectory);
}

void ViewerCore::setFrame(int frame)
{
    m_currentFrame = std::max(frame, 0);
    m_scene.setFrame(m_currentFrame, m_settings.moving());
    applyCurrentKeys();
}

bool ViewerCore::advance()
{
    if (!m_settings.running()) return false;
    setFrame(m_currentFrame + 1);
    return true;
}

void ViewerCore::toggleRunning()
{
    // The paints of a stopped animation say nothing about the rate of a running one.
    if (!m_settings.running()) m_measures.stamps.clear();
    m_settings.setRunning(!m_settings.running());
}

void ViewerCore::setHerdCreator(std::shared_ptr<HerdCreator> creator)
{
    m_scene.setHerdCreator(std::move(creator));
}

std::shared_ptr<HierarchicalHerd> ViewerCore::addSkin(const std::vector<std::shared_ptr<Skin>>& skins,
                                                      const std::filesystem::path& directory)
{
    return m_scene.addSkin(skins, directory);
}

void ViewerCore::useCamera(CameraChoice which)
{
    m_cameraChoice = which;
    if (which == CameraChoice::Perspective) {
        m_currentCamera = m_perspectiveCamera;
        m_currentAttributes = m_perspectiveAttributes;
    } else {
        m_currentCamera = m_orthoCamera;
        m_currentAttributes = m_orthoAttributes;
    }
}

int ViewerCore::keyFrameCount() const
{
    int frames = 0;
    for (const auto& attribute : m_currentAttributes)
        if (!attribute->keys().empty()) frames = std::max(frames, static_cast<int>(attribute->endTime()));
    return frames;
}

void ViewerCore::frameAllAnimals()
{
    const BoundingBox bounds = instanceBounds(m_scene.herds());
    if (bounds.isEmpty()) return;
    if (m_cameraChoice == CameraChoice::Perspective)
        frameBox(*m_perspectiveCamera, bounds);
    else
        frameBox(*m_orthoCamera, bounds);
}

bool ViewerCore::frameAnimalsAfterImport()
{
    if (!m_importedSinceFraming) return false;
    m_importedSinceFraming = false;
    const BoundingBox bounds = instanceBounds(m_scene.herds());
    if (bounds.isEmpty()) return false;
    if (m_cameraChoice == CameraChoice::Perspective && boxInView(*m_perspectiveCamera, bounds)) return false;
    frameAllAnimals();
    return true;
}

void ViewerCore::openFile(const std::string& path)
{
    switch (fileKindOf(path)) {
    case FileKind::CameraKeys: loadCameraKeys(path); break;
    case FileKind::Herd: loadHerd(path); break;
    case FileKind::TextSkin: loadTextSkin(path); break;
    case FileKind::BinarySkin:
        if (isModelFile(path))
            loadModel(path);
        else
            loadBinarySkin(path);
        break;
    }
}

SkinFile ViewerCore::importModel(const std::string& path)
{
    if (m_importDirectory.empty()) m_importDirectory = createImportDirectory();
    struct ProgressScope {
        ImportProgressDisplay* display;
        ProgressScope(ImportProgressDisplay* shown, const std::string& modelPath) : display(shown)
        {
            if (display) display->begin(modelPath);
        }
        ~ProgressScope()
        {
            if (display) display->end();
        }
    } scope(m_importProgress, path);
    ImportProgressDisplay* display = m_importProgress;
    SkinFile file = m_importer(path, m_importDirectory, [display](double fraction, const std::string& step) {
        return display == nullptr || display->update(fraction, step);
    });
    if (!file.skins.empty()) m_importedSinceFraming = true;
    return file;
}

std::shared_ptr<HierarchicalHerd> ViewerCore::loadModel(const std::string& path)
{
    const SkinFile file = importModel(path);
    if (file.skins.empty()) return nullptr;
    return addSkin(file.skins, file.directory);
}

SkinFile ViewerCore::loadSkinOrModelFile(const std::string& path)
{
    if (fileKindOf(path) != FileKind::BinarySkin || !isModelFile(path)) return loadSkinFileByName(path);
    SkinFile file = importModel(path);
    if (file.skins.empty()) throw ModelImportCancelled("The import of '" + path + "' was cancelled.");
    return file;
}

std::shared_ptr<HierarchicalHerd> ViewerCore::loadBinarySkin(const std::string& path)
{
    const SkinFile file = loadBinarySkinFile(path);
    return addSkin(file.skins, file.directory);
}

std::shared_ptr<HierarchicalHerd> ViewerCore::loadTextSkin(const std::string& path)
{
    const SkinFile file = loadTextSkinFile(path);
    return addSkin(file.skins, file.directory);
}

void ViewerCore::loadHerd(const std::string& path)
{
    HerdFile::load(m_scene, path, [this](const std::string& skinPath) { return loadSkinOrModelFile(skinPath); });
}

void ViewerCore::saveHerd(const std::string& path) const
{
    HerdFile::write(m_scene, path);
}

void ViewerCore::loadCameraKeys(const std::string& path)
{
    // The records read before a failure stay in force, so the camera follows them either way.
    try {
        ::loadCameraKeys(path, m_allAttributes);
    } catch (...) {
        applyCurrentKeys();
        throw;
    }
    applyCurrentKeys();
}

void ViewerCore::saveCameraKeys(const std::string& path) const
{
    ::saveCameraKeys(path, m_allAttributes);
}

void ViewerCore::exportObj(const std::string& path) const
{
    ObjFile model(ObjFile::Empty{}, path, path);
    for (const auto& herd : m_scene.herds()) {
        std::vector<PlacedFrame> animals(herd->instanceCount());
        for (unsigned i = 0; i < animals.size(); ++i) {
            const HerdInstance instance = herd->instance(i);
            animals[i] = PlacedFrame{instance.frame, instance.transform};
        }
        appendPlacedSkin(model, *herd->skin(), animals);
    }
    model.write(path);
}

void ViewerCore::applyCurrentKeys()
{
    for (const auto& attribute : m_currentAttributes) attribute->apply(static_cast<float>(m_currentFrame));
}

StatisticsFigures ViewerCore::statisticsFigures() const
{
    StatisticsFigures figures;
    figures.framesPerSecond = framesPerSecond();
    figures.averageDrawTime = m_measures.averageDrawTime;
    figures.totalAnimals = totalAnimalCount();
    for (const auto& herd : m_scene.herds()) {
        figures.herds.push_back({herd->instanceCount(), herd->skin()->name()});
        // What the renderers draw: each level's skin (and the band's) for the animals at that level.
        auto count = [&](const SimpleHerd& level) {
            const unsigned animals = level.instanceCount();
            const Skin& skin = *level.skin();
            figures.triangles += static_cast<unsigned long long>(skin.triangleCount()) * animals;
            figures.vertices += static_cast<unsigned long long>(skin.vertexCount()) * animals;
        };
        for (const auto& level : herd->levels()) count(*level);
        if (herd->band()) count(*herd->band());
    }
    return figures;
}

std::vector<std::pair<std::string, std::string>> ViewerCore::statisticsRows() const
{
    std::vector<std::pair<std::string, std::string>> rows = ::statisticsRows(statisticsFigures());
    // Where the last frame's time went, after the table's own rows.
    for (auto& row : breakdownRows(m_measures.breakdown.last)) rows.push_back(std::move(row));
    return rows;
}
