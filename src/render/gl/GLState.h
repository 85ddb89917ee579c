#pragma once

#include "foundation/Matrix4f.h"
#include "render/MatrixScreenSpaceConverter.h"
#include "render/ViewFrustumTest.h"

#include <GL/glew.h>

// Scoped changes of GL state, each undone when its scope ends (also when an exception
// passes), and the readers that turn GL state into plain values for the GL-free code. Every
// temporary state change in the renderers goes through one of these. The holder class has no
// data; the nested objects own nothing but what they must restore. Need a current context.
class GLState {
public:
    GLState() = delete;

    // glEnable(capability) now; at the end the capability is as it was before (disabled again
    // unless it was enabled already).
    class Enable {
    public:
        explicit Enable(GLenum capability);
        ~Enable();
        Enable(const Enable&) = delete;
        Enable& operator=(const Enable&) = delete;

    private:
        GLenum m_capability;
        GLboolean m_wasEnabled;
    };

    // glDisable(capability) now; at the end the capability is as it was before.
    class Disable {
    public:
        explicit Disable(GLenum capability);
        ~Disable();
        Disable(const Disable&) = delete;
        Disable& operator=(const Disable&) = delete;

    private:
        GLenum m_capability;
        GLboolean m_wasEnabled;
    };

    // glEnableClientState(array) now (or glDisableClientState when enable is false); at the
    // end the array is as it was before.
    class ClientArray {
    public:
        explicit ClientArray(GLenum array, bool enable = true);
        ~ClientArray();
        ClientArray(const ClientArray&) = delete;
        ClientArray& operator=(const ClientArray&) = delete;

    private:
        GLenum m_array;
        GLboolean m_wasEnabled;
    };

    // Selects the modelview matrix and pushes it; at the end selects it again and pops, so
    // whatever was multiplied on in between is gone.
    class ModelviewPush {
    public:
        ModelviewPush();
        ~ModelviewPush();
        ModelviewPush(const ModelviewPush&) = delete;
        ModelviewPush& operator=(const ModelviewPush&) = delete;
    };

    // The overlay space: projection glOrtho(-100, 100, -100, 100, -1, 1) and an identity
    // modelview, both pushed, so the window spans -100..100 in x and y whatever its size. At
    // the end both are popped and the modelview matrix is selected.
    class OverlaySpace {
    public:
        OverlaySpace();
        ~OverlaySpace();
        OverlaySpace(const OverlaySpace&) = delete;
        OverlaySpace& operator=(const OverlaySpace&) = delete;
    };

    // glBegin(mode) now, glEnd at the end.
    class Begin {
    public:
        explicit Begin(GLenum mode);
        ~Begin();
        Begin(const Begin&) = delete;
        Begin& operator=(const Begin&) = delete;
    };

    // Depth writes off now; at the end as they were before.
    class DepthWritesOff {
    public:
        DepthWritesOff();
        ~DepthWritesOff();
        DepthWritesOff(const DepthWritesOff&) = delete;
        DepthWritesOff& operator=(const DepthWritesOff&) = delete;

    private:
        GLboolean m_wasOn;
    };

    // glPolygonMode(GL_FRONT, mode) now; GL_FRONT back to GL_FILL at the end.
    class FrontPolygonMode {
    public:
        explicit FrontPolygonMode(GLenum mode);
        ~FrontPolygonMode();
        FrontPolygonMode(const FrontPolygonMode&) = delete;
        FrontPolygonMode& operator=(const FrontPolygonMode&) = delete;
    };

    // glPixelStorei(GL_UNPACK_ALIGNMENT, alignment) now; the caller's alignment at the end.
    class UnpackAlignment {
    public:
        explicit UnpackAlignment(GLint alignment);
        ~UnpackAlignment();
        UnpackAlignment(const UnpackAlignment&) = delete;
        UnpackAlignment& operator=(const UnpackAlignment&) = delete;

    private:
        GLint m_previous = 4;
    };

    // glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode) now; the previous mode at the end.
    class TextureEnvironment {
    public:
        explicit TextureEnvironment(GLenum mode);
        ~TextureEnvironment();
        TextureEnvironment(const TextureEnvironment&) = delete;
        TextureEnvironment& operator=(const TextureEnvironment&) = delete;

    private:
        GLint m_previous = GL_MODULATE;
    };

    // Pixel reads into a sub-rectangle of a larger image: row length, skipped rows and skipped
    // pixels as given and alignment 1 (the image's rows are tightly packed) now; the caller's
    // pack parameters at the end.
    class PackIntoImage {
    public:
        PackIntoImage(GLint rowLength, GLint skipRows, GLint skipPixels);
        ~PackIntoImage();
        PackIntoImage(const PackIntoImage&) = delete;
        PackIntoImage& operator=(const PackIntoImage&) = delete;

    private:
        GLint m_rowLength = 0;
        GLint m_skipRows = 0;
        GLint m_skipPixels = 0;
        GLint m_alignment = 4;
    };

    // The front material every skin renderer lights its animals with: diffuse 0.8 grey,
    // nothing ambient, specular or emitted (the vertex colours come in through colour material).
    static void setSkinMaterial();

    // The current modelview and projection matrices in row-major form (GL keeps them column-major).
    static Matrix4f modelview();
    static Matrix4f projection();
    // The current viewport (GL_VIEWPORT).
    static Viewport viewport();
    // The culling transform of the current matrices: projection x modelview.
    static ViewFrustumTest viewFrustumTest();
};
