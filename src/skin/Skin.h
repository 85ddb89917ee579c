#pragma once

#include "foundation/AffineTransform.h"
#include "foundation/BoundingBox.h"
#include "foundation/DenseMatrix.h"
#include "foundation/Vector2f.h"
#include "foundation/Vector3d.h"
#include "foundation/Vector3f.h"
#include "skin/BoneInfluence.h"
#include "skin/SkinningKernel.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <vector>

class ObjFile;
class BinaryRecordReader;
class MemoryBudget;
class TextSkinReader;
class TextSkinParser;

// Three vertex indices in winding order.
struct Triangle {
    std::uint32_t index[3] = {0, 0, 0};
    bool operator==(const Triangle&) const = default;
};

// A run of indices drawn as one primitive. 16-bit indices halve index storage and bandwidth,
// which is why a drawable skin has at most 65,536 vertices.
struct PrimitiveGroup {
    enum Kind : std::int32_t { TriangleList = 0, TriangleStrip = 1, TriangleFan = 2 };
    std::int32_t kind = TriangleList;
    std::vector<std::uint16_t> indices;
};

// One skinned mesh animation: a rest-pose triangle mesh, bones with one affine transform per
// frame, per-vertex influences, optional eigenskin correction bases with per-frame coefficients,
// vertex colours and PRT lighting data, plus lazily filled caches of skinned frames.
//
// Built only by its readers; shared between herds, renderers and the view through
// std::shared_ptr and never copied. The next skin (drawn as the animal's shadow) and the source
// OBJ mesh are shared too. Not thread-safe: the frame caches fill on first request.
class Skin {
public:
    // Largest vertex count a skin may have: primitive groups hold 16-bit indices.
    static constexpr std::uint32_t kMaxVertexCount = 65536;
    // What building a skin's strips costs at its peak, per triangle (the builder's working
    // arrays plus the 16-bit groups), for the readers' memory budgets.
    static constexpr std::uint64_t kStripBytesPerTriangle = 96;

    // Reads one record (and its nested next-skin records) from a binary stream positioned at
    // its start; on return the stream is positioned after the record.
    // Throws CreationException on a short read ("Caught exception reading file.") or on data
    // that is inconsistent or would be indexed out of range.
    explicit Skin(std::istream& in);
    // The same, taking what the record keeps from `budget` (which several records of one file
    // share); a record that would exceed it throws CreationException with the budget's
    // tooLargeMessage().
    Skin(std::istream& in, MemoryBudget& budget);
    // Reads exactly one record from the start of a binary skin file.
    // Throws IOException when the file cannot be opened, CreationException as above.
    explicit Skin(const std::filesystem::path& fileName);
    // Reads a text skin file and the OBJ mesh it names (see TextSkinReader.h); the optional
    // lighting file (empty name for none) supplies vertex colours and PRT data. The file name
    // becomes `path`, the name `name`. Throws CreationException for a bad skin or lighting
    // file (line, column and caret in the message); the OBJ reader's IOException and
    // ParserException pass through.
    Skin(const std::string& path, const std::string& lightingFileName, const std::string& name);

    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;
    ~Skin();

    const std::string& name() const { return m_name; }
    const std::string& fileName() const { return m_fileName; }
    void setFileName(const std::string& path) { m_fileName = path; }
    std::string textureFileName() const { return m_textureFileName; }

    unsigned vertexCount() const { return static_cast<unsigned>(m_restPositions.size()); }
    unsigned triangleCount() const { return static_cast<unsigned>(m_triangles.size()); }
    // F: the number of transforms of bone 0, or 0 without bones.
    unsigned frameCount() const { return m_bones.empty() ? 0u : static_cast<unsigned>(m_bones[0].size()); }
    unsigned boneCount() const { return static_cast<unsigned>(m_bones.size()); }
    unsigned displacementBasisCount() const { return m_displacementBasis.columns(); }
    unsigned normalBasisCount() const { return m_normalBasis.columns(); }
    unsigned lightingBasisCount() const { return m_lightingBasis.columns(); }
    // The largest number of influences any vertex has.
    unsigned maxInfluenceCount() const { return m_maxInfluenceCount; }

