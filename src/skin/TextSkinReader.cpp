// The text skin reader: line parsing, the seven sections, the mesh load and the final checks.
#include "skin/TextSkinReader.h"

#include "foundation/Exception.h"
#include "foundation/MemoryBudget.h"
#include "skin/LightingFile.h"
#include "skin/ObjFile.h"
#include "skin/TextLines.h"
#include "skin/TextScan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

using namespace textscan;
namespace fs = std::filesystem;

namespace {

// Longer lines are not read.
constexpr std::size_t kMaxLineLength = 999999;
// A matrix whose missing rows are zero could otherwise be made enormous by a few short lines.
constexpr std::uint64_t kMaxMatrixElements = std::uint64_t(1) << 26;

enum class Section { None, Mesh, Bone, Weights, DisplacementBasis, DisplacementCoords, NormalBasis, NormalCoords };

// The rows a basis or coefficient section gave, row-major in one array (an array per row would
// cost more than the numbers of a short row), until the matrix is built.
struct MatrixRows {
    bool declared = false; // its command has been read
    unsigned columns = 0;
    unsigned rowCount = 0; // rows given so far in the current section
    std::int64_t frames = 0; // NFRAMES of a coefficient section
    std::vector<float> values;
};

std::string str(std::int64_t n)
{
    return std::to_string(n);
}

} // namespace

// Parses one line at a time into the skin; m_position is how far the line's parser got, which
// is the column an error reports.
class TextSkinParser {
public:
    TextSkinParser(Skin& skin, const std::string& path, fs::path directory, MemoryBudget& budget)
        : m_skin(skin), m_path(path), m_directory(std::move(directory)), m_budget(budget)
    {
    }

    void parseLine(std::string_view line, std::string_view content);
    std::size_t column(std::string_view line) const { return static_cast<std::size_t>(m_position - line.data()); }
    // Reads the lighting from the stream, or from the named file when there is no stream;
    // neither gives the default grey.
    void finish(const std::string& lightingFileName, std::istream* lighting);

private:
    struct Attribute {
        std::string name;
        std::int64_t value;
    };

    void parseCommand(const char* begin, const char* end);
    void runCommand(const std::string& word, const std::vector<Attribute>& attributes);
    void loadMesh(std::string_view line);
    void parseBoneFrame(const char* begin, const char* end);
    void parseWeights(const char* begin, const char* end);
    void parseBasisRow(MatrixRows& basis, const char* begin, const char* end);
    void parseCoefficientRow(MatrixRows& coefficients, const MatrixRows& basis, const char* begin, const char* end);
    std::vector<float> readRow(const char* begin, const char* end);
    void buildMatrices();
    void readLighting(const std::string& lightingFileName, std::istream* lighting);

    [[noreturn]] static void fail(const std::string& message) { throw SkinParserException(message); }

    Skin& m_skin;
    std::string m_path;
    fs::path m_directory;
    // What the skin, its mesh and its lighting keep is taken from here.
    MemoryBudget& m_budget;
    const char* m_position = nullptr;
    Section m_section = Section::None;
    std::shared_ptr<ObjFile> m_mesh;
    std::vector<std::vector<BoneInfluence>> m_influences;
    MatrixRows m_displacementBasis, m_displacementCoords, m_normalBasis, m_normalCoords;
};

void TextSkinParser::parseLine(std::string_view line, std::string_view content)
{
    const char* begin = content.data();
    const char* end = begin + content.size();
    m_position = begin;
    if (line[0] == '*') {
        parseCommand(begin, end);
        return;
    }
    switch (m_section) {
    case Section::None: fail("Expected: '*'");
    case Section::Mesh: loadMesh(line); break;
    case Section::Bone: parseBoneFrame(begin, end); break;
    case Section::Weights: parseWeights(begin, end); break;
    case Section::DisplacementBasis: parseBasisRow(m_displacementBasis, begin, end); break;
    case Section::DisplacementCoords: parseCoefficientRow(m_displacementCoords, m_displacementBasis, begin, end); break;
    case Section::NormalBasis: parseBasisRow(m_normalBasis, begin, end); break;
    case Section::NormalCoords: parseCoefficientRow(m_normalCoords, m_normalBasis, begin, end); break;
    }
}

