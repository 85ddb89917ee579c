#pragma once

#include "render/FrameStamps.h"
#include "render/StatisticsTable.h"
#include "app/ViewScene.h"

// GLEW insists on coming before gl.h, which wx/glcanvas.h includes.
#include <GL/glew.h>
#include <wx/glcanvas.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class AttributeWithKeys;
class Camera;
class HerdCreator;
class OrthoCamera;
class ProjectiveFixedYCamera;
class SkinRenderer;
class TileRenderer;
class ViewSettings;

// The OpenGL canvas filling the main frame, and the scene it shows: one hierarchical herd per
// loaded animal type with a renderer pair per level (ViewScene), both cameras with their keyed
// attributes, the animation clock (time counted in frames) and the frame statistics.
//
// Idle events advance the animation one frame while "&Running" is checked; paints draw sky,
// ground, herds (hardware renderers when "Use vertex program" is checked, else software ones,
// shadows first with PRT) and the statistics overlay; the mouse steers the current camera and
// keys step frames and add or remove animals. Every choice is read from the ViewSettings (the
// main frame's menus) at the moment it matters.
//
// The GL context belongs to the application (FlexherdApp::glContext), so it outlives any
// canvas. Owns its scene and cameras; all members run on the GUI thread.
class GLView : public wxGLCanvas {
public:
    enum class CameraChoice { Perspective, Orthographic };

    // The near and far planes every paint gives the current camera.
    static constexpr double kNearPlane = 0.1;
    static constexpr double kFarPlane = 10000.0;

    // settings must outlive the view (the main frame, its parent, answers them).
    GLView(wxWindow* parent, ViewSettings& settings);
    ~GLView() override;

    // The current frame becomes max(frame, 0); every herd is moved there (walking when
    // "Moving" is checked) and the current camera's keyed attributes are evaluated at it.
    void setFrame(int frame);
    int currentFrame() const { return m_currentFrame; }

    unsigned totalAnimalCount() const;
    // Adds animals to or removes them from randomly picked herds until n are shown in total.
    void setAnimalCount(unsigned n);
    // Installs a creator; every herd is rebuilt from it unless it equals the current one.
    void setHerdCreator(std::shared_ptr<HerdCreator> creator);
    std::shared_ptr<HerdCreator> currentHerdCreator() const;

    // A new hierarchical herd for the level skins of one animal type (finest first), its
    // renderers, and a shadow renderer for each level skin with a next skin. Null for no skins.
    // Throws what renderer construction throws (IOException for an unreadable texture); the
    // herd stays added then.
    std::shared_ptr<HierarchicalHerd> addSkin(const std::vector<std::shared_ptr<Skin>>& skins,
                                              const std::filesystem::path& directory);
    // Drops every herd and renderer and starts a new, empty herd collection.
    void clear();

    // Every renderer releases its GL resources (rebuilt from the settings at the next draw),
    // herds are drawn again after a renderer error, and the view repaints.
    void applyRenderSettings();
    // Makes a camera current with a copy of its keyed attribute list, and repaints.
    void useCamera(CameraChoice which);
    // The first hardware renderer's vertex program, or "No vertex program currently in use (1)"
    // without hardware renderers.
    std::string vertexProgramText() const;
    // The frame of the last key over the current camera's attributes (truncated), 0 without keys.
    int keyFrameCount() const;
    // Paints per second over the recent frame stamps; NaN with fewer than two.
    double framesPerSecond() const { return m_frameStamps.framesPerSecond(); }
    // Exponential average of the herd drawing time, in seconds.
    double averageDrawTime() const { return m_averageDrawTime; }

    // Loaders of the open command. loadBinarySkin shows a failing file's own error box (caption
    // "Error reading skin") and returns null; otherwise the new herd.
    std::shared_ptr<HierarchicalHerd> loadBinarySkin(const std::string& path);
    // Replaces the scene by a herd file's herds. Throws IOException for an unreadable or
    // malformed herd file (the herds made before the bad line stay); a skin file named in it
    // that cannot be read is shown in its own error box and ends the reading.
    void loadHerd(const std::string& path);
    // Gives a camera keys file's records to the keyed attributes of both cameras (see
    // CameraKeysFile.h) and applies the current camera's at the current frame. Throws
    // IOException when the file cannot be opened or names an empty or unknown attribute; a
    // read error shows its own box (caption "Error reading camera keys") and is not raised.
    void loadCameraKeys(const std::string& path);
    // Writes the keys of all eleven attributes. Throws IOException when the file cannot be
    // created or written.
    void saveCameraKeys(const std::string& path);
    // Reads a text skin file and adds its one skin (named after the file) as a herd. A bad skin
    // file shows its own error box (caption "Error reading skin") and returns null; the OBJ
    // reader's IOException and ParserException are thrown to the caller.
    std::shared_ptr<HierarchicalHerd> loadTextSkin(const std::string& path);
    // Writes the herd file; throws IOException.
    void saveHerd(const std::string& path) const;

    // Draws one frame into the back buffer of the current context: stamps the frame, then
    // lights, background, camera, sky, ground, herds and the overlay, and glFlush; no swap, so
    // tests can read the pixels back. Needs this canvas's context current.
    void render();
    // Makes the application's context current on this canvas; false when there is none or
    // the window cannot take it yet.
    bool makeCurrent();

