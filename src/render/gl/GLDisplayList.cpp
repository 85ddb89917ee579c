#include "render/gl/GLDisplayList.h"

#include "foundation/Exception.h"

GLDisplayList::Recorder::Recorder(const GLDisplayList& list)
{
    glNewList(list.name(), GL_COMPILE);
}

GLDisplayList::Recorder::~Recorder()
{
    glEndList();
}

GLDisplayList::GLDisplayList() : m_name(glGenLists(1))
{
    if (m_name == 0) throw OpenGLException("Unable to create a display list.");
}

GLDisplayList::~GLDisplayList()
{
    glDeleteLists(m_name, 1);
}

void GLDisplayList::call() const
{
    glCallList(m_name);
}