void TextSkinParser::parseCommand(const char* begin, const char* end)
{
    const char* p = begin + 1;
    m_position = p;
    const char* wordStart = p;
    while (p != end && isLetter(*p)) ++p;
    if (p == wordStart) fail("Expected: OBJFILENAME, BONEANIMATION, etc.");
    const std::string word(wordStart, p);
    m_position = p;

    std::vector<Attribute> attributes;
    for (;;) {
        p = skipBlanks(p, end);
        m_position = p;
        if (p == end) break;
        const auto badPair = [] { fail("Expected: ATTRIBUTE=VALUE pair"); };
        if (*p != ',') badPair();
        p = skipBlanks(p + 1, end);
        const char* nameStart = p;
        while (p != end && isLetter(*p)) ++p;
        if (p == nameStart) badPair();
        std::string name(nameStart, p);
        p = skipBlanks(p, end);
        if (p == end || *p != '=') badPair();
        p = skipBlanks(p + 1, end);
        const auto startsWith = [&](std::string_view keyword) {
            return static_cast<std::size_t>(end - p) >= keyword.size() && std::string_view(p, keyword.size()) == keyword;
        };
        bool stored = true;
        std::int64_t value = 0;
        if (startsWith("true")) {
            value = 1;
            p += 4;
        } else if (startsWith("false")) {
            value = 0;
            p += 5;
        } else if (startsWith("null")) {
            stored = false;
            p += 4;
        } else if (p != end && *p == 'F') {
            stored = false; // consumed below as the trailing F
        } else {
            std::int32_t number;
            if (!readInteger(p, end, number, false)) badPair();
            value = number;
        }
        if (p != end && *p == 'F') {
            stored = false;
            ++p;
        }
        if (stored) attributes.push_back({std::move(name), value});
    }
    runCommand(word, attributes);
}

void TextSkinParser::runCommand(const std::string& word, const std::vector<Attribute>& attributes)
{
    const auto attribute = [&](const char* name) {
        for (const Attribute& a : attributes)
            if (a.name == name) return a.value;
        fail(std::string("Expected attribute '") + name + "'");
    };
    const auto frameCount = [&] {
        const std::int64_t frames = attribute("NFRAMES");
        if (frames < 0) fail("Frame count " + str(frames) + " must not be negative.");
        return frames;
    };
    const auto startCoefficients = [&](MatrixRows& coefficients, const MatrixRows& basis, const char* missing,
                                       Section section) {
        const std::int64_t frames = frameCount();
        if (!basis.declared) fail(missing);
        coefficients = MatrixRows{};
        coefficients.declared = true;
        coefficients.frames = frames;
        coefficients.columns = basis.columns;
        m_section = section;
    };

    if (word == "OBJFILENAME") {
        m_section = Section::Mesh;
    } else if (word == "BONEANIMATION") {
        const std::int64_t frames = frameCount();
        const std::int64_t index = attribute("BONEINDEX");
        const std::int64_t bones = m_skin.m_bones.size();
        if (index < 0 || index != bones)
            fail("Bone " + str(index) + " is out of order; previous bone was " + str(bones - 1));
        // NFRAMES reserves nothing: the frame lines decide the count, and a file of bone
        // commands alone must not reserve room for frames it never gives.
        static_cast<void>(frames);
        m_budget.takeBytes(sizeof(m_skin.m_bones[0]));
        m_skin.m_bones.emplace_back();
        m_section = Section::Bone;
    } else if (word == "VERTEXWEIGHTS") {
        const std::int64_t vertices = attribute("NVERTICES");
        if (!m_mesh) fail(".obj declaration must appear first in the file.");
        if (vertices < 0 || vertices != static_cast<std::int64_t>(m_skin.m_restPositions.size()))
            fail("Vertex count " + str(vertices) + " does not match " + str(m_skin.m_restPositions.size()) +
                 " found in '" + m_mesh->fileName() + "'.");
        m_influences.resize(static_cast<std::size_t>(vertices));
        m_section = Section::Weights;
    } else if (word == "DISPLACEMENTBASIS") {
        if (m_displacementBasis.declared) fail("Expected only one displacement basis in file.");
        m_displacementBasis.declared = true;
        m_section = Section::DisplacementBasis;
    } else if (word == "DISPLACEMENTCOORDS") {
        startCoefficients(m_displacementCoords, m_displacementBasis,
                          "Displacement basis must appear before displacement coords.", Section::DisplacementCoords);
    } else if (word == "NORMALBASIS") {
        if (m_normalBasis.declared) fail("Expected only one normal basis in file.");
        m_normalBasis.declared = true;
        m_section = Section::NormalBasis;
    } else if (word == "NORMALCOORDS") {
        startCoefficients(m_normalCoords, m_normalBasis, "Normal basis must appear before normal coords.",
                          Section::NormalCoords);
    } else {
        fail("Unknown command: '" + word + "'");
    }
}

