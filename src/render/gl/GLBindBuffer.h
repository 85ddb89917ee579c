#pragma once

// Keeps a GLBuffer bound while it lives. This base binds nothing: client-memory buffers need
// no binding. Made by GLBuffer::bind and owned exclusively by the caller.
class GLBindBuffer {
public:
    GLBindBuffer() = default;
    GLBindBuffer(const GLBindBuffer&) = delete;
    GLBindBuffer& operator=(const GLBindBuffer&) = delete;
    virtual ~GLBindBuffer() = default;
};
