// The MTL reader.
#include "skin/ObjMaterial.h"

#include "foundation/Exception.h"
#include "foundation/MemoryBudget.h"
#include "skin/TextLines.h"
#include "skin/TextScan.h"

#include <iostream>

using namespace textscan;

ObjMaterialLibrary::ObjMaterialLibrary(const std::string& fileName) : ObjMaterialLibrary(fileName, fileName) {}

ObjMaterialLibrary::ObjMaterialLibrary(const std::string& path, const std::string& name) : Named(name)
{
    MemoryBudget budget(MemoryBudget::kSkinFileBytes, path);
    try {
        read(path, budget);
    } catch (const MemoryBudget::Exceeded&) {
        throw CreationException(budget.tooLargeMessage());
    }
}

ObjMaterialLibrary::ObjMaterialLibrary(const std::string& path, const std::string& name, MemoryBudget& budget)
    : Named(name)
{
    read(path, budget);
}

void ObjMaterialLibrary::read(const std::string& path, MemoryBudget& budget)
{
    std::cerr << "Parsing .mtl file '" << path << "'." << std::endl;
    TextLines lines(path, kMaxLineLength);
    if (!lines.opened()) throw CreationException("Couldn't open .mtl file '" + path + "'");
    parse(lines, path, budget);
}

std::shared_ptr<ObjMaterial> ObjMaterialLibrary::material(const std::string& name) const
{
    const auto found = m_byName.find(name);
    return found == m_byName.end() ? nullptr : found->second;
}

namespace {

std::string_view nextToken(const char*& p, const char* end)
{
    p = skipBlanks(p, end);
    const char* start = p;
    while (p != end && !isBlank(*p)) ++p;
    return {start, static_cast<std::size_t>(p - start)};
}

// Where a texture option expects its numbers: "-0.5" is a number, "-o" the next option.
bool looksLikeNumber(std::string_view token)
{
    if (token.empty()) return false;
    const char first = token[0];
    if (isDigit(first) || first == '.') return true;
    return (first == '-' || first == '+') && token.size() > 1 && (isDigit(token[1]) || token[1] == '.');
}

} // namespace

void ObjMaterialLibrary::parse(std::string_view text, const std::string& path)
{
    MemoryBudget budget(MemoryBudget::kSkinFileBytes, path);
    TextLines lines(TextLines::InMemory{}, text, kMaxLineLength);
    try {
        parse(lines, path, budget);
    } catch (const MemoryBudget::Exceeded&) {
        throw CreationException(budget.tooLargeMessage());
    }
}

void ObjMaterialLibrary::parse(TextLines& lines, const std::string& path, MemoryBudget& budget)
{
    std::shared_ptr<ObjMaterial> current;
    unsigned lineNumber = 0;
    for (std::string_view line;;) {
        const TextLines::Status status = lines.next(line);
        if (status == TextLines::Status::End) break;
        ++lineNumber;
        const std::string at = " at line " + std::to_string(lineNumber) + " of '" + path + "'.";
        if (status == TextLines::Status::TooLong)
            throw CreationException("Error: line longer than " + std::to_string(kMaxLineLength) + " characters" + at);
        const char* cursor = line.data();
        const char* const end = cursor + line.size();

        // Blank lines and comments carry no command.
        const std::string_view keyword = nextToken(cursor, end);
        if (keyword.empty() || keyword[0] == '#') continue;

        const auto needMaterial = [&] {
            if (!current)
                throw CreationException("Error: encountered material property before 'newmtl' command" + at);
        };
        const auto readVector = [&](Vector3d ObjMaterial::*target) {
            needMaterial();
            Vector3d v;
            if (!readReal(cursor, end, v.x) || !readReal(cursor, end, v.y) || !readReal(cursor, end, v.z) ||
                !atEnd(cursor, end))
                throw CreationException("Expected 3-vector for property '" + std::string(keyword) + "'" + at);
            (*current).*target = v;
        };
        const auto readDouble = [&](double ObjMaterial::*target) {
            needMaterial();
            double value;
            if (!readReal(cursor, end, value) || !atEnd(cursor, end))
                throw CreationException("Expected double for property '" + std::string(keyword) + "'" + at);
            (*current).*target = value;
        };

        if (keyword == "newmtl") {
            std::string name;
            appendName(cursor, end, name);
            // The material, its name twice (here and as the index's key) and the bookkeeping.
            budget.takeBytes(sizeof(ObjMaterial) + 2 * name.size() + 128);
            current = std::make_shared<ObjMaterial>(std::move(name));
            m_materials.push_back(current);
            m_byName[current->name()] = current;
        } else if (keyword == "Ka") {
            readVector(&ObjMaterial::Ka);
        } else if (keyword == "Kd") {
            readVector(&ObjMaterial::Kd);
        } else if (keyword == "Ks") {
            readVector(&ObjMaterial::Ks);
        } else if (keyword == "Tr" || keyword == "d") {
            readDouble(&ObjMaterial::Tr);
        } else if (keyword == "Ns") {
            readDouble(&ObjMaterial::Ns);
        } else if (keyword == "Ni") {
            readDouble(&ObjMaterial::Ni);
        } else if (keyword == "illum") {
            needMaterial();
            unsigned value;
            if (!readInteger(cursor, end, value) || !atEnd(cursor, end))
                throw CreationException("Expected uint for property '" + std::string(keyword) + "'" + at);
            current->illum = value;
        } else if (keyword == "map_Kd" || keyword == "map_Ka") {
            needMaterial();
            std::string fileName;
            for (std::string_view token = nextToken(cursor, end); !token.empty(); token = nextToken(cursor, end)) {
                if (looksLikeNumber(token)) throw CreationException("Unexpected real" + at);
                if (token[0] == '-') {
                    const std::string_view option = token.substr(1);
                    if (option != "s" && option != "o") {
                        std::cerr << "Warning: unknown texture option: -" << option << std::endl;
                        continue;
                    }
                    Vector3d& target = option == "s" ? current->textureScale : current->textureOffset;
                    int count = 0;
                    for (;;) {
                        const char* before = cursor;
                        const std::string_view number = nextToken(cursor, end);
                        if (count == 3 || !looksLikeNumber(number)) {
                            cursor = before;
                            break;
                        }
                        double value;
                        const char* q = number.data();
                        if (!readReal(q, number.data() + number.size(), value))
                            throw CreationException("Expected: double" + at);
                        target[count++] = value;
                    }
                    if (count == 0) throw CreationException("Expected: double" + at);
                    continue;
                }
                if (!fileName.empty()) throw CreationException("Unexpected extra texture filename" + at);
                fileName = token;
            }
            budget.takeBytes(fileName.size());
            current->textureFileName = fileName;
        } else if (keyword == "Tf") {
            std::cerr << "Throwing out mystery material attribute 'Tf'." << std::endl;
        } else if (keyword == "map_bump") {
            std::cerr << "Throwing out bump map." << std::endl;
        } else {
            throw CreationException("Error: unknown command '" + std::string(keyword) + "'" + at);
        }
    }
}
