#pragma once

// A small X window with a current GLX context and GLEW initialised, for loading and drawing
// vertex programs. Drawing goes to the back buffer and is read back from there, so nothing
// depends on a window manager. One per process; owns the display, window and context.

#include <array>
#include <cstdint>
#include <vector>

class VertexProgramGLContext {
public:
    // Throws std::runtime_error saying why when there is no display, visual or context.
    VertexProgramGLContext(int width, int height);
    ~VertexProgramGLContext();
    VertexProgramGLContext(const VertexProgramGLContext&) = delete;
    VertexProgramGLContext& operator=(const VertexProgramGLContext&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }
    // The back buffer as RGB bytes, bottom row first.
    std::vector<std::uint8_t> readPixels() const;

private:
    struct Native;
    Native* m_native;
    int m_width;
    int m_height;
};