void TextSkinParser::loadMesh(std::string_view line)
{
    // The action runs once the whole line is matched.
    m_position = line.data() + line.size();
    if (m_mesh) fail("Only one .obj file allowed per .skin file");
    std::string meshPath;
    try {
        meshPath = (m_directory / fs::path(std::string(line))).string();
    } catch (const fs::filesystem_error&) {
        fail("Invalid .obj filename: '" + std::string(line) + "'.");
    }
    m_mesh = std::make_shared<ObjFile>(meshPath, m_budget);
    m_skin.m_sourceMesh = m_mesh;
    const ObjFile& mesh = *m_mesh;

    const std::size_t vertexCount = mesh.vertexCount();
    if (vertexCount > Skin::kMaxVertexCount)
        fail("The mesh '" + mesh.fileName() + "' has " + str(vertexCount) + " vertices, but at most " +
             str(Skin::kMaxVertexCount) + " can be drawn with 16-bit indices.");
    // Rest pose, texture coordinates, normals, influence lists and the three working arrays
    // below; the triangles once counted.
    m_budget.take(vertexCount, 2 * sizeof(Vector3f) + sizeof(Vector2f) + 3 * sizeof(Vector3d) +
                                   sizeof(std::vector<BoneInfluence>));
    m_budget.take(mesh.faceCount(), sizeof(Triangle));
    auto& positions = m_skin.m_restPositions;
    positions.clear();
    positions.reserve(vertexCount);
    for (const Vector3d& v : mesh.vertices()) positions.push_back(v.toVector3f());
    m_skin.m_textureCoordinates.assign(vertexCount, Vector2f(0.0f, 0.0f));

    std::vector<Vector3d> normalSums(vertexCount);
    auto& triangles = m_skin.m_triangles;
    triangles.clear();
    const auto checkNumber = [&](const char* what, const char* plural, std::int32_t number, std::size_t count) {
        if (number < 1 || static_cast<std::size_t>(number) > count)
            fail(std::string("Face refers to ") + what + " " + str(number) + " but '" + mesh.fileName() + "' has " +
                 str(count) + " " + plural + ".");
    };
    for (const ObjFile::Group& group : mesh.groups())
        for (std::size_t f = 0; f < group.faceCount(); ++f) {
            const std::span<const ObjCorner> face = group.face(f);
            if (face.size() != 3) {
                std::string numbers;
                for (std::size_t c = 0; c < std::min<std::size_t>(face.size(), 3); ++c)
                    numbers += (c ? ", " : "") + str(face[c].vertex);
                fail("Only triangles are allowed in .obj files; found " + str(face.size()) + "-gon: (" + numbers + ")");
            }
            Triangle triangle;
            for (int c = 0; c < 3; ++c) {
                const ObjCorner& corner = face[c];
                checkNumber("vertex", "vertices", corner.vertex, vertexCount);
                const std::size_t v = static_cast<std::size_t>(corner.vertex - 1);
                triangle.index[c] = static_cast<std::uint32_t>(v);
                if (corner.hasNormal) {
                    checkNumber("normal", "normals", corner.normal, mesh.normals().size());
                    normalSums[v] += mesh.normals()[static_cast<std::size_t>(corner.normal - 1)];
                }
                if (corner.hasTextureCoordinate) {
                    checkNumber("texture coordinate", "texture coordinates", corner.textureCoordinate,
                                mesh.textureCoordinates().size());
                    const Vector3d& t = mesh.textureCoordinates()[static_cast<std::size_t>(corner.textureCoordinate - 1)];
                    m_skin.m_textureCoordinates[v] = Vector2f(static_cast<float>(t.x), static_cast<float>(t.y));
                }
            }
            triangles.push_back(triangle);
        }

    // Face normals, each turned to agree with what its corners have gathered so far.
    std::vector<Vector3d> faceSums(vertexCount);
    std::vector<Vector3d> pose(vertexCount);
    for (std::size_t v = 0; v < vertexCount; ++v) pose[v] = Vector3d(positions[v]);
    for (const Triangle& t : triangles) {
        const Vector3d& a = pose[t.index[0]];
        Vector3d n = (pose[t.index[1]] - a).cross(pose[t.index[2]] - a);
        for (std::uint32_t v : t.index) {
            if (n.dot(faceSums[v]) < 0.0) n = -n;
            faceSums[v] += n;
        }
    }
    auto& normals = m_skin.m_restNormals;
    normals.assign(vertexCount, Vector3f());
    for (std::size_t v = 0; v < vertexCount; ++v) {
        Vector3d n = normalSums[v];
        if (n == Vector3d()) n = faceSums[v] == Vector3d() ? Vector3d(0.0, 1.0, 0.0) : faceSums[v];
        normals[v] = n.normalized().toVector3f();
    }

    m_influences.assign(vertexCount, {});
    m_skin.m_displacementBasis.resize(static_cast<unsigned>(3 * vertexCount), 0);
    m_skin.m_normalBasis.resize(static_cast<unsigned>(3 * vertexCount), 0);
}

