// The OBJ reader and writer.
#include "skin/ObjFile.h"

#include "foundation/AtomicFile.h"
#include "foundation/Exception.h"
#include "foundation/MemoryBudget.h"
#include "skin/FileBytes.h"
#include "skin/TextLines.h"
#include "skin/TextScan.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <limits>
#include <unordered_map>

using namespace textscan;

namespace {

enum class Keyword { Vertex, Normal, TextureCoordinate, Group, Face, MaterialLibrary, UseMaterial, Smoothing, Object, Other };

Keyword keywordOf(std::string_view word)
{
    switch (word.size()) {
    case 1:
        switch (word[0]) {
        case 'v': return Keyword::Vertex;
        case 'g': return Keyword::Group;
        case 'f': return Keyword::Face;
        case 's': return Keyword::Smoothing;
        case 'o': return Keyword::Object;
        default: return Keyword::Other;
        }
    case 2:
        if (word == "vn") return Keyword::Normal;
        if (word == "vt") return Keyword::TextureCoordinate;
        return Keyword::Other;
    case 6:
        if (word == "mtllib") return Keyword::MaterialLibrary;
        if (word == "usemtl") return Keyword::UseMaterial;
        return Keyword::Other;
    default: return Keyword::Other;
    }
}

// Nothing but blanks and perhaps a comment left on the line.
bool atEndOrComment(const char* p, const char* end)
{
    p = skipBlanks(p, end);
    return p == end || *p == '#';
}

// Three reals, then only blanks or further reals (a w component or vertex colours, ignored).
bool readTriple(const char* p, const char* end, Vector3d& out)
{
    if (!readReal(p, end, out.x) || !readReal(p, end, out.y) || !readReal(p, end, out.z)) return false;
    double ignored;
    while (readReal(p, end, ignored)) {
    }
    return atEndOrComment(p, end);
}

// An integer that starts right here: no blanks inside a corner ("1/ 2" is not a corner).
// Hand-rolled: a mesh has three of these per corner.
bool readCornerNumber(const char*& p, const char* end, std::int32_t& value)
{
    const char* q = p;
    bool negative = false;
    if (q != end && (*q == '-' || *q == '+')) {
        negative = *q == '-';
        ++q;
    }
    const char* const digits = q;
    std::uint64_t magnitude = 0;
    // Eleven digits cannot overflow 64 bits; more cannot fit 32.
    while (q != end && static_cast<unsigned>(*q - '0') < 10u && q - digits < 11) {
        magnitude = magnitude * 10 + static_cast<unsigned>(*q - '0');
        ++q;
    }
    if (q == digits || (q != end && isDigit(*q))) return false;
    if (magnitude > (negative ? std::uint64_t(1) << 31 : (std::uint64_t(1) << 31) - 1)) return false;
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude)) : static_cast<std::int32_t>(magnitude);
    p = q;
    return true;
}

// One corner token: v, v/vt, v//vn or v/vt/vn, ending at a blank or the end of the line.
bool readCorner(const char*& cursor, const char* end, ObjCorner& corner)
{
    const char* p = cursor;
    corner = ObjCorner{};
    if (!readCornerNumber(p, end, corner.vertex)) return false;
    if (p != end && *p == '/') {
        ++p;
        if (p != end && *p == '/') {
            ++p;
            if (!readCornerNumber(p, end, corner.normal)) return false;
            corner.hasNormal = true;
        } else {
            if (!readCornerNumber(p, end, corner.textureCoordinate)) return false;
            corner.hasTextureCoordinate = true;
            if (p != end && *p == '/') {
                ++p;
                if (!readCornerNumber(p, end, corner.normal)) return false;
                corner.hasNormal = true;
            }
        }
    }
    if (!endsToken(p, end)) return false;
    cursor = p;
    return true;
}

} // namespace

ObjFile::ObjFile(const std::string& fileName) : Named(fileName), m_fileName(fileName)
{
    MemoryBudget budget(MemoryBudget::kSkinFileBytes, fileName);
    read(fileName, budget);
}

ObjFile::ObjFile(const std::string& fileName, const std::string& name) : Named(name), m_fileName(fileName)
{
    if (fileName.empty()) throw CreationException("Empty filename.");
    MemoryBudget budget(MemoryBudget::kSkinFileBytes, fileName);
    read(fileName, budget);
}

ObjFile::ObjFile(const std::string& fileName, MemoryBudget& budget) : Named(fileName), m_fileName(fileName)
{
    read(fileName, budget);
}

ObjFile::ObjFile(Empty, const std::string& name, const std::string& fileName) : Named(name), m_fileName(fileName) {}