    // GLViewExport.cpp
    // Draws the current frame into a width x height image in window-sized tiles, without the
    // statistics overlay, and writes it to path in the format of its extension (through a
    // temporary file, so a failed write leaves an earlier file alone). The overlay flag and
    // normal painting come back however it ends. Returns the number of tiles drawn. Throws
    // IOException: "Unable to write to image 'PATH'." when it cannot be written, or a message
    // naming the path when the size is out of 1..19999, the view has no size or GL context,
    // or the image cannot be allocated.
    int exportImage(int width, int height, const std::string& path);
    // Draws a frame and shows it now, as a paint event would; false without a GL context.
    bool paintNow();
    // Called after each frame with (frames done, frames in all); returning false stops the run
    // after that frame.
    using Progress = std::function<bool(int done, int total)>;
    struct TimedemoResult {
        int frames = 0;     // keyFrameCount() when it started
        int framesDrawn = 0;
        double seconds = 0.0; // monotonic wall-clock time of the frames drawn
        bool cancelled = false;
    };
    // Shows frames 0 .. keyFrameCount() - 1 of the camera animation, each painted at once,
    // and measures the time they took. Leaves the animation at the last frame shown.
    TimedemoResult runTimedemo(const Progress& progress = {});
    // True while an image export draws tiles (paints then leave viewport, aspect and buffers).
    bool exporting() const { return m_exportTarget != nullptr; }
    // GLViewNavigation.cpp: the Home key. Moves the current camera so that every animal's box
    // is in view (see CameraFraming.h); nothing without animals.
    void frameAllAnimals();
    // The mouse-and-keys panel under the statistics (F1 or H).
    bool showHelp() const { return m_showHelp; }
    void setShowHelp(bool show);
    // What Ctrl+R and Space do: toggles "&Running", restarting the frame rate measure when the
    // animation starts, and repaints.
    void toggleRunning();

    // The overlay's rows as they would be drawn now.
    std::vector<std::pair<std::string, std::string>> statisticsRows() const;
    StatisticsFigures statisticsFigures() const;

    bool showStatistics() const { return m_showStatistics; }
    void setShowStatistics(bool show) { m_showStatistics = show; }
    bool rendererFailed() const { return m_rendererFailed; }
    // Empties the frame stamps: the frame rate is measured afresh from the next paint.
    void restartFrameRate() { m_frameStamps.clear(); }
    std::size_t frameStampCount() const { return m_frameStamps.size(); }

    ViewScene& scene() { return m_scene; }
    const ViewScene& scene() const { return m_scene; }
    const std::shared_ptr<ProjectiveFixedYCamera>& perspectiveCamera() const { return m_perspectiveCamera; }
    const std::shared_ptr<OrthoCamera>& orthoCamera() const { return m_orthoCamera; }
    const std::shared_ptr<Camera>& currentCamera() const { return m_currentCamera; }
    const std::vector<std::shared_ptr<AttributeWithKeys>>& currentAttributes() const { return m_currentAttributes; }
    const std::vector<std::shared_ptr<AttributeWithKeys>>& allAttributes() const { return m_allAttributes; }
    wxSize clientSize() const { return wxSize(m_clientWidth, m_clientHeight); }

private:
    // GLViewInput.cpp
    void onIdle(wxIdleEvent& event);
    void onSize(wxSizeEvent& event);
    void onMouse(wxMouseEvent& event);
    void onKeyDown(wxKeyEvent& event);
    void onEraseBackground(wxEraseEvent& event);

    // GLViewNavigation.cpp
    void onWheel(wxMouseEvent& event);
    // Space, Left, Right, Home, F1 and H; false for any other key.
    bool handleNavigationKey(const wxKeyEvent& event);
    void drawHelpOverlay();

    // GLViewPaint.cpp
    void onPaint(wxPaintEvent& event);
    void setUpLights();
    void clearBackground();
    void applyCamera();
    void drawGroundPlane(bool shadowsDrawn);
    void drawHerds(bool shadowsDrawn);
    // The renderers of the queue the paint draws from ("Use vertex program" decides).
    std::vector<std::shared_ptr<SkinRenderer>> chosenRenderers() const;

    ViewSettings& m_settings;
    int m_clientWidth = 200;
    int m_clientHeight = 200;
    ViewScene m_scene;
    std::shared_ptr<ProjectiveFixedYCamera> m_perspectiveCamera;
    std::shared_ptr<OrthoCamera> m_orthoCamera;
    std::shared_ptr<Camera> m_currentCamera;
    // Image export installs one for the duration of an export; then paints leave viewport,
    // aspect ratio and buffers alone.
    std::unique_ptr<TileRenderer> m_exportTarget;
    FrameStamps m_frameStamps;
    double m_averageDrawTime = 0.0;
    bool m_rendererFailed = false;
    int m_currentFrame = 0;
    bool m_showStatistics = true;
    bool m_showHelp = false;
    std::vector<std::shared_ptr<AttributeWithKeys>> m_allAttributes;
    std::vector<std::shared_ptr<AttributeWithKeys>> m_currentAttributes;
    std::vector<std::shared_ptr<AttributeWithKeys>> m_perspectiveAttributes;
    std::vector<std::shared_ptr<AttributeWithKeys>> m_orthoAttributes;
};
