// The text skin reader: line parsing, the seven sections, the mesh load and the final checks.
#include "skin/TextSkinReader.h"

#include "foundation/Exception.h"
#include "skin/BinaryRecordReader.h"
#include "skin/FileBytes.h"
#include "skin/ObjFile.h"
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

// The rows a basis or coefficient section gave, row-major, until the matrix is built.
struct MatrixRows {
    bool declared = false; // its command has been read
    unsigned columns = 0;
    unsigned rowCount = 0; // rows given so far in the current section
    std::int64_t frames = 0; // NFRAMES of a coefficient section
    std::vector<std::vector<float>> rows;
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
    TextSkinParser(Skin& skin, const std::string& path, fs::path directory)
        : m_skin(skin), m_path(path), m_directory(std::move(directory))
    {
    }

    void parseLine(std::string_view line, std::string_view content);
    std::size_t column(std::string_view line) const { return static_cast<std::size_t>(m_position - line.data()); }
    void finish(const std::string& lightingFileName);

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
    void readLighting(const std::string& lightingFileName);
    void checkLightingFrames() const;

    [[noreturn]] static void fail(const std::string& message) { throw SkinParserException(message); }

    Skin& m_skin;
    std::string m_path;
    fs::path m_directory;
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
        m_skin.m_bones.emplace_back();
        // Room only: the frame lines decide the count. Bounded, since nothing checks it.
        m_skin.m_bones.back().reserve(static_cast<std::size_t>(std::min<std::int64_t>(frames, 4096)));
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
    m_mesh = std::make_shared<ObjFile>(meshPath);
    m_skin.m_sourceMesh = m_mesh;
    const ObjFile& mesh = *m_mesh;

    const std::size_t vertexCount = mesh.vertexCount();
    if (vertexCount > Skin::kMaxVertexCount)
        fail("The mesh '" + mesh.fileName() + "' has " + str(vertexCount) + " vertices, but at most " +
             str(Skin::kMaxVertexCount) + " can be drawn with 16-bit indices.");
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
    basis.rows.push_back(std::move(row));
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
    coefficients.rows.push_back(std::move(row));
    ++coefficients.rowCount;
}

void TextSkinParser::finish(const std::string& lightingFileName)
{
    // A skin without a rest pose has no bounding box to place, frame or draw animals by.
    if (m_skin.m_restPositions.empty())
        throw CreationException("The .skin file '" + m_path + "' names no .obj file with vertices.");
    readLighting(lightingFileName);
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
    checkLightingFrames();

    // Influences back to back, as the skinning kernel takes them.
    Skin& skin = m_skin;
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
    skin.m_framePositions.assign(frames, {});
    skin.m_frameNormals.assign(frames, {});
    skin.computeBoundingBoxes();
}

