// The one consistency check of a skin, whichever reader made it: every array the skinning,
// lighting and drawing code indexes by vertex, bone or frame must hold what those indices reach.
#include "skin/Skin.h"

#include "foundation/Exception.h"

#include <algorithm>
#include <sstream>

namespace {

[[noreturn]] void fail(const std::ostringstream& message)
{
    throw CreationException(message.str());
}

} // namespace

void Skin::validate() const
{
    const std::size_t vertexCount = m_restPositions.size();
    const unsigned frames = frameCount();
    std::ostringstream message;

    // The lighting checks come first and keep their long-standing wording.
    if (m_meanLighting.size() != vertexCount) {
        message << "Mean lighting data does not match vertex data; found " << m_meanLighting.size()
                << " vertices in lighting data but skin has " << vertexCount << " vertices.";
        fail(message);
    }
    // A basis without vectors is never indexed by vertex (a text skin without a lighting file
    // has none).
    if (m_lightingBasis.columns() > 0 && m_lightingBasis.rows() != vertexCount) {
        message << "Lighting basis data does not match vertex data; found " << m_lightingBasis.rows()
                << " vertices in lighting data but skin has " << vertexCount << " vertices.";
        fail(message);
    }
    if (m_lightingBasis.columns() != m_lightingCoordinates.rows()) {
        message << "Lighting basis data does not match lighting frames data; found " << m_lightingBasis.columns()
                << " eigenvectors in basis but only " << m_lightingCoordinates.rows()
                << " coeffs in the frames matrix.";
        fail(message);
    }
    // A skin without lighting data (no basis, no coordinates: a text skin without a lighting
    // file) is lit by its mean values alone and needs no coordinates per frame.
    const bool lightingData =
        m_lightingBasis.columns() > 0 || m_lightingCoordinates.rows() > 0 || m_lightingCoordinates.columns() > 0;
    if (frames > 0 && lightingData && m_lightingCoordinates.columns() < frames) {
        message << "Found " << m_lightingCoordinates.columns() << " frames in lighting data "
                << " but animation has " << frames << " frames.";
        fail(message);
    }

    // Everything below is indexed by vertex or frame later on; a bad value here would be an
    // out-of-range access in skinning or drawing.
    if (vertexCount > kMaxVertexCount) {
        message << "Skin '" << m_name << "' has " << vertexCount << " vertices, but at most " << kMaxVertexCount
                << " can be drawn with 16-bit indices.";
        fail(message);
    }
    for (std::size_t t = 0; t < m_triangles.size(); ++t)
        for (std::uint32_t index : m_triangles[t].index)
            if (index >= vertexCount) {
                message << "Triangle " << t << " refers to vertex " << index << " but the skin has " << vertexCount
                        << " vertices.";
                fail(message);
            }
    auto checkPerVertex = [&](const char* what, std::size_t count, bool emptyAllowed) {
        if (count == vertexCount || (emptyAllowed && count == 0)) return;
        message << "Found " << count << ' ' << what << " but skin has " << vertexCount << " vertices.";
        fail(message);
    };
    checkPerVertex("normals", m_restNormals.size(), false);
    checkPerVertex("texture coordinates", m_textureCoordinates.size(), true);
    checkPerVertex("vertex colours", m_vertexColors.size(), false);

    // One pass over all influences; the owning vertex is looked up only for the message.
    const auto badInfluence = std::find_if(m_influences.begin(), m_influences.end(), [&](const BoneInfluence& i) {
        return i.bone < 0 || static_cast<std::size_t>(i.bone) >= m_bones.size();
    });
    if (badInfluence != m_influences.end()) {
        const std::size_t k = static_cast<std::size_t>(badInfluence - m_influences.begin());
        const std::size_t v =
            static_cast<std::size_t>(std::upper_bound(m_influenceStart.begin(), m_influenceStart.end(), k) -
                                     m_influenceStart.begin()) - 1;
        message << "Vertex " << v << " is influenced by bone " << badInfluence->bone << " but the skin has "
                << m_bones.size() << " bones.";
        fail(message);
    }
    for (std::size_t b = 1; b < m_bones.size(); ++b)
        if (m_bones[b].size() < frames) {
            message << "Bone " << b << " has " << m_bones[b].size() << " frames but the animation has " << frames
                    << " frames.";
            fail(message);
        }

    auto checkCorrections = [&](const char* what, const DenseMatrix& basis, const DenseMatrix& coordinates) {
        if (basis.columns() == 0) return;
        if (basis.rows() != 3 * vertexCount) {
            message << "The " << what << " basis has " << basis.rows() << " rows but skin has " << vertexCount
                    << " vertices (" << 3 * vertexCount << " rows).";
            fail(message);
        }
        if (coordinates.columns() != basis.columns() || coordinates.rows() < frames) {
            message << "The " << what << " coordinates are " << coordinates.rows() << " x " << coordinates.columns()
                    << " but the animation has " << frames << " frames and the basis " << basis.columns()
                    << " vectors.";
            fail(message);
        }
    };
    checkCorrections("displacement", m_displacementBasis, m_displacementCoordinates);
    checkCorrections("normal", m_normalBasis, m_normalCoordinates);
}