    // No range check: i < triangleCount().
    Triangle triangle(unsigned i) const { return m_triangles[i]; }
    const std::vector<Triangle>& triangles() const { return m_triangles; }
    const std::vector<PrimitiveGroup>& primitiveGroups() const { return m_primitiveGroups; }
    const std::vector<Vector3f>& restPositions() const { return m_restPositions; }
    const std::vector<Vector3f>& restNormals() const { return m_restNormals; }
    const std::vector<Vector2f>& textureCoordinates() const { return m_textureCoordinates; }
    // The influences of vertex v in file order (v < vertexCount()); the order is significant:
    // the hardware path feeds influence k through its k-th bone attributes.
    std::span<const BoneInfluence> influences(unsigned v) const
    {
        return {m_influences.data() + m_influenceStart[v], m_influenceStart[v + 1] - m_influenceStart[v]};
    }
    // Bone b's animation: one transform per frame.
    const std::vector<AffineTransform>& boneAnimation(unsigned b) const { return m_bones[b]; }
    const std::vector<std::vector<AffineTransform>>& bones() const { return m_bones; }
    const DenseMatrix& displacementBasis() const { return m_displacementBasis; }
    const DenseMatrix& displacementCoordinates() const { return m_displacementCoordinates; }
    const DenseMatrix& normalBasis() const { return m_normalBasis; }
    const DenseMatrix& normalCoordinates() const { return m_normalCoordinates; }
    const DenseMatrix& lightingBasis() const { return m_lightingBasis; }
    // Kl rows, one column per lighting frame.
    const DenseMatrix& lightingCoordinates() const { return m_lightingCoordinates; }
    const std::vector<float>& meanLighting() const { return m_meanLighting; }
    float maxMeanLighting() const { return m_maxMeanLighting; }
    const std::vector<Vector3f>& vertexColors() const { return m_vertexColors; }
    const std::shared_ptr<ObjFile>& sourceMesh() const { return m_sourceMesh; }
    const std::shared_ptr<Skin>& nextSkin() const { return m_nextSkin; }

    BoundingBox boundingBox() const { return m_boundingBox; }
    const std::vector<BoundingBox>& frameBoundingBoxes() const { return m_frameBoundingBoxes; }

    // Skinned positions and normals of frame f < frameCount(), evaluated on first request and
    // shared by everything that shows that frame.
    const std::vector<Vector3f>& framePositions(unsigned f) const;
    const std::vector<Vector3f>& frameNormals(unsigned f) const;

    // Skins frame f < frameCount() on the processor into both caches and frame f's box:
    // corrections added to the rest pose, then linear-blend skinning. A vertex without
    // influences ends at the origin and keeps its corrected rest normal.
    void evaluateFrame(unsigned f) const;
    // Rebuilds the frame boxes and the whole-animation box (rest pose plus every frame). Frames
    // are skinned for their boxes only: the frame caches stay as they are, so measuring a long
    // animation costs one frame's memory, not all of them.
    void computeBoundingBoxes();
    // Rebuilds the primitive groups from the triangles: cache-aware strips and one final
    // leftover list, or one plain triangle list.
    void buildPrimitiveGroups(bool useStrips);
    // Replaces the rest pose, recomputes area-weighted rest normals (vertices touching only
    // degenerate triangles keep theirs) and empties the frame caches. Boxes stay as they are.
    void setRestPositions(const std::vector<Vector3d>& positions);

private:
    friend class TextSkinReader;
    friend class TextSkinParser;
    Skin() = default;
    Skin(BinaryRecordReader& reader, int nestingDepth);
    void readRecord(BinaryRecordReader& reader, int nestingDepth);
    // The consistency checks every reader's skin passes (SkinValidation.cpp); throws
    // CreationException naming what does not fit.
    void validate() const;
    // Skins frame f into the given arrays (resized to the vertex count) and returns its box.
    BoundingBox skinFrame(unsigned f, std::vector<Vector3f>& positions, std::vector<Vector3f>& normals) const;
    // Measures frames [first, frameCount()) into their boxes and grows the animation's box by
    // them, through one frame's worth of scratch memory.
    void measureFrameBoxes(unsigned first);
    void finishInfluences(std::vector<std::uint32_t> counts);

    std::string m_name;
    std::vector<std::vector<AffineTransform>> m_bones;
    // Influences of all vertices back to back; vertex v owns [start[v], start[v + 1]).
    std::vector<BoneInfluence> m_influences;
    std::vector<std::uint32_t> m_influenceStart{0};
    unsigned m_maxInfluenceCount = 0;
    DenseMatrix m_displacementBasis;
    DenseMatrix m_displacementCoordinates;
    DenseMatrix m_normalBasis;
    DenseMatrix m_normalCoordinates;
    std::vector<PrimitiveGroup> m_primitiveGroups;
    std::vector<Triangle> m_triangles;
    std::vector<Vector3f> m_restPositions;
    std::vector<Vector3f> m_restNormals;
    std::vector<Vector2f> m_textureCoordinates;
    std::shared_ptr<ObjFile> m_sourceMesh;
    DenseMatrix m_lightingBasis;
    DenseMatrix m_lightingCoordinates;
    std::vector<float> m_meanLighting;
    std::vector<Vector3f> m_vertexColors;
    float m_maxMeanLighting = 0.0f;
    std::shared_ptr<Skin> m_nextSkin;
    mutable std::vector<std::vector<Vector3f>> m_framePositions;
    mutable std::vector<std::vector<Vector3f>> m_frameNormals;
    mutable std::vector<BoundingBox> m_frameBoundingBoxes;
    // The influences repacked for evaluateFrame, built once the record is validated; it also
    // holds the per-frame bone palette, hence mutable.
    mutable SkinningKernel m_skinningKernel;
    BoundingBox m_boundingBox;
    std::string m_fileName;
    std::string m_textureFileName;
};
