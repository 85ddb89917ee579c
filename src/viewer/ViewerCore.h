#pragma once

#include "camera/Camera.h"
#include "herd/HerdScene.h"
#include "render/FrameStamps.h"
#include "render/StatisticsTable.h"
#include "viewer/ModelImportHooks.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class AttributeWithKeys;
class HerdCreator;
class OrthoCamera;
class ProjectiveFixedYCamera;
class ViewSettings;

// The viewer without its window: the scene (one hierarchical herd per loaded animal type, the
// collection they avoid each other through and the creator that makes their herds), both
// cameras with their keyed attributes, the animation clock (time counted in frames), the
// files it opens and saves, and the figures of the statistics overlay. It knows neither GL
// nor wx: a window, a test or a batch run drives it, and a frame renderer draws what it holds.
//
// Every choice is read through the settings (the main frame's menus in the program) at the
// moment it matters; nothing is copied. Failures are exceptions of the project's family,
// which the caller shows under the caption of its command. Owns the cameras, the keyed
// attributes and the scene; the settings must outlive it. Not thread-safe.
class ViewerCore {
public:
    enum class CameraChoice { Perspective, Orthographic };

    // An empty scene with the start-up creator ("Round") and the start view; the scene and its
    // herds are seeded from the operating system.
    explicit ViewerCore(ViewSettings& settings);
    // The same with a seeded scene (see HerdScene): the same calls lay the same animals out.
    ViewerCore(ViewSettings& settings, std::int32_t seed);
    ~ViewerCore();
    ViewerCore(const ViewerCore&) = delete;
    ViewerCore& operator=(const ViewerCore&) = delete;

    ViewSettings& settings() const { return m_settings; }

    // The clock.
    // The current frame becomes max(frame, 0); every herd is moved there (walking when
    // "Moving" is checked) and the current camera's keyed attributes are evaluated at it.
    void setFrame(int frame);
    int currentFrame() const { return m_currentFrame; }
    // One frame on when "&Running" is checked (what an idle event does); false otherwise.
    bool advance();
    // Starts or stops the animation; starting it restarts the frame rate measure.
    void toggleRunning();

    // The scene.
    HerdScene& scene() { return m_scene; }
    const HerdScene& scene() const { return m_scene; }
    const std::deque<std::shared_ptr<HierarchicalHerd>>& herds() const { return m_scene.herds(); }
    unsigned totalAnimalCount() const { return m_scene.totalAnimalCount(); }
    // Adds animals to or removes them from randomly picked herds until n are shown in total.
    void setAnimalCount(unsigned n) { m_scene.setAnimalCount(n); }
    // Installs a creator; every herd is rebuilt from it unless it equals the current one.
    void setHerdCreator(std::shared_ptr<HerdCreator> creator);
    const std::shared_ptr<HerdCreator>& currentHerdCreator() const { return m_scene.herdCreator(); }
    // A new hierarchical herd for the level skins of one animal type (finest first); null for
    // no skins. Its renderers are the frame renderer's to make.
    std::shared_ptr<HierarchicalHerd> addSkin(const std::vector<std::shared_ptr<Skin>>& skins,
                                              const std::filesystem::path& directory);
    // Drops every herd and starts a new, empty herd collection.
    void clear() { m_scene.clear(); }

    // The cameras.
    // Makes a camera current, with a copy of its keyed attribute list.
    void useCamera(CameraChoice which);
    CameraChoice cameraChoice() const { return m_cameraChoice; }
    Camera& currentCamera() const { return *m_currentCamera; }
    const std::shared_ptr<ProjectiveFixedYCamera>& perspectiveCamera() const { return m_perspectiveCamera; }
    const std::shared_ptr<OrthoCamera>& orthoCamera() const { return m_orthoCamera; }
    // The keyed attributes of the current camera, and of both cameras (perspective first),
    // which is what keys files hold.
    const std::vector<std::shared_ptr<AttributeWithKeys>>& currentAttributes() const { return m_currentAttributes; }
    const std::vector<std::shared_ptr<AttributeWithKeys>>& allAttributes() const { return m_allAttributes; }
    // The frame of the last key over the current camera's attributes (truncated), 0 without
    // keys: how many frames the timedemo and the sequence export run.
    int keyFrameCount() const;
    // Moves the current camera so that every animal's box is in view (see CameraFraming.h);
    // nothing without animals.
    void frameAllAnimals();
    // After a model file was imported (whose size may be anything from centimetres to tens of
    // metres), frames every animal when some animal's box is not wholly in the perspective
    // camera's view, and always on the orthographic camera. Nothing when no model was imported
    // since the last call, or without animals. Returns whether the camera moved. The loading
    // commands call it once the animal count is settled.
    bool frameAnimalsAfterImport();

