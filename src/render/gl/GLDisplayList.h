#pragma once

#include <GL/glew.h>

// One GL display list. Owns its one name (glGenLists(1)) and deletes it when destroyed; shared
// by the renderer that compiled it. Needs the context it was made in to be current.
class GLDisplayList {
public:
    // Compiles GL commands into a list while it lives: glNewList(GL_COMPILE) when made,
    // glEndList when destroyed (also when an exception passes).
    class Recorder {
    public:
        explicit Recorder(const GLDisplayList& list);
        ~Recorder();
        Recorder(const Recorder&) = delete;
        Recorder& operator=(const Recorder&) = delete;
    };

    // Throws OpenGLException when GL has no list name to give.
    GLDisplayList();
    ~GLDisplayList();
    GLDisplayList(const GLDisplayList&) = delete;
    GLDisplayList& operator=(const GLDisplayList&) = delete;

    // Executes the list (glCallList).
    void call() const;
    GLuint name() const { return m_name; }

private:
    GLuint m_name;
};
