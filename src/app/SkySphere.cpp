#include "app/SkySphere.h"

#include "app/DataFiles.h"
#include "render/gl/GLDisplayList.h"
#include "render/gl/GLState.h"
#include "render/gl/GLTexture.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <wx/image.h>
#include <wx/log.h>

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
    GLTexture::Binding binding(*texture);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    wxImage image;
    {
        // A missing sky is no error of the program's: the sphere is then simply untextured.
        wxLogNull quiet;
        // The working directory's picture first, then the installed one.
        image.LoadFile(wxString(findDataFile(SkySphere::kImageFile)), wxBITMAP_TYPE_ANY);
    }
    if (image.IsOk()) {
        // Image rows run top to bottom, texture rows bottom to top.
        image = image.Mirror(false);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, image.GetWidth(), image.GetHeight(), 0, GL_RGB, GL_UNSIGNED_BYTE,
                     image.GetData());
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
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    if (!sky.sphere) sky.sphere = compileSphere();
    GLState::Disable lighting(GL_LIGHTING);
    GLState::ModelviewPush push;
    glTranslatef(eye.x, 0.0f, eye.z);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    sky.sphere->call();
}
