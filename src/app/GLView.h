#pragma once

#include "app/AnimalType.h"

#include <wx/glcanvas.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// The OpenGL canvas filling the main frame, and the scene it shows: the animal types loaded so
// far. In this milestone it clears to a light gray and keeps the loaded skins; herds, cameras
// and skin drawing arrive in later milestones on top of the same loading entry points, which
// is why the loaders for camera keys, herds and text skins already exist and refuse politely.
//
// The GL context belongs to the application (FlexherdApp::glContext), so it outlives any
// canvas and can later be shared by every view.
class GLView : public wxGLCanvas {
public:
    explicit GLView(wxWindow* parent);

    // Reads every level of a binary skin file. When the file cannot be used the error box shows
    // the loader's caption and message and the result is null; otherwise the new animal type.
    std::shared_ptr<AnimalType> loadBinarySkin(const std::string& path);
    // Stores a type built from the levels of one file and returns it. Later milestones place a
    // herd of the type here too.
    std::shared_ptr<AnimalType> addSkin(std::vector<std::shared_ptr<Skin>> skins, std::filesystem::path directory);

    // Not readable by this build: each throws IOException naming the path, so the user gets an
    // error box instead of a command that silently does nothing.
    void loadCameraKeys(const std::string& path);
    void loadHerd(const std::string& path);
    void loadTextSkin(const std::string& path);

    // Forgets every loaded type.
    void clear();
    // Animals in all herds together. No herds exist yet, so always 0.
    int totalAnimalCount() const;
    // Resizes the herds to count animals in total; with no herds (always, so far) nothing happens.
    void setAnimalCount(int count);

    // The loaded types in load order.
    const std::vector<std::shared_ptr<AnimalType>>& animalTypes() const { return m_animalTypes; }

    // Draws the scene into the back buffer of the current context without swapping, so tests
    // can read the pixels back. Needs this canvas's context to be current.
    void render();

private:
    void onPaint(wxPaintEvent& event);
    void onEraseBackground(wxEraseEvent& event);
    void onSize(wxSizeEvent& event);

    // Client size in pixels (not DIPs): what glViewport needs.
    wxSize m_viewportSize;
    std::vector<std::shared_ptr<AnimalType>> m_animalTypes;
};
