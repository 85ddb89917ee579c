#include "render/gl/GLBoxes.h"

#include "herd/Herd.h"
#include "render/BoxFaces.h"
#include "render/ViewFrustumTest.h"
#include "render/gl/GLState.h"
#include "skin/Skin.h"

#include <GL/glew.h>

void GLBoxes::draw(const Herd& herd, const ViewFrustumTest& frustum)
{
    Vector3f mean;
    const std::vector<Vector3f>& colors = herd.skin()->vertexColors();
    for (const Vector3f& c : colors) mean += c;
    if (!colors.empty()) mean *= 1.0f / float(colors.size());

    glPolygonMode(GL_FRONT, GL_FILL);
    glEnable(GL_LIGHTING);
    const GLfloat zero[4] = {0, 0, 0, 0};
    const GLfloat diffuse[4] = {mean.x, mean.y, mean.z, 1.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT, zero);
    glMaterialfv(GL_FRONT, GL_SPECULAR, zero);
    glMaterialfv(GL_FRONT, GL_EMISSION, zero);
    glMaterialf(GL_FRONT, GL_SHININESS, 0.0f);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);

    GLState::Begin quads(GL_QUADS);
    const unsigned count = herd.instanceCount();
    for (unsigned i = 0; i < count; ++i) {
        const BoundingBox box = herd.instance(i).box;
        if (frustum.isOutside(box)) continue;
        for (const BoxFace& face : boxFaces(box)) {
            glNormal3f(face.normal.x, face.normal.y, face.normal.z);
            for (const Vector3f& p : face.corners) glVertex3f(p.x, p.y, p.z);
        }
    }
}
