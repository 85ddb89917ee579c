#pragma once

#include <GL/glew.h>

#include <string>

// One ARB vertex program loaded into GL. Owns its one program name and deletes it when
// destroyed; keeps the text as given (comments included, for display) and as loaded (comment
// lines removed). Shared by the renderer that generated it. Needs its context to be current.
class ARBVertexProgram {
public:
    // Draws with the program while it lives: enables GL_VERTEX_PROGRAM_ARB and binds the
    // program when made, disables GL_VERTEX_PROGRAM_ARB when destroyed.
    class Binding {
    public:
        explicit Binding(const ARBVertexProgram& program);
        ~Binding();
        Binding(const Binding&) = delete;
        Binding& operator=(const Binding&) = delete;
    };

    // Loads the text without its '#' comment lines. Throws OpenGLException "Extension
    // ARB_vertex_program not supported on this card." without the extension, and the driver's
    // complaint (position, a quote of the loaded text there, the driver's error string) when it
    // rejects the text; no program name and no enabled GL_VERTEX_PROGRAM_ARB stay behind then.
    // On success the program stays bound to the target and the target is disabled.
    explicit ARBVertexProgram(std::string text);
    ~ARBVertexProgram();
    ARBVertexProgram(const ARBVertexProgram&) = delete;
    ARBVertexProgram& operator=(const ARBVertexProgram&) = delete;

    const std::string& text() const { return m_text; }
    const std::string& loadedText() const { return m_loadedText; }
    GLuint name() const { return m_name; }

private:
    void load();

    std::string m_text;
    std::string m_loadedText;
    GLuint m_name = 0;
};
