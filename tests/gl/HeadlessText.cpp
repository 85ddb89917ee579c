#include "HeadlessText.h"

#include "foundation/Exception.h"
#include "render/gl/GLFramebuffer.h"
#include "render/gl/GLText.h"
#include "render/gl/HeadlessGLContext.h"

#include <GL/glew.h>

#include <fstream>
#include <iostream>
#include <utility>
#include <vector>

void drawHeadlessTestText(int width, int height)
{
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    std::vector<std::pair<std::string, std::string>> rows = {
        {"Frames per second:", "12.3456"}, {"Animals:", "1000 (600 quadrupeds, 400 longnecks)"}};
    std::string printable;
    for (int c = 32; c < 127; ++c) printable += static_cast<char>(c);
    for (std::size_t i = 0; i < printable.size(); i += 24) rows.push_back({printable.substr(i, 12), printable.substr(i + 12, 12)});
    std::string latin;
    for (int c = 160; c < 256; ++c) latin += static_cast<char>(c);
    rows.push_back({latin.substr(0, 20), latin.substr(20, 20)});
    rows.push_back({latin.substr(40, 28), latin.substr(68)});
    GLText::drawTextTable(-90.0, 90.0, rows);
    glFinish();
}

int drawHeadlessTextToFile(int width, int height, const std::string& path)
{
    try {
        const HeadlessGLContext context;
        GLText::setGlyphs(GLText::Glyphs::Own);
        const GLFramebuffer target(width, height);
        if (!target.valid()) {
            std::cerr << "no framebuffer object\n";
            return 1;
        }
        drawHeadlessTestText(width, height);
        std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
        return out ? 0 : 1;
    } catch (const Exception& e) {
        std::cerr << e.message() << '\n';
        return 1;
    }
}