std::size_t ObjFile::faceCount() const
{
    std::size_t faces = 0;
    for (const Group& group : m_groups) faces += group.faceCount();
    return faces;
}

void ObjFile::read(const std::string& path, MemoryBudget& budget)
{
    std::cerr << "Parsing .obj file '" << path << "'." << std::endl;
    TextLines lines(path, kMaxLineLength);
    if (!lines.opened()) throw IOException("Couldn't open .obj file '" + path + "'");
    parse(lines, path, budget);
}

namespace {

// Room for the vertex data of a large file, estimated from its first part, so the arrays do
// not regrow (and copy) a dozen times. Only address space is reserved: pages that the
// estimate overshoots are never touched.
void reserveFromSample(const TextLines& lines, std::uint64_t budgetLeft, std::vector<Vector3d>& vertices,
                       std::vector<Vector3d>& normals, std::vector<Vector3d>& textureCoordinates)
{
    constexpr std::size_t kSample = std::size_t(1) << 18;
    const std::uint64_t size = lines.bytesLeft();
    if (size <= 2 * kSample || lines.buffered().size() < kSample) return;
    const std::string_view sample = lines.buffered().substr(0, kSample);
    std::size_t v = 0, vn = 0, vt = 0;
    for (std::size_t at = 0; at + 2 < sample.size();) {
        if (sample[at] == 'v') {
            const char next = sample[at + 1];
            if (next == ' ' || next == '\t') ++v;
            else if (next == 'n') ++vn;
            else if (next == 't') ++vt;
        }
        const std::size_t newline = sample.find('\n', at);
        if (newline == std::string_view::npos) break;
        at = newline + 1;
    }
    // At most as many bytes of storage as there is text, and no more than the budget allows.
    const double scale = double(size) / double(sample.size());
    const double perLine = double(sizeof(Vector3d));
    const double bytes = double(v + vn + vt) * scale * perLine;
    if (bytes > double(size) || bytes > double(budgetLeft)) return;
    vertices.reserve(vertices.size() + static_cast<std::size_t>(double(v) * scale));
    normals.reserve(normals.size() + static_cast<std::size_t>(double(vn) * scale));
    textureCoordinates.reserve(textureCoordinates.size() + static_cast<std::size_t>(double(vt) * scale));
}

} // namespace

void ObjFile::parse(std::string_view text, const std::string& path)
{
    MemoryBudget budget(MemoryBudget::kSkinFileBytes, path);
    TextLines lines(TextLines::InMemory{}, text, kMaxLineLength);
    parse(lines, path, budget);
}

void ObjFile::parse(TextLines& lines, const std::string& path, MemoryBudget& budget)
{
    try {
        parseLines(lines, path, budget);
    } catch (const MemoryBudget::Exceeded&) {
        throw CreationException(budget.tooLargeMessage(path));
    }
}

