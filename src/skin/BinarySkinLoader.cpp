#include "skin/BinarySkinLoader.h"

#include "foundation/Exception.h"
#include "foundation/MemoryBudget.h"

#include <fstream>

SkinFile loadBinarySkinFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CreationException("Unable to open file '" + path + "' for reading.");
    return readBinarySkinFile(in, path);
}

SkinFile readBinarySkinFile(std::istream& in, const std::string& path)
{
    SkinFile result;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    in.seekg(0, std::ios::beg);
    // The view needs at least one level to build a herd from.
    if (length <= 0) throw CreationException("The file '" + path + "' holds no skin.");

    // One budget for all levels of the file: many small records must not add up to more than
    // one large one may take.
    MemoryBudget budget(MemoryBudget::kSkinFileBytes, path);
    while (in.tellg() < length) {
        try {
            auto skin = std::make_shared<Skin>(in, budget);
            skin->setFileName(path);
            result.skins.push_back(std::move(skin));
        } catch (const CreationException&) {
            if (result.skins.empty()) throw;
            // A broken later level loses only itself and the levels after it.
            break;
        }
    }

    try {
        result.directory = std::filesystem::path(path).parent_path();
    } catch (const std::filesystem::filesystem_error&) {
        throw CreationException("Invalid path: '" + path + "'.");
    }
    return result;
}
