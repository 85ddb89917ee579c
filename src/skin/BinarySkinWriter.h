#pragma once

#include "foundation/AffineTransform.h"
#include "foundation/BoundingBox.h"
#include "foundation/DenseMatrix.h"
#include "foundation/Vector2f.h"
#include "foundation/Vector3f.h"
#include "skin/Skin.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

// The fields of one binary skin record in file order, as plain data: what the sample
// generator and the tests write. The viewer itself only reads this format.
struct SkinRecord {
    std::string name;
    std::string textureFileName;
    std::vector<Triangle> triangles;
    std::vector<PrimitiveGroup> primitiveGroups;
    std::vector<Vector3f> positions;
    std::vector<Vector3f> normals;
    std::vector<Vector2f> textureCoordinates;
    BoundingBox boundingBox;
    std::vector<BoundingBox> frameBoxes;
    // One list per position; the file's second, unused list is written empty.
    std::vector<std::vector<BoneInfluence>> influences;
    std::vector<std::vector<AffineTransform>> bones;
    DenseMatrix displacementBasis;
    DenseMatrix displacementCoordinates;
    DenseMatrix normalBasis;
    DenseMatrix normalCoordinates;
    std::vector<Vector3f> vertexColors;
    std::vector<float> meanLighting;
    DenseMatrix lightingBasis;
    DenseMatrix lightingCoordinates;
    std::shared_ptr<SkinRecord> nextSkin;
};

// Writes one record (and its next-skin chain). Throws IOException when the stream fails.
void writeSkinRecord(std::ostream& out, const SkinRecord& record);

// Writes the records back to back into a new file that replaces `path` only once it is
// complete, so a failed write never leaves a half-written file behind.
// Throws FileWriteException (an IOException) naming the path.
void writeSkinFile(const std::filesystem::path& path, const std::vector<SkinRecord>& records);