void ObjFile::parseLines(TextLines& lines, const std::string& path, MemoryBudget& budget)
{
    reserveFromSample(lines, budget.left(), m_vertices, m_normals, m_textureCoordinates);
    std::size_t faces = 0;
    std::shared_ptr<ObjMaterial> currentMaterial;
    // Every library's materials by name, the later library winning: "usemtl" costs one look-up
    // however many libraries and materials there are.
    std::unordered_map<std::string, std::shared_ptr<ObjMaterial>> materials;
    // Libraries read by this file, by the name their line gave: one named again is not read again.
    std::unordered_map<std::string, std::shared_ptr<ObjMaterialLibrary>> librariesRead;
    for (const auto& library : m_libraries)
        for (const auto& material : library->materials()) materials[material->name()] = material;
    int lineNumber = 0;
    for (std::string_view line;;) {
        const TextLines::Status status = lines.next(line);
        if (status == TextLines::Status::End) break;
        ++lineNumber;
        if (status == TextLines::Status::TooLong)
            throw ParserException("Line longer than " + std::to_string(kMaxLineLength) + " characters in .obj file '" +
                                      path + "'",
                                  path, lineNumber, 1);
        const char* const lineStart = line.data();
        const char* end = lineStart + line.size();
        if (end != lineStart && end[-1] == '\r') --end; // written on Windows
        const char* cursor = lineStart;
        while (cursor != end && isLetter(*cursor)) ++cursor;
        if (cursor == lineStart) continue; // blank lines, comments, indented lines
        const std::string_view word(lineStart, static_cast<std::size_t>(cursor - lineStart));
        const auto invalidLine = [&] {
            return ParserException("Invalid line in .obj file '" + path + "': " + std::string(lineStart, end), path,
                                   lineNumber, 1);
        };

        switch (keywordOf(word)) {
        case Keyword::Vertex: {
            Vector3d v;
            if (!readTriple(cursor, end, v)) throw ParserException("Invalid vertex", path, lineNumber, 1);
            budget.takeBytes(sizeof(Vector3d));
            m_vertices.push_back(v);
            break;
        }
        case Keyword::Normal: {
            Vector3d n;
            if (!readTriple(cursor, end, n)) throw ParserException("Invalid normal", path, lineNumber, 1);
            budget.takeBytes(sizeof(Vector3d));
            m_normals.push_back(n);
            break;
        }
        case Keyword::TextureCoordinate: {
            const int column = static_cast<int>(cursor - lineStart);
            Vector3d t;
            const char* q = cursor;
            if (!readReal(q, end, t.x) || !readReal(q, end, t.y))
                throw ParserException("Invalid texture coordinate", path, lineNumber, column);
            readReal(q, end, t.z);
            if (!atEndOrComment(q, end)) throw ParserException("Invalid texture coordinate", path, lineNumber, column);
            budget.takeBytes(sizeof(Vector3d));
            m_textureCoordinates.push_back(t);
            break;
        }
        case Keyword::Group: {
            std::string name;
            appendName(cursor, end, name);
            // The group, its name and the first entry of its face table.
            budget.takeBytes(sizeof(Group) + name.size() + 64);
            m_groups.emplace_back(std::move(name), currentMaterial);
            break;
        }
        case Keyword::Face: {
            ++faces;
            // Faces before any "g" line go to a group of their own, without a material.
            if (m_groups.empty()) {
                budget.takeBytes(sizeof(Group) + 64);
                m_groups.emplace_back("default");
            }
            Group& group = m_groups.back();
            std::size_t corners = 0;
            for (;;) {
                cursor = skipBlanks(cursor, end);
                if (cursor == end) break;
                ObjCorner corner;
                if (!readCorner(cursor, end, corner)) {
                    group.abandonFace();
                    throw invalidLine();
                }
                group.addCorner(corner);
                ++corners;
            }
            // Taken once the face is read (a line holds at most a few thousand corners).
            try {
                budget.takeBytes(corners * sizeof(ObjCorner) + sizeof(std::size_t));
            } catch (const MemoryBudget::Exceeded&) {
                group.abandonFace();
                throw;
            }
            group.endFace();
            const std::uint64_t left = lines.bytesLeft();
            if (faces == 1 && left > (std::uint64_t(1) << 20)) {
                // The file's first face, in a large file: expect lines like it to follow, at
                // most as many bytes of storage as there is text left. Only once per file: a
                // reservation for every group would add up to the square of the file's size.
                const std::uint64_t lineCount = left / (line.size() + 1);
                const std::size_t first = group.face(0).size();
                const std::uint64_t bytes = lineCount * (first * sizeof(ObjCorner) + sizeof(std::size_t));
                if (bytes <= 2 * left && bytes <= budget.left())
                    group.reserve(static_cast<std::size_t>(lineCount), static_cast<std::size_t>(lineCount * first));
            }
            break;
        }
        case Keyword::MaterialLibrary: {
            std::string name;
            appendName(cursor, end, name);
            std::string libraryPath;
            try {
                libraryPath = (std::filesystem::path(path).parent_path() / name).string();
            } catch (const std::filesystem::filesystem_error& e) {
                throw IOException(e.what());
            }
            budget.takeBytes(sizeof(m_libraries[0]) + libraryPath.size() + 64);
            std::shared_ptr<ObjMaterialLibrary>& library = librariesRead[name];
            if (!library) {
                budget.takeBytes(sizeof(ObjMaterialLibrary) + name.size() + 64);
                library = std::make_shared<ObjMaterialLibrary>(libraryPath, name, budget);
            }
            // Appended again when named again, so that writing the model gives the same lines.
            for (const auto& material : library->materials()) {
                budget.takeBytes(material->name().size() + 64);
                materials[material->name()] = material;
            }
            m_libraries.push_back(library);
            break;
        }
        case Keyword::UseMaterial: {
            std::string name;
            appendName(cursor, end, name);
            const auto found = materials.find(name);
            if (found != materials.end()) currentMaterial = found->second;
            if (found == materials.end())
                throw CreationException("Material '" + name + "' not found in any of the material libraries for '" +
                                        path + "'.");
            if (!m_groups.empty() && m_groups.back().faceCount() == 0) m_groups.back().setMaterial(currentMaterial);
            break;
        }
        case Keyword::Smoothing: std::cerr << "Warning: ignoring smoothing groups." << std::endl; break;
        case Keyword::Object: std::cerr << "Warning: ignoring object names." << std::endl; break;
        case Keyword::Other: throw invalidLine();
        }
    }

    std::stable_sort(m_groups.begin(), m_groups.end(),
                     [](const Group& a, const Group& b) { return a.name() < b.name(); });

    std::cerr << "Parsed obj file '" << path << "'; statistics:" << std::endl
              << "   " << m_groups.size() << " groups," << std::endl
              << "   " << faces << " faces," << std::endl
              << "   " << m_vertices.size() << " vertices," << std::endl
              << "   " << m_normals.size() << " normals, " << std::endl
              << "   " << m_textureCoordinates.size() << " texture coordinates, " << std::endl;
}