void TextSkinParser::parseBoneFrame(const char* begin, const char* end)
{
    const char* p = begin;
    std::int64_t frameNumber;
    if (!readInteger(p, end, frameNumber)) fail("Expected: [frameNo] [matrix]");
    m_position = p;
    double m[16];
    std::size_t count = 0;
    for (double value; readReal(p, end, value); ++count) {
        if (count < 16) m[count] = value;
        m_position = p;
    }
    if (count != 16 || !atEnd(p, end))
        fail("Error in bone frame; expected 4x4 matrix with 16 entries, found " + str(count) + " entries.");
    m_position = skipBlanks(p, end);
    AffineTransform transform;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) transform.linear(r, c) = static_cast<float>(m[4 * r + c]);
        transform.translation[r] = static_cast<float>(m[4 * r + 3]);
    }
    m_budget.takeBytes(sizeof(AffineTransform));
    m_skin.m_bones.back().push_back(transform);
}

void TextSkinParser::parseWeights(const char* begin, const char* end)
{
    const char* p = begin;
    // Unsigned: a negative vertex number names no vertex.
    std::uint32_t vertex;
    if (!readInteger(p, end, vertex)) fail("Expected: vertex number");
    m_position = p;
    if (vertex >= m_influences.size())
        fail("Vertex number " + str(vertex) + " too large; only " + str(m_influences.size()) + " vertices found in '" +
             m_mesh->fileName() + "'");
    std::vector<BoneInfluence>& list = m_influences[vertex];
    for (;;) {
        p = skipBlanks(p, end);
        m_position = p;
        if (p == end) break;
        BoneInfluence influence;
        double weight;
        if (!readInteger(p, end, influence.bone) || !readReal(p, end, weight)) fail("Expected: boneId weight");
        influence.weight = static_cast<float>(weight);
        m_budget.takeBytes(sizeof(BoneInfluence));
        list.push_back(influence);
    }
}