    // The files. Each failure leaves what was built before it in place.
    // Loads one file with the loader its name asks for: ".keys" camera keys, ".herd" a herd
    // file, ".txt" a text skin (fileKindOf), a model file of another format (isModelFile) an
    // imported model, anything else a binary skin file. Throws what that loader throws.
    void openFile(const std::string& path);
    // Imports a model file through the model importer, reporting to the progress display, and
    // adds its skins as one herd. Returns null when the user cancelled. Throws
    // ModelImportException naming the file when the model cannot be imported.
    std::shared_ptr<HierarchicalHerd> loadModel(const std::string& path);
    // What herd files read their skin lines with: a model file is imported (a cancel throws
    // ModelImportCancelled), anything else read as loadSkinFileByName reads it.
    SkinFile loadSkinOrModelFile(const std::string& path);
    // The importer (importModelFile unless replaced) and the window's progress display (none
    // unless set; it must outlive the core or be unset first).
    void setModelImporter(ModelImporter importer) { m_importer = std::move(importer); }
    void setImportProgressDisplay(ImportProgressDisplay* display) { m_importProgress = display; }
    // Reads a binary skin file and adds its records as one herd. Throws CreationException for
    // a file that is not a usable skin file.
    std::shared_ptr<HierarchicalHerd> loadBinarySkin(const std::string& path);
    // Reads a text skin file and adds its one skin (named after the file) as a herd. Throws
    // CreationException for a bad skin file, and the OBJ reader's exceptions for its mesh.
    std::shared_ptr<HierarchicalHerd> loadTextSkin(const std::string& path);
    // Replaces the scene by a herd file's herds. Throws HerdFileException for an unreadable or
    // malformed herd file, and what the skin readers throw for a skin file it names.
    void loadHerd(const std::string& path);
    // Writes the herd file; throws IOException.
    void saveHerd(const std::string& path) const;
    // Gives a keys file's records to the keyed attributes of both cameras (see
    // CameraKeysFile.h) and applies the current camera's at the current frame, also when
    // reading fails part way. Throws as loadCameraKeys there: CameraKeysReadError for a file
    // that ends early, IOException otherwise.
    void loadCameraKeys(const std::string& path);
    // Writes the keys of both cameras' attributes; throws IOException.
    void saveCameraKeys(const std::string& path) const;
    // Writes every animal of every herd, posed at its frame and placed, as one OBJ mesh (see
    // ObjExport.h); throws IOException.
    void exportObj(const std::string& path) const;

    // The statistics.
    // What the frame renderer measures about the frames it draws for this viewer.
    FrameMeasures& frameMeasures() { return m_measures; }
    const FrameMeasures& frameMeasures() const { return m_measures; }
    // Paints per second over the recent frame stamps; NaN with fewer than two.
    double framesPerSecond() const { return m_measures.stamps.framesPerSecond(); }
    // The overlay's figures and rows as they would be drawn now. Triangles and vertices count
    // every level's skin once per animal at that level.
    StatisticsFigures statisticsFigures() const;
    std::vector<std::pair<std::string, std::string>> statisticsRows() const;

    // What the overlay shows: the statistics table, and the mouse-and-keys panel under it.
    bool showStatistics() const { return m_showStatistics; }
    void setShowStatistics(bool show) { m_showStatistics = show; }
    bool showHelp() const { return m_showHelp; }
    void setShowHelp(bool show) { m_showHelp = show; }

private:
    void applyCurrentKeys();
    // Runs the importer with the progress display; no skins when cancelled.
    SkinFile importModel(const std::string& path);

    ViewSettings& m_settings;
    HerdScene m_scene;
    std::shared_ptr<ProjectiveFixedYCamera> m_perspectiveCamera;
    std::shared_ptr<OrthoCamera> m_orthoCamera;
    std::shared_ptr<Camera> m_currentCamera;
    CameraChoice m_cameraChoice = CameraChoice::Perspective;
    std::vector<std::shared_ptr<AttributeWithKeys>> m_allAttributes;
    std::vector<std::shared_ptr<AttributeWithKeys>> m_currentAttributes;
    std::vector<std::shared_ptr<AttributeWithKeys>> m_perspectiveAttributes;
    std::vector<std::shared_ptr<AttributeWithKeys>> m_orthoAttributes;
    int m_currentFrame = 0;
    FrameMeasures m_measures;
    bool m_showStatistics = true;
    bool m_showHelp = false;
    ModelImporter m_importer;
    ImportProgressDisplay* m_importProgress = nullptr;
    // Where imports write their skin files and textures: made at the first import, removed
    // with the core (the renderers read the textures from it).
    std::filesystem::path m_importDirectory;
    bool m_importedSinceFraming = false;
};
