#include "skin/BinarySkinLoader.h"

#include "foundation/Exception.h"
#include "foundation/MemoryBudget.h"

#include <fstream>

namespace {
const char* const kCaption = "Error reading skin";
}

BinarySkinFile loadBinarySkinFile(const std::string& path)
{
    BinarySkinFile result;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.failure = LoadFailure{kCaption, "Unable to open file '" + path + "' for reading."};
        return result;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    in.seekg(0, std::ios::beg);
    if (length <= 0) {
        // The view needs at least one level to build a herd from.
        result.failure = LoadFailure{kCaption, "The file '" + path + "' holds no skin."};
        return result;
    }

    // One budget for all levels of the file: many small records must not add up to more than
    // one large one may take.
    MemoryBudget budget(MemoryBudget::kSkinFileBytes, path);
    while (in.tellg() < length) {
        try {
            auto skin = std::make_shared<Skin>(in, budget);
            skin->setFileName(path);
            result.skins.push_back(std::move(skin));
        } catch (const CreationException& e) {
            if (result.skins.empty()) {
                result.failure = LoadFailure{kCaption, e.message()};
                return result;
            }
            // A broken later level loses only itself and the levels after it.
            break;
        }
    }

    try {
        result.directory = std::filesystem::path(path).parent_path();
    } catch (const std::filesystem::filesystem_error&) {
        result.skins.clear();
        result.failure = LoadFailure{kCaption, "Invalid path: '" + path + "'."};
    }
    return result;
}
