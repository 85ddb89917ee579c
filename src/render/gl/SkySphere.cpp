#include "render/gl/SkySphere.h"

#include "foundation/Exception.h"
#include "skin/ImageFile.h"
#include "render/gl/GLDisplayList.h"
#include "render/gl/GLState.h"
#include "render/gl/GLTexture.h"

#include <GL/glew.h>
#include <GL/glu.h>

namespace {

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

SkySphere::SkySphere(std::function<std::string()> imagePath) : m_imagePath(std::move(imagePath)) {}

SkySphere::~SkySphere() = default;

void SkySphere::draw(const Vector3f& eye)
{
    if (!m_texture) {
        m_texture = std::make_unique<GLTexture>();
        try {
            // Filtered but without mipmaps: the sphere is seen from its centre, never minified.
            m_texture->upload(readImageFile(m_imagePath ? m_imagePath() : std::string(kImageFile)), false);
        } catch (const IOException&) {
            // A missing sky is no error of the program's: the sphere is then simply untextured.
        }
    }
    GLTexture::Binding binding(*m_texture);
    // The picture as it is, whatever colour earlier drawing left current.
    GLState::TextureEnvironment replace(GL_REPLACE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    if (!m_sphere) m_sphere = compileSphere();
    GLState::Disable lighting(GL_LIGHTING);
    GLState::ModelviewPush push;
    glTranslatef(eye.x, 0.0f, eye.z);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    m_sphere->call();
}