std::vector<float> TextSkinParser::readRow(const char* begin, const char* end)
{
    std::vector<float> row;
    const char* p = begin;
    for (double value; readReal(p, end, value);) {
        row.push_back(static_cast<float>(value));
        m_position = p;
    }
    p = skipBlanks(p, end);
    m_position = p;
    if (p != end) fail("Expected: number");
    return row;
}

void TextSkinParser::parseBasisRow(MatrixRows& basis, const char* begin, const char* end)
{
    if (!m_mesh) fail(".obj declaration must appear first in the file.");
    const std::uint64_t vertexCount = m_skin.m_restPositions.size();
    std::vector<float> row = readRow(begin, end);
    const unsigned r = basis.rowCount;
    if (r >= 3 * vertexCount)
        fail("Found too many rows; expected 3*" + str(vertexCount) + " = " + str(3 * vertexCount) +
             " rows but found " + str(r + 1) + " rows.");
    if (r == 0) {
        if (3 * vertexCount * row.size() > kMaxMatrixElements)
            fail("A basis of " + str(3 * vertexCount) + " x " + str(row.size()) + " elements is too large; at most " +
                 str(kMaxMatrixElements) + " are allowed.");
        basis.columns = static_cast<unsigned>(row.size());
    } else if (row.size() != basis.columns) {
        fail("Incorrect number of columns in matrix row " + str(r) + "; found " + str(row.size()) + " but expected " +
             str(basis.columns));
    }
    m_budget.take(row.size(), sizeof(float));
    basis.values.insert(basis.values.end(), row.begin(), row.end());
    ++basis.rowCount;
}

void TextSkinParser::parseCoefficientRow(MatrixRows& coefficients, const MatrixRows& basis, const char* begin,
                                         const char* end)
{
    std::vector<float> row = readRow(begin, end);
    const unsigned r = coefficients.rowCount;
    if (r >= coefficients.frames)
        fail("Found too many rows; expected " + str(coefficients.frames) + " rows but found " + str(r + 1) + " rows.");
    if (row.size() != coefficients.columns)
        fail("Incorrect number of columns in matrix row " + str(r) + "; found " + str(row.size()) + " but expected " +
             str(coefficients.columns));
    m_budget.take(row.size(), sizeof(float));
    coefficients.values.insert(coefficients.values.end(), row.begin(), row.end());
    ++coefficients.rowCount;
}

void TextSkinParser::finish(const std::string& lightingFileName, std::istream* lighting)
{
    // A skin without a rest pose has no bounding box to place, frame or draw animals by.
    if (m_skin.m_restPositions.empty())
        throw CreationException("The .skin file '" + m_path + "' names no .obj file with vertices.");
    readLighting(lightingFileName, lighting);
    m_budget.take(m_skin.m_triangles.size(), Skin::kStripBytesPerTriangle);
    m_skin.buildPrimitiveGroups(true);

    const auto& bones = m_skin.m_bones;
    for (std::size_t b = 1; b < bones.size(); ++b)
        if (bones[b].size() != bones[0].size())
            throw CreationException("Mismatch in frame count; bone 0 has frame count " + str(bones[0].size()) +
                                    " but bone " + str(b) + " has frame count " + str(bones[b].size()));
    for (Vector3f& n : m_skin.m_restNormals) {
        const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (length > 0.0f) n = Vector3f(n.x / length, n.y / length, n.z / length);
    }

    buildMatrices();

    // Influences back to back, as the skinning kernel takes them (which packs them once more).
    Skin& skin = m_skin;
    std::size_t influenceCount = 0;
    for (const auto& list : m_influences) influenceCount += list.size();
    m_budget.take(influenceCount, 2 * sizeof(BoneInfluence));
    skin.m_influences.clear();
    skin.m_influenceStart.assign(1, 0);
    skin.m_maxInfluenceCount = 0;
    for (const auto& list : m_influences) {
        skin.m_influences.insert(skin.m_influences.end(), list.begin(), list.end());
        skin.m_influenceStart.push_back(static_cast<std::uint32_t>(skin.m_influences.size()));
        skin.m_maxInfluenceCount = std::max(skin.m_maxInfluenceCount, static_cast<unsigned>(list.size()));
    }
    // The checks every skin passes, whichever file it came from; the kernel packs only
    // influences whose bones exist.
    skin.validate();
    skin.m_skinningKernel = SkinningKernel(skin.m_influences, skin.m_influenceStart, skin.boneCount());

    const unsigned frames = skin.frameCount();
    m_budget.take(frames, sizeof(skin.m_framePositions[0]) + sizeof(skin.m_frameNormals[0]) + sizeof(BoundingBox));
    skin.m_framePositions.assign(frames, {});
    skin.m_frameNormals.assign(frames, {});
    skin.computeBoundingBoxes();
}

