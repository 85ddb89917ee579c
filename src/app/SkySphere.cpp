#include "app/SkySphere.h"

#include "app/DataFiles.h"
#include "foundation/Exception.h"
#include "render/ImageFile.h"
#include "render/gl/GLDisplayList.h"
#include "render/gl/GLState.h"
#include "render/gl/GLTexture.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <memory>

namespace {

// Made once per process; the GL names live until the process ends.
struct SkyResources {
    std::unique_ptr<GLTexture> texture;
    std::unique_ptr<GLDisplayList> sphere;
};

SkyResources& resources()
{
    static SkyResources sky;
    return sky;
}

std::unique_ptr<GLTexture> loadSkyTexture()
{
    auto texture = std::make_unique<GLTexture>();
    try {
        // The working directory's picture first, then the installed one. Filtered but without
        // mipmaps: the sphere is seen from its centre, never minified.
        texture->upload(readImageFile(findDataFile(SkySphere::kImageFile)), false);
    } catch (const IOException&) {
        // A missing sky is no error of the program's: the sphere is then simply untextured.
    }
    return texture;
}

std::unique_ptr<GLDisplayList> compileSphere()
{
    auto list = std::make_unique<GLDisplayList>();
    GLUquadric* quadric = gluNewQuadric();
    gluQuadricDrawStyle(quadric, GLU_FILL);
    gluQuadricNormals(quadric, GLU_NONE);
    gluQuadricTexture(quadric, GL_TRUE);
    {
        GLDisplayList::Recorder recorder(*list);
        gluSphere(quadric, 1000.0, 50, 50);
    }
    gluDeleteQuadric(quadric);
    return list;
}

} // namespace

void SkySphere::draw(const Vector3f& eye)
{
    SkyResources& sky = resources();
    if (!sky.texture) sky.texture = loadSkyTexture();
    GLTexture::Binding binding(*sky.texture);
    // The picture as it is, whatever colour earlier drawing left current.
    GLState::TextureEnvironment replace(GL_REPLACE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    if (!sky.sphere) sky.sphere = compileSphere();
    GLState::Disable lighting(GL_LIGHTING);
    GLState::ModelviewPush push;
    glTranslatef(eye.x, 0.0f, eye.z);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    sky.sphere->call();
}
