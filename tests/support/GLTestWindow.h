#pragma once

// A real X window with a current GLX context for the GL tests, the benchmark and the
// screenshots: made on the display in DISPLAY (Xvfb with Mesa's llvmpipe under CTest), GLEW
// initialised, sized in pixels. Drawing goes to the back buffer and is read back from there,
// so nothing depends on a window manager or on the window being visible. One per process;
// owns the display connection, window and context.

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    bool operator==(const Rgb&) const = default;
};

class GLTestWindow {
public:
    // Throws std::runtime_error saying why when there is no display, no suitable visual, no
    // context or GLEW fails: callers report that as a failure, never as a skip.
    GLTestWindow(int width, int height);
    ~GLTestWindow();
    GLTestWindow(const GLTestWindow&) = delete;
    GLTestWindow& operator=(const GLTestWindow&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }

    // The back buffer as RGB bytes, bottom row first (GL's order).
    std::vector<std::uint8_t> readPixels() const;
    // One pixel of the back buffer, y counted from the bottom.
    Rgb pixel(int x, int y) const;
    // The back buffer as a PNG file, top row first as image viewers expect. Needs wx's PNG
    // handler to be registered. Throws std::runtime_error when the file cannot be written.
    void savePng(const std::string& path) const;
    // RGB rows, bottom row first, as a PNG file (top row first). Throws std::runtime_error
    // when the file cannot be written.
    static void savePng(const std::string& path, const std::vector<std::uint8_t>& pixels, int width, int height);
    // Shows the back buffer (for watching the window on a real display).
    void swapBuffers() const;

    // GL_RENDERER of the context, for the record in test and benchmark output.
    static std::string rendererName();

private:
    struct Native;
    void release();

    Native* m_native;
    int m_width;
    int m_height;
};
