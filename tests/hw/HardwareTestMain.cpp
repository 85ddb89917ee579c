// Entry point of the hardware renderer suite; it also needs the two ARB extensions.

#include "GLSuiteMain.h"
#include "HardwareSuite.h"

#include "render/gl/GLTextureCache.h"
#include "render/gl/SoftAlphaMask.h"

#include <GL/glew.h>

int main(int argc, char** argv)
{
    return runGLSuite(
        argc, argv, "test_hw", kWidth, kHeight,
        [] {
            return GLEW_ARB_vertex_program && GLEW_ARB_vertex_buffer_object
                       ? std::string()
                       : std::string("GL_ARB_vertex_program or GL_ARB_vertex_buffer_object is missing");
        },
        [] {
            // Process-wide textures go while their context is still current.
            SoftAlphaMask::release();
            GLTextureCache::releaseAll();
        });
}