void TextSkinParser::buildMatrices()
{
    const auto build = [&](const char* what, MatrixRows& rows, std::uint64_t rowCount, DenseMatrix& matrix) {
        if (rowCount * rows.columns > kMaxMatrixElements)
            throw CreationException(std::string("The ") + what + " would have " + str(rowCount) + " x " +
                                    str(rows.columns) + " elements; at most " + str(kMaxMatrixElements) +
                                    " are allowed.");
        // Rows the file does not give stay zero.
        m_budget.take(rowCount * rows.columns, sizeof(float));
        matrix.resize(static_cast<unsigned>(rowCount), rows.columns);
        for (unsigned r = 0; r < rows.rowCount; ++r)
            for (unsigned c = 0; c < rows.columns; ++c) matrix(r, c) = rows.values[std::size_t(r) * rows.columns + c];
        m_budget.giveBack(rows.values.size() * sizeof(float));
        rows.values = {};
    };
    const std::uint64_t basisRows = 3 * std::uint64_t(m_skin.m_restPositions.size());
    if (m_displacementBasis.columns > 0) build("displacement basis", m_displacementBasis, basisRows, m_skin.m_displacementBasis);
    if (m_normalBasis.columns > 0) build("normal basis", m_normalBasis, basisRows, m_skin.m_normalBasis);
    const auto coefficientRows = [](const MatrixRows& rows) { return static_cast<std::uint64_t>(rows.frames); };
    if (m_displacementCoords.declared)
        build("displacement coordinates", m_displacementCoords, coefficientRows(m_displacementCoords),
              m_skin.m_displacementCoordinates);
    if (m_normalCoords.declared)
        build("normal coordinates", m_normalCoords, coefficientRows(m_normalCoords), m_skin.m_normalCoordinates);
}

void TextSkinParser::readLighting(const std::string& lightingFileName, std::istream* lighting)
{
    Skin& skin = m_skin;
    const std::size_t vertexCount = skin.m_restPositions.size();
    if (!lighting && lightingFileName.empty()) {
        skin.m_vertexColors.assign(vertexCount, Vector3f(0.5f, 0.5f, 0.5f));
        skin.m_meanLighting.assign(vertexCount, 0.5f);
        skin.m_maxMeanLighting = 0.5f;
        return;
    }
    std::ifstream file;
    if (!lighting) {
        file.open(lightingFileName, std::ios::binary);
        if (!file) throw CreationException("Unable to open lighting file '" + lightingFileName + "'.");
        lighting = &file;
    }
    // The animation's frames are bone 0's; every other bone's count is checked afterwards.
    LightingData data = readLightingFile(*lighting, lightingFileName, vertexCount, skin.frameCount(), &m_budget);
    skin.m_vertexColors = std::move(data.vertexColors);
    skin.m_meanLighting = std::move(data.meanLighting);
    skin.m_maxMeanLighting = data.maxMeanLighting;
    skin.m_lightingBasis = std::move(data.basis);
    skin.m_lightingCoordinates = std::move(data.coordinates);
}

