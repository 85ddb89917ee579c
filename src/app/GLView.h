#pragma once

// GLEW insists on coming before gl.h, which wx/glcanvas.h includes.
#include <GL/glew.h>
#include <wx/glcanvas.h>

#include "skin/PixelImage.h"

#include <memory>
#include <string>

class FrameRenderer;
class GLContextSource;
class ViewerCore;
struct FrameContent;

// The OpenGL canvas filling the main frame: it turns toolkit events into calls on the viewer
// core and paints the core's scene through a frame renderer. Idle events advance the clock
// while "&Running" is checked; the mouse steers the current camera (left button rotates,
// middle pans, right or the wheel dollies); keys step frames, add or remove animals, frame
// the herd and show the help panel.
//
// The GL context belongs to the application (GLContextSource), so it outlives any canvas.
// Owns its frame renderer (and with it every renderer's GL names); shares the core with the
// frame. All members run on the GUI thread.
class GLView : public wxGLCanvas {
public:
    // core and contexts must outlive the canvas.
    GLView(wxWindow* parent, ViewerCore& core, GLContextSource& contexts);
    ~GLView() override;

    ViewerCore& core() const { return m_core; }
    const FrameRenderer& frameRenderer() const { return *m_frameRenderer; }

    // Makes the application's context current on this canvas; false when there is none or
    // the window cannot take it yet. The first success starts GLEW ("Error starting GLEW"
    // when it cannot).
    bool makeCurrent();
    // Brings the renderers in line with the core's herds now, when the context can be made
    // current (otherwise at the next paint). Throws what renderer construction throws, so an
    // unreadable texture is reported as part of loading its skin.
    void prepareRenderers();
    // Every renderer releases its GL resources (rebuilt from the settings at the next paint),
    // herds are drawn again after a renderer error, and the canvas repaints.
    void applyRenderSettings();
    // The program the hardware renderers draw with (see FrameRenderer::vertexProgramText).
    std::string vertexProgramText() const;
    bool rendererFailed() const;

    // Draws a frame into the back buffer of the current context, overlay included, without
    // swapping, so tests can read the pixels back. Needs makeCurrent.
    void render();
    // Draws a frame and shows it now, as a paint event would; false without a GL context.
    bool paintNow();
    // Draws the current frame into a width x height image in window-sized tiles, without the
    // overlay, and writes it to path in the format of its extension (writeImageFile). Throws
    // IOException: "Unable to write to image 'PATH'." when it cannot be written, or a message
    // naming the path when the size is out of 1..19999, the view has no size or GL context,
    // or the image cannot be allocated.
    void exportImage(int width, int height, const std::string& path);
    // The same picture returned upright instead of written (a video's frame); path only names
    // the export in messages.
    PixelImage renderImage(int width, int height, const std::string& path);

    // The client area in pixels (what the viewport spans).
    wxSize clientSize() const { return wxSize(m_clientWidth, m_clientHeight); }

private:
    void onIdle(wxIdleEvent& event);
    void onSize(wxSizeEvent& event);
    void onMouse(wxMouseEvent& event);
    void onWheel(wxMouseEvent& event);
    void onKeyDown(wxKeyEvent& event);
    // Space, Left, Right, Home, F1 and H; false for any other key.
    bool handleNavigationKey(const wxKeyEvent& event);
    void onPaint(wxPaintEvent& event);
    void onEraseBackground(wxEraseEvent& event);
    FrameContent frameContent() const;

    ViewerCore& m_core;
    GLContextSource& m_contexts;
    std::unique_ptr<FrameRenderer> m_frameRenderer;
    int m_clientWidth = 200;
    int m_clientHeight = 200;
};
