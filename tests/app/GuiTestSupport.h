#pragma once

// Shared by the in-process GUI test files: the state main() prepared, the fixture that records
// error boxes, and helpers that drive the frame and view the way the toolkit would (menu
// commands after the item's check changed, key and mouse events) and read pixels back.

#include "app/ErrorBox.h"
#include "app/ExportCommands.h"
#include "app/FileCommands.h"
#include "app/FlexherdApp.h"
#include "app/GLView.h"
#include "app/MyFrame.h"
#include "camera/AttributeWithKeys.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "herd/HerdCollection.h"
#include "render/gl/FrameRenderer.h"
#include "render/gl/HardwareSkinRenderer.h"
#include "render/gl/SoftwareSkinRenderer.h"
#include "skin/Skin.h"
#include "viewer/Playback.h"
#include "viewer/ViewerCore.h"

#include <wx/menu.h>

#include "TestSeed.h"

#include <gtest/gtest.h>
#include <wx/filedlg.h>
#include <wx/modalhook.h>
#include <wx/timer.h>

#include <array>
#include <functional>
#include <utility>
#include <chrono>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

struct ErrorReport {
    std::string caption;
    std::string message;
    bool operator==(const ErrorReport&) const = default;
};

void PrintTo(const ErrorReport& report, std::ostream* out);

// What main() set up before the application started; read by the startup tests.
struct StartupState {
    std::filesystem::path dataDirectory;
    std::filesystem::path validSkin;       // two levels: "herd-fine", "herd-coarse"
    std::filesystem::path secondValidSkin; // one level: "second"
    std::filesystem::path samples;         // flexherd-mksample's output: quadruped.bin, ...
    std::vector<std::string> arguments;
    std::vector<ErrorReport> reports;
    // The scene right after OnInit, and its renderers once the first paint made them.
    std::vector<std::string> herdNames;
    unsigned animals = 0;
    std::pair<std::string, std::string> animalsRow;
    std::size_t hardwareRenderers = 0;
    std::size_t softwareRenderers = 0;
    std::size_t allRenderers = 0;
    // The newest recent file right after OnInit.
    std::string firstRecentFile;
    // Error boxes of the first paints (none expected).
    std::size_t paintReports = 0;
};

StartupState& startup();
MyFrame* mainFrame();

// Runs the GTK event loop until done() holds; false if it still does not after the limit,
// which only guards against a hang.
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::milliseconds(10000));

// Writes bytes into the test data directory and returns the path.
std::string writeData(const std::string& name, const std::string& bytes);

// An RGB pixel as read back from GL, y counted from the bottom.
using Rgb = std::array<int, 3>;

// Puts both cameras back as they were and drops every key, so the camera keys tests leave the
// view as the later tests expect it.
class CameraKeysRestorer {
public:
    explicit CameraKeysRestorer(ViewerCore& core) : m_core(core)
    {
        for (const auto& attribute : core.allAttributes()) m_values.push_back(attribute->keyable()->get());
    }
    ~CameraKeysRestorer()
    {
        const auto& attributes = m_core.allAttributes();
        for (std::size_t i = 0; i < attributes.size(); ++i) {
            attributes[i]->setKeys({});
            attributes[i]->keyable()->set(m_values[i]);
        }
    }

private:
    ViewerCore& m_core;
    std::vector<float> m_values;
};

// The first child of parent of type T (the frame's dialogs), or null.
template <typename T>
T* findChild(wxWindow* parent)
{
    for (wxWindow* child : parent->GetChildren())
        if (auto* found = dynamic_cast<T*>(child)) return found;
    return nullptr;
}

// Puts both cameras back as they were, so that later tests see the start-up view.
class CameraRestorer {
public:
    explicit CameraRestorer(ViewerCore* core)
        : m_core(core), m_perspective(*core->perspectiveCamera()), m_ortho(*core->orthoCamera())
    {
    }
    ~CameraRestorer()
    {
        *m_core->perspectiveCamera() = m_perspective;
        *m_core->orthoCamera() = m_ortho;
        m_core->useCamera(ViewerCore::CameraChoice::Perspective);
    }

private:
    ViewerCore* m_core;
    ProjectiveFixedYCamera m_perspective;
    OrthoCamera m_ortho;
};

// Answers the modal dialogs a command shows, in order, and keeps what each one showed. A text
// entry dialog gets the answer typed and confirmed and a message box OK, without being shown;
// kCancel presses Cancel. A file dialog is shown with the answer as its path and confirmed
// once the native chooser reports that path (GTK's chooser only knows a path once it is on
// screen), which a timer watches for. A dialog beyond the answers is cancelled and counted in
// `unexpected`.
class ScriptedDialogs : public wxModalDialogHook {
public:
    static constexpr const char* kCancel = "<cancel>";
    static constexpr const char* kOk = "<ok>";

    // kind "file": title, wildcard, "save" or "open"; "text": caption, prompt, preset value;
    // "message": caption, message, "ok/cancel" or "ok".
    struct Shown {
        std::string kind;
        std::string title;
        std::string text;
        std::string detail;
        bool operator==(const Shown&) const = default;
    };

    explicit ScriptedDialogs(std::vector<std::string> answers);
    ~ScriptedDialogs() override;

    std::vector<Shown> shown;
    int unexpected = 0;

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* dialog) override;

private:
    void answerFileDialog();

    std::vector<std::string> m_answers;
    wxFileDialog* m_fileDialog = nullptr;
    std::string m_path;
    int m_ticks = 0;
    wxTimer m_timer;
};

void PrintTo(const ScriptedDialogs::Shown& shown, std::ostream* out);

// Records error boxes instead of showing them, and puts the main frame's menus and view back
// to their start-up choices with the animation stopped, so every test starts alike. The
// view's scene is seeded (testSeed) for the length of the test: herds it makes lay their
// animals out the same way on every run, and every failure names the seed.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // What a user's click does: a check item toggles, a radio item becomes checked, then the
    // frame receives the menu command.
    void choose(int id);
    void choose(MyFrame* frame, int id);
    // Empties the scene as the open command does before loading.
    void clearScene();
    // The submenu of a menu bar item (kLodMenuId, kVertexCorrectionsMenuId, ...).
    wxMenu* subMenu(int id) const;
    // A key press on the view.
    void pressKey(int keyCode, bool control = false);
    // A mouse event of the given type on the view, with the left button held as said.
    void mouse(wxEventType type, int x, int y, bool leftDown);
    // A drag with one button (wxMOUSE_BTN_LEFT, _MIDDLE or _RIGHT) from one point to another:
    // the button goes down, the mouse moves half way and the rest, the button comes up.
    void drag(wxMouseButton button, wxPoint from, wxPoint to);

    // Makes the view's context current and draws a frame into the back buffer.
    void renderView();
    Rgb pixel(int x, int y);
    std::vector<unsigned char> frameBuffer();
    // Loads the sample quadruped alone with n animals, at frame 0.
    void loadSampleQuadruped(unsigned animals);

    std::vector<ErrorReport> m_reports;
    MyFrame* m_frame = nullptr;
    GLView* m_view = nullptr;
    ViewerCore* m_core = nullptr;
    std::int32_t m_seed = 0;

private:
    ErrorBoxHook m_previousHook;
    std::optional<::testing::ScopedTrace> m_seedTrace;
};