void TextSkinReader::read(Skin& skin, std::string_view text, const std::string& path,
                          const std::string& lightingFileName, const std::string& name, std::istream* lighting)
{
    TextLines lines(TextLines::InMemory{}, text, kMaxLineLength);
    read(skin, lines, path, lightingFileName, name, lighting);
}

void TextSkinReader::read(Skin& skin, TextLines& lines, const std::string& path, const std::string& lightingFileName,
                          const std::string& name, std::istream* lighting)
{
    skin.m_name = name;
    fs::path directory;
    try {
        directory = fs::path(path).parent_path();
    } catch (const fs::filesystem_error&) {
        throw CreationException("Invalid path: " + path);
    }
    skin.m_fileName = path;
    // The skin file, its mesh, the mesh's materials and the lighting file share one budget.
    MemoryBudget budget(MemoryBudget::kSkinFileBytes, path);
    TextSkinParser parser(skin, path, directory, budget);

    try {
        std::size_t lineNumber = 0;
        for (std::string_view line;;) {
            const TextLines::Status status = lines.next(line);
            if (status == TextLines::Status::End) break;
            ++lineNumber;
            if (status == TextLines::Status::TooLong)
                throw CreationException("Line " + str(lineNumber) + " of .skin file '" + path + "' is longer than " +
                                        str(kMaxLineLength) + " characters.");
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1); // written on Windows
            const std::string_view content = line.substr(0, std::min(line.find('#'), line.size()));
            if (atEnd(content.data(), content.data() + content.size())) continue;
            try {
                parser.parseLine(line, content);
            } catch (const SkinParserException& e) {
                const std::size_t column = parser.column(line);
                std::ostringstream message;
                message << "Caught exception in line " << lineNumber << ", column " << column << " of .skin file '"
                        << path << "':\n"
                        << line << "\n"
                        << std::string(column, ' ') << "^ " << e.message();
                throw CreationException(message.str());
            }
        }
        parser.finish(lightingFileName, lighting);
    } catch (const MemoryBudget::Exceeded&) {
        throw CreationException(budget.tooLargeMessage());
    }
}

std::shared_ptr<Skin> TextSkinReader::parse(std::string_view text, const std::string& path,
                                            const std::string& lightingFileName, const std::string& name,
                                            std::istream* lighting)
{
    std::shared_ptr<Skin> skin(new Skin());
    read(*skin, text, path, lightingFileName, name, lighting);
    return skin;
}

Skin::Skin(const std::string& path, const std::string& lightingFileName, const std::string& name)
{
    // Read a window at a time: a huge file costs the window, not its size.
    TextLines lines(path, kMaxLineLength);
    if (!lines.opened()) throw CreationException("Unable to open skin file '" + path + "'.");
    TextSkinReader::read(*this, lines, path, lightingFileName, name);
}

std::shared_ptr<Skin> parseTextSkin(std::string_view text, const std::string& path,
                                    const std::string& lightingFileName, const std::string& name)
{
    return TextSkinReader::parse(text, path, lightingFileName, name);
}

std::shared_ptr<Skin> parseTextSkin(std::string_view text, const std::string& path, std::istream& lighting,
                                    const std::string& lightingFileName, const std::string& name)
{
    return TextSkinReader::parse(text, path, lightingFileName, name, &lighting);
}

SkinFile loadTextSkinFile(const std::string& path)
{
    SkinFile result;
    try {
        const fs::path file(path);
        result.directory = file.parent_path();
        result.skins.push_back(std::make_shared<Skin>(path, std::string(), file.stem().string()));
    } catch (const fs::filesystem_error&) {
        throw CreationException("Invalid path: '" + path + "'.");
    }
    return result;
}