void ObjFile::append(const std::vector<Vector3d>& vertices, const std::vector<Vector3d>& normals,
                     const std::vector<Vector3d>& textureCoordinates, std::vector<Group> groups)
{
    const auto vertexBase = static_cast<std::int32_t>(m_vertices.size());
    const auto normalBase = static_cast<std::int32_t>(m_normals.size());
    const auto textureBase = static_cast<std::int32_t>(m_textureCoordinates.size());
    m_vertices.insert(m_vertices.end(), vertices.begin(), vertices.end());
    m_normals.insert(m_normals.end(), normals.begin(), normals.end());
    m_textureCoordinates.insert(m_textureCoordinates.end(), textureCoordinates.begin(), textureCoordinates.end());
    for (Group& group : groups) {
        Group shifted(group.name(), group.material());
        std::vector<ObjCorner> corners;
        for (std::size_t f = 0; f < group.faceCount(); ++f) {
            corners.assign(group.face(f).begin(), group.face(f).end());
            for (ObjCorner& corner : corners) {
                corner.vertex += vertexBase;
                if (corner.hasNormal) corner.normal += normalBase;
                if (corner.hasTextureCoordinate) corner.textureCoordinate += textureBase;
            }
            shifted.addFace(corners);
        }
        m_groups.push_back(std::move(shifted));
    }
}

namespace {

void appendNumber(std::string& out, double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
    out.append(buffer, result.ptr);
}

void appendInteger(std::string& out, std::int32_t value)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

} // namespace

void ObjFile::produceText(const std::function<void(std::string_view)>& sink) const
{
    std::vector<const Group*> nonempty;
    for (const Group& group : m_groups)
        if (group.faceCount() > 0) nonempty.push_back(&group);
    if (nonempty.empty()) throw IOException("No nonempty groups in .obj file.");
    std::stable_sort(nonempty.begin(), nonempty.end(),
                     [](const Group* a, const Group* b) { return a->name() < b->name(); });

    constexpr std::size_t kChunk = std::size_t(1) << 20;
    // Grows to a chunk as it fills rather than reserving one: most models are far smaller.
    std::string out;
    const auto flushIfFull = [&] {
        if (out.size() >= kChunk) {
            sink(out);
            out.clear();
        }
    };
    for (const auto& library : m_libraries) out += "mtllib " + library->name() + "\n";
    const auto triples = [&](const char* keyword, const std::vector<Vector3d>& values) {
        for (const Vector3d& v : values) {
            out += keyword;
            for (int i = 0; i < 3; ++i) {
                out += ' ';
                appendNumber(out, v[i]);
            }
            out += '\n';
            flushIfFull();
        }
    };
    triples("v", m_vertices);
    triples("vt", m_textureCoordinates);
    triples("vn", m_normals);
    for (const Group* group : nonempty) {
        out += "g " + group->name() + "\n";
        if (group->material()) out += "usemtl " + group->material()->name() + "\n";
        for (std::size_t f = 0; f < group->faceCount(); ++f) {
            out += 'f';
            for (const ObjCorner& corner : group->face(f)) {
                out += ' ';
                appendInteger(out, corner.vertex);
                if (corner.hasTextureCoordinate || corner.hasNormal) out += '/';
                if (corner.hasTextureCoordinate) appendInteger(out, corner.textureCoordinate);
                if (corner.hasNormal) {
                    out += '/';
                    appendInteger(out, corner.normal);
                }
            }
            out += '\n';
            flushIfFull();
        }
    }
    if (!out.empty()) sink(out);
}

std::string ObjFile::text() const
{
    std::string text;
    produceText([&](std::string_view piece) { text += piece; });
    return text;
}

void ObjFile::write(const std::string& fileName) const
{
    // Written to a temporary file renamed over the target only when complete: a model that
    // cannot be written leaves the old file untouched.
    try {
        AtomicFile file(fileName);
        produceText([&](std::string_view piece) { file.write(piece); });
        file.commit();
    } catch (const FileWriteException& e) {
        if (e.stage() == FileWriteException::Stage::Creating)
            throw IOException("Unable to open file '" + fileName + "' for writing.");
        throw;
    }
}
