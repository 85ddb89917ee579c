#include "render/gl/GLState.h"

GLState::Enable::Enable(GLenum capability) : m_capability(capability), m_wasEnabled(glIsEnabled(capability))
{
    glEnable(capability);
}

GLState::Enable::~Enable()
{
    if (!m_wasEnabled) glDisable(m_capability);
}

GLState::Disable::Disable(GLenum capability) : m_capability(capability), m_wasEnabled(glIsEnabled(capability))
{
    glDisable(capability);
}

GLState::Disable::~Disable()
{
    if (m_wasEnabled) glEnable(m_capability);
}

GLState::ClientArray::ClientArray(GLenum array, bool enable) : m_array(array), m_wasEnabled(glIsEnabled(array))
{
    if (enable)
        glEnableClientState(array);
    else
        glDisableClientState(array);
}

GLState::ClientArray::~ClientArray()
{
    if (m_wasEnabled)
        glEnableClientState(m_array);
    else
        glDisableClientState(m_array);
}

GLState::ModelviewPush::ModelviewPush()
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
}

GLState::ModelviewPush::~ModelviewPush()
{
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

GLState::OverlaySpace::OverlaySpace()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-100, 100, -100, 100, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

GLState::OverlaySpace::~OverlaySpace()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

GLState::Begin::Begin(GLenum mode)
{
    glBegin(mode);
}

GLState::Begin::~Begin()
{
    glEnd();
}

GLState::DepthWritesOff::DepthWritesOff()
{
    glGetBooleanv(GL_DEPTH_WRITEMASK, &m_wasOn);
    glDepthMask(GL_FALSE);
}

GLState::DepthWritesOff::~DepthWritesOff()
{
    glDepthMask(m_wasOn);
}

GLState::FrontPolygonMode::FrontPolygonMode(GLenum mode)
{
    glPolygonMode(GL_FRONT, mode);
}

GLState::FrontPolygonMode::~FrontPolygonMode()
{
    glPolygonMode(GL_FRONT, GL_FILL);
}

Matrix4f GLState::modelview()
{
    GLfloat values[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, values);
    return Matrix4f::fromColumnMajor(values);
}

Matrix4f GLState::projection()
{
    GLfloat values[16];
    glGetFloatv(GL_PROJECTION_MATRIX, values);
    return Matrix4f::fromColumnMajor(values);
}

Viewport GLState::viewport()
{
    GLint values[4];
    glGetIntegerv(GL_VIEWPORT, values);
    return {values[0], values[1], values[2], values[3]};
}

ViewFrustumTest GLState::viewFrustumTest()
{
    return ViewFrustumTest(modelview(), projection());
}

GLState::UnpackAlignment::UnpackAlignment(GLint alignment)
{
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &m_previous);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

GLState::UnpackAlignment::~UnpackAlignment()
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, m_previous);
}

void GLState::setSkinMaterial()
{
    const GLfloat zero[4] = {0, 0, 0, 0};
    const GLfloat diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT, zero);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, zero);
    glMaterialf(GL_FRONT, GL_SHININESS, 0.0f);
    glMaterialfv(GL_FRONT, GL_EMISSION, zero);
}

GLState::TextureEnvironment::TextureEnvironment(GLenum mode)
{
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &m_previous);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(mode));
}

GLState::TextureEnvironment::~TextureEnvironment()
{
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(m_previous));
}

GLState::PackIntoImage::PackIntoImage(GLint rowLength, GLint skipRows, GLint skipPixels)
{
    glGetIntegerv(GL_PACK_ROW_LENGTH, &m_rowLength);
    glGetIntegerv(GL_PACK_SKIP_ROWS, &m_skipRows);
    glGetIntegerv(GL_PACK_SKIP_PIXELS, &m_skipPixels);
    glGetIntegerv(GL_PACK_ALIGNMENT, &m_alignment);
    glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_PACK_SKIP_ROWS, skipRows);
    glPixelStorei(GL_PACK_SKIP_PIXELS, skipPixels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
}

GLState::PackIntoImage::~PackIntoImage()
{
    glPixelStorei(GL_PACK_ROW_LENGTH, m_rowLength);
    glPixelStorei(GL_PACK_SKIP_ROWS, m_skipRows);
    glPixelStorei(GL_PACK_SKIP_PIXELS, m_skipPixels);
    glPixelStorei(GL_PACK_ALIGNMENT, m_alignment);
}