void TextSkinParser::buildMatrices()
{
    const auto build = [&](const char* what, const MatrixRows& rows, std::uint64_t rowCount, DenseMatrix& matrix) {
        if (rowCount * rows.columns > kMaxMatrixElements)
            throw CreationException(std::string("The ") + what + " would have " + str(rowCount) + " x " +
                                    str(rows.columns) + " elements; at most " + str(kMaxMatrixElements) +
                                    " are allowed.");
        // Rows the file does not give stay zero.
        matrix.resize(static_cast<unsigned>(rowCount), rows.columns);
        for (unsigned r = 0; r < rows.rows.size(); ++r)
            for (unsigned c = 0; c < rows.columns; ++c) matrix(r, c) = rows.rows[r][c];
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

void TextSkinParser::readLighting(const std::string& lightingFileName)
{
    Skin& skin = m_skin;
    const std::size_t vertexCount = skin.m_restPositions.size();
    if (lightingFileName.empty()) {
        skin.m_vertexColors.assign(vertexCount, Vector3f(0.5f, 0.5f, 0.5f));
        skin.m_meanLighting.assign(vertexCount, 0.5f);
        skin.m_maxMeanLighting = 0.5f;
        return;
    }
    std::ifstream in(lightingFileName, std::ios::binary);
    if (!in) throw CreationException("Unable to open lighting file '" + lightingFileName + "'.");
    try {
        BinaryRecordReader reader(in);
        reader.readArray(skin.m_vertexColors, reader.readU32());
        reader.readArray(skin.m_meanLighting, reader.readU32());
        const auto readMatrix = [&](DenseMatrix& matrix) {
            const std::uint32_t rows = reader.readU32();
            const std::uint32_t columns = reader.readU32();
            std::vector<float> storage;
            reader.readArray(storage, static_cast<std::uint64_t>(rows) * columns);
            matrix.assign(rows, columns, std::move(storage));
        };
        readMatrix(skin.m_lightingBasis);
        readMatrix(skin.m_lightingCoordinates);
    } catch (const BinaryRecordReader::ShortRead&) {
        throw CreationException("The lighting file '" + lightingFileName + "' ends before its data.");
    }
    float maxMean = 0.0f;
    for (float value : skin.m_meanLighting) maxMean = std::max(maxMean, std::fabs(value));
    skin.m_maxMeanLighting = maxMean;

    // The renderers index these per vertex and per frame.
    const auto mismatch = [&](const std::string& what) {
        throw CreationException("The lighting file '" + lightingFileName + "' " + what);
    };
    if (skin.m_vertexColors.size() != vertexCount || skin.m_meanLighting.size() != vertexCount)
        mismatch("has " + str(skin.m_vertexColors.size()) + " colours and " + str(skin.m_meanLighting.size()) +
                 " mean lighting values but the mesh has " + str(vertexCount) + " vertices.");
    const DenseMatrix& basis = skin.m_lightingBasis;
    const DenseMatrix& coordinates = skin.m_lightingCoordinates;
    if (basis.columns() > 0 && (basis.rows() != vertexCount || coordinates.rows() != basis.columns()))
        mismatch("has a " + str(basis.rows()) + " x " + str(basis.columns()) + " lighting basis and " +
                 str(coordinates.rows()) + " x " + str(coordinates.columns()) +
                 " lighting coordinates, which do not fit a mesh of " + str(vertexCount) + " vertices.");
}

void TextSkinParser::checkLightingFrames() const
{
    // The lighting file's own fault, named as such; the skin's other checks are Skin::validate's.
    const Skin& skin = m_skin;
    const unsigned frames = skin.frameCount();
    const DenseMatrix& lighting = skin.m_lightingCoordinates;
    if (skin.m_lightingBasis.columns() > 0 && frames > 0 && lighting.columns() < frames)
        throw CreationException("The lighting file has " + str(lighting.columns()) +
                                " frames but the animation has " + str(frames) + " frames.");
}

void TextSkinReader::read(Skin& skin, std::string_view text, const std::string& path,
                          const std::string& lightingFileName, const std::string& name)
{
    skin.m_name = name;
    fs::path directory;
    try {
        directory = fs::path(path).parent_path();
    } catch (const fs::filesystem_error&) {
        throw CreationException("Invalid path: " + path);
    }
    skin.m_fileName = path;
    TextSkinParser parser(skin, path, directory);

    const char* p = text.data();
    const char* const textEnd = p + text.size();
    std::size_t lineNumber = 0;
    while (p < textEnd) {
        const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(textEnd - p)));
        const char* end = newline ? newline : textEnd;
        const char* lineStart = p;
        p = newline ? newline + 1 : textEnd;
        ++lineNumber;
        if (static_cast<std::size_t>(end - lineStart) > kMaxLineLength)
            throw CreationException("Line " + str(lineNumber) + " of .skin file '" + path + "' is longer than " +
                                    str(kMaxLineLength) + " characters.");
        if (end != lineStart && end[-1] == '\r') --end; // written on Windows
        const std::string_view line(lineStart, static_cast<std::size_t>(end - lineStart));
        const std::string_view content = line.substr(0, std::min(line.find('#'), line.size()));
        if (atEnd(content.data(), content.data() + content.size())) continue;
        try {
            parser.parseLine(line, content);
        } catch (const SkinParserException& e) {
            const std::size_t column = parser.column(line);
            std::ostringstream message;
            message << "Caught exception in line " << lineNumber << ", column " << column << " of .skin file '" << path
                    << "':\n"
                    << line << "\n"
                    << std::string(column, ' ') << "^ " << e.message();
            throw CreationException(message.str());
        }
    }
    parser.finish(lightingFileName);
}

std::shared_ptr<Skin> TextSkinReader::parse(std::string_view text, const std::string& path,
                                            const std::string& lightingFileName, const std::string& name)
{
    std::shared_ptr<Skin> skin(new Skin());
    read(*skin, text, path, lightingFileName, name);
    return skin;
}

Skin::Skin(const std::string& path, const std::string& lightingFileName, const std::string& name)
{
    std::string text;
    if (!readFileBytes(path, text)) throw CreationException("Unable to open skin file '" + path + "'.");
    TextSkinReader::read(*this, text, path, lightingFileName, name);
}

std::shared_ptr<Skin> parseTextSkin(std::string_view text, const std::string& path,
                                    const std::string& lightingFileName, const std::string& name)
{
    return TextSkinReader::parse(text, path, lightingFileName, name);
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
